// Codec setups: the AVC decoder configuration record (its first sequence
// parameter set gives the picture size) and the AAC AudioSpecificConfig, and
// the reading of every setup by the tag's layout.
#include <cstring>

#include "SetupBits.h"
#include "tagio/tagio.h"

namespace tagio {

static void SkipScalingList(Bits& b, int size) {
    int last = 8, next = 8;
    for (int j = 0; j < size && !b.Failed(); ++j) {
        // A delta is -128..127; a damaged one may be any 32-bit number.
        if (next != 0) next = int(((int64_t(last) + b.Se()) % 256 + 256) % 256);
        last = next == 0 ? last : next;
    }
}

// Sequence parameter set (NAL header byte first) to picture size and format.
static bool ReadSps(const uint8_t* nal, uint32_t size, TagioCodecSetup& s) {
    if (size < 4 || (nal[0] & 0x1F) != 7) return false;
    // Emulation prevention bytes (00 00 03) are not part of the syntax. The
    // fields read here lie well inside the first few hundred bytes.
    uint8_t rbsp[512];
    Bits b(rbsp, Unescape(nal + 1, size - 1, rbsp, sizeof rbsp));
    const uint32_t profile = b.U(8);
    b.U(8);   // constraint flags
    const uint32_t level = b.U(8);
    if (b.Ue() > 31) return false;   // seq_parameter_set_id
    uint32_t chroma = 1, depth = 8;
    bool separatePlanes = false;
    switch (profile) {
        case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118:
        case 128: case 138: case 139: case 134: case 135: {
            chroma = b.Ue();
            if (chroma > 3) return false;
            if (chroma == 3) separatePlanes = b.U(1);
            depth = b.Ue() + 8;
            if (depth > 14 || b.Ue() > 6) return false;   // luma and chroma depth
            b.U(1);   // qpprime_y_zero_transform_bypass
            if (b.U(1)) {   // scaling matrices present
                for (int i = 0; i < (chroma == 3 ? 12 : 8) && !b.Failed(); ++i)
                    if (b.U(1)) SkipScalingList(b, i < 6 ? 16 : 64);
            }
            break;
        }
        default: break;
    }
    if (b.Ue() > 12) return false;   // log2_max_frame_num - 4
    const uint32_t pocType = b.Ue();
    if (pocType == 0) {
        if (b.Ue() > 12) return false;
    } else if (pocType == 1) {
        b.U(1);
        b.Se();
        b.Se();
        const uint32_t cycle = b.Ue();
        if (cycle > 255) return false;
        for (uint32_t i = 0; i < cycle && !b.Failed(); ++i) b.Se();
    } else if (pocType != 2) {
        return false;
    }
    b.Ue();    // max_num_ref_frames
    b.U(1);    // gaps_in_frame_num_allowed
    const uint32_t widthMbs = b.Ue() + 1, heightUnits = b.Ue() + 1;
    const uint32_t frameMbsOnly = b.U(1);
    if (!frameMbsOnly) b.U(1);   // mb_adaptive_frame_field
    b.U(1);                      // direct_8x8_inference
    const Bits::Window crop = b.CropWindow();   // the frame cropping
    if (b.Failed() || widthMbs > 1024 || heightUnits > 1024) return false;
    const uint32_t arrayType = separatePlanes ? 0 : chroma;
    const uint32_t cropX = arrayType == 0 ? 1 : (arrayType == 3 ? 1 : 2);
    const uint32_t cropY = (arrayType == 1 ? 2 : 1) * (2 - frameMbsOnly);
    const int64_t width = int64_t(widthMbs) * 16 - int64_t(cropX) * (int64_t(crop.left) + crop.right);
    const int64_t height = int64_t(heightUnits) * 16 * (2 - frameMbsOnly) -
                           int64_t(cropY) * (int64_t(crop.top) + crop.bottom);
    if (width <= 0 || height <= 0) return false;
    s.width = int32_t(width);
    s.height = int32_t(height);
    s.profile = int32_t(profile);
    s.level = int32_t(level);
    s.chromaFormat = int32_t(chroma);
    s.bitDepth = int32_t(depth);
    return true;
}

// AVCDecoderConfigurationRecord: version, profile, compatibility, level,
// NAL length size, then the sequence and picture parameter sets.
bool ReadAvcSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    if (size < 7 || p[0] != 1) return false;
    uint32_t pos = 5;
    const uint32_t spsCount = p[pos++] & 0x1F;
    if (spsCount == 0) return false;
    bool first = true;
    for (uint32_t i = 0; i < spsCount; ++i) {
        if (pos + 2 > size) return false;
        const uint32_t len = uint32_t(p[pos]) << 8 | p[pos + 1];
        pos += 2;
        if (len == 0 || len > size - pos) return false;
        if (first && !ReadSps(p + pos, len, s)) return false;
        first = false;
        pos += len;
    }
    if (pos >= size) return false;   // the picture parameter sets must follow
    const uint32_t ppsCount = p[pos++];
    if (ppsCount == 0) return false;
    for (uint32_t i = 0; i < ppsCount; ++i) {
        if (pos + 2 > size) return false;
        const uint32_t len = uint32_t(p[pos]) << 8 | p[pos + 1];
        pos += 2;
        if (len == 0 || len > size - pos) return false;
        pos += len;
    }
    return true;
}

