// The setups of the FourCC-era video codecs: the HEVC decoder configuration
// record (its sequence parameter set gives the picture size), the AV1 codec
// configuration record (its sequence header gives the largest picture) and
// the VP codec configuration record (which declares no size: VP9 key frames
// carry it).
#include "SetupBits.h"

namespace tagio {
namespace {

constexpr uint32_t kMaxSide = 16384;

void SkipProfileTierLevel(Bits& b, uint32_t subLayers) {
    b.U(8);    // profile space, tier, profile
    b.U(32);   // compatibility flags
    b.U(32);   // source and constraint flags (48 bits)
    b.U(16);
    b.U(8);    // general level
    bool profile[8] = {}, level[8] = {};
    for (uint32_t i = 0; i < subLayers; ++i) {
        profile[i] = b.U(1);
        level[i] = b.U(1);
    }
    if (subLayers > 0)
        for (uint32_t i = subLayers; i < 8; ++i) b.U(2);
    for (uint32_t i = 0; i < subLayers; ++i) {
        if (profile[i]) {
            b.U(32);
            b.U(32);
            b.U(24);
        }
        if (level[i]) b.U(8);
    }
}

// HEVC sequence parameter set (two NAL header bytes first).
bool ReadHevcSps(const uint8_t* nal, uint32_t size, TagioCodecSetup& s) {
    if (size < 4 || ((nal[0] >> 1) & 0x3F) != 33) return false;
    uint8_t rbsp[512];
    const uint32_t n = Unescape(nal + 2, size - 2, rbsp, sizeof rbsp);
    if (n < 2) return false;
    Bits b(rbsp, n);
    b.U(4);   // video parameter set id
    const uint32_t subLayers = b.U(3);
    if (subLayers > 6) return false;
    b.U(1);
    const uint32_t profileByte = rbsp[1];   // profile space, tier, profile
    SkipProfileTierLevel(b, subLayers);
    if (b.Ue() > 15) return false;   // sequence parameter set id
    const uint32_t chroma = b.Ue();
    if (chroma > 3) return false;
    if (chroma == 3) b.U(1);   // separate colour planes
    const uint32_t width = b.Ue(), height = b.Ue();
    const Bits::Window crop = b.CropWindow();   // the conformance window
    const uint32_t depth = b.Ue() + 8;
    if (b.Failed() || width == 0 || height == 0 || width > kMaxSide || height > kMaxSide || depth > 16)
        return false;
    const uint32_t unitX = chroma == 1 || chroma == 2 ? 2 : 1, unitY = chroma == 1 ? 2 : 1;
    const int64_t w = int64_t(width) - int64_t(unitX) * (int64_t(crop.left) + crop.right);
    const int64_t h = int64_t(height) - int64_t(unitY) * (int64_t(crop.top) + crop.bottom);
    if (w <= 0 || h <= 0) return false;
    s.width = int32_t(w);
    s.height = int32_t(h);
    s.profile = int32_t(profileByte & 0x1F);
    s.chromaFormat = int32_t(chroma);
    s.bitDepth = int32_t(depth);
    return true;
}

uint32_t Leb128(const uint8_t* p, uint32_t size, uint32_t& pos, bool& ok) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) {
        if (pos >= size) break;
        const uint8_t byte = p[pos++];
        v |= uint64_t(byte & 0x7F) << (i * 7);
        if (!(byte & 0x80)) {
            ok = v <= 0xFFFFFFFFu;
            return uint32_t(v);
        }
    }
    ok = false;
    return 0;
}

// AV1 sequence header OBU payload: the largest picture the sequence codes.
bool ReadAv1SequenceHeader(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    Bits b(p, size);
    const uint32_t profile = b.U(3);
    b.U(1);   // still picture
    uint32_t level = 0;
    if (b.U(1)) {   // reduced still picture header
        level = b.U(5);
    } else {
        bool decoderModel = false;
        uint32_t delayBits = 0;
        if (b.U(1)) {   // timing info
            b.U(32);
            b.U(32);
            if (b.U(1)) {   // equal picture interval: uvlc
                int zeros = 0;
                while (!b.Failed() && b.U(1) == 0)
                    if (++zeros > 31) return false;
                b.U(zeros);
            }
            decoderModel = b.U(1);
            if (decoderModel) {
                delayBits = b.U(5) + 1;
                b.U(32);
                b.U(5);
                b.U(5);
            }
        }
        const bool displayDelay = b.U(1);
        const uint32_t points = b.U(5) + 1;
        for (uint32_t i = 0; i < points && !b.Failed(); ++i) {
            b.U(12);
            const uint32_t pointLevel = b.U(5);
            if (i == 0) level = pointLevel;
            if (pointLevel > 7) b.U(1);
            if (decoderModel && b.U(1)) {
                b.U(int(delayBits));
                b.U(int(delayBits));
                b.U(1);
            }
            if (displayDelay && b.U(1)) b.U(4);
        }
    }
    const int widthBits = int(b.U(4)) + 1, heightBits = int(b.U(4)) + 1;
    const uint32_t width = b.U(widthBits) + 1, height = b.U(heightBits) + 1;
    if (b.Failed() || width > kMaxSide || height > kMaxSide) return false;
    s.width = int32_t(width);
    s.height = int32_t(height);
    s.profile = int32_t(profile);
    s.level = int32_t(level);
    return true;
}

}  // namespace

