// FLV stores its numbers big-endian: reading and writing them in place.
#pragma once

#include <cstdint>

namespace tagio {

inline uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
inline uint32_t Be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | Be16(p + 1); }
inline uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | Be24(p + 1); }

inline void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

}  // namespace tagio
