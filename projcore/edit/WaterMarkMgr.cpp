// The watermark list: adding, changing, ordering, selecting and copying.
#include "edit/WaterMarkMgr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "bus/BaseException.h"
#include "edit/WaterMarkGeometry.h"
#include "edit/WaterMarkMgrInternal.h"
#include "edit/WaterMarkText.h"
#include "edit/XImage.h"
#include "projcore/MessageIds.h"

namespace {

using Guard = std::lock_guard<CXMutex>;

// Colours travel in records as their four bytes (red, green, blue, flag).
uint32_t FromBytes(const uint8_t (&b)[4]) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}
void ToBytes(uint32_t v, uint8_t (&b)[4]) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}

// A path the engine can hand back whole in a path buffer.
bool UsablePath(const char* path) { return path && std::strlen(path) < static_cast<size_t>(kPathBufferSize); }

bool UsableText(const char* text) { return text && wmtext::IsValidUtf8(text); }

}  // namespace

void CWaterMarkMgr::DrawerDeleter::operator()(BkDrawer* d) const {
    BK_ClearOverlays(d);
    BK_DeleteDrawer(d);
}

CWaterMarkMgr::CWaterMarkMgr() {
    RegisterMessageHandler(this, this, msg::kNotifyCropMargins, &CWaterMarkMgr::OnCropMessage);
}

// The drawer is made with the first overlay: a clip that is only read, joined
// or repaired never loads blitkit (and the picture libraries behind it).
BkDrawer* CWaterMarkMgr::Drawer() {
    Guard g(lock_);
    if (!drawer_) {
        drawer_.reset(BK_CreateDrawer());
        if (!drawer_) throw CBaseException(errcode::kCreateDrawer, "error:Create blitkit");
        BK_SetTimeline(drawer_.get(), 1);
        BK_SetFrameRate(drawer_.get(), frameRate_);
    }
    return drawer_.get();
}

CWaterMarkMgr::~CWaterMarkMgr() {
    Guard g(lock_);
    items_.clear();
    drawer_.reset();
}

void CWaterMarkMgr::Send(const Outbox& out) {
    for (int i = 0; i < out.count; ++i) {
        const Outbox::Message& m = out.messages[i];
        intptr_t p1 = 0;
        if (m.kind == 1) p1 = reinterpret_cast<intptr_t>(&out.place);
        if (m.kind == 2) p1 = reinterpret_cast<intptr_t>(&out.move);
        Notify(m.id, p1, m.p2);
    }
}

void CWaterMarkMgr::SetTimeRange(uint32_t start, uint32_t end) {
    Guard g(lock_);
    timeRange_[0] = start;
    timeRange_[1] = end;
}

void CWaterMarkMgr::SetNewRange(uint32_t start, uint32_t end) {
    Guard g(lock_);
    newRange_[0] = start;
    newRange_[1] = end;
}

void CWaterMarkMgr::FitTimes(CWaterMark& m) const {
    m.startTime = std::max(m.startTime, timeRange_[0]);
    if (TimeRangeKnown()) m.endTime = std::min(m.endTime, timeRange_[1]);
    m.endTime = std::max(m.endTime, m.startTime);
}

void CWaterMarkMgr::SizeNewPicture(CWaterMark& m) const {
    const Rect v = VisibleRef();
    const CXImage picture(m.imageFile);
    bool keepsRatio = false;
    const wmgeo::Size s = wmgeo::NewPictureSize(picture.Width(), picture.Height(), v.Width(), v.Height(), keepsRatio);
    m.width = wmgeo::ToSize16(s.width);
    m.height = wmgeo::ToSize16(s.height);
    if (keepsRatio) m.isOrgScale = 1;
}

void CWaterMarkMgr::Insert(size_t index, std::unique_ptr<CWaterMark> mark, Outbox& out) {
    const size_t last = items_.size();
    items_.insert(items_.begin() + static_cast<ptrdiff_t>(index), Item{std::move(mark), CCropRect(displayRect_)});
    RegisterOverlay(index, false);
    if (index != last) BK_PlaceAppended(Drawer(), static_cast<int>(last), static_cast<int>(index));
    KeepSlotsInStep();
    RefreshRect(items_[index]);
    modified_ = true;
    out.Add(msg::kNotifyWaterMarkAdded, static_cast<intptr_t>(index));
    // A selected watermark after the new one moved down the list with it.
    if (selected_ && selectedIndex_ >= index) {
        ++selectedIndex_;
        out.Add(msg::kNotifyWaterMarkSelected, selectedIndex_);
    }
}

