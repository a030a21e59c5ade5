// How long one FLV audio block plays, from its own bytes where the format
// says so (MP3, AC-3 and FLAC frame headers, Opus TOC bytes, ADPCM bit
// counts) and from its size otherwise.
#include "SoundFrames.h"
#include "tagio/tagio.h"

namespace {

constexpr int64_t kUnitsPerSecond = 10000000;   // 100 ns

int64_t Units(int64_t samples, int rate) { return samples * kUnitsPerSecond / rate; }

// Sums the frames of a block of self-describing frames (MPEG audio, AC-3,
// E-AC-3). -1 when the block does not start with a frame header (MPEG
// audio's free-format bit rates give no frame length).
int64_t FramesDuration(const uint8_t* d, uint32_t size, bool (*read)(const uint8_t*, uint32_t, tagio::SoundFrame&)) {
    int64_t units = 0;
    int64_t samples = 0;
    int rate = 0;
    bool any = false;
    uint32_t pos = 0;
    tagio::SoundFrame f;
    while (pos < size && read(d + pos, size - pos, f)) {
        if (rate != f.rate) {   // keep sums exact while the rate holds
            if (rate) units += Units(samples, rate);
            samples = 0;
            rate = f.rate;
        }
        samples += f.samples;
        any = true;
        pos += f.bytes;
    }
    if (!any) return -1;
    return units + Units(samples, rate);
}

// The sound of the FourCC codecs; data: the codec's own bytes.
int64_t FourccDuration(const uint8_t* d, uint32_t size, uint32_t codec, int sampleRate) {
    switch (codec) {
        case TagioFourccMp3: return FramesDuration(d, size, tagio::ReadMpegAudioFrame);
        case TagioFourccAc3:
        case TagioFourccEac3: return FramesDuration(d, size, tagio::ReadAc3Frame);
        case TagioFourccOpus: {
            const uint32_t samples = tagio::OpusPacketSamples(d, size);
            return samples ? Units(samples, 48000) : -1;
        }
        case TagioFourccFlac: {
            const uint32_t samples = tagio::FlacFrameSamples(d, size);
            return samples && sampleRate > 0 ? Units(samples, sampleRate) : -1;
        }
        default: return -1;
    }
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
    if (!data || size == 0) return -1;
    if (Flv_IsFourcc(uint32_t(soundFormat))) return FourccDuration(data, size, uint32_t(soundFormat), sampleRate);
    if (channels < 1 || channels > 2) return -1;
    if (soundFormat == 2 || soundFormat == 14) return FramesDuration(data, size, tagio::ReadMpegAudioFrame);
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
