#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "convert/FlvBindProgress.h"
#include "convert/RemuxFormat.h"

// One clip to copy: its file, its name (the chapter's title) and the kept
// span of it (ms, clip time; the end exclusive). toEnd: the span reaches the
// clip's end, so nothing is cut there.
struct TRemuxClip {
    std::string path;
    std::string title;
    uint32_t trimStart = 0;
    uint32_t trimEnd = 0;
    bool toEnd = false;
};

struct TRemuxResult {
    int32_t code = 0;
    std::string text;
};

// The "no re-encoding" outputs: the clips' coded pictures and sound copied
// from their FLV files into MP4, MOV or Matroska through avkit's remux
// writer, one after the other on one time line, one chapter per clip, the
// sequence's metadata as the container's tags.
//
// Every clip is examined before anything is written: a codec the container
// cannot hold, or a clip whose setup differs from the first clip's in a way
// one sample description cannot carry (another H.264 size, profile or
// parameter sets, another AAC rate), refuses the whole output.
//
// exact: a clip whose trim start falls between H.264 key pictures starts on
// the picture shown at the trim start, the pictures up to the next key
// picture coded again (CRemuxCut); otherwise, and for other codecs, a clip
// starts at the key picture at or before its trim start. A clip ends after
// the last picture shown before its trim end (with the pictures shown later
// that those depend on); sound is cut at the block boundary nearest to
// either end. Each clip starts where the one before ended.
class CRemux {
public:
    enum Code : int32_t {
        kDone = 0,
        kCannotOpenClip = 1,   // text: the clip's path
        kNotFlv = 2,           // text: the clip's path
        kRefused = 3,          // text: the clip's path and why it cannot be copied
        kWriteFailed = 4,      // text: what failed, naming the output
        kNoMedia = 5,          // text: the first clip's path
        kCancelled = 6,
    };

    // Runs on the caller's thread, reporting to and obeying job. tags: the
    // container's tags by their avkit names; empty values are left out.
    static TRemuxResult Run(const std::vector<TRemuxClip>& clips, const TRemuxContainer& container,
                            const std::vector<std::pair<std::string, std::string>>& tags,
                            const std::string& output, bool audio, bool video, bool exact,
                            CFlvBindProgress& job);
};