bool CWaterMarkMgr::AddImageWatermark(uint32_t index, const char* path) {
    if (!UsablePath(path)) return false;
    Outbox out;
    {
        Guard g(lock_);
        if (index > items_.size()) return false;
        auto m = std::make_unique<CWaterMark>();
        m->type = CWaterMark::kImage;
        m->imageFile = path;
        if (newRange_[1] != 0) {
            m->startTime = newRange_[0];
            m->endTime = newRange_[1];
        }
        FitTimes(*m);
        SizeNewPicture(*m);
        Insert(index, std::move(m), out);
    }
    Send(out);
    return true;
}

bool CWaterMarkMgr::AddTextWatermark(uint32_t index, const char* text) {
    if (!UsableText(text)) return false;
    Outbox out;
    {
        Guard g(lock_);
        if (index > items_.size()) return false;
        auto m = std::make_unique<CWaterMark>();
        m->type = CWaterMark::kText;
        m->text = *text ? text : " ";
        if (newRange_[1] != 0) {
            m->startTime = newRange_[0];
            m->endTime = newRange_[1];
        }
        FitTimes(*m);
        Insert(index, std::move(m), out);
    }
    Send(out);
    return true;
}

bool CWaterMarkMgr::SetImageFile(uint32_t index, const char* path) {
    if (!UsablePath(path)) return false;
    Guard g(lock_);
    if (!ValidIndex(index) || items_[index].mark->type != CWaterMark::kImage) return false;
    CWaterMark& m = *items_[index].mark;
    m.imageFile = path;
    SizeNewPicture(m);
    m.MarkModified();
    modified_ = true;
    RegisterOverlay(index, true);
    RefreshRect(items_[index]);
    return true;
}

bool CWaterMarkMgr::GetImageFile(const WaterMarkPathBuffer& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index) || !r.buffer) return false;
    const std::string& path = items_[r.index].mark->imageFile;
    if (path.size() >= static_cast<size_t>(kPathBufferSize)) return false;  // never cut a path
    std::memcpy(r.buffer, path.c_str(), path.size() + 1);
    return true;
}

bool CWaterMarkMgr::SetText(uint32_t index, const char* text) {
    if (!UsableText(text)) return false;
    Guard g(lock_);
    if (!ValidIndex(index)) return false;
    CWaterMark& m = *items_[index].mark;
    const char* stored = *text ? text : " ";
    if (m.text == stored) return true;
    m.text = stored;
    m.MarkModified();
    modified_ = true;
    RegisterOverlay(index, true);
    RefreshRect(items_[index]);
    return true;
}

bool CWaterMarkMgr::GetText(const WaterMarkTextBuffer& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index) || !r.buffer || r.size == 0) return false;
    const std::string& text = items_[r.index].mark->text;
    const size_t n = wmtext::FitUtf8(text, r.size - 1);
    std::memcpy(r.buffer, text.data(), n);
    r.buffer[n] = '\0';
    return true;
}

bool CWaterMarkMgr::SetPosition(const WaterMarkPosition& r) {
    if (!wmgeo::ValidOrigin(r.origin)) return false;
    Outbox out;
    {
        Guard g(lock_);
        if (!ValidIndex(r.index)) return false;
        CWaterMark& m = *items_[r.index].mark;
        const bool newOrigin = r.origin != m.origin;
        const int16_t x = newOrigin ? 0 : r.xOffset, y = newOrigin ? 0 : r.yOffset;
        if (!newOrigin && x == m.xOffset && y == m.yOffset) return true;
        m.origin = r.origin;
        m.xOffset = x;
        m.yOffset = y;
        m.MarkModified();
        modified_ = true;
        MoveOverlay(r.index);
        RefreshRect(items_[r.index]);
        out.AddPlace(msg::kNotifyWaterMarkPlace, WaterMarkPlace{m.xOffset, m.yOffset, m.width, m.height});
    }
    Send(out);
    return true;
}

bool CWaterMarkMgr::GetPosition(WaterMarkPosition& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index)) return false;
    const CWaterMark& m = *items_[r.index].mark;
    r.origin = m.origin;
    r.xOffset = m.xOffset;
    r.yOffset = m.yOffset;
    r.reserved = 0;
    return true;
}

