#include "render/FLVClipRender.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "model/FLVClip.h"
#include "render/FLVCache.h"

namespace {
constexpr int32_t kQueueTags = 1000;
constexpr int32_t kMaxIntervalMs = 500;
constexpr int32_t kResizeBicubic = 2;
constexpr int32_t kSeekVideoKeyFrame = 9, kSeekAudio = 8;
constexpr double kNoVideoFrameRate = 25.0;
}  // namespace

CFLVClipRender::CFLVClipRender(CFLVClip* clip, CFLVCache* cache) : clip_(clip), cache_(cache) {}

CFLVClipRender::~CFLVClipRender() { Close(); }

bool CFLVClipRender::Open() {
    Close();
    if (!clip_ || !cache_) return false;
    FLVInfo info{};
    if (cache_->GetReader(clip_->FilePath(), &reader_, &info) != CFLVCache::kOk) return false;
    info_ = info;
    hasAudio_ = info.audioFormat != -1;
    hasVideo_ = info.videoCodec != -1;
    if (!hasAudio_ && !hasVideo_) {
        Close();
        return false;
    }
    frameRate_ = hasVideo_ && info.frameRate > 0 ? info.frameRate : kNoVideoFrameRate;
    if (!hasVideo_) keepLastFrame_ = false;
    uint32_t audioEnd = 0, videoEnd = 0;
    FLVAVTagReader_GetDuration(reader_, &audioEnd, &videoEnd);
    duration_ = std::max(audioEnd, videoEnd);
    FLVAVTagReader_SetAutoReleaseMemory(reader_, 0);
    // A range given by the clip (its trim) is kept, inside the file.
    if (rangeEnd_ == 0xFFFFFFFF || rangeEnd_ > duration_) rangeEnd_ = duration_;
    if (rangeStart_ > rangeEnd_) rangeStart_ = 0;
    lastTime_ = startTime_ = rangeStart_;
    currentTime_ = rangeStart_;
    if (hasVideo_) {
        privateReader_ = FLVAVTagReader_Create();
        if (!privateReader_ || FLVAVTagReader_Assign(reader_, privateReader_) == 0) {
            Close();
            return false;
        }
        frameReader_ = VideoFrameReader_CreateEx(privateReader_, frameRate_, 1, 0);
        if (!frameReader_) {
            Close();
            return false;
        }
    }
    currentFrame_ = FrameOfTime(int64_t{rangeStart_} * 10000, frameRate_);
    frameDuration_ = static_cast<int64_t>(10000000.0 / frameRate_);
    if (keepLastFrame_ && info.width > 0 && info.height > 0)
        lastFrame_.assign(static_cast<size_t>(info.width) * static_cast<size_t>(info.height) * 4, 0);
    opened_ = true;
    return true;
}

void CFLVClipRender::Close() {
    Stop();
    DropDecoders();
    if (frameReader_) VideoFrameReader_Delete(frameReader_);
    frameReader_ = nullptr;
    if (privateReader_) {
        FLVAVTagReader_Close(privateReader_);
        FLVAVTagReader_Delete(privateReader_);
    }
    privateReader_ = nullptr;
    if (reader_ && cache_) cache_->ReleaseReader(reader_);
    reader_ = nullptr;
    lastFrame_.clear();
    haveLastFrame_ = false;
    opened_ = false;
}

void CFLVClipRender::MakeDecoders() {
    auto setUp = [&](FLVStreamDecoderHandle d, bool video) {
        FLVStreamDecoder_SetOutputCallBack(d, video ? &CFLVClipRender::OnVideo : &CFLVClipRender::OnAudio, this);
        FLVStreamDecoder_SetOutputEndCallBack(d, video ? &CFLVClipRender::OnVideoEnd : &CFLVClipRender::OnAudioEnd,
                                              this);
        FLVStreamDecoder_SetDeleteFLVTagCallBack(d, &CFLVClipRender::OnDeleteTag, this);
        FLVStreamDecoder_SetMaxFLVTagQueue(d, kQueueTags);
        FLVStreamDecoder_SetMaxIntervalTime(d, kMaxIntervalMs);
        FLVStreamDecoder_SetDecodeSyncMode(d, 0);
        if (video) {
            FLVStreamDecoder_SetOutputSize(d, info_.width, info_.height);
            FLVStreamDecoder_SetOutputFPS(d, frameRate_);
            FLVStreamDecoder_SetDecodeAlphaChannel(d, 1);
            FLVStreamDecoder_SetCropRect(d, nullptr);
            FLVStreamDecoder_SetResizeMode(d, kResizeBicubic);
        } else {
            if (info_.sampleRate > 0) FLVStreamDecoder_SetSampleRate(d, info_.sampleRate);
            if (info_.channels > 0) FLVStreamDecoder_SetNumberOfChannels(d, info_.channels);
        }
    };
    if (hasAudio_) {
        audioDecoder_ = FLVStreamDecoder_Create(0);
        setUp(audioDecoder_, false);
    }
    if (hasVideo_) {
        videoDecoder_ = FLVStreamDecoder_Create(1);
        setUp(videoDecoder_, true);
    }
    if (audioDecoder_) FLVStreamDecoder_Run(audioDecoder_);
    if (videoDecoder_) FLVStreamDecoder_Run(videoDecoder_);
}

