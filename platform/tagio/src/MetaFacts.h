// What a file's tags say about it, gathered tag by tag for its onMetaData.
#pragma once

#include <cstdint>
#include <vector>

#include "tagio/tagio.h"

namespace tagio {

struct KeyFrame {
    uint32_t timestamp = 0;    // ms
    uint64_t keptOffset = 0;   // bytes of the file's kept tags before this one
};

class MetaFacts {
public:
    // One tag that stays in the file. keptOffset: bytes of kept tags before it.
    void AddTag(const TagioFlvTag& tag, uint64_t keptOffset);
    // Position of the last audio tag with data (-1 when none), whose block
    // duration the caller measures from its data.
    int64_t LastAudioPosition() const { return lastAudioPos_; }
    void SetLastAudioBlock(double ms) { lastAudioBlockMs_ = ms; }

    bool HasVideo() const { return videoFrames_ > 0; }
    bool HasAudio() const { return audioTags_ > 0; }
    int VideoCodec() const { return videoCodec_; }
    uint32_t Width() const { return width_; }
    uint32_t Height() const { return height_; }
    int AudioFormat() const { return audioFormat_; }
    // 0 when not known (a FourCC codec whose setup or frames were not at hand).
    uint32_t AudioSampleRate() const;
    uint32_t AudioSampleSize() const { return audioSize16_ || FourccSound() ? 16 : 8; }
    bool Stereo() const { return FourccSound() ? soundChannels_ >= 2 : stereo_; }
    bool FourccSound() const { return Flv_IsFourcc(uint32_t(audioFormat_)) != 0; }
    // A FourCC codec's setup or frames were read: the rate is known.
    bool NeedsSoundFormat() const { return FourccSound() && soundRate_ == 0; }
    // Bytes of the tags (header and data) and of their payloads after the
    // one-byte codec header, as sizes and data rates count them.
    uint64_t VideoTagBytes() const { return videoTagBytes_; }
    uint64_t AudioTagBytes() const { return audioTagBytes_; }
    uint64_t VideoPayloadBytes() const { return videoBytes_ - videoTags_; }
    uint64_t AudioPayloadBytes() const { return audioBytes_ - audioTags_; }
    // Frames per second over the video's span; 0 with fewer than two frames.
    double FrameRate() const;
    // Seconds until the end of the last tag: its timestamp plus its own
    // length (a frame's, or the audio block's).
    double Duration() const;
    uint32_t LastTimestamp() const { return lastTs_; }
    bool LastTagIsKeyFrame() const { return lastIsKey_; }
    const std::vector<KeyFrame>& KeyFrames() const { return keys_; }

private:
    uint64_t videoFrames_ = 0, videoTags_ = 0, audioTags_ = 0, videoBytes_ = 0, audioBytes_ = 0;
    uint64_t videoTagBytes_ = 0, audioTagBytes_ = 0;
    int videoCodec_ = -1, audioFormat_ = -1;
    uint32_t width_ = 0, height_ = 0;
    uint32_t audioRateIndex_ = 0;
    bool audioSize16_ = false, stereo_ = false;
    uint32_t soundRate_ = 0;      // FourCC codecs: from their setup or frames
    int32_t soundChannels_ = 0;
    uint32_t firstVideoTs_ = 0, lastVideoTs_ = 0;
    uint32_t lastAudioTs_ = 0, previousAudioTs_ = 0;
    int64_t lastAudioPos_ = -1;
    double lastAudioBlockMs_ = -1;
    uint32_t lastTs_ = 0;
    bool lastIsKey_ = false;
    std::vector<KeyFrame> keys_;
};

}  // namespace tagio
