// What the setup readers share: a bounded bit reader and the readers of
// each codec's setup record (the codec's own bytes, past the tag headers).
#pragma once

#include <cstdint>

#include "tagio/tagio.h"

namespace tagio {

// Big-endian bit reader over a bounded range; any read past the end marks it
// failed and yields 0, so a truncated setup is refused instead of read beyond.
class Bits {
public:
    Bits(const uint8_t* p, uint32_t bytes) : m_p(p), m_bits(uint64_t(bytes) * 8) {}
    uint32_t U(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            if (m_pos >= m_bits) {
                m_failed = true;
                return 0;
            }
            v = v << 1 | ((m_p[m_pos >> 3] >> (7 - (m_pos & 7))) & 1);
            ++m_pos;
        }
        return v;
    }
    // Exp-Golomb codes; more than 31 leading zeros is damage, not a number.
    uint32_t Ue() {
        int zeros = 0;
        while (U(1) == 0) {
            if (m_failed || ++zeros > 31) {
                m_failed = true;
                return 0;
            }
        }
        if (zeros == 0) return 0;
        return uint32_t((uint64_t(1) << zeros) - 1 + U(zeros));
    }
    int32_t Se() {
        const uint32_t k = Ue();
        return (k & 1) ? int32_t((k + 1) / 2) : -int32_t(k / 2);
    }
    bool Failed() const { return m_failed; }

    // A cropping window as H.264 and HEVC parameter sets give it: a flag,
    // then the left, right, top and bottom offsets (all 0 without the flag).
    struct Window {
        uint32_t left = 0, right = 0, top = 0, bottom = 0;
    };
    Window CropWindow() {
        Window w;
        if (U(1)) {
            w.left = Ue();
            w.right = Ue();
            w.top = Ue();
            w.bottom = Ue();
        }
        return w;
    }

private:
    const uint8_t* m_p;
    uint64_t m_bits;
    uint64_t m_pos = 0;
    bool m_failed = false;
};

// Copies a NAL unit's payload without its emulation prevention bytes
// (00 00 03); at most capacity bytes. Returns the bytes written.
uint32_t Unescape(const uint8_t* nal, uint32_t size, uint8_t* rbsp, uint32_t capacity);

// Each fills the fields its record declares; false for a short or malformed record.
bool ReadAvcSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s);
bool ReadAacSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s);
bool ReadHevcSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s);
bool ReadAv1Setup(const uint8_t* p, uint32_t size, TagioCodecSetup& s);
bool ReadVpSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s);
bool ReadOpusSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s);
bool ReadFlacSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s);

}  // namespace tagio