void CFLVClipRender::DropDecoders() {
    // Terminating gives every queued tag back through OnDeleteTag.
    if (audioDecoder_) {
        FLVStreamDecoder_Terminate(audioDecoder_);
        FLVStreamDecoder_Delete(audioDecoder_);
    }
    if (videoDecoder_) {
        FLVStreamDecoder_Terminate(videoDecoder_);
        FLVStreamDecoder_Delete(videoDecoder_);
    }
    audioDecoder_ = videoDecoder_ = nullptr;
}

void CFLVClipRender::Play() {
    if (!opened_) return;
    if (ResumeIfPaused()) return;
    StopWorker();
    DropDecoders();
    MakeDecoders();
    startTime_ = lastTime_.load();
    playState_ = kPlaying;
    worker_ = std::thread(&CFLVClipRender::Run, this);
}



void CFLVClipRender::Stop() {
    const bool wasRunning = playState_ != kStopped || worker_.joinable();
    StopWorker();
    DropDecoders();
    if (wasRunning) {
        startTime_ = lastTime_ = rangeStart_;
        currentTime_ = rangeStart_;
    }
}


void CFLVClipRender::EndInput() {
    if (audioDecoder_) FLVStreamDecoder_DeliverEnd(audioDecoder_);
    if (videoDecoder_) FLVStreamDecoder_DeliverEnd(videoDecoder_);
}

void CFLVClipRender::Run() {
    bool first = true;
    {
        std::lock_guard lock(readerMutex_);
        uint32_t at = 0;
        if (FLVAVTagReader_SeekEx(reader_, hasVideo_ ? kSeekVideoKeyFrame : kSeekAudio,
                                  static_cast<uint32_t>(startTime_), &at) != 0)
            FLVAVTagReader_SeekToBegin(reader_);
    }
    for (;;) {
        if (!WaitWhilePaused()) return;
        FLVTag* tag = nullptr;
        uint32_t duration = 0;
        int32_t result;
        {
            std::lock_guard lock(readerMutex_);
            result = FLVAVTagReader_ReadTag(reader_, 1, 0, &tag, &duration);
        }
        if (result != 0 || !tag) {
            // The end of the file, or a file that cannot be read on: either
            // way the stream ends properly, so the owner learns of it.
            if (result == 1) lastTime_ = rangeEnd_;
            EndInput();
            return;
        }
        if (tag->timestamp >= rangeEnd_) {
            lastTime_ = rangeEnd_;
            std::lock_guard lock(readerMutex_);
            FLVAVTagReader_ReleaseMemory(reader_, tag);
            EndInput();
            return;
        }
        FLVStreamDecoderHandle decoder = tag->type == 8 ? audioDecoder_ : tag->type == 9 ? videoDecoder_ : nullptr;
        if (decoder && first) {
            timeBase_ = tag->timestamp;
            first = false;
        }
        if (!decoder || tag->timestamp < timeBase_) {
            std::lock_guard lock(readerMutex_);
            FLVAVTagReader_ReleaseMemory(reader_, tag);
            continue;
        }
        tag->timestamp -= timeBase_;
        // A full queue: wait a little for the decoder, as long as we play.
        while (FLVStreamDecoder_DeliverFLVPacket(decoder, tag) == 0) {
            std::unique_lock lock(stateMutex_);
            stateChanged_.wait_for(lock, std::chrono::milliseconds(2), [&] { return playState_ == kStopped; });
            if (playState_ == kStopped) {
                lock.unlock();
                std::lock_guard readerLock(readerMutex_);
                FLVAVTagReader_ReleaseMemory(reader_, tag);
                return;
            }
        }
    }
}

void CFLVClipRender::OnDeleteTag(void* self, FLVTag* tag) {
    auto* r = static_cast<CFLVClipRender*>(self);
    std::lock_guard lock(r->readerMutex_);
    FLVAVTagReader_ReleaseMemory(r->reader_, tag);
}

