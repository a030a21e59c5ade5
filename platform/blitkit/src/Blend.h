// "Over" blending of a premultiplied picture into a caller's straight frame.
#pragma once

#include <cstdint>

#include "Image.h"

namespace blitkit {

// Draws src with its top-left corner at (x, y), its alpha scaled by
// strength (0 ... 255). Only the part inside the frame is written.
void BlendOver(const FrameView& dst, const Image& src, int64_t x, int64_t y, int strength);

}  // namespace blitkit
