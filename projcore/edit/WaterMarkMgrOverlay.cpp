// Turning watermarks into the drawer's overlays: where each one lands in the
// drawn frames, when it shows, and drawing them on a frame.
#include <algorithm>
#include <memory>
#include <mutex>

#include "edit/CropMgr.h"
#include "edit/WaterMarkGeometry.h"
#include "edit/WaterMarkMgr.h"
#include "edit/WaterMarkMgrInternal.h"

namespace {

using Guard = std::lock_guard<CXMutex>;

struct FontDeleter {
    void operator()(BkFont* f) const { BK_DeleteFont(f); }
};
using FontPtr = std::unique_ptr<BkFont, FontDeleter>;

// The font of a text watermark at a point size. Fontconfig stands in a
// similar face for a family it does not have; an empty name gets the default.
FontPtr MakeFont(const CWaterMark& m, int points) {
    int flags = 0;
    if (m.fontStyle == 1 || m.fontStyle == 3) flags |= BK_FONT_ITALIC;
    if (m.fontStyle == 2 || m.fontStyle == 3) flags |= BK_FONT_BOLD;
    if (m.isUnderLine) flags |= BK_FONT_UNDERLINE;
    if (m.isStrikeOut) flags |= BK_FONT_STRIKEOUT;
    points = std::clamp(points, 1, 1000);
    FontPtr font(BK_CreateFont(m.font.empty() ? "Sans" : m.font.c_str(), points, flags));
    if (!font) font.reset(BK_CreateFont("Sans", points, flags));
    return font;
}

int32_t SeeThroughColour(const CWaterMark& m) {
    // Only the colour bytes count; any flag but 255 means "this colour".
    return m.HasSeeThrough() ? static_cast<int32_t>(m.transparent & 0xFFFFFFu) : -1;
}

bool MarginsFit(const Rect& m, const Rect& frame) {
    return m.left >= 0 && m.top >= 0 && m.right >= 0 && m.bottom >= 0 &&
           frame.Width() - m.left - m.right >= CCropMgr::kMinPicture &&
           frame.Height() - m.top - m.bottom >= CCropMgr::kMinPicture;
}

}  // namespace

Rect CWaterMarkMgr::VisibleRef() const {
    const Rect& m = margins_;
    return Rect{frame_.left + m.left, frame_.top + m.top, frame_.right - m.right, frame_.bottom - m.bottom};
}

CWaterMarkMgr::Target CWaterMarkMgr::TargetSpace() const {
    const Rect v = VisibleRef();
    if (!hasView_) return Target{v, v.Width(), v.Height(), v.Width(), v.Height(), true};
    const bool same = viewScaleW_ == v.Width() && viewScaleH_ == v.Height();
    return Target{viewVisible_, viewScaleW_, viewScaleH_, v.Width(), v.Height(), same};
}

void CWaterMarkMgr::MeasureText(CWaterMark& m) const {
    FontPtr font = MakeFont(m, m.textSize);
    int32_t w = 0, h = 0;
    if (font && BK_MeasureText(font.get(), m.text.c_str(), &w, &h) == BK_OK && w > 0 && h > 0) {
        m.width = wmgeo::ToSize16(w);
        m.height = wmgeo::ToSize16(h);
    }
}

void CWaterMarkMgr::TargetCorner(const CWaterMark& m, const Target& t, int w, int h, int& x, int& y) {
    const int32_t xo = t.identity ? m.xOffset : wmgeo::ScaleRound(m.xOffset, t.toW, t.refW);
    const int32_t yo = t.identity ? m.yOffset : wmgeo::ScaleRound(m.yOffset, t.toH, t.refH);
    const wmgeo::Point p = wmgeo::Place(m.origin, xo, yo, t.box.Width(), t.box.Height(), w, h);
    x = t.box.left + p.x;
    y = t.box.top + p.y;
}

