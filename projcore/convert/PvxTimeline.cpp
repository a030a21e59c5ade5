#include "convert/PvxTimeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "convert/FlvBindProgress.h"
#include "convert/PvxOutput.h"
#include "edit/EffectMgr.h"
#include "edit/WaterMarkMgr.h"
#include "projcore/DrawSurface.h"

namespace {
constexpr int kPreviewEvery = 15;
constexpr int64_t kSilenceFrames = 4096;
constexpr int64_t kSoundToleranceMs = 20;   // smaller gaps and overlaps are left alone
}  // namespace

CPvxTimeline::CPvxTimeline(const OutputSettings& s, CPvxOutput& output, CFlvBindProgress& progress)
    : hasVideo_(s.videoCodec != -1),
      hasAudio_(s.audioCodec != -1),
      width_(s.width),
      height_(s.height),
      fps_(s.frameRate > 0 ? s.frameRate : 25.0),
      rate_(s.sampleRate),
      channels_(s.channels),
      letterbox_(s.scaling == 2),
      output_(output),
      progress_(progress) {
    if (hasVideo_) frame_.assign(static_cast<size_t>(width_) * height_ * 4, 0);
    if (hasAudio_) silence_.assign(static_cast<size_t>(kSilenceFrames) * channels_ * 2, 0);
}

int64_t CPvxTimeline::SlotOf(int64_t t) const { return std::llround(double(t) * fps_ / 1e7); }
int64_t CPvxTimeline::SlotTime(int64_t slot) const { return static_cast<int64_t>(double(slot) * 1e7 / fps_); }
int64_t CPvxTimeline::SampleOf(int64_t t) const { return static_cast<int64_t>(double(t) * rate_ / 1e7); }

void CPvxTimeline::BeginClip(const Clip& clip) {
    clip_ = clip;
    const int64_t end = (clip.startMs + clip.lengthMs) * 10000;
    clipEndSlot_ = SlotOf(end);
    clipEndSample_ = SampleOf(end);
    clipFrames_ = 0;
}

bool CPvxTimeline::GoOn() {
    // Padding may run long (a clip claiming hours): a pause holds it and a
    // cancel ends it at once, not when the padding is done.
    return progress_.State() == CFlvBindProgress::kRunning || progress_.WaitWhilePaused() != CFlvBindProgress::kCancel;
}

bool CPvxTimeline::Fail() {
    failed_ = true;
    return false;
}

void CPvxTimeline::Compose(const uint8_t* pixels, int64_t clipTime) {
    const Rect& p = clip_.picture;
    const int pw = p.Width(), ph = p.Height();
    const size_t stride = static_cast<size_t>(width_) * 4;
    uint8_t* origin = frame_.data() + static_cast<size_t>(p.top) * stride + static_cast<size_t>(p.left) * 4;
    if (pw == width_ && ph == height_) {
        std::memcpy(frame_.data(), pixels, frame_.size());
    } else {
        // Letterbox: the bars are cleared again after the watermarks.
        for (int y = 0; y < ph; ++y) std::memcpy(origin + y * stride, pixels + static_cast<size_t>(y) * pw * 4, size_t(pw) * 4);
    }
    if (clip_.effects) clip_.effects->ApplyFrameEffects(origin, pw, ph, static_cast<int>(stride));
    if (clip_.marks) clip_.marks->DrawOverlays(frame_.data(), width_, height_, static_cast<int>(stride), clipTime);
    if (pw != width_ || ph != height_) {
        for (int y = 0; y < height_; ++y) {
            uint8_t* row = frame_.data() + y * stride;
            if (y < p.top || y >= p.bottom) {
                std::memset(row, 0, stride);
                continue;
            }
            std::memset(row, 0, size_t(p.left) * 4);
            std::memset(row + size_t(p.right) * 4, 0, size_t(width_ - p.right) * 4);
        }
    }
    ++clipFrames_;
}

bool CPvxTimeline::WriteSlots(int64_t upTo) {
    const int64_t duration = static_cast<int64_t>(1e7 / fps_);
    for (; slotsWritten_ < upTo; ++slotsWritten_) {
        if (!GoOn()) return false;
        if (!output_.WriteVideo(frame_.data(), SlotTime(slotsWritten_), duration)) return Fail();
        progress_.position = SlotTime(slotsWritten_ + 1);
        ShowPreview();
    }
    return true;
}