// HEVCDecoderConfigurationRecord: 22 bytes of profile and format, then
// arrays of parameter sets by NAL type.
bool ReadHevcSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    if (size < 23 || p[0] != 1) return false;
    const uint32_t arrays = p[22];
    uint32_t pos = 23;
    bool sps = false;
    for (uint32_t a = 0; a < arrays; ++a) {
        if (pos + 3 > size) return false;
        const uint32_t type = p[pos] & 0x3F, count = uint32_t(p[pos + 1]) << 8 | p[pos + 2];
        pos += 3;
        for (uint32_t i = 0; i < count; ++i) {
            if (pos + 2 > size) return false;
            const uint32_t len = uint32_t(p[pos]) << 8 | p[pos + 1];
            pos += 2;
            if (len == 0 || len > size - pos) return false;
            if (type == 33 && !sps) {
                if (!ReadHevcSps(p + pos, len, s)) return false;
                sps = true;
            }
            pos += len;
        }
    }
    if (!sps) return false;
    s.level = p[12];
    return true;
}

// AV1CodecConfigurationRecord: marker and version (0x81), profile and level,
// format bits, a delay byte, then the sequence header OBU.
bool ReadAv1Setup(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    if (size < 4 || p[0] != 0x81) return false;
    uint32_t pos = 4;
    while (pos < size) {
        const uint8_t header = p[pos++];
        const uint32_t type = (header >> 3) & 0x0F;
        if (header & 0x80) return false;   // the forbidden bit
        if (header & 0x04) ++pos;          // extension byte
        uint32_t length = size - pos;
        if (header & 0x02) {
            bool ok = false;
            length = Leb128(p, size, pos, ok);
            if (!ok) return false;
        }
        if (pos > size || length > size - pos) return false;
        if (type == 1) {
            if (!ReadAv1SequenceHeader(p + pos, length, s)) return false;
            s.bitDepth = (p[2] & 0x40) ? ((p[2] & 0x20) ? 12 : 10) : 8;
            s.chromaFormat = (p[2] & 0x10) ? 0 : (p[2] & 0x08) ? ((p[2] & 0x04) ? 1 : 2) : 3;
            return true;
        }
        pos += length;
    }
    return false;   // no sequence header: nothing to start decoding with
}

// VPCodecConfigurationRecord: profile, level, bit depth and chroma, colour
// fields, then initialisation data of a 16-bit size. Some writers put the
// box's version and flags (1, 0) before it.
bool ReadVpSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    if (size >= 12 && p[0] == 1 && p[1] == 0 && p[2] == 0 && p[3] == 0) {
        p += 4;
        size -= 4;
    }
    if (size < 8) return false;
    const uint32_t depth = p[2] >> 4, chroma = (p[2] >> 1) & 7;
    if (p[0] > 3 || (depth != 8 && depth != 10 && depth != 12) || chroma > 3) return false;
    if ((uint32_t(p[6]) << 8 | p[7]) > size - 8) return false;
    s.profile = p[0];
    s.level = p[1];
    s.bitDepth = int32_t(depth);
    s.chromaFormat = chroma <= 1 ? 1 : chroma == 2 ? 2 : 3;
    return true;
}

}  // namespace tagio

// VP9 uncompressed frame header of a key frame: frame marker, profile,
// frame kind, sync code, colour configuration, then the size.
extern "C" TAGIO_API int Flv_ReadVp9FrameSize(const uint8_t* frame, uint32_t size, int32_t* width,
                                              int32_t* height) {
    if (!frame || !width || !height) return 0;
    tagio::Bits b(frame, size);
    if (b.U(2) != 2) return 0;   // frame marker
    const uint32_t low = b.U(1);
    const uint32_t profile = b.U(1) << 1 | low;
    if (profile == 3) b.U(1);
    if (b.U(1)) return 0;        // shows an existing frame
    if (b.U(1) != 0) return 0;   // not a key frame
    b.U(2);                      // show frame, error resilient
    if (b.U(24) != 0x498342) return 0;
    if (profile >= 2) b.U(1);    // bit depth
    const uint32_t space = b.U(3);
    if (space != 7) {            // not RGB
        b.U(1);
        if (profile == 1 || profile == 3) b.U(3);
    } else if (profile == 1 || profile == 3) {
        b.U(1);
    }
    const uint32_t w = b.U(16) + 1, h = b.U(16) + 1;
    if (b.Failed()) return 0;
    *width = int32_t(w);
    *height = int32_t(h);
    return 1;
}