void CWaterMarkMgr::RegisterOverlay(size_t i, bool replace) {
    CWaterMark& m = *items_[i].mark;
    BkDrawer* d = Drawer();
    const Target t = TargetSpace();
    const wmgeo::Span span = wmgeo::FrameSpan(m.startTime, m.endTime, frameRate_);
    const int slot = static_cast<int>(i);
    BK_SetNextAlpha(d, m.alpha);
    if (m.type == CWaterMark::kImage) {
        BK_SetNextTolerance(d, m.tolerance);
        // Always a size the drawer takes, so that the slot is made and the
        // slots stay in step with the list.
        const int w = std::clamp<int>(t.identity ? m.width : wmgeo::ScaleRound(m.width, t.toW, t.refW), 1,
                                      BK_MAX_OVERLAY_SIDE);
        const int h = std::clamp<int>(t.identity ? m.height : wmgeo::ScaleRound(m.height, t.toH, t.refH), 1,
                                      BK_MAX_OVERLAY_SIDE);
        int x = 0, y = 0;
        TargetCorner(m, t, w, h, x, y);
        const BkRect r{x, y, x + w, y + h};
        if (replace)
            BK_ReplacePicture(d, slot, m.imageFile.c_str(), &r, SeeThroughColour(m), span.start, span.count);
        else
            BK_AppendPicture(d, m.imageFile.c_str(), &r, SeeThroughColour(m), span.start, span.count);
    } else {
        MeasureText(m);  // the size in reference pixels
        // Drawn larger or smaller with the view, the text keeps its share of the picture.
        FontPtr font = MakeFont(m, t.identity ? m.textSize : wmgeo::ScaleRound(m.textSize, t.toH, t.refH));
        int32_t w = m.width, h = m.height;
        if (!t.identity && (!font || BK_MeasureText(font.get(), m.text.c_str(), &w, &h) != BK_OK)) w = h = 0;
        int x = 0, y = 0;
        TargetCorner(m, t, w, h, x, y);
        const uint32_t colour = m.textColor & 0xFFFFFFu;  // bytes red, green, blue: 0x00BBGGRR
        if (replace)
            BK_ReplaceText(d, slot, m.text.c_str(), x, y, colour, font.get(), span.start, span.count);
        else
            BK_AppendText(d, m.text.c_str(), x, y, colour, font.get(), span.start, span.count);
    }
    const int placed = replace ? slot : BK_GetOverlayCount(d) - 1;
    BK_SetFades(d, placed, wmgeo::FadeFrames(m.fadeIn, frameRate_), wmgeo::FadeFrames(m.fadeOut, frameRate_));
}

void CWaterMarkMgr::MoveOverlay(size_t i) {
    BkOverlayInfo info{};
    if (!drawer_ || BK_GetOverlayInfo(drawer_.get(), static_cast<int>(i), &info) != BK_OK) return;
    const int w = info.place.right - info.place.left, h = info.place.bottom - info.place.top;
    int x = 0, y = 0;
    TargetCorner(*items_[i].mark, TargetSpace(), w, h, x, y);
    BK_MoveOverlay(Drawer(), static_cast<int>(i), x, y);
}

void CWaterMarkMgr::KeepSlotsInStep() {
    if (OverlayCount() == static_cast<int>(items_.size())) return;
    BK_ClearOverlays(Drawer());
    for (size_t i = 0; i < items_.size(); ++i) RegisterOverlay(i, false);
}

void CWaterMarkMgr::ReplaceAll() {
    for (size_t i = 0; i < items_.size(); ++i) RegisterOverlay(i, true);
    KeepSlotsInStep();
    for (Item& it : items_) RefreshRect(it);
}

void CWaterMarkMgr::SetFrameSize(const Rect& rect) {
    if (rect.Width() <= 0 || rect.Height() <= 0) return;
    Guard g(lock_);
    if (rect == frame_) {
        frameKnown_ = true;
        return;
    }
    // The reference space itself changes: watermarks keep their share of
    // the picture. This is the one place stored values are rescaled.
    const int64_t ow = frame_.Width(), oh = frame_.Height(), nw = rect.Width(), nh = rect.Height();
    for (Item& it : items_) {
        CWaterMark& m = *it.mark;
        m.xOffset = wmgeo::ToInt16(m.xOffset * nw / ow);
        m.yOffset = wmgeo::ToInt16(m.yOffset * nh / oh);
        m.width = wmgeo::ToSize16(m.width * nw / ow);
        m.height = wmgeo::ToSize16(m.height * nh / oh);
        m.MarkModified();
    }
    if (!items_.empty()) modified_ = true;
    frame_ = rect;
    frameKnown_ = true;
    if (!MarginsFit(margins_, frame_)) margins_ = Rect{0, 0, 0, 0};
    ReplaceAll();
}