bool CPvxTimeline::PutFrame(const uint8_t* pixels, int64_t time) {
    if (failed_) return false;
    if (!hasVideo_ || time < 0) return true;
    const int64_t slot = std::min(SlotOf(clip_.startMs * 10000 + time), clipEndSlot_ - 1);
    if (slot < slotsWritten_) return true;   // its slot is taken: a surplus picture
    Compose(pixels, time + clip_.trimStartMs * 10000);
    return WriteSlots(slot + 1);
}

bool CPvxTimeline::WriteSilence(int64_t frames) {
    while (frames > 0) {
        if (!GoOn()) return false;
        const int64_t n = std::min(frames, kSilenceFrames);
        if (!WriteSamples(silence_.data(), n)) return false;
        frames -= n;
    }
    return true;
}

bool CPvxTimeline::WriteSamples(const uint8_t* pcm, int64_t frames) {
    if (frames <= 0) return true;
    const int64_t start = static_cast<int64_t>(double(samplesWritten_) * 1e7 / rate_);
    const int64_t duration = static_cast<int64_t>(double(frames) * 1e7 / rate_);
    if (!output_.WriteAudio(pcm, static_cast<int>(frames * channels_ * 2), start, duration)) return Fail();
    samplesWritten_ += frames;
    if (!hasVideo_) progress_.position = start + duration;
    return true;
}

bool CPvxTimeline::PutAudio(const uint8_t* pcm, int bytes, int64_t time) {
    if (failed_) return false;
    if (!hasAudio_ || !pcm || bytes <= 0) return true;
    const int64_t frameBytes = int64_t{channels_} * 2;
    int64_t frames = bytes / frameBytes;
    int64_t skip = 0;
    int64_t at = SampleOf(clip_.startMs * 10000 + time);
    const int64_t clipStartSample = SampleOf(clip_.startMs * 10000);
    if (at < clipStartSample) {   // begins before the clip's first kept moment
        skip = clipStartSample - at;
        at = clipStartSample;
    }
    const int64_t tolerance = int64_t{rate_} * kSoundToleranceMs / 1000;
    if (at > samplesWritten_ + tolerance) {
        if (!WriteSilence(std::min(at, clipEndSample_) - samplesWritten_)) return false;
    } else if (at < samplesWritten_ - tolerance) {
        skip += samplesWritten_ - at;
    }
    frames = std::min(frames - skip, clipEndSample_ - samplesWritten_);
    if (frames <= 0) return true;
    const size_t n = static_cast<size_t>(frames * frameBytes);
    if (sound_.size() < n) sound_.resize(n);   // grows to the largest block once
    std::memcpy(sound_.data(), pcm + skip * frameBytes, n);
    if (clip_.effects) clip_.effects->ApplyVolume(reinterpret_cast<int16_t*>(sound_.data()), n);
    return WriteSamples(sound_.data(), frames);
}

bool CPvxTimeline::PutSilenceUntil(int64_t time) {
    if (failed_) return false;
    if (!hasAudio_) return true;
    const int64_t upTo = std::min(SampleOf(clip_.startMs * 10000 + time), clipEndSample_);
    return upTo <= samplesWritten_ || WriteSilence(upTo - samplesWritten_);
}

bool CPvxTimeline::EndClip() {
    if (failed_) return false;
    if (hasVideo_ && slotsWritten_ < clipEndSlot_) {
        // A clip that gave no picture at all shows black.
        if (clipFrames_ == 0) std::fill(frame_.begin(), frame_.end(), uint8_t{0});
        if (!WriteSlots(clipEndSlot_)) return false;
    }
    if (hasAudio_ && samplesWritten_ < clipEndSample_ && !WriteSilence(clipEndSample_ - samplesWritten_)) return false;
    return true;
}

void CPvxTimeline::SetPreview(CDrawSurface* surface, const Rect& area, bool on) {
    std::lock_guard lock(previewLock_);
    surface_ = surface;
    previewArea_ = area;
    previewOn_ = on;
    previewCount_ = 0;
}

void CPvxTimeline::ShowPreview() {
    std::lock_guard lock(previewLock_);
    if (!previewOn_ || !surface_) return;
    if (++previewCount_ < kPreviewEvery) return;
    previewCount_ = 0;
    surface_->PresentFrame(frame_.data(), width_, height_, false, Rect{0, 0, width_, height_}, previewArea_);
}
