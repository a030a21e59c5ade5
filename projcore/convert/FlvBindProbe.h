#pragma once

#include <cstdint>
#include <string>

#include "convert/FlvTagWalk.h"
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

    // walk: at the file's first tag. Leaves the walk and its file anywhere.
    // False when the file cannot be read.
    bool Run(CFlvTagWalk& walk, const TagioFlvHeader& header, uint32_t trimStart);
    // The same, reading the file (positioned at its first tag).
    bool Run(TagioFileReadAble* file, const TagioFlvHeader& header, uint32_t trimStart) {
        CFlvTagWalk walk(file, nullptr);
        return Run(walk, header, trimStart);
    }

    // Raw timestamp of the first audio or video tag: clip time 0.
    uint32_t Base() const { return base_; }
    // Clip time of the last video key frame at or before the trim start, when there is one.
    bool HasKeyFrameStart() const { return keyFound_; }
    uint32_t KeyFrameTime() const { return keyTime_; }

    bool HasAudio() const { return hasAudio_; }
    bool HasVideo() const { return hasVideo_; }
    // The first audio tag's fields (SoundFormat, rate index, size, type) and
    // the first video tag's codec and key-frame size (0 when not in its header).
    uint32_t SoundFormat() const { return soundFormat_; }
    uint32_t SoundRate() const { return soundRate_; }
    uint32_t SoundSize() const { return soundSize_; }
    uint32_t SoundType() const { return soundType_; }
    uint32_t VideoCodec() const { return videoCodec_; }
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    // The codec setups (AAC and AVC sequence headers) in force where the
    // binding starts, loaded; type 0 when none.
    const TagioFlvTag& AudioConfig() const { return audioConfig_; }
    const TagioFlvTag& VideoConfig() const { return videoConfig_; }
    // What they declare; codec 0 when there is none or it cannot be read.
    const TagioCodecSetup& AudioSetup() const { return audioSetup_; }
    const TagioCodecSetup& VideoSetup() const { return videoSetup_; }

    // Empty when both clips' streams can share one file; otherwise what
    // differs, in words. Streams one of the clips lacks are not compared.
    // Codec setups may differ in what a decoder takes in its stride (an H.264
    // profile, AAC extensions): the later clip's setup is then written again.
    std::string Difference(const CFlvBindProbe& first) const;

    // How much later than stored an H.264 picture tag is shown (ms), read
    // from the file; 0 for other tags.
    static int32_t CompositionTime(TagioFileReadAble* file, const TagioFlvTag& tag);

private:
    bool LoadConfig(TagioFileReadAble* file, int64_t position, TagioFlvTag& out,
                    TagioCodecSetup& setup);

    uint32_t base_ = 0;
    bool keyFound_ = false;
    uint32_t keyTime_ = 0;
    bool hasAudio_ = false, hasVideo_ = false;
    uint32_t soundFormat_ = 0, soundRate_ = 0, soundSize_ = 0, soundType_ = 0;
    uint32_t videoCodec_ = 0, width_ = 0, height_ = 0;
    TagioFlvTag audioConfig_{}, videoConfig_{};
    TagioCodecSetup audioSetup_{}, videoSetup_{};
};
