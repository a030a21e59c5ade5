// Watermarks on the preview: their rectangles in the display area, and moving
// and resizing them with the mouse.
#include <algorithm>
#include <mutex>

#include "edit/WaterMarkGeometry.h"
#include "edit/WaterMarkMgr.h"
#include "edit/WaterMarkMgrInternal.h"
#include "projcore/MessageIds.h"

namespace {
using Guard = std::lock_guard<CXMutex>;
}  // namespace

// The watermark's rectangle on the preview, relative to the display area,
// derived from the reference values (so repeated resizes of the preview
// never wear them down).
Rect CWaterMarkMgr::DisplayRectOf(const CWaterMark& m) const {
    const Rect v = VisibleRef();
    const int RW = v.Width(), RH = v.Height(), DW = displayRect_.Width(), DH = displayRect_.Height();
    const wmgeo::Point p = wmgeo::Place(m.origin, m.xOffset, m.yOffset, RW, RH, m.width, m.height);
    if (RW <= 0 || RH <= 0 || DW <= 0 || DH <= 0) return Rect{p.x, p.y, p.x + m.width, p.y + m.height};
    Rect r{wmgeo::ScaleFloor(p.x, DW, RW), wmgeo::ScaleFloor(p.y, DH, RH), wmgeo::ScaleFloor(p.x + m.width, DW, RW),
           wmgeo::ScaleFloor(p.y + m.height, DH, RH)};
    r.right = std::max(r.right, r.left + CCropRect::kMinSize);
    r.bottom = std::max(r.bottom, r.top + CCropRect::kMinSize);
    return r;
}

void CWaterMarkMgr::RefreshRect(Item& item) {
    item.rect.area = displayRect_;
    item.rect.rect = DisplayRectOf(*item.mark);
    item.rect.enabled = true;
}

// Turns the dragged rectangle back into offsets and size. An edge the drag
// did not move keeps its exact reference value; a moved one is mapped from
// the display to the nearest reference pixel. A move keeps the size.
void CWaterMarkMgr::RectToWaterMark(Item& item) {
    CWaterMark& m = *item.mark;
    const Rect v = VisibleRef();
    const int RW = v.Width(), RH = v.Height(), DW = displayRect_.Width(), DH = displayRect_.Height();
    if (RW <= 0 || RH <= 0 || DW <= 0 || DH <= 0) return;
    const Rect shown = DisplayRectOf(m);
    const wmgeo::Point p = wmgeo::Place(m.origin, m.xOffset, m.yOffset, RW, RH, m.width, m.height);
    const Rect ref{p.x, p.y, p.x + m.width, p.y + m.height};
    const Rect& d = item.rect.rect;
    const auto edge = [](int now, int before, int refValue, int num, int den) {
        return now == before ? refValue : wmgeo::ScaleRound(now, num, den);
    };
    const Rect r{edge(d.left, shown.left, ref.left, RW, DW), edge(d.top, shown.top, ref.top, RH, DH),
                 edge(d.right, shown.right, ref.right, RW, DW), edge(d.bottom, shown.bottom, ref.bottom, RH, DH)};
    const bool resize = m.type == CWaterMark::kImage && item.rect.handle != CCropRect::kMove;
    int w = m.width, h = m.height;
    if (resize) {
        w = wmgeo::ToSize16(r.right - r.left);
        h = wmgeo::ToSize16(r.bottom - r.top);
    }
    const wmgeo::Point o = wmgeo::OffsetsFor(m.origin, r.left, r.top, RW, RH, w, h);
    m.xOffset = wmgeo::ToInt16(o.x);
    m.yOffset = wmgeo::ToInt16(o.y);
    m.width = static_cast<uint16_t>(w);
    m.height = static_cast<uint16_t>(h);
    m.MarkModified();
}

void CWaterMarkMgr::SetDisplayRect(const Rect& rect) {
    Guard g(lock_);
    if (rect == displayRect_) return;
    displayRect_ = rect;
    for (Item& it : items_) RefreshRect(it);
}

