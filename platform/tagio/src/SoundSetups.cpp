// The setups of the FourCC-era sound codecs (the Opus ID header, the FLAC
// STREAMINFO) and the format of the self-describing ones (AC-3, E-AC-3 and
// MPEG audio say rate and channels in every frame header).
#include "SetupBits.h"
#include "SoundFrames.h"

namespace tagio {

// "OpusHead", version, channels, pre-skip, input rate, gain, mapping family.
// Opus always decodes at 48 kHz whatever rate the input had.
bool ReadOpusSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    static const uint8_t kMagic[8] = {'O', 'p', 'u', 's', 'H', 'e', 'a', 'd'};
    if (size < 19) return false;
    for (int i = 0; i < 8; ++i)
        if (p[i] != kMagic[i]) return false;
    if ((p[8] >> 4) != 0 || p[9] == 0) return false;   // major version 0, at least one channel
    if (p[18] == 0 && p[9] > 2) return false;          // family 0 is mono or stereo only
    if (p[18] != 0 && size < 21u + p[9]) return false; // the channel mapping table
    s.sampleRate = 48000;
    s.channels = p[9];
    return true;
}

// "fLaC", then metadata blocks, the first of them STREAMINFO (block header:
// last flag and type 0, 24-bit length 34). A bare STREAMINFO is taken too.
bool ReadFlacSetup(const uint8_t* p, uint32_t size, TagioCodecSetup& s) {
    if (size >= 4 && p[0] == 'f' && p[1] == 'L' && p[2] == 'a' && p[3] == 'C') {
        if (size < 8 + 34 || (p[4] & 0x7F) != 0) return false;
        if ((uint32_t(p[5]) << 16 | uint32_t(p[6]) << 8 | p[7]) < 34) return false;
        p += 8;
        size -= 8;
    }
    if (size < 34) return false;
    Bits b(p + 10, 8);
    const uint32_t rate = b.U(20), channels = b.U(3) + 1, depth = b.U(5) + 1;
    if (rate == 0 || rate > 655350 || depth < 4) return false;
    s.sampleRate = int32_t(rate);
    s.channels = int32_t(channels);
    s.bitDepth = int32_t(depth);
    return true;
}

}  // namespace tagio

extern "C" TAGIO_API int Flv_ReadSoundFrameFormat(uint32_t codec, const uint8_t* frames,
                                                  uint32_t size, int32_t* sampleRate,
                                                  int32_t* channels) {
    if (!frames || !sampleRate || !channels) return 0;
    tagio::SoundFrame f;
    bool ok = false;
    switch (codec) {
        case TagioFourccAc3:
        case TagioFourccEac3: ok = tagio::ReadAc3Frame(frames, size, f); break;
        case TagioFourccMp3:
        case 2:
        case 14: ok = tagio::ReadMpegAudioFrame(frames, size, f); break;
        default: break;
    }
    if (!ok) return 0;
    *sampleRate = f.rate;
    *channels = f.channels;
    return 1;
}
