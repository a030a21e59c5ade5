// Frame headers of the sound codecs whose frames say their own format and
// length: MPEG audio, AC-3 and E-AC-3; and the sample counts of Opus packets
// and FLAC frames.
#pragma once

#include <cstdint>

namespace tagio {

struct SoundFrame {
    int32_t rate = 0;
    int32_t channels = 0;
    uint32_t bytes = 0;     // the whole frame
    uint32_t samples = 0;   // per channel
};

// False when the bytes do not start with a usable frame header.
bool ReadMpegAudioFrame(const uint8_t* p, uint32_t size, SoundFrame& f);
bool ReadAc3Frame(const uint8_t* p, uint32_t size, SoundFrame& f);
// Samples per channel at 48 kHz of one Opus packet (its TOC byte and frame
// count); 0 when it cannot be told.
uint32_t OpusPacketSamples(const uint8_t* p, uint32_t size);
// Samples per channel of the FLAC frame at p; 0 when it cannot be told
// (block sizes kept at the frame's end are read from there).
uint32_t FlacFrameSamples(const uint8_t* p, uint32_t size);

}  // namespace tagio
