// Pixel buffers inside blitkit, and the view of a caller's frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace blitkit {

// A picture owned by blitkit: premultiplied BGRA, rows top-down, width * 4
// bytes apart (Cairo's ARGB32 layout on a little-endian machine).
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> px;

    bool empty() const { return width <= 0 || height <= 0; }
    uint8_t* row(int y) { return px.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 4; }
    const uint8_t* row(int y) const {
        return px.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
    }
};

// A caller's frame or bitmap (straight BGRA), addressed top-down whatever
// the order of its rows in memory.
struct FrameView {
    uint8_t* base = nullptr;
    int width = 0;
    int height = 0;
    ptrdiff_t stride = 0;  // negative: rows stored bottom-up

    uint8_t* row(int y) const {
        const ptrdiff_t r = stride >= 0 ? y : height - 1 - y;
        return base + r * (stride >= 0 ? stride : -stride);
    }
};

// Checks the frame arguments and fills the view. Returns BK_OK or
// BK_ERR_ARGUMENT (null pixels) or BK_ERR_SIZE (bad width, height or stride).
int MakeFrameView(uint8_t* bits, int width, int height, int stride, FrameView& out);

}  // namespace blitkit
