#include "edit/CropRect.h"

#include <algorithm>
#include <cstdlib>

namespace {
// Products of pixel sizes stay in 64 bits; divisions truncate toward zero.
int MulDiv(int64_t a, int64_t b, int64_t c) { return c == 0 ? 0 : static_cast<int>(a * b / c); }
}  // namespace

CCropRect::CCropRect(const Rect& a) : area(a), rect{0, 0, a.Width(), a.Height()} {}

void CCropRect::Track(int x, int y, bool hitTest, bool keep) {
    const auto px = static_cast<int16_t>(x - area.left);
    const auto py = static_cast<int16_t>(y - area.top);
    lastX = px;
    lastY = py;
    if (!dragging || !active) {
        Hover(px, py, hitTest);
        return;
    }
    keepAspect = keep;
    Drag(px - pressX, py - pressY);
}

void CCropRect::Press() {
    if (!keepAspect) {
        aspectWidth = rect.Width();
        aspectHeight = rect.Height();
    }
    dragging = true;
    if (enabled) active = handle != kNone;
}

void CCropRect::Hover(int16_t px, int16_t py, bool hitTest) {
    pressX = px;
    pressY = py;
    pressRect = rect;
    const int dl = std::abs(px - rect.left), dr = std::abs(px - rect.right);
    const int dt = std::abs(py - rect.top), db = std::abs(py - rect.bottom);
    const bool insideV = dt + db == rect.bottom - rect.top;
    const bool insideH = dl + dr == rect.right - rect.left;
    const int t = kTolerance;
    if (hitTest && dt < t && dl < t) handle = kTopLeft;
    else if (hitTest && dt < t && dr < t) handle = kTopRight;
    else if (hitTest && db < t && dl < t) handle = kBottomLeft;
    else if (hitTest && db < t && dr < t) handle = kBottomRight;
    else if (hitTest && dl < t && insideV) handle = kLeft;
    else if (hitTest && dr < t && insideV) handle = kRight;
    else if (hitTest && dt < t && insideH) handle = kTop;
    else if (hitTest && db < t && insideH) handle = kBottom;
    else if (insideV && insideH) handle = kMove;
    else handle = kNone;
}

void CCropRect::Drag(int dx, int dy) {
    const int W = area.Width(), H = area.Height();
    const Rect p = pressRect;
    // Keeping the ratio needs a ratio: without one the drag is free.
    const bool aspect = keepAspect && aspectWidth > 0 && aspectHeight > 0;
    if (aspect && handle >= kLeft && handle <= kBottomRight) {
        if (handle == kTopLeft || handle == kTopRight || handle == kBottomLeft || handle == kBottomRight)
            DragCornerKeepingAspect(dx, dy, W, H);
        else
            DragEdgeKeepingAspect(dx, dy, W, H);
        return;
    }
    Rect& r = rect;
    switch (handle) {
        case kMove: {
            const Rect old = r;
            r = Rect{p.left + dx, p.top + dy, p.right + dx, p.bottom + dy};
            if (r.left < 0 && old.left >= 0) {
                r.left = 0;
                r.right = old.Width();
            }
            if (r.top < 0 && old.top >= 0) {
                r.top = 0;
                r.bottom = old.Height();
            }
            if (r.right > W && old.right <= W) {
                r.right = W;
                r.left = W - old.Width();
            }
            if (r.bottom > H && old.bottom <= H) {
                r.bottom = H;
                r.top = H - old.Height();
            }
            break;
        }
        case kLeft:
            r.left = std::max(std::min(p.left + dx, r.right - kMinSize), 0);
            break;
        case kTop:
            r.top = std::max(std::min(p.top + dy, r.bottom - kMinSize), 0);
            break;
        case kRight:
            r.right = std::min(std::max(p.right + dx, r.left + kMinSize), W);
            break;
        case kBottom:
            r.bottom = std::min(std::max(p.bottom + dy, r.top + kMinSize), H);
            break;
        case kTopLeft:
            r.top = std::max(std::min(p.top + dy, r.bottom - kMinSize), 0);
            r.left = std::max(std::min(p.left + dx, r.right - kMinSize), 0);
            break;
        case kTopRight:
            r.top = std::max(std::min(p.top + dy, r.bottom - kMinSize), 0);
            r.right = std::min(std::max(p.right + dx, r.left + kMinSize), W);
            break;
        case kBottomLeft:
            r.bottom = std::min(std::max(p.bottom + dy, r.top + kMinSize), H);
            r.left = std::max(std::min(p.left + dx, r.right - kMinSize), 0);
            break;
        case kBottomRight:
            r.bottom = std::min(std::max(p.bottom + dy, r.top + kMinSize), H);
            r.right = std::min(std::max(p.right + dx, r.left + kMinSize), W);
            break;
        default:
            break;
    }
}

