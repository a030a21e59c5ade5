#pragma once

#include <cstdint>
#include <string>

#include "tagio/tagio.h"

// What a clip's file holds and where its binding starts, found by reading
// tag headers (not their data) from the start of the file up to a little
// past the trim start.
class CFlvBindProbe {
public:
    CFlvBindProbe() = default;
    ~CFlvBindProbe();
    CFlvBindProbe(const CFlvBindProbe&) = delete;
    CFlvBindProbe& operator=(const CFlvBindProbe&) = delete;

    // file: positioned at its first tag by Flv_ReadHeader. Leaves the file
    // positioned anywhere. False when the file cannot be read.
    bool Run(TagioFileReadAble* file, const TagioFlvHeader& header, uint32_t trimStart);

    // Raw timestamp of the first audio or video tag: clip time 0.
    uint32_t Base() const { return base_; }
    // Clip time of the last video key frame at or before the trim start, when there is one.
    bool HasKeyFrameStart() const { return keyFound_; }
    uint32_t KeyFrameTime() const { return keyTime_; }

    bool HasAudio() const { return hasAudio_; }
    bool HasVideo() const { return hasVideo_; }
    // Codec setup tags (AAC and AVC sequence headers), loaded; type 0 when none.
    const TagioFlvTag& AudioConfig() const { return audioConfig_; }
    const TagioFlvTag& VideoConfig() const { return videoConfig_; }

    // Empty when both clips' streams can share one file; otherwise what
    // differs, in words. Streams one of the clips lacks are not compared.
    std::string Difference(const CFlvBindProbe& first) const;

private:
    bool LoadConfig(TagioFileReadAble* file, int64_t position, TagioFlvTag& out);

    uint32_t base_ = 0;
    bool keyFound_ = false;
    uint32_t keyTime_ = 0;
    bool hasAudio_ = false, hasVideo_ = false;
    uint32_t soundFormat_ = 0, soundRate_ = 0, soundSize_ = 0, soundType_ = 0;
    uint32_t videoCodec_ = 0, width_ = 0, height_ = 0;
    TagioFlvTag audioConfig_{}, videoConfig_{};
};
