#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/FlvBindProgress.h"

// One clip to bind: its file and the kept span of it (ms, clip time).
struct TFlvBindClip {
    std::string path;
    uint32_t trimStart = 0;
    uint32_t trimEnd = 0;
};

struct TFlvBindResult {
    int32_t code = 0;
    std::string text;
};

// The "flvbind" output: joins the clips' FLV files into one without decoding.
// Each clip's tags from its trim span are copied in order, retimed onto one
// continuous time line, and the output's onMetaData is then rewritten with
// its real facts and a key-frame index.
//
// A clip starts at the video key frame at or before its trim start, so no
// joined part begins on a frame that cannot be decoded alone; the next clip
// continues one tag's length after the last tag written (and, for H.264,
// after the last picture shown), so the joins do not repeat a timestamp.
// A clip whose streams differ from the first clip's (codec, sample rate,
// sample size, channels, frame size; for AAC, H.264, HEVC and AV1 what their
// setups declare: size, chroma format, bit depth) is refused: players cannot
// switch them inside one file. Setups are written once, and again only where
// a clip's setup differs in what a decoder takes in its stride (another H.264
// profile, other HEVC parameter sets, say); an H.264 or HEVC setup written
// again also goes in band with the next key picture.
class CFlvBind {
public:
    enum Code : int32_t {
        kDone = 0,
        kCannotCreateOutput = 1,   // text: the output path
        kCannotOpenClip = 2,       // text: the clip's path
        kNotFlv = 3,               // text: the clip's path
        kEmptyList = 4,            // text: empty
        kMetadataFailed = 5,       // text: the output path
        kClipMismatch = 6,         // text: the clip's path and what differs
        kWriteFailed = 7,          // text: the output path
        kNoMedia = 8,              // text: the first clip's path (no clip holds pictures or sound)
    };

    // Runs on the caller's thread, reporting to and obeying job. What was
    // written before a failure stays, and its metadata is brought up to date.
    static TFlvBindResult Run(const std::vector<TFlvBindClip>& clips, const std::string& output,
                              bool audio, bool video, CFlvBindProgress& job);
};
