#include "convert/FlvBindProbe.h"

#include <cstring>
#include <utility>
#include <vector>

#include "projcore/CodecNames.h"

namespace {

// Tags of both streams lie at most this far out of time order in a file, so
// the scan reads this much past the trim start before it trusts that no key
// frame at or before the trim start is still to come.
constexpr uint32_t kInterleaveMs = 1000;

bool HasPackets(uint32_t type, uint32_t codec) { return Flv_HasPacketType(type, codec) != 0; }

bool IsConfig(const TagioFlvTag& tag) {
    const bool codec = HasPackets(tag.type, tag.type == 9 ? tag.codecField2 : tag.codecField1);
    return (tag.type == 8 || tag.type == 9) && codec && tag.dataSize >= 2 && tag.packetType == 0;
}

// A codec number as people know it: the FourCC's letters or the FLV number.
std::string CodecText(uint32_t codec) {
    return Flv_IsFourcc(codec) ? codecnames::FourccText(int32_t(codec)) : std::to_string(codec);
}

std::string Size(int64_t w, int64_t h) { return std::to_string(w) + "x" + std::to_string(h); }

}  // namespace

int32_t CFlvBindProbe::CompositionTime(TagioFileReadAble*, const TagioFlvTag& tag) {
    // The tag reader read it with the header (beyond a few frames it is damage and 0).
    if (tag.type != 9 || !HasPackets(9, tag.codecField2) || tag.packetType != 1) return 0;
    return tag.compositionTime;
}

CFlvBindProbe::~CFlvBindProbe() {
    Flv_FreeTag(&audioConfig_);
    Flv_FreeTag(&videoConfig_);
}

bool CFlvBindProbe::LoadConfig(TagioFileReadAble* file, int64_t position, TagioFlvTag& out,
                               TagioCodecSetup& setup) {
    if (FileReadAble_Seek(file, position, 0) != position || !Flv_ReadTag(file, 1, &out)) return false;
    // A setup that cannot be read still travels as it is; its facts stay unknown.
    Flv_ReadCodecSetup(out.type, out.data, out.dataSize, &setup);
    return true;
}