bool CWaterMarkMgr::SetTiming(const WaterMarkTiming& r) {
    const auto goodFade = [](float f) { return std::isfinite(f) && f >= 0; };
    if (!goodFade(r.fadeIn) || !goodFade(r.fadeOut)) return false;
    Outbox out;
    {
        Guard g(lock_);
        if (!ValidIndex(r.index)) return false;
        const uint32_t start = std::max(r.startTime, timeRange_[0]);
        const uint32_t end = TimeRangeKnown() ? std::min(r.endTime, timeRange_[1]) : r.endTime;
        if (start > end) return false;
        CWaterMark& m = *items_[r.index].mark;
        bool changed = false;
        if (start != m.startTime) {
            m.startTime = start;
            out.Add(msg::kNotifyWaterMarkStart, start);
            changed = true;
        }
        if (end != m.endTime) {
            m.endTime = end;
            out.Add(msg::kNotifyWaterMarkEnd, end);
            changed = true;
        }
        if (r.fadeIn != m.fadeIn) {
            m.fadeIn = r.fadeIn;
            out.Add(msg::kNotifyWaterMarkFadeIn, static_cast<intptr_t>(r.fadeIn));
            changed = true;
        }
        if (r.fadeOut != m.fadeOut) {
            m.fadeOut = r.fadeOut;
            out.Add(msg::kNotifyWaterMarkFadeOut, static_cast<intptr_t>(r.fadeOut));
            changed = true;
        }
        if (changed) {
            const wmgeo::Span span = wmgeo::FrameSpan(m.startTime, m.endTime, frameRate_);
            BK_SetSpan(Drawer(), static_cast<int>(r.index), span.start, span.count);
            BK_SetFades(Drawer(), static_cast<int>(r.index), wmgeo::FadeFrames(m.fadeIn, frameRate_),
                        wmgeo::FadeFrames(m.fadeOut, frameRate_));
            m.MarkModified();
            modified_ = true;
        }
    }
    Send(out);
    return true;
}

bool CWaterMarkMgr::GetTiming(WaterMarkTiming& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index)) return false;
    const CWaterMark& m = *items_[r.index].mark;
    r.startTime = m.startTime;
    r.endTime = m.endTime;
    r.fadeIn = m.fadeIn;
    r.fadeOut = m.fadeOut;
    return true;
}

bool CWaterMarkMgr::SetSize(const WaterMarkSize& r) {
    Outbox out;
    {
        Guard g(lock_);
        if (!ValidIndex(r.index) || items_[r.index].mark->type != CWaterMark::kImage) return false;
        CWaterMark& m = *items_[r.index].mark;
        const int c = std::max<int>(r.width, 1), d = std::max<int>(r.height, 1);
        m.isOrgScale = r.isOrgScale;
        wmgeo::Size s{c, d};
        if (r.isOrgScale) {
            const CXImage picture(m.imageFile);
            // Without the picture's own size there is no ratio to keep.
            if (!wmgeo::KeepRatioSize(c, d, m.width, m.height, picture.Width(), picture.Height(), s))
                s = wmgeo::Size{m.width, m.height};
        }
        m.width = wmgeo::ToSize16(s.width);
        m.height = wmgeo::ToSize16(s.height);
        m.MarkModified();
        modified_ = true;
        RegisterOverlay(r.index, true);
        RefreshRect(items_[r.index]);
        out.AddPlace(msg::kNotifyWaterMarkPlace, WaterMarkPlace{m.xOffset, m.yOffset, m.width, m.height});
    }
    Send(out);
    return true;
}

bool CWaterMarkMgr::GetSize(WaterMarkSize& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index) || items_[r.index].mark->type != CWaterMark::kImage) return false;
    const CWaterMark& m = *items_[r.index].mark;
    r.width = m.width;
    r.height = m.height;
    r.isOrgScale = m.isOrgScale;
    std::memset(r.reserved, 0, sizeof r.reserved);
    return true;
}

bool CWaterMarkMgr::SetTransparency(const WaterMarkTransparency& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index)) return false;
    CWaterMark& m = *items_[r.index].mark;
    const uint32_t transparent = FromBytes(r.transparent);
    if (m.alpha == r.alpha && m.transparent == transparent && m.tolerance == r.tolerance) return true;
    m.alpha = r.alpha;
    m.transparent = transparent;
    m.tolerance = r.tolerance;
    m.MarkModified();
    modified_ = true;
    RegisterOverlay(r.index, true);
    return true;
}

