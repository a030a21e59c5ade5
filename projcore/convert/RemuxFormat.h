#pragma once

#include <cstdint>
#include <string>

#include "projcore/Records.h"

// The "no re-encoding" outputs: the clips' coded pictures and sound copied
// into MP4, MOV or Matroska. Which FLV codecs each container holds, and the
// words a refusal uses.
struct TRemuxContainer {
    const char* fileFormat;   // the output settings' FileFormat
    const char* muxer;        // avkit's container name
    const char* name;         // for messages: "MP4"
};

// The container the record asks for; null when it is no remux output.
const TRemuxContainer* RemuxContainerOf(const OutputSettings& settings);

// avkit's codec number for an FLV video CodecID or audio SoundFormat (sound:
// bits 1 or 2 bytes a sample for PCM); -1 when it is not copied anywhere.
int RemuxVideoCodec(uint32_t flvCodecId);
// A codec's name for messages ("HEVC", "Opus sound" ...).
std::string RemuxVideoName(uint32_t flvCodecId);
std::string RemuxAudioName(uint32_t flvSoundFormat);
int RemuxAudioCodec(uint32_t flvSoundFormat, uint32_t bytesPerSample);

// Empty when the container holds the FLV codec; otherwise the refusal:
// what the codec is, that the container cannot hold it without re-encoding,
// and which no-re-encoding outputs can.
std::string RemuxVideoRefusal(const TRemuxContainer& c, uint32_t flvCodecId);
std::string RemuxAudioRefusal(const TRemuxContainer& c, uint32_t flvSoundFormat);
