#include "ReliefEffect.h"

#include <cstring>

#include "PixelAccess.h"

namespace pixfilter {

namespace {

// The rule reads the row below, which the in-place pass has not reached yet, so
// in place and into a buffer give the same picture.
template <bool Engrave>
[[gnu::always_inline]] inline uint32_t Relief(uint32_t p, uint32_t below, int32_t n) {
    const int32_t pb = static_cast<int32_t>(Blue(p)), qb = static_cast<int32_t>(Blue(below));
    const int32_t pg = static_cast<int32_t>(Green(p)), qg = static_cast<int32_t>(Green(below));
    const int32_t pr = static_cast<int32_t>(Red(p)), qr = static_cast<int32_t>(Red(below));
    const int32_t b = Engrave ? qb + n - pb : pb + n - qb;
    const int32_t g = Engrave ? qg + n - pg : pg + n - qg;
    const int32_t r = Engrave ? qr + n - pr : pr + n - qr;
    return (p & kAlphaMask) | Pack(static_cast<uint32_t>(Clamp255(b)),
                                   static_cast<uint32_t>(Clamp255(g)),
                                   static_cast<uint32_t>(Clamp255(r)), 0);
}

template <bool Engrave>
void ReliefRowInPlace(Px* __restrict row, const Px* __restrict next, int count, int32_t n) {
    for (int x = 0; x < count; ++x) row[x] = Relief<Engrave>(row[x], next[x + 1], n);
}

template <bool Engrave>
void ReliefRow(const Px* __restrict row, const Px* __restrict next, Px* __restrict dst, int count,
               int32_t n) {
    for (int x = 0; x < count; ++x) dst[x] = Relief<Engrave>(row[x], next[x + 1], n);
}

template <bool Engrave>
void ReliefInPlace(uint8_t* pixels, std::size_t rowBytes, int w, int h, int32_t n) {
    for (int y = 0; y + 1 < h; ++y)
        ReliefRowInPlace<Engrave>(RowAt(pixels, rowBytes, y), RowAt(pixels, rowBytes, y + 1), w - 1,
                                  n);
}

template <bool Engrave>
void ReliefToBuffer(const uint8_t* src, std::size_t rowBytes, uint8_t* out, int w, int h,
                    int32_t n) {
    const std::size_t packedRow = static_cast<std::size_t>(w) * 4;
    for (int y = 0; y < h; ++y) {
        const Px* row = RowAt(src, rowBytes, y);
        Px* dst = RowAt(out, packedRow, y);
        if (y + 1 < h) {
            ReliefRow<Engrave>(row, RowAt(src, rowBytes, y + 1), dst, w - 1, n);
            dst[w - 1] = row[w - 1];
        } else {
            std::memcpy(dst, row, packedRow);
        }
    }
}

}  // namespace

bool CReliefEffect::SetParameter(const char* name, const void* value, int32_t size) {
    if (!IsParameter(name, size, m_parameterName, 1)) return false;
    m_number = *static_cast<const uint8_t*>(value);
    return true;
}

bool CReliefEffect::ProcessInPlace(uint8_t* pixels) {
    if (m_engrave)
        ReliefInPlace<true>(pixels, RowBytes(), Width(), Height(), m_number);
    else
        ReliefInPlace<false>(pixels, RowBytes(), Width(), Height(), m_number);
    return true;
}

bool CReliefEffect::ProcessToBuffer(const uint8_t* pixels, uint8_t** output) {
    uint8_t* out = OutputBuffer();
    if (out == nullptr) return false;
    if (m_engrave)
        ReliefToBuffer<true>(pixels, RowBytes(), out, Width(), Height(), m_number);
    else
        ReliefToBuffer<false>(pixels, RowBytes(), out, Width(), Height(), m_number);
    *output = out;
    return true;
}

}  // namespace pixfilter