void CWaterMarkMgr::OnMouseMove(int x, int y) {
    Outbox out;
    {
        Guard g(lock_);
        // Pictures can be resized (keeping their ratio when asked); texts only moved.
        for (Item& it : items_) {
            const bool picture = it.mark->type == CWaterMark::kImage;
            it.rect.Track(x, y, picture, picture && it.mark->isOrgScale != 0);
        }
        if (selected_ && ValidIndex(selectedIndex_)) {
            Item& it = items_[selectedIndex_];
            if (it.rect.dragging && it.rect.active && it.rect.handle != CCropRect::kNone) {
                RectToWaterMark(it);
                RegisterOverlay(selectedIndex_, true);
                modified_ = true;
                const CWaterMark& m = *it.mark;
                out.AddPlace(msg::kNotifyWaterMarkPlace, WaterMarkPlace{m.xOffset, m.yOffset, m.width, m.height});
            }
        }
        for (const Item& it : items_)
            if (it.rect.active) {
                out.Add(msg::kNotifyWaterMarkHandle, it.rect.handle);
                break;
            }
    }
    Send(out);
}

void CWaterMarkMgr::OnMouseDown() {
    Outbox out;
    {
        Guard g(lock_);
        const auto press = [](Item& it) {
            it.rect.Press();
            return it.rect.handle != CCropRect::kNone;
        };
        // The selected watermark wins where watermarks overlap.
        if (selected_ && ValidIndex(selectedIndex_) && press(items_[selectedIndex_])) {
            out.Add(msg::kNotifyWaterMarkHandle, items_[selectedIndex_].rect.handle);
        } else {
            bool hit = false;
            for (size_t i = 0; i < items_.size() && !hit; ++i) {
                if (!press(items_[i])) continue;
                hit = true;
                for (size_t j = i + 1; j < items_.size(); ++j) items_[j].rect.active = items_[j].rect.dragging = false;
                if (!selected_ || selectedIndex_ != i) {
                    if (selected_ && ValidIndex(selectedIndex_) && selectedIndex_ != i)
                        items_[selectedIndex_].rect.active = items_[selectedIndex_].rect.dragging = false;
                    selected_ = true;
                    selectedIndex_ = static_cast<uint32_t>(i);
                    out.Add(msg::kNotifyWaterMarkSelected, static_cast<intptr_t>(i));
                }
                out.Add(msg::kNotifyWaterMarkHandle, items_[i].rect.handle);
            }
            if (!hit) ClearSelectionLocked(out);  // a press beside every watermark
        }
    }
    Send(out);
}

void CWaterMarkMgr::OnMouseUp() {
    Outbox out;
    {
        Guard g(lock_);
        bool hit = selected_ && ValidIndex(selectedIndex_) && items_[selectedIndex_].rect.handle != CCropRect::kNone;
        for (Item& it : items_) {
            hit = hit || it.rect.handle != CCropRect::kNone;
            it.rect.Release();
        }
        // The drag is over: show the exact place the watermark now has.
        if (selected_ && ValidIndex(selectedIndex_)) RefreshRect(items_[selectedIndex_]);
        if (!hit) ClearSelectionLocked(out);
    }
    Send(out);
}

bool CWaterMarkMgr::GetSelectedRect(Rect& out) {
    Guard g(lock_);
    if (!selected_ || !ValidIndex(selectedIndex_) || !items_[selectedIndex_].rect.active) return false;
    out = items_[selectedIndex_].rect.rect;
    return true;
}

bool CWaterMarkMgr::GetSelectedRectInPicture(Rect& out) {
    Guard g(lock_);
    if (!selected_ || !ValidIndex(selectedIndex_) || !items_[selectedIndex_].rect.active) return false;
    const Rect v = VisibleRef();
    const int DW = displayRect_.Width(), DH = displayRect_.Height();
    if (DW <= 0 || DH <= 0) return false;
    // The display area shows the visible (cropped) picture.
    const Rect& d = items_[selectedIndex_].rect.rect;
    const auto x = [&](int value) { return v.left + static_cast<int>(int64_t{value} * v.Width() / DW); };
    const auto y = [&](int value) { return v.top + static_cast<int>(int64_t{value} * v.Height() / DH); };
    out = Rect{x(d.left), y(d.top), x(d.right), y(d.bottom)};
    return true;
}

bool CWaterMarkMgr::GetDisplayRect(uint32_t index, Rect& out) {
    Guard g(lock_);
    if (!ValidIndex(index)) return false;
    out = items_[index].rect.rect;
    return true;
}