void CFLVClipRender::OnVideo(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t dur, int32_t once,
                             int32_t filler) {
    auto* r = static_cast<CFLVClipRender*>(self);
    const int64_t t = ts + int64_t{r->timeBase_} * 10000;
    if (t / 10000 < r->startTime_ || t / 10000 >= r->rangeEnd_) return;
    if (!r->WaitWhilePaused()) return;
    if (r->keepLastFrame_ && !r->redrawing_) {
        std::lock_guard lock(r->lastFrameMutex_);
        const size_t n = std::min(r->lastFrame_.size(), static_cast<size_t>(size));
        std::memcpy(r->lastFrame_.data(), data, n);
        r->lastFrameTime_ = t;
        r->lastFrameDuration_ = dur;
        r->haveLastFrame_ = n > 0;
    }
    if (r->videoCallback_) r->videoCallback_(r->videoUser_, r->clip_, data, size, t, dur, once != 0, filler != 0);
    r->currentTime_ = t / 10000;
    r->lastTime_ = t / 10000;
}

void CFLVClipRender::OnAudio(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t dur, int32_t once,
                             int32_t filler) {
    auto* r = static_cast<CFLVClipRender*>(self);
    const int64_t t = ts + int64_t{r->timeBase_} * 10000;
    if (t / 10000 < r->startTime_ || t / 10000 >= r->rangeEnd_) return;
    if (!r->WaitWhilePaused()) return;
    if (r->audioCallback_) r->audioCallback_(r->audioUser_, r->clip_, data, size, t, dur, once != 0, filler != 0);
    if (!r->hasVideo_) {
        r->currentTime_ = t / 10000;
        r->lastTime_ = t / 10000;
    }
}

void CFLVClipRender::OnVideoEnd(void* self) {
    auto* r = static_cast<CFLVClipRender*>(self);
    if (r->videoEnd_) r->videoEnd_(r->videoEndUser_, r->clip_);
}

void CFLVClipRender::OnAudioEnd(void* self) {
    auto* r = static_cast<CFLVClipRender*>(self);
    if (r->audioEnd_) r->audioEnd_(r->audioEndUser_, r->clip_);
}

void CFLVClipRender::DeliverFrame(int64_t frame, int64_t time100ns) {
    if (hasVideo_ && frameReader_) {
        const uint8_t* pixels = VideoFrameReader_ReadFrame(frameReader_, static_cast<int32_t>(frame));
        const int size = info_.width * info_.height * 4;
        if (pixels && keepLastFrame_) {
            std::lock_guard lock(lastFrameMutex_);
            std::memcpy(lastFrame_.data(), pixels, std::min(lastFrame_.size(), static_cast<size_t>(size)));
            lastFrameTime_ = time100ns;
            lastFrameDuration_ = frameDuration_;
            haveLastFrame_ = true;
        }
        if (pixels && videoCallback_) videoCallback_(videoUser_, clip_, pixels, size, time100ns, frameDuration_, true, false);
    } else if (audioCallback_) {
        audioCallback_(audioUser_, clip_, nullptr, 0, time100ns, frameDuration_, true, false);
    }
    currentTime_ = time100ns / 10000;
    lastTime_ = time100ns / 10000;
}

bool CFLVClipRender::StepForward() {
    if (!opened_) return false;
    if (playState_ != kStopped) currentFrame_ = FrameOfTime(lastTime_ * 10000, frameRate_);
    Stop();
    const int64_t next = currentFrame_ + 1;
    if (TimeOfFrame(next, frameRate_) / 10000 > int64_t{rangeEnd_}) return false;
    currentFrame_ = next;
    DeliverFrame(next, TimeOfFrame(next, frameRate_));
    return true;
}

bool CFLVClipRender::StepBack() {
    if (!opened_) return false;
    if (playState_ != kStopped) currentFrame_ = FrameOfTime(lastTime_ * 10000, frameRate_);
    Stop();
    const int64_t previous = currentFrame_ - 1;
    if (previous < 0 || TimeOfFrame(previous, frameRate_) / 10000 < int64_t{rangeStart_}) return false;
    currentFrame_ = previous;
    DeliverFrame(previous, TimeOfFrame(previous, frameRate_));
    return true;
}

bool CFLVClipRender::ShowAt(uint32_t ms) {
    if (!opened_) return false;
    Stop();
    currentFrame_ = FrameOfTime(int64_t{ms} * 10000, frameRate_);
    DeliverFrame(currentFrame_, int64_t{ms} * 10000);
    // The next Play starts from here.
    startTime_ = lastTime_ = ms;
    return true;
}

void CFLVClipRender::Redraw() {
    if (!opened_ || playState_ == kPlaying) return;
    std::lock_guard lock(lastFrameMutex_);
    if (!haveLastFrame_ || !videoCallback_) return;
    redrawing_ = true;
    videoCallback_(videoUser_, clip_, lastFrame_.data(), static_cast<int>(lastFrame_.size()), lastFrameTime_,
                   lastFrameDuration_, true, false);
    redrawing_ = false;
}

void CFLVClipRender::Rewind(uint32_t start, uint32_t end) {
    CBaseClipRender::Rewind(start, end);
    startTime_ = lastTime_ = start;
    currentFrame_ = FrameOfTime(int64_t{start} * 10000, frameRate_);
}