void CWaterMarkMgr::SetFrameRate(double fps) {
    if (!(fps > 0) || fps > 1e6) return;
    Guard g(lock_);
    if (fps == frameRate_) return;
    frameRate_ = fps;
    if (drawer_) BK_SetFrameRate(drawer_.get(), fps);
    ReplaceAll();
    modified_ = true;
}

void CWaterMarkMgr::SetViewRects(const Rect& frame, const Rect& scaleTo, const Rect& visible) {
    if (frame.Width() <= 0 || frame.Height() <= 0) return;
    const bool inside = visible.Width() > 0 && visible.Height() > 0 && visible.left >= frame.left &&
                        visible.top >= frame.top && visible.right <= frame.right && visible.bottom <= frame.bottom;
    const Rect box = inside ? visible : frame;
    const int32_t sw = scaleTo.Width() > 0 ? scaleTo.Width() : box.Width();
    const int32_t sh = scaleTo.Height() > 0 ? scaleTo.Height() : box.Height();
    Guard g(lock_);
    if (hasView_ && box == viewVisible_ && sw == viewScaleW_ && sh == viewScaleH_) return;
    hasView_ = true;
    viewVisible_ = box;
    viewScaleW_ = sw;
    viewScaleH_ = sh;
    ReplaceAll();
}

void CWaterMarkMgr::ClearViewRects() {
    Guard g(lock_);
    if (!hasView_) return;
    hasView_ = false;
    ReplaceAll();
}

void CWaterMarkMgr::OnCropChanged(const Rect& margins) {
    Guard g(lock_);
    // Margins that leave no picture are not taken (the crop manager refuses them too).
    if (!MarginsFit(margins, frame_) || margins == margins_) return;
    margins_ = margins;
    // Without a view only the place changes: the overlays are moved, not made anew.
    if (hasView_) {
        ReplaceAll();
        return;
    }
    for (size_t i = 0; i < items_.size(); ++i) MoveOverlay(i);
    for (Item& it : items_) RefreshRect(it);
}

void CWaterMarkMgr::OnCropMessage(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (p1 && p2 == static_cast<intptr_t>(sizeof(Rect))) OnCropChanged(*reinterpret_cast<const Rect*>(p1));
}

void CWaterMarkMgr::DrawOverlays(uint8_t* pixels, int width, int height, int stride, int64_t time100ns) {
    Guard g(lock_);
    DrawOverlaysAtFrame(pixels, width, height, stride, wmgeo::FrameIndex(time100ns, frameRate_));
}

void CWaterMarkMgr::DrawOverlaysAtFrame(uint8_t* pixels, int width, int height, int stride, int frame) {
    Guard g(lock_);
    if (!drawer_) return;   // no overlay was ever made
    BK_SetFrameIndex(drawer_.get(), frame);
    BK_BlendFrame(drawer_.get(), pixels, width, height, stride);
}

bool CWaterMarkMgr::ShowsAnyAt(int64_t time100ns) {
    Guard g(lock_);
    return drawer_ && BK_AnyOverlayShown(drawer_.get(), wmgeo::FrameIndex(time100ns, frameRate_)) != 0;
}

bool CWaterMarkMgr::GetOverlayInfo(uint32_t index, BkOverlayInfo& info) {
    Guard g(lock_);
    return ValidIndex(index) && drawer_ && BK_GetOverlayInfo(drawer_.get(), static_cast<int>(index), &info) == BK_OK;
}

int CWaterMarkMgr::GetOverlayCount() {
    Guard g(lock_);
    return OverlayCount();
}

int CWaterMarkMgr::OverlayCount() {
    return drawer_ ? BK_GetOverlayCount(drawer_.get()) : 0;
}
