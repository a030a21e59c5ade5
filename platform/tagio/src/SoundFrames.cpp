#include "SoundFrames.h"

namespace tagio {

bool ReadMpegAudioFrame(const uint8_t* d, uint32_t size, SoundFrame& f) {
    static const int kBitrates[2][3][15] = {
        {   // MPEG 1: layer I, II, III (kbit/s)
            {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
            {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
            {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {   // MPEG 2 and 2.5
            {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
            {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
            {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static const int kRates[4][3] = {{11025, 12000, 8000},    // MPEG 2.5
                                     {0, 0, 0},               // reserved
                                     {22050, 24000, 16000},   // MPEG 2
                                     {44100, 48000, 32000}};  // MPEG 1
    if (size < 4) return false;
    const uint8_t b1 = d[1], b2 = d[2];
    const int version = (b1 >> 3) & 3, layerBits = (b1 >> 1) & 3;
    const int bitrateIndex = b2 >> 4, rateIndex = (b2 >> 2) & 3, padding = (b2 >> 1) & 1;
    // Free-format bit rates (index 0) give no frame length.
    if (d[0] != 0xFF || (b1 & 0xE0) != 0xE0 || version == 1 || layerBits == 0 ||
        bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return false;
    const int layer = 4 - layerBits;   // 1, 2 or 3
    const bool mpeg1 = version == 3;
    f.rate = kRates[version][rateIndex];
    const int64_t bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000LL;
    if (layer == 1) {
        f.samples = 384;
        f.bytes = uint32_t((12 * bitrate / f.rate + padding) * 4);
    } else {
        f.samples = (layer == 3 && !mpeg1) ? 576 : 1152;
        f.bytes = uint32_t(f.samples / 8 * bitrate / f.rate + padding);
    }
    f.channels = (d[3] >> 6) == 3 ? 1 : 2;
    return f.bytes > 0;
}

// AC-3 (bsid up to 10) and E-AC-3 (bsid 11 to 16) share the sync word; the
// fields after it differ.
bool ReadAc3Frame(const uint8_t* d, uint32_t size, SoundFrame& f) {
    static const int kChannels[8] = {2, 1, 2, 3, 3, 4, 4, 5};
    if (size < 8 || d[0] != 0x0B || d[1] != 0x77) return false;
    const uint32_t bsid = d[5] >> 3;
    if (bsid <= 10) {
        static const int kRates[3] = {48000, 44100, 32000};
        static const int kKbps[19] = {32,  40,  48,  56,  64,  80,  96,  112, 128, 160,
                                      192, 224, 256, 320, 384, 448, 512, 576, 640};
        const uint32_t fscod = d[4] >> 6, sizeCode = d[4] & 0x3F;
        if (fscod == 3 || sizeCode >= 38) return false;
        const int kbps = kKbps[sizeCode >> 1];
        const uint32_t words = fscod == 0 ? uint32_t(kbps) * 2
                               : fscod == 1 ? uint32_t(kbps) * 320 / 147 + (sizeCode & 1)
                                            : uint32_t(kbps) * 3;
        // acmod, then the mix levels it implies, then lfeon.
        const uint32_t acmod = d[6] >> 5;
        int bit = 3;   // bits of byte 6 used
        if ((acmod & 1) && acmod != 1) bit += 2;
        if (acmod & 4) bit += 2;
        if (acmod == 2) bit += 2;
        const uint32_t bits = uint32_t(d[6]) << 8 | d[7];
        const bool lfe = (bits >> (15 - bit)) & 1;
        f.rate = kRates[fscod];
        f.channels = kChannels[acmod] + (lfe ? 1 : 0);
        f.bytes = words * 2;
        f.samples = 1536;
        return true;
    }
    if (bsid > 16) return false;
    static const int kRates[3] = {48000, 44100, 32000};
    static const int kHalfRates[3] = {24000, 22050, 16000};
    static const uint32_t kBlocks[4] = {1, 2, 3, 6};
    const uint32_t frameWords = (uint32_t(d[2] & 0x07) << 8 | d[3]) + 1;
    const uint32_t fscod = d[4] >> 6;
    uint32_t blocks = 6;
    if (fscod == 3) {
        const uint32_t fscod2 = (d[4] >> 4) & 3;
        if (fscod2 == 3) return false;
        f.rate = kHalfRates[fscod2];
    } else {
        f.rate = kRates[fscod];
        blocks = kBlocks[(d[4] >> 4) & 3];
    }
    const uint32_t acmod = (d[4] >> 1) & 7;
    f.channels = kChannels[acmod] + (d[4] & 1);
    f.bytes = frameWords * 2;
    f.samples = blocks * 256;
    return true;
}

uint32_t OpusPacketSamples(const uint8_t* p, uint32_t size) {
    if (size == 0) return 0;
    const uint32_t config = p[0] >> 3;
    // Frame length in 48 kHz samples by configuration: SILK 10/20/40/60 ms,
    // hybrid 10/20 ms, CELT 2.5/5/10/20 ms.
    static const uint32_t kSilk[4] = {480, 960, 1920, 2880};
    uint32_t frame;
    if (config < 12) frame = kSilk[config & 3];
    else if (config < 16) frame = (config & 1) ? 960 : 480;
    else frame = 120u << (config & 3);
    uint32_t frames;
    switch (p[0] & 3) {
        case 0: frames = 1; break;
        case 1:
        case 2: frames = 2; break;
        default:
            if (size < 2) return 0;
            frames = p[1] & 0x3F;
            break;
    }
    const uint32_t samples = frame * frames;
    return samples <= 5760 ? samples : 0;   // a packet holds at most 120 ms
}

uint32_t FlacFrameSamples(const uint8_t* p, uint32_t size) {
    if (size < 5 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8) return 0;
    const uint32_t code = p[2] >> 4;
    if (code == 1) return 192;
    if (code >= 2 && code <= 5) return 576u << (code - 2);
    if (code >= 8) return 256u << (code - 8);
    if (code != 6 && code != 7) return 0;
    // The block size follows the UTF-8 coded frame or sample number.
    uint32_t pos = 4;
    const uint8_t lead = p[4];
    int extra = 0;
    while (extra < 7 && (lead & (0x80 >> extra))) ++extra;
    pos += extra > 0 ? uint32_t(extra) : 1;
    if (code == 6) return pos < size ? uint32_t(p[pos]) + 1 : 0;
    return pos + 1 < size ? (uint32_t(p[pos]) << 8 | p[pos + 1]) + 1 : 0;
}

}  // namespace tagio