bool CWaterMarkMgr::GetTransparency(WaterMarkTransparency& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index)) return false;
    const CWaterMark& m = *items_[r.index].mark;
    r.alpha = m.alpha;
    ToBytes(m.transparent, r.transparent);
    r.tolerance = m.tolerance;
    std::memset(r.reserved, 0, sizeof r.reserved);
    return true;
}

bool CWaterMarkMgr::SetTextStyle(const WaterMarkTextStyle& r) {
    const std::string_view font(r.font, strnlen(r.font, sizeof r.font));
    if (!wmtext::IsValidUtf8(font)) return false;
    Guard g(lock_);
    if (!ValidIndex(r.index)) return false;
    CWaterMark& m = *items_[r.index].mark;
    m.font.assign(font.substr(0, wmtext::FitUtf8(font, sizeof r.font - 1)));
    m.textSize = r.textSize;
    m.textColor = FromBytes(r.textColor);
    m.fontStyle = r.fontStyle;
    m.isStrikeOut = r.isStrikeOut ? 1 : 0;
    m.isUnderLine = r.isUnderLine ? 1 : 0;
    m.MarkModified();
    modified_ = true;
    RegisterOverlay(r.index, true);
    RefreshRect(items_[r.index]);
    return true;
}

bool CWaterMarkMgr::GetTextStyle(WaterMarkTextStyle& r) {
    Guard g(lock_);
    if (!ValidIndex(r.index)) return false;
    const CWaterMark& m = *items_[r.index].mark;
    std::memset(r.font, 0, sizeof r.font);
    std::memcpy(r.font, m.font.data(), wmtext::FitUtf8(m.font, sizeof r.font - 1));
    r.textSize = m.textSize;
    ToBytes(m.textColor, r.textColor);
    std::memset(r.reserved1, 0, sizeof r.reserved1);
    r.fontStyle = m.fontStyle;
    r.isStrikeOut = m.isStrikeOut ? 1 : 0;
    r.isUnderLine = m.isUnderLine ? 1 : 0;
    std::memset(r.reserved2, 0, sizeof r.reserved2);
    return true;
}

void CWaterMarkMgr::ClearSelectionLocked(Outbox& out) {
    if (!selected_) return;
    if (ValidIndex(selectedIndex_)) {
        CCropRect& rect = items_[selectedIndex_].rect;
        rect.active = false;
        rect.dragging = false;
    }
    selected_ = false;
    selectedIndex_ = 0;
    out.Add(msg::kNotifyWaterMarkDeselected, 0);
}

bool CWaterMarkMgr::RemoveWatermark(uint32_t index) {
    {
        Guard g(lock_);
        if (!ValidIndex(index)) return false;
    }
    Notify(msg::kNotifyWaterMarkRemoving, 0, index);
    Outbox out;
    {
        Guard g(lock_);
        if (!ValidIndex(index)) return false;  // a listener removed it meanwhile
        items_.erase(items_.begin() + index);
        BK_RemoveOverlay(Drawer(), static_cast<int>(index));
        KeepSlotsInStep();
        modified_ = true;
        // The selection must keep naming the same watermark, or none.
        if (selected_ && selectedIndex_ == index) {
            ClearSelectionLocked(out);
        } else if (selected_ && selectedIndex_ > index) {
            --selectedIndex_;
            out.Add(msg::kNotifyWaterMarkSelected, selectedIndex_);
        }
    }
    Send(out);
    return true;
}

void CWaterMarkMgr::RemoveAllLocked(Outbox& out) {
    ClearSelectionLocked(out);
    if (!items_.empty()) modified_ = true;
    items_.clear();
    if (drawer_) BK_ClearOverlays(drawer_.get());
}

void CWaterMarkMgr::ClearWatermarks() {
    Outbox out;
    {
        Guard g(lock_);
        RemoveAllLocked(out);
    }
    out.Add(msg::kNotifyWaterMarksCleared, 0);
    Send(out);
}

bool CWaterMarkMgr::SelectWatermark(uint32_t index) {
    Outbox out;
    {
        Guard g(lock_);
        if (!ValidIndex(index)) return false;
        for (Item& it : items_) it.rect.active = it.rect.dragging = false;
        items_[index].rect.active = true;
        selected_ = true;
        selectedIndex_ = index;
        out.Add(msg::kNotifyWaterMarkSelected, index);
    }
    Send(out);
    return true;
}

