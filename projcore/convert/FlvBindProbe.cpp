#include "convert/FlvBindProbe.h"

#include <cstring>

namespace {

// Tags of both streams lie at most this far out of time order in a file, so
// the scan reads this much past the trim start before it trusts that no key
// frame at or before the trim start is still to come.
constexpr uint32_t kInterleaveMs = 1000;

bool IsConfigCodec(const TagioFlvTag& tag) {
    return (tag.type == 8 && tag.codecField1 == 10) || (tag.type == 9 && tag.codecField2 == 7);
}

std::string Size(uint32_t w, uint32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

}  // namespace

CFlvBindProbe::~CFlvBindProbe() {
    Flv_FreeTag(&audioConfig_);
    Flv_FreeTag(&videoConfig_);
}

bool CFlvBindProbe::LoadConfig(TagioFileReadAble* file, int64_t position, TagioFlvTag& out) {
    if (FileReadAble_Seek(file, position, 0) != position || !Flv_ReadTag(file, 1, &out)) return false;
    // Only a sequence header (packet type 0) is a codec setup.
    if (out.dataSize < 2 || out.data[1] != 0) Flv_FreeTag(&out);
    return true;
}

bool CFlvBindProbe::Run(TagioFileReadAble* file, const TagioFlvHeader& header, uint32_t trimStart) {
    const bool expectAudio = header.flags & 4, expectVideo = header.flags & 1;
    TagioFlvTag tag{};
    bool haveBase = false;
    int64_t firstAudio = -1, firstVideo = -1;
    while (Flv_ReadTag(file, 0, &tag)) {
        if (tag.type != 8 && tag.type != 9) continue;
        if (!haveBase) {
            base_ = tag.timestamp;
            haveBase = true;
        }
        const uint32_t t = tag.timestamp >= base_ ? tag.timestamp - base_ : 0;
        if (tag.dataSize) {
            if (tag.type == 8 && !hasAudio_) {
                hasAudio_ = true;
                soundFormat_ = tag.codecField1;
                soundRate_ = tag.codecField2;
                soundSize_ = tag.codecField3;
                soundType_ = tag.codecField4;
                firstAudio = IsConfigCodec(tag) ? tag.filePosition : -1;
            } else if (tag.type == 9) {
                if (!hasVideo_) {
                    hasVideo_ = true;
                    videoCodec_ = tag.codecField2;
                    firstVideo = IsConfigCodec(tag) ? tag.filePosition : -1;
                }
                if (tag.codecField1 == 1) {
                    if (!width_) {
                        width_ = tag.codecField3;
                        height_ = tag.codecField4;
                    }
                    if (t <= trimStart) {
                        keyFound_ = true;
                        keyTime_ = t;
                    }
                }
            }
        }
        if (t > trimStart + kInterleaveMs && (hasAudio_ || !expectAudio) &&
            (hasVideo_ || !expectVideo))
            break;
    }
    bool ok = true;
    if (firstAudio >= 0) ok = LoadConfig(file, firstAudio, audioConfig_) && ok;
    if (firstVideo >= 0) ok = LoadConfig(file, firstVideo, videoConfig_) && ok;
    return ok;
}

std::string CFlvBindProbe::Difference(const CFlvBindProbe& first) const {
    const auto differ = [](const TagioFlvTag& a, const TagioFlvTag& b) {
        return a.dataSize != b.dataSize ||
               (a.dataSize && std::memcmp(a.data, b.data, a.dataSize) != 0);
    };
    if (hasAudio_ && first.hasAudio_) {
        if (soundFormat_ != first.soundFormat_)
            return "sound format " + std::to_string(soundFormat_) + " differs from the first clip's " +
                   std::to_string(first.soundFormat_);
        if (soundRate_ != first.soundRate_ || soundSize_ != first.soundSize_ ||
            soundType_ != first.soundType_)
            return "sample rate, sample size or channels differ from the first clip's";
        if (differ(audioConfig_, first.audioConfig_))
            return "audio codec setup differs from the first clip's";
    }
    if (hasVideo_ && first.hasVideo_) {
        if (videoCodec_ != first.videoCodec_)
            return "video codec " + std::to_string(videoCodec_) + " differs from the first clip's " +
                   std::to_string(first.videoCodec_);
        if (width_ && first.width_ && (width_ != first.width_ || height_ != first.height_))
            return "frame size " + Size(width_, height_) + " differs from the first clip's " +
                   Size(first.width_, first.height_);
        if (differ(videoConfig_, first.videoConfig_))
            return "video codec setup (frame size or profile) differs from the first clip's";
    }
    return {};
}
