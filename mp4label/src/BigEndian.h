// Big-endian loads and stores: every integer in an MP4 file is big-endian.
#ifndef MP4LABEL_BIGENDIAN_H
#define MP4LABEL_BIGENDIAN_H

#include <cstdint>

namespace mp4label {

inline uint16_t LoadBe16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t LoadBe32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

inline uint64_t LoadBe64(const uint8_t* p) {
    return (uint64_t{LoadBe32(p)} << 32) | LoadBe32(p + 4);
}

inline void StoreBe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

inline void StoreBe32(uint8_t* p, uint32_t v) {
    StoreBe16(p, static_cast<uint16_t>(v >> 16));
    StoreBe16(p + 2, static_cast<uint16_t>(v));
}

inline void StoreBe64(uint8_t* p, uint64_t v) {
    StoreBe32(p, static_cast<uint32_t>(v >> 32));
    StoreBe32(p + 4, static_cast<uint32_t>(v));
}

}  // namespace mp4label

#endif
