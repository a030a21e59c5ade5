// Row loops for rules that look at one pixel at a time. The row pointers are
// restrict-qualified and the rules branch-free so that the compiler vectorises
// the inner loops.
#pragma once

#include <cstddef>
#include <cstdint>

#include "PixelAccess.h"

namespace pixfilter {

template <class Rule>
[[gnu::always_inline]] inline void MapRow(Px* __restrict row, int width, Rule rule) {
    for (int x = 0; x < width; ++x) row[x] = rule(row[x]);
}

template <class Rule>
[[gnu::always_inline]] inline void MapRow(const Px* __restrict src, Px* __restrict dst, int width,
                                          Rule rule) {
    for (int x = 0; x < width; ++x) dst[x] = rule(src[x]);
}

// In place over rows rowBytes apart.
template <class Rule>
inline void MapPicture(uint8_t* pixels, std::size_t rowBytes, int width, int height, Rule rule) {
    for (int y = 0; y < height; ++y) MapRow(RowAt(pixels, rowBytes, y), width, rule);
}

// From rows rowBytes apart into a packed picture.
template <class Rule>
inline void MapPicture(const uint8_t* src, std::size_t rowBytes, uint8_t* dst, int width,
                       int height, Rule rule) {
    const std::size_t packedRow = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y)
        MapRow(RowAt(src, rowBytes, y), RowAt(dst, packedRow, y), width, rule);
}

// Copies rows rowBytes apart into a packed picture.
void CopyToPacked(const uint8_t* src, std::size_t rowBytes, uint8_t* dst, int width, int height);

}  // namespace pixfilter