// AudioSpecificConfig: object type, sampling frequency, channel configuration.
bool ReadAacSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    static const int32_t kRates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                       22050, 16000, 12000, 11025, 8000,  7350};
    Bits b(p, size);
    uint32_t object = b.U(5);
    if (object == 31) object = 32 + b.U(6);
    const uint32_t index = b.U(4);
    uint32_t rate = index < 13 ? uint32_t(kRates[index]) : 0;
    if (index == 15) rate = b.U(24);
    const uint32_t channels = b.U(4);
    if (b.Failed() || object == 0 || rate == 0 || rate > 192000 || channels > 7) return false;
    s.profile = int32_t(object);
    s.sampleRate = int32_t(rate);
    s.channels = channels == 7 ? 8 : int32_t(channels);   // configuration 7 is 7.1
    return true;
}

uint32_t Unescape(const uint8_t* nal, uint32_t size, uint8_t* rbsp, uint32_t capacity) {
    uint32_t n = 0, zeros = 0;
    for (uint32_t i = 0; i < size && n < capacity; ++i) {
        if (zeros >= 2 && nal[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = nal[i] == 0 ? zeros + 1 : 0;
        rbsp[n++] = nal[i];
    }
    return n;
}

}  // namespace tagio

extern "C" TAGIO_API int Flv_ReadCodecSetup(uint32_t type, const uint8_t* data, uint32_t size,
                                            TagioCodecSetup* setup) {
    if (!setup) return 0;
    std::memset(setup, 0, sizeof *setup);
    TagioTagLayout l;
    if (!Flv_ReadTagLayout(type, data, size, size, &l) || !Flv_HasPacketType(type, l.codec) ||
        l.packetType != 0 || l.payloadSize == 0)
        return 0;
    const uint8_t* p = data + l.payloadOffset;
    const uint32_t n = l.payloadSize;
    TagioCodecSetup s{};
    bool ok = false;
    if (type == 9) {
        switch (l.codec) {
            case TagioCodecAvc: ok = tagio::ReadAvcSetup(p, n, s); break;
            case TagioCodecHevc:
            case TagioFourccHevc: ok = tagio::ReadHevcSetup(p, n, s); break;
            case TagioFourccAv1: ok = tagio::ReadAv1Setup(p, n, s); break;
            case TagioFourccVp9: ok = tagio::ReadVpSetup(p, n, s); break;
            default: break;
        }
    } else {
        switch (l.codec) {
            case 10: ok = tagio::ReadAacSetup(p, n, s); break;
            case TagioFourccOpus: ok = tagio::ReadOpusSetup(p, n, s); break;
            case TagioFourccFlac: ok = tagio::ReadFlacSetup(p, n, s); break;
            default: break;
        }
    }
    if (!ok) return 0;
    s.codec = int32_t(l.codec);
    *setup = s;
    return 1;
}