bool CFlvBindProbe::Run(CFlvTagWalk& walk, const TagioFlvHeader& header, uint32_t trimStart) {
    TagioFileReadAble* file = walk.File();
    const bool expectAudio = header.flags & 4, expectVideo = header.flags & 1;
    TagioFlvTag tag{};
    bool haveBase = false;
    std::vector<std::pair<uint32_t, int64_t>> setups[2];   // audio, video: clip time and position
    // A setup stored after the start but before the stream's first picture
    // or sound (recorders put it with the first of them) governs from the start.
    int64_t early[2] = {-1, -1};
    bool media[2] = {false, false};
    while (walk.Next(tag)) {
        if (tag.type != 8 && tag.type != 9) continue;
        if (!haveBase) {
            base_ = tag.timestamp;
            haveBase = true;
        }
        const uint32_t t = tag.timestamp >= base_ ? tag.timestamp - base_ : 0;
        if (tag.dataSize) {
            const int s = tag.type == 9;
            if (IsConfig(tag)) {
                if (t <= trimStart) setups[s].push_back({t, tag.filePosition});
                // Also when a trim starts after it: the key frame it starts
                // from may come before it.
                if (!media[s] && early[s] < 0) early[s] = tag.filePosition;
            } else if (!HasPackets(tag.type, s ? tag.codecField2 : tag.codecField1) || tag.packetType == 1) {
                media[s] = true;
            }
            if (tag.type == 8 && !hasAudio_) {
                hasAudio_ = true;
                soundFormat_ = tag.codecField1;
                soundRate_ = tag.codecField2;
                soundSize_ = tag.codecField3;
                soundType_ = tag.codecField4;
            } else if (tag.type == 9) {
                if (!hasVideo_) {
                    hasVideo_ = true;
                    videoCodec_ = tag.codecField2;
                }
                // A setup or end of sequence comes as a key frame, but no picture starts there.
                const bool picture = !HasPackets(9, tag.codecField2) || tag.packetType == 1;
                if (tag.codecField1 == 1 && picture) {
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
    // The setups in force where the binding starts (a key frame's setup is
    // stored at its time, before or after it).
    const uint32_t start = keyFound_ ? keyTime_ : trimStart;
    int64_t at[2] = {-1, -1};
    for (int s = 0; s < 2; ++s) {
        for (const auto& [t, position] : setups[s])
            if (t <= start) at[s] = position;
        if (at[s] < 0) at[s] = early[s];
    }
    bool ok = true;
    if (at[0] >= 0) ok = LoadConfig(file, at[0], audioConfig_, audioSetup_) && ok;
    if (at[1] >= 0) ok = LoadConfig(file, at[1], videoConfig_, videoSetup_) && ok;
    return ok;
}

std::string CFlvBindProbe::Difference(const CFlvBindProbe& first) const {
    if (hasAudio_ && first.hasAudio_) {
        if (soundFormat_ != first.soundFormat_)
            return "sound format " + CodecText(soundFormat_) + " differs from the first clip's " +
                   CodecText(first.soundFormat_);
        if (soundFormat_ == 10) {
            // AAC's FLV fields are fixed; what counts is in its setup.
            const TagioCodecSetup &a = audioSetup_, &b = first.audioSetup_;
            if (!a.codec || !b.codec)
                return std::string("AAC sound without a readable setup (AudioSpecificConfig)") +
                       (a.codec ? " in the first clip" : "");
            if (a.sampleRate != b.sampleRate)
                return "AAC sample rate " + std::to_string(a.sampleRate) + " Hz differs from the first clip's " +
                       std::to_string(b.sampleRate) + " Hz; the sound would have to be encoded again";
            if (a.channels != b.channels)
                return "AAC channel count " + std::to_string(a.channels) + " differs from the first clip's " +
                       std::to_string(b.channels) + "; the sound would have to be encoded again";
            if (a.profile != b.profile)
                return "AAC object type " + std::to_string(a.profile) + " differs from the first clip's " +
                       std::to_string(b.profile) + "; the sound would have to be encoded again";
        } else if (Flv_IsFourcc(soundFormat_)) {
            // The format is in the setup (Opus, FLAC) or in every frame (AC-3,
            // MP3), which a decoder follows.
            const TagioCodecSetup &a = audioSetup_, &b = first.audioSetup_;
            if (a.codec && b.codec && (a.sampleRate != b.sampleRate || a.channels != b.channels))
                return "sample rate or channels of " + CodecText(soundFormat_) +
                       " sound differ from the first clip's; the sound would have to be encoded again";
        } else if (soundRate_ != first.soundRate_ || soundSize_ != first.soundSize_ ||
                   soundType_ != first.soundType_) {
            return "sample rate, sample size or channels differ from the first clip's";
        }
    }
    if (hasVideo_ && first.hasVideo_) {
        if (videoCodec_ != first.videoCodec_)
            return "video codec " + CodecText(videoCodec_) + " differs from the first clip's " +
                   CodecText(first.videoCodec_);
        // H.264, HEVC and AV1 declare their picture in their setup (VP9 in its key frames).
        if (HasPackets(9, videoCodec_) && videoCodec_ != TagioFourccVp9) {
            const std::string name = videoCodec_ == 7 ? "H.264" : videoCodec_ == TagioFourccAv1 ? "AV1" : "HEVC";
            const TagioCodecSetup &a = videoSetup_, &b = first.videoSetup_;
            if (!a.codec || !b.codec)
                return name + " pictures without a readable sequence header" + (a.codec ? " in the first clip" : "");
            if (a.width != b.width || a.height != b.height)
                return name + " frame size " + Size(a.width, a.height) + " differs from the first clip's " +
                       Size(b.width, b.height) + "; the pictures would have to be encoded again";
            if (a.chromaFormat != b.chromaFormat || a.bitDepth != b.bitDepth)
                return name + " chroma format or bit depth differs from the first clip's; the pictures "
                       "would have to be encoded again";
        } else if (width_ && first.width_ && (width_ != first.width_ || height_ != first.height_)) {
            return "frame size " + Size(width_, height_) + " differs from the first clip's " +
                   Size(first.width_, first.height_);
        }
    }
    return {};
}
