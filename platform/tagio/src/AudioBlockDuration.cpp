// How long one FLV audio block plays, from its own bytes where the format
// says so (MP3 frame headers, ADPCM bit counts) and from its size otherwise.
#include "tagio/tagio.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;   // 100 ns

int64_t Units(int64_t samples, int rate) { return samples * kUnitsPerSecond / rate; }

// Sums the MPEG audio frames of the block. -1 when the block does not start
// with a frame header or uses free-format bit rates (no frame length).
int64_t Mp3Duration(const uint8_t* d, uint32_t size) {
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
    int64_t units = 0;
    int64_t samples = 0;
    int rate = 0;
    bool any = false;
    uint32_t pos = 0;
    while (pos + 4 <= size) {
        const uint8_t b1 = d[pos + 1], b2 = d[pos + 2];
        const int version = (b1 >> 3) & 3, layerBits = (b1 >> 1) & 3;
        const int bitrateIndex = b2 >> 4, rateIndex = (b2 >> 2) & 3, padding = (b2 >> 1) & 1;
        if (d[pos] != 0xFF || (b1 & 0xE0) != 0xE0 || version == 1 || layerBits == 0 ||
            bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
            break;   // not a frame: the rest is padding or damage
        const int layer = 4 - layerBits;   // 1, 2 or 3
        const bool mpeg1 = version == 3;
        const int frameRate = kRates[version][rateIndex];
        const int64_t bitrate = kBitrates[mpeg1 ? 0 : 1][layer - 1][bitrateIndex] * 1000LL;
        int frameSamples;
        int64_t length;
        if (layer == 1) {
            frameSamples = 384;
            length = (12 * bitrate / frameRate + padding) * 4;
        } else {
            frameSamples = (layer == 3 && !mpeg1) ? 576 : 1152;
            length = frameSamples / 8 * bitrate / frameRate + padding;
        }
        if (rate != frameRate) {   // keep sums exact while the rate holds
            if (rate) units += Units(samples, rate);
            samples = 0;
            rate = frameRate;
        }
        samples += frameSamples;
        any = true;
        pos += static_cast<uint32_t>(length);
    }
    if (!any) return -1;
    return units + Units(samples, rate);
}

// ADPCM as Flash codes it: 2 bits of code size, then blocks of 4096 samples
// per channel, each a 22-bit header per channel and 4095 codes per channel.
int64_t AdpcmSamples(const uint8_t* d, uint32_t size, int channels) {
    const int64_t bits = static_cast<int64_t>(size) * 8 - 2;
    const int codeBits = (d[0] >> 6) + 2;
    const int64_t headerBits = 22LL * channels;
    const int64_t blockBits = headerBits + static_cast<int64_t>(codeBits) * channels * 4095;
    const int64_t blocks = bits / blockBits;
    const int64_t left = bits - blocks * blockBits;
    int64_t samples = blocks * 4096;
    if (left >= headerBits) samples += 1 + (left - headerBits) / (codeBits * channels);
    return samples;
}

}  // namespace

extern "C" TAGIO_API int64_t CalcFLVAudioBlockDuration(const uint8_t* data, uint32_t size,
                                                       int soundFormat, int sampleRate,
                                                       int bytesPerSample, int channels) {
    if (!data || size == 0 || channels < 1 || channels > 2) return -1;
    if (soundFormat == 2 || soundFormat == 14) return Mp3Duration(data, size);
    if (sampleRate <= 0) return -1;
    switch (soundFormat) {
        case 0:   // linear PCM, platform byte order
        case 3:   // linear PCM, little-endian
            if (bytesPerSample != 1 && bytesPerSample != 2) return -1;
            return Units(size / (bytesPerSample * channels), sampleRate);
        case 1:
            return Units(AdpcmSamples(data, size, channels), sampleRate);
        case 4:
        case 5:
        case 6:   // Nellymoser: 256 samples in every 64-byte block
            if (size < 64) return -1;
            return Units(size / 64 * 256, sampleRate);
        case 7:
        case 8:   // G.711: one byte per sample and channel
            return Units(size / channels, sampleRate);
        case 10:  // AAC: a configuration record plays nothing, a raw frame 1024 samples
            if (data[0] == 0) return 0;
            return data[0] == 1 ? Units(1024, sampleRate) : -1;
        default:  // Speex frame counts and device-specific sound cannot be told from here
            return -1;
    }
}
