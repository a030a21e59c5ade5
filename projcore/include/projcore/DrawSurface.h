#pragma once

#include <cstdint>

#include "projcore/Export.h"
#include "projcore/Records.h"

// Where the engine shows pictures: the player's preview, the conversion's
// preview and snapshots' source. The shell implements it with a widget; tests
// use an in-memory one. Both calls may come on any thread and must not block
// the engine on the window thread (copy the frame, schedule a repaint).
class PROJCORE_API CDrawSurface {
public:
    virtual ~CDrawSurface() = default;
    // bits: width x height BGRA pixels, width * 4 bytes per row, stored
    // bottom row first when bottomUp. Draws the src rectangle of the frame
    // into the dst rectangle of the surface, scaling as needed.
    virtual void PresentFrame(const uint8_t* bits, int width, int height, bool bottomUp, const Rect& src,
                              const Rect& dst) = 0;
    // Fills a rectangle of the surface (the black around a letterboxed frame).
    virtual void FillRect(const Rect& r, uint32_t bgra) = 0;
};
