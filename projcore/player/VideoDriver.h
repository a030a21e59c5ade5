#pragma once

#include <cstdint>

#include "projcore/DrawSurface.h"
#include "projcore/Records.h"

// Puts 32-bit frames on a drawing surface, from a source rectangle of the
// frame into a destination rectangle of the surface.
class CVideoDriver {
public:
    static constexpr int32_t kBgra32 = 6;  // the one image format drawn

    virtual ~CVideoDriver() = default;
    // Refused unless imageFormat is kBgra32 and the size is positive; a
    // second Open closes the first.
    virtual bool Open();
    virtual void Close() { opened_ = false; }
    void DrawRects(CDrawSurface* surface, const Rect& dst, const uint8_t* bits, const Rect& src);
    // The whole stored source rectangle into dst.
    void DrawToRect(CDrawSurface* surface, const Rect& dst, const uint8_t* bits);
    virtual bool Draw(CDrawSurface* surface, int x, int y, int w, int h, const uint8_t* bits, int sx, int sy,
                      int sw, int sh);
    void DrawAt(CDrawSurface* surface, int x, int y, int w, int h, const uint8_t* bits);
    // The stored surface, destination and source rectangles.
    void DrawFrame(const uint8_t* bits);

    bool IsOpen() const { return opened_; }

    int32_t width = 0;
    int32_t height = 0;
    int32_t imageFormat = kBgra32;
    bool bottomUp = false;  // rows of the frames stored bottom row first
    CDrawSurface* surface = nullptr;  // not owned
    Rect source{0, 0, 0, 0};
    Rect destination{0, 0, 0, 0};

private:
    bool opened_ = false;
};
