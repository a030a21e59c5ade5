// Frame sizes come only from key frames, and only for the codecs whose
// picture header carries them: Sorenson H.263, screen video, VP6 and VP9,
// and from the setups of H.264, HEVC and AV1.
#include "TagCodecFields.h"

namespace tagio {
namespace {

// Big-endian bit reader over a bounded byte range; reads past the end give 0
// and set the overrun flag.
class Bits {
public:
    Bits(const uint8_t* d, uint32_t n) : d_(d), n_(n) {}
    uint32_t Get(int count) {
        uint32_t v = 0;
        for (int i = 0; i < count; ++i, ++bit_) {
            const uint64_t byte = bit_ >> 3;
            if (byte >= n_) {
                overrun_ = true;
                v <<= 1;
                continue;
            }
            v = (v << 1) | ((d_[byte] >> (7 - (bit_ & 7))) & 1);
        }
        return v;
    }
    bool Overrun() const { return overrun_; }

private:
    const uint8_t* d_;
    uint32_t n_;
    uint64_t bit_ = 0;
    bool overrun_ = false;
};

void H263Size(const uint8_t* p, uint32_t n, uint32_t& w, uint32_t& h) {
    Bits b(p, n);
    b.Get(17 + 5 + 8);   // start code, version, temporal reference
    const uint32_t kind = b.Get(3);
    static const uint32_t kFixed[8][2] = {{0, 0}, {0, 0}, {352, 288}, {176, 144},
                                          {128, 96}, {320, 240}, {160, 120}, {0, 0}};
    if (kind == 0 || kind == 1) {
        const int bits = kind == 0 ? 8 : 16;
        w = b.Get(bits);
        h = b.Get(bits);
    } else {
        w = kFixed[kind][0];
        h = kFixed[kind][1];
    }
    if (b.Overrun()) w = h = 0;
}

void Vp6Size(const uint8_t* p, uint32_t n, uint32_t hAdjust, uint32_t vAdjust, uint32_t& w,
             uint32_t& h) {
    if (n < 2) return;
    const uint32_t at = ((p[0] & 1) || (p[1] & 0x06) == 0) ? 4 : 2;
    if (n < at + 2) return;
    const uint32_t rows = p[at] * 16u, cols = p[at + 1] * 16u;
    h = rows >= vAdjust ? rows - vAdjust : 0;
    w = cols >= hAdjust ? cols - hAdjust : 0;
}

}  // namespace

void DecodeCodecFields(TagioFlvTag& tag, const uint8_t* d, uint32_t n, TagioTagLayout* out) {
    tag.codecField1 = tag.codecField2 = tag.codecField3 = tag.codecField4 = 0;
    tag.packetType = 0;
    tag.compositionTime = 0;
    tag.trackCount = 1;
    TagioTagLayout l;
    Flv_ReadTagLayout(tag.type, d, n, tag.dataSize, &l);
    if (out) *out = l;
    if (n == 0 || (tag.type != 8 && tag.type != 9)) return;
    if (Flv_HasPacketType(tag.type, l.codec)) {
        tag.packetType = l.packetType;
        tag.compositionTime = l.compositionTime;
    }
    tag.trackCount = l.trackCount;
    if (tag.type == 8) {
        tag.codecField1 = l.codec;
        if (l.extended) return;   // the other bits hold the packet type
        tag.codecField2 = (d[0] >> 2) & 3;
        tag.codecField3 = (d[0] >> 1) & 1;
        tag.codecField4 = d[0] & 1;
        return;
    }
    tag.codecField1 = l.frameType;
    tag.codecField2 = l.codec;
    if (l.frameType != 1) return;
    uint32_t w = 0, h = 0;
    const uint8_t* p = d + 1;
    const uint32_t left = n - 1;
    switch (l.codec) {
        case 2: H263Size(p, left, w, h); break;
        case 3:
        case 6:
            if (left >= 4) {
                w = ((p[0] << 8) | p[1]) & 0x0FFF;
                h = ((p[2] << 8) | p[3]) & 0x0FFF;
            }
            break;
        case 4:
            if (left >= 1) Vp6Size(p + 1, left - 1, p[0] >> 4, p[0] & 0x0F, w, h);
            break;
        case 5:
            if (left >= 4) Vp6Size(p + 4, left - 4, p[0] >> 4, p[0] & 0x0F, w, h);
            break;
        default: {
            // The codecs with setups declare the size there; VP9 key frames
            // in their own header.
            int32_t sw = 0, sh = 0;
            TagioCodecSetup setup;
            if (l.packetType == 0 && Flv_HasPacketType(9, l.codec) &&
                Flv_ReadCodecSetup(9, d, n, &setup)) {
                sw = setup.width;
                sh = setup.height;
            } else if (l.codec == TagioFourccVp9 && l.packetType == 1 && l.payloadOffset < n) {
                Flv_ReadVp9FrameSize(d + l.payloadOffset, n - l.payloadOffset, &sw, &sh);
            }
            w = uint32_t(sw);
            h = uint32_t(sh);
            break;
        }
    }
    tag.codecField3 = w;
    tag.codecField4 = h;
}

uint32_t SizeBytesWanted(const TagioFlvTag& tag) {
    if (tag.type != 9 || tag.codecField1 != 1) return 0;
    if (tag.packetType == 0 && Flv_HasPacketType(9, tag.codecField2))
        return tag.dataSize <= kSetupBytes ? tag.dataSize : 0;
    if (tag.codecField2 == TagioFourccVp9 && tag.packetType == 1)
        return tag.dataSize < kVp9HeaderBytes ? tag.dataSize : kVp9HeaderBytes;
    return 0;
}

}  // namespace tagio
