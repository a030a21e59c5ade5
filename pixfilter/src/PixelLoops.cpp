#include "PixelLoops.h"

#include <cstring>

namespace pixfilter {

void CopyToPacked(const uint8_t* src, std::size_t rowBytes, uint8_t* dst, int width, int height) {
    const std::size_t packedRow = static_cast<std::size_t>(width) * 4;
    if (rowBytes == packedRow) {
        std::memcpy(dst, src, packedRow * static_cast<std::size_t>(height));
        return;
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(dst + static_cast<std::size_t>(y) * packedRow,
                    src + static_cast<std::size_t>(y) * rowBytes, packedRow);
}

}  // namespace pixfilter
