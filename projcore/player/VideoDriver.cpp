#include "player/VideoDriver.h"

bool CVideoDriver::Open() {
    Close();
    if (imageFormat != kBgra32 || width <= 0 || height <= 0) return false;
    opened_ = true;
    return true;
}

bool CVideoDriver::Draw(CDrawSurface* target, int x, int y, int w, int h, const uint8_t* bits, int sx, int sy,
                        int sw, int sh) {
    if (!opened_ || !target || !bits || w <= 0 || h <= 0 || sw <= 0 || sh <= 0) return false;
    // The source must lie inside the frame: a bad rectangle never reads past it.
    if (sx < 0 || sy < 0 || sx + sw > width || sy + sh > height) return false;
    target->PresentFrame(bits, width, height, bottomUp, Rect{sx, sy, sx + sw, sy + sh}, Rect{x, y, x + w, y + h});
    return true;
}

void CVideoDriver::DrawRects(CDrawSurface* target, const Rect& dst, const uint8_t* bits, const Rect& src) {
    Draw(target, dst.left, dst.top, dst.Width(), dst.Height(), bits, src.left, src.top, src.Width(), src.Height());
}

void CVideoDriver::DrawAt(CDrawSurface* target, int x, int y, int w, int h, const uint8_t* bits) {
    Draw(target, x, y, w, h, bits, source.left, source.top, source.Width(), source.Height());
}

void CVideoDriver::DrawToRect(CDrawSurface* target, const Rect& dst, const uint8_t* bits) {
    DrawAt(target, dst.left, dst.top, dst.Width(), dst.Height(), bits);
}

void CVideoDriver::DrawFrame(const uint8_t* bits) { DrawToRect(surface, destination, bits); }