void CCropRect::DragCornerKeepingAspect(int dx, int dy, int W, int H) {
    const int64_t aw = aspectWidth, ah = aspectHeight;
    const Rect p = pressRect;
    Rect& r = rect;
    // First bend the drag onto the ratio, then clamp; a clamp on one side
    // recomputes the other from the ratio.
    switch (handle) {
        case kTopLeft:
            if (ah * dx < aw * dy) dy = MulDiv(ah, dx, aw);
            else dx = MulDiv(aw, dy, ah);
            r.top = std::min(p.top + dy, r.bottom - kMinSize);
            r.left = std::min(p.left + dx, r.right - kMinSize);
            if (r.top < 0) {
                r.top = 0;
                r.left = r.right - MulDiv(r.bottom, aw, ah);
            }
            if (r.left < 0) {
                r.left = 0;
                r.top = r.bottom - MulDiv(r.right, ah, aw);
            }
            break;
        case kTopRight:
            if (-(ah * dx) < aw * dy) dy = -MulDiv(ah, dx, aw);
            else dx = -MulDiv(aw, dy, ah);
            r.top = std::min(p.top + dy, r.bottom - kMinSize);
            r.right = std::max(p.right + dx, r.left + kMinSize);
            if (r.top < 0) {
                r.top = 0;
                r.right = r.left + MulDiv(r.bottom, aw, ah);
            }
            if (r.right > W) {
                r.right = W;
                r.top = r.bottom - MulDiv(W - r.left, ah, aw);
            }
            break;
        case kBottomLeft:
            if (ah * dx < -(aw * dy)) dy = -MulDiv(ah, dx, aw);
            else dx = -MulDiv(aw, dy, ah);
            r.bottom = std::max(p.bottom + dy, r.top + kMinSize);
            r.left = std::min(p.left + dx, r.right - kMinSize);
            if (r.bottom > H) {
                r.bottom = H;
                r.left = r.right - MulDiv(H - r.top, aw, ah);
            }
            if (r.left < 0) {
                r.left = 0;
                r.bottom = r.top + MulDiv(r.right, ah, aw);
            }
            break;
        case kBottomRight:
            if (aw * dy < ah * dx) dy = MulDiv(ah, dx, aw);
            else dx = MulDiv(aw, dy, ah);
            r.bottom = std::max(p.bottom + dy, r.top + kMinSize);
            r.right = std::max(p.right + dx, r.left + kMinSize);
            if (r.right > W) {
                r.right = W;
                r.bottom = r.top + MulDiv(W - r.left, ah, aw);
            }
            if (r.bottom > H) {
                r.bottom = H;
                r.right = r.left + MulDiv(H - r.top, aw, ah);
            }
            break;
        default:
            break;
    }
}

void CCropRect::DragEdgeKeepingAspect(int dx, int dy, int W, int H) {
    const int64_t aw = aspectWidth, ah = aspectHeight;
    const Rect p = pressRect;
    Rect& r = rect;
    const bool horizontal = handle == kLeft || handle == kRight;
    // The dragged edge moves freely; the other dimension follows, centred.
    int a = 0;
    switch (handle) {
        case kLeft:
            r.left = std::min(p.left + dx, r.right - kMinSize);
            if (r.left < 0) {
                r.left = 0;
                dx = -p.left;
            }
            a = MulDiv(dx, ah, 2 * aw);
            r.top = p.top + a;
            r.bottom = p.bottom - a;
            break;
        case kRight:
            r.right = std::max(p.right + dx, r.left + kMinSize);
            if (r.right > W) {
                r.right = W;
                dx = W - p.right;
            }
            a = MulDiv(dx, ah, 2 * aw);
            r.top = p.top - a;
            r.bottom = p.bottom + a;
            break;
        case kTop:
            r.top = std::min(p.top + dy, r.bottom - kMinSize);
            if (r.top < 0) {
                r.top = 0;
                dy = -p.top;
            }
            a = MulDiv(dy, aw, 2 * ah);
            r.left = p.left + a;
            r.right = p.right - a;
            break;
        case kBottom:
            r.bottom = std::max(p.bottom + dy, r.top + kMinSize);
            if (r.bottom > H) {
                r.bottom = H;
                dy = H - p.bottom;
            }
            a = MulDiv(dy, aw, 2 * ah);
            r.left = p.left - a;
            r.right = p.right + a;
            break;
        default:
            return;
    }

    // Fit the other dimension into the area.
    int& nearSide = horizontal ? r.top : r.left;
    int& farSide = horizontal ? r.bottom : r.right;
    const int size = horizontal ? H : W;
    const int near0 = horizontal ? p.top : p.left;
    const int far0 = horizontal ? p.bottom : p.right;
    if (nearSide < 0) {
        farSide -= nearSide;
        nearSide = 0;
    }
    if (farSide > size) {
        nearSide -= farSide - size;
        farSide = size;
    }
    if (nearSide < 0) {
        // Even the whole area is too small: fill it and move the dragged edge
        // back to where the ratio allows.
        nearSide = 0;
        farSide = size;
        const int64_t spare = near0 + size - far0;
        switch (handle) {
            case kLeft: r.left = p.left - MulDiv(spare, aw, ah); break;
            case kRight: r.right = p.right + MulDiv(spare, aw, ah); break;
            case kTop: r.top = p.top - MulDiv(spare, ah, aw); break;
            case kBottom: r.bottom = p.bottom + MulDiv(spare, ah, aw); break;
            default: break;
        }
    }
    if (farSide - nearSide < kMinSize) {
        nearSide = (near0 + far0 - kMinSize) / 2;
        farSide = (near0 + far0 + kMinSize) / 2;
        if (farSide > size) {
            farSide = size;
            nearSide = size - kMinSize;
        }
        if (nearSide < 0) {
            nearSide = 0;
            farSide = kMinSize;
        }
    }
}