bool CWaterMarkMgr::MoveWatermark(uint32_t target) {
    Outbox out;
    {
        Guard g(lock_);
        const uint32_t from = selectedIndex_;
        if (!selected_ || !ValidIndex(from) || !ValidIndex(target) || from == target) return false;
        Item moving = std::move(items_[from]);
        items_.erase(items_.begin() + from);
        items_.insert(items_.begin() + target, std::move(moving));
        BK_MoveSlot(Drawer(), static_cast<int>(from), static_cast<int>(target));
        KeepSlotsInStep();
        selectedIndex_ = target;
        modified_ = true;
        out.AddMove(msg::kNotifyWaterMarkMoved, WaterMarkMove{from, target});
    }
    Send(out);
    return true;
}

void CWaterMarkMgr::DeselectWatermark() {
    Outbox out;
    {
        Guard g(lock_);
        ClearSelectionLocked(out);
    }
    Send(out);
}

bool CWaterMarkMgr::Selected(uint32_t& index) {
    Guard g(lock_);
    index = selectedIndex_;
    return selected_;
}

uint32_t CWaterMarkMgr::GetWatermarkType(uint32_t index) {
    Guard g(lock_);
    return ValidIndex(index) ? items_[index].mark->type : 0xFFFFFFFFu;
}

uint32_t CWaterMarkMgr::GetWatermarkCount() {
    Guard g(lock_);
    return static_cast<uint32_t>(items_.size());
}

bool CWaterMarkMgr::GetWaterMark(uint32_t index, CWaterMark& out) {
    Guard g(lock_);
    if (!ValidIndex(index)) return false;
    out = *items_[index].mark;
    return true;
}

bool CWaterMarkMgr::StepSelectedTime(bool endTime, bool later, double frameRate) {
    WaterMarkTiming t{};
    {
        Guard g(lock_);
        if (!selected_ || !ValidIndex(selectedIndex_)) return false;
        t.index = selectedIndex_;
    }
    if (!GetTiming(t)) return false;
    uint32_t& value = endTime ? t.endTime : t.startTime;
    int64_t next = 0;  // a frame rate that is not positive gives 0
    if (frameRate > 0) {
        const double step = later ? std::ceil(1000.0 / frameRate) : std::floor(-1000.0 / frameRate);
        next = std::clamp<int64_t>(static_cast<int64_t>(value) + static_cast<int64_t>(step), 0, UINT32_MAX);
    }
    value = static_cast<uint32_t>(next);
    return SetTiming(t);
}

void CWaterMarkMgr::CopyWatermarksFrom(CWaterMarkMgr& source) {
    if (&source == this) return;
    // Take what is needed from the source under its own lock only.
    std::vector<CWaterMark> marks;
    double fps;
    Rect display, sourceFrame, sourceMargins;
    bool sourceKnown;
    uint32_t sourceRange[2];
    {
        Guard g(source.lock_);
        for (const Item& it : source.items_) marks.push_back(*it.mark);
        fps = source.frameRate_;
        display = source.displayRect_;
        sourceFrame = source.frame_;
        sourceMargins = source.margins_;
        sourceKnown = source.frameKnown_;
        sourceRange[0] = source.timeRange_[0];
        sourceRange[1] = source.timeRange_[1];
    }
    Outbox out;
    {
        Guard g(lock_);
        RemoveAllLocked(out);
        // A fresh drawer: nothing of the old overlays' settings carries over.
        drawer_.reset();   // the next overlay makes it anew, at this rate
        frameRate_ = fps;
        displayRect_ = display;
        // A manager that has not been given its frame yet (a clip being
        // cloned) takes the source's, so that the frame size given next does
        // not scale the copies.
        if (!frameKnown_ && sourceKnown) {
            frame_ = sourceFrame;
            margins_ = sourceMargins;
            frameKnown_ = true;
        }
        const bool bothKnown = TimeRangeKnown() && sourceRange[1] != 0;
        for (CWaterMark& m : marks) {
            const bool whole = m.startTime == sourceRange[0] && m.endTime == sourceRange[1];
            FitTimes(m);
            if (whole && bothKnown) {
                m.startTime = timeRange_[0];
                m.endTime = timeRange_[1];
            }
            items_.push_back(Item{std::make_unique<CWaterMark>(m), CCropRect(displayRect_)});
            RegisterOverlay(items_.size() - 1, false);
            RefreshRect(items_.back());
        }
        KeepSlotsInStep();
        modified_ = true;
    }
    Send(out);
}
