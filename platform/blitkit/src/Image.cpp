#include "Image.h"

#include "blitkit/blitkit.h"

namespace blitkit {

int MakeFrameView(uint8_t* bits, int width, int height, int stride, FrameView& out) {
    if (!bits) return BK_ERR_ARGUMENT;
    if (width <= 0 || height <= 0 || width > BK_MAX_FRAME_SIDE || height > BK_MAX_FRAME_SIDE)
        return BK_ERR_SIZE;
    // 64-bit: negating INT_MIN must not overflow.
    const int64_t rowBytes = stride < 0 ? -static_cast<int64_t>(stride) : stride;
    // A row can be no longer than the widest frame's: a larger stride is a
    // mistake that would send the last rows far outside any buffer.
    if (rowBytes < static_cast<int64_t>(width) * 4 || rowBytes > static_cast<int64_t>(BK_MAX_FRAME_SIDE) * 4)
        return BK_ERR_SIZE;
    out.base = bits;
    out.width = width;
    out.height = height;
    out.stride = stride;
    return BK_OK;
}

}  // namespace blitkit
