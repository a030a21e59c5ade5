#include "MetaFacts.h"

#include <algorithm>

namespace tagio {

void MetaFacts::AddTag(const TagioFlvTag& tag, uint64_t keptOffset) {
    if (tag.type != 8 && tag.type != 9) return;
    lastTs_ = std::max(lastTs_, tag.timestamp);
    if (tag.dataSize == 0) return;
    if (tag.type == 9) {
        const int codec = int(tag.codecField2);
        // Every video tag counts in the sizes, as players and checkers count them.
        videoBytes_ += tag.dataSize;
        videoTagBytes_ += tag.dataSize + 11;
        ++videoTags_;
        // A key frame tag is a place to start reading: for H.264 the sequence
        // header before its key picture (or an end of sequence) is one too,
        // and the first of them at a time stands for that time.
        lastIsKey_ = tag.codecField1 == 1;
        if (lastIsKey_ && (keys_.empty() || keys_.back().timestamp != tag.timestamp))
            keys_.push_back({tag.timestamp, keptOffset});
        if (lastIsKey_ && width_ == 0 && tag.codecField3 && tag.codecField4) {
            width_ = tag.codecField3;
            height_ = tag.codecField4;
        }
        // Codecs with packet types (AVC, HEVC, the FourCC codecs): only packet type 1 is a picture.
        const bool config = Flv_HasPacketType(9, uint32_t(codec)) && (tag.dataSize < 2 || tag.packetType != 1);
        if (config) return;
        if (videoFrames_ == 0) {
            videoCodec_ = codec;
            firstVideoTs_ = tag.timestamp;
        }
        ++videoFrames_;
        lastVideoTs_ = std::max(lastVideoTs_, tag.timestamp);
        return;
    }
    lastIsKey_ = false;
    audioBytes_ += tag.dataSize;
    audioTagBytes_ += tag.dataSize + 11;
    if (audioTags_ == 0) {
        audioFormat_ = int(tag.codecField1);
        audioRateIndex_ = tag.codecField2;
        audioSize16_ = tag.codecField3 != 0;
        stereo_ = tag.codecField4 != 0;
    }
    // The FourCC codecs' fields say nothing of the format: their setup or
    // their frames do, when the tag's data is at hand.
    if (Flv_IsFourcc(tag.codecField1) && soundRate_ == 0 && tag.data) {
        TagioCodecSetup setup;
        int32_t rate = 0, channels = 0;
        if (Flv_ReadCodecSetup(8, tag.data, tag.dataSize, &setup)) {
            rate = setup.sampleRate;
            channels = setup.channels;
        } else if (tag.audioPayload) {
            Flv_ReadSoundFrameFormat(tag.codecField1, tag.audioPayload, tag.audioPayloadSize, &rate, &channels);
        }
        soundRate_ = rate > 0 ? uint32_t(rate) : 0;
        soundChannels_ = channels;
    }
    ++audioTags_;
    previousAudioTs_ = audioTags_ > 1 ? lastAudioTs_ : tag.timestamp;
    lastAudioTs_ = tag.timestamp;
    lastAudioPos_ = tag.filePosition;
}

uint32_t MetaFacts::AudioSampleRate() const {
    if (Flv_IsFourcc(uint32_t(audioFormat_))) return soundRate_;
    if (audioFormat_ == 5) return 8000;
    if (audioFormat_ == 4) return 16000;
    static const uint32_t kRates[4] = {5512, 11025, 22050, 44100};
    return kRates[audioRateIndex_ & 3];
}

double MetaFacts::FrameRate() const {
    if (videoFrames_ < 2 || lastVideoTs_ <= firstVideoTs_) return 0;
    return double(videoFrames_ - 1) * 1000.0 / double(lastVideoTs_ - firstVideoTs_);
}

double MetaFacts::Duration() const {
    double endMs = lastTs_;
    if (videoFrames_) {
        const double rate = FrameRate();
        endMs = std::max(endMs, lastVideoTs_ + (rate > 0 ? 1000.0 / rate : 0.0));
    }
    if (audioTags_) {
        // Without a measurable block the last gap between audio tags stands in.
        const double block = lastAudioBlockMs_ >= 0 ? lastAudioBlockMs_
                                                    : double(lastAudioTs_ - previousAudioTs_);
        endMs = std::max(endMs, lastAudioTs_ + block);
    }
    return endMs / 1000.0;
}

}  // namespace tagio
