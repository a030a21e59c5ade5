#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/Remux.h"

// One stream of the output as the clips' files hold it: what the container
// is told before the first packet.
struct TRemuxStream {
    bool present = false;
    uint32_t flvCodec = 0;        // video CodecID or audio SoundFormat
    int codec = -1;               // avkit's number
    int width = 0, height = 0;    // video
    int sampleRate = 0, channels = 0, bytesPerSample = 0;   // sound as its tags declare it
    std::vector<uint8_t> setup;   // H.264 avcC, AAC AudioSpecificConfig, the VP6 size adjustment
    // Some clip's HEVC parameter sets differ from the first clip's and go in
    // band: MP4 and MOV then name the stream hev1, whose setup need not be complete.
    bool setupInBand = false;
};

// Where a clip's copy starts and what it holds.
struct TRemuxClipPlan {
    uint32_t base = 0;       // raw timestamp of its first audio or video tag
    uint32_t start = 0;      // clip time the copy starts at (the key frame at or before the trim start)
    bool audio = false, video = false;   // holds a stream the output keeps
    std::vector<uint8_t> videoSetup;     // its own video setup record (as in TRemuxStream)
    // NAL units for each of its key pictures: its parameter sets, when they
    // differ from those of the clip before or from the file's (the decoder
    // holds those after the clip before or a seek).
    std::vector<uint8_t> parameterSets;
};

// Examines every clip before anything is written: the streams, and whether
// the container and one sample description per stream can carry them all.
class CRemuxPlan {
public:
    TRemuxResult Make(const std::vector<TRemuxClip>& clips, const TRemuxContainer& container, bool audio,
                      bool video);

    TRemuxStream audio, video;
    std::vector<TRemuxClipPlan> clips;
};
