// Pixel words and row addressing shared by the effects.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace pixfilter {

static_assert(std::endian::native == std::endian::little,
              "pixel words assume blue in the low byte and alpha in the high byte");

// One pixel read as a word: blue in bits 0-7, green 8-15, red 16-23, alpha 24-31.
// Callers' pictures need not be 4-byte aligned and are also seen as bytes, so the
// word type is unaligned and may alias anything.
typedef uint32_t __attribute__((aligned(1), may_alias)) Px;

constexpr uint32_t kAlphaMask = 0xFF000000u;
constexpr uint32_t kColourMask = 0x00FFFFFFu;

constexpr uint32_t Blue(uint32_t p) { return p & 0xFFu; }
constexpr uint32_t Green(uint32_t p) { return (p >> 8) & 0xFFu; }
constexpr uint32_t Red(uint32_t p) { return (p >> 16) & 0xFFu; }
constexpr uint32_t Pack(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
    return b | (g << 8) | (r << 16) | (a << 24);
}

// Branch-free clamp to 0..255, so that loops using it stay vectorisable.
constexpr int32_t Clamp255(int32_t v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

inline Px* RowAt(uint8_t* base, std::size_t rowBytes, int y) {
    return reinterpret_cast<Px*>(base + static_cast<std::size_t>(y) * rowBytes);
}
inline const Px* RowAt(const uint8_t* base, std::size_t rowBytes, int y) {
    return reinterpret_cast<const Px*>(base + static_cast<std::size_t>(y) * rowBytes);
}

}  // namespace pixfilter
