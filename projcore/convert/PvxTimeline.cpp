#include "convert/PvxTimeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "avkit/avkit.h"
#include "convert/FlvBindProgress.h"
#include "convert/PvxOutput.h"
#include "edit/EffectMgr.h"
#include "edit/WaterMarkMgr.h"
#include "projcore/DrawSurface.h"

namespace {
constexpr int kPreviewEvery = 15;
constexpr int64_t kSilenceFrames = 4096;
constexpr int64_t kSoundToleranceMs = 20;   // smaller gaps and overlaps are left alone
// Frames in flight between the stages: enough for each stage to have one in
// hand and one waiting, few enough to keep the memory of large frames small.
// The encoder has two waiting so that it never starves; the decoder's own
// picture already waits for the picture stage. One buffer above the least
// keeps the picture stage drawing while the encoder holds its frames.
constexpr int kPoolFrames = 5;
constexpr size_t kPictureQueueDepth = 1, kEncoderQueueDepth = 2;
// When the encoder has emptied its queue, the decoder's queue may hold
// kPictureQueueDepth buffers (the decoder takes one only once the queue has
// room for it), and the picture stage the frame it repeats and the picture it
// works on while it takes one for the result: with fewer buffers than that
// plus one the picture stage waits forever (a flipped conversion hung so
// with 4 buffers, queues of 1 and a decoder that held a buffer while it
// waited for room). The encoder's queue does not count: the encoder frees
// what it holds.
static_assert(kPoolFrames >= static_cast<int>(kPictureQueueDepth) + 3,
              "the picture stage could wait for a buffer forever");
constexpr int kResizeBicubic = 2;   // also for a mere change of colour format, as the encoder's does
constexpr uint8_t kBlackLuma = 16, kNoChroma = 128;

// A row of samples in reverse order, eight at a time.
void ReverseRow(uint8_t* dst, const uint8_t* src, int width) {
    int x = 0;
    for (; x + 8 <= width; x += 8) {
        uint64_t v;
        std::memcpy(&v, src + width - 8 - x, 8);
        v = __builtin_bswap64(v);
        std::memcpy(dst + x, &v, 8);
    }
    for (; x < width; ++x) dst[x] = src[width - 1 - x];
}
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
      progress_(progress),
      outI420_(hasVideo_ && output.TakesI420()),
      pool_(hasVideo_ ? kPoolFrames : 0),
      toPictures_(kPictureQueueDepth),
      toEncoder_(kEncoderQueueDepth) {
    if (hasAudio_) silence_.assign(static_cast<size_t>(kSilenceFrames) * channels_ * 2, 0);
    if (!hasVideo_) return;
    pictureThread_ = std::thread(&CPvxTimeline::PictureStage, this);
    try {
        encodeThread_ = std::thread(&CPvxTimeline::EncodeStage, this);
    } catch (...) {
        toPictures_.Close();
        pictureThread_.join();
        throw;
    }
}

CPvxTimeline::~CPvxTimeline() {
    StopStages();
    toPictures_.Close();
    if (pictureThread_.joinable()) pictureThread_.join();
    toEncoder_.Close();
    if (encodeThread_.joinable()) encodeThread_.join();
    pool_.Release(current_);
    VRes_Free(toBgra_);
    VRes_Free(toI420_);
    VRes_Free(previewConverter_);
}

int64_t CPvxTimeline::SlotOf(int64_t t) const { return std::llround(double(t) * fps_ / 1e7); }
int64_t CPvxTimeline::SlotTime(int64_t slot) const { return static_cast<int64_t>(double(slot) * 1e7 / fps_); }
int64_t CPvxTimeline::SampleOf(int64_t t) const { return static_cast<int64_t>(double(t) * rate_ / 1e7); }

void CPvxTimeline::BeginClip(const Clip& clip) {
    // The picture stage is idle: the last clip ended with EndClip.
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
    StopStages();
    return false;
}

// Nothing more is written: waiting producers wake, queued frames are dropped.
void CPvxTimeline::StopStages() {
    pool_.Stop();
    toPictures_.Drop([&](Work& w) { pool_.Release(w.picture); });
    toEncoder_.Drop([&](Slots& s) { pool_.Release(s.frame); });
}

// ---- the decoder's side

bool CPvxTimeline::PutFrame(const uint8_t* pixels, int64_t time) {
    if (failed_) return false;
    if (!hasVideo_ || time < 0) return true;
    const int64_t slot = std::min(SlotOf(clip_.startMs * 10000 + time), clipEndSlot_ - 1);
    if (slot < slotsTaken_) return true;   // its slot is taken: a surplus picture
    const Rect& p = clip_.picture;
    const int bytes = AvkImage_Bytes(clip_.pictureFormat, p.Width(), p.Height());
    // Room in the queue first: a buffer held while waiting for it would be
    // one the picture stage may need.
    if (!toPictures_.WaitForRoom()) return false;
    // Room for the converter's overrun too: a BGRA frame may be drawn into it.
    Buffer* b = pool_.Take(std::max<size_t>(bytes, FrameBytes()));   // waits while the later stages are busy
    if (!b) return false;       // cancelled or failed
    std::memcpy(b->bytes.data(), pixels, static_cast<size_t>(bytes));
    b->format = clip_.pictureFormat;
    slotsTaken_ = slot + 1;
    if (!toPictures_.Push(Work{b, time + clip_.trimStartMs * 10000, slot + 1})) {
        pool_.Release(b);
        return false;
    }
    return true;
}

bool CPvxTimeline::EndClip() {
    if (hasVideo_) {
        if (!failed_ && slotsTaken_ < clipEndSlot_ && toPictures_.Push(Work{nullptr, 0, clipEndSlot_}))
            slotsTaken_ = clipEndSlot_;
        // Also after a failure: the clip's effects and marks go when this returns.
        toPictures_.WaitIdle();
    }
    if (failed_) return false;
    if (hasAudio_ && samplesWritten_ < clipEndSample_ && !WriteSilence(clipEndSample_ - samplesWritten_)) return false;
    return !failed_;
}

void CPvxTimeline::AbandonClip() {
    StopStages();
    toPictures_.WaitIdle();
}

bool CPvxTimeline::Flush() {
    toPictures_.Close();
    if (pictureThread_.joinable()) pictureThread_.join();
    toEncoder_.Close();
    if (encodeThread_.joinable()) encodeThread_.join();
    return !failed_;
}

// ---- the picture stage

void CPvxTimeline::PictureStage() {
    Work w;
    while (toPictures_.Pop(w)) {
        Buffer* composed = nullptr;
        if (pool_.Stopped()) {
            pool_.Release(w.picture);
        } else if (w.picture) {
            composed = Compose(w.picture, w.clipTime);   // takes over the picture's reference
            ++clipFrames_;
        } else if (clipFrames_ == 0) {
            composed = Black();   // a clip that gave no picture at all shows black
        }
        if (composed) {
            pool_.Release(current_);
            current_ = composed;
        }
        if (current_ && w.upTo > slotsComposed_ && !pool_.Stopped()) {
            pool_.AddRef(current_);
            if (toEncoder_.Push(Slots{current_, slotsComposed_, w.upTo})) slotsComposed_ = w.upTo;
            else pool_.Release(current_);
        }
        toPictures_.Done();
    }
}

size_t CPvxTimeline::FrameBytes() const {
    return static_cast<size_t>(AvkImage_Bytes(outI420_ ? AVK_IMAGE_I420 : AVK_IMAGE_BGRA32, width_, height_)) +
           AVK_ROW_SLACK;
}

CPvxTimeline::Buffer* CPvxTimeline::Black() {
    Buffer* b = pool_.Take(FrameBytes());
    if (!b) return nullptr;
    if (outI420_) {
        const size_t luma = static_cast<size_t>(width_) * height_;
        const size_t all = static_cast<size_t>(AvkImage_Bytes(AVK_IMAGE_I420, width_, height_));
        std::memset(b->bytes.data(), kBlackLuma, luma);
        std::memset(b->bytes.data() + luma, kNoChroma, all - luma);
        b->format = AVK_IMAGE_I420;
    } else {
        std::memset(b->bytes.data(), 0, static_cast<size_t>(width_) * height_ * 4);
        b->format = AVK_IMAGE_BGRA32;
    }
    return b;
}

CPvxTimeline::Buffer* CPvxTimeline::Compose(Buffer* in, int64_t clipTime) {
    const Rect& p = clip_.picture;
    const bool whole = p.Width() == width_ && p.Height() == height_;
    // 4:2:0 chroma covers two by two pixels: a picture at an odd place in the
    // frame, or of an odd size, is laid in (and flipped) through BGRA.
    const bool evenPlace = p.left % 2 == 0 && p.top % 2 == 0 && p.Width() % 2 == 0 && p.Height() % 2 == 0;
    // A flip is only a reordering of the samples: no need for BGRA.
    const bool drawn = (clip_.effects && clip_.effects->ChangesPicturesBesidesFlip()) ||
                       (clip_.marks && clip_.marks->ShowsAnyAt(clipTime));
    const int32_t flip = clip_.effects && clip_.effects->ChangesPictures() ? clip_.effects->FlipIndex() : 0;
    if (in->format == AVK_IMAGE_I420 && outI420_ && !drawn && evenPlace) {
        if (whole && flip == CEffectMgr::kNoFlip) return in;   // the decoder's picture is the frame
        Buffer* out = pool_.Take(FrameBytes());
        if (out) PlaceI420(in->bytes.data(), out->bytes.data(), flip);
        pool_.Release(in);
        if (out) out->format = AVK_IMAGE_I420;
        return out;
    }
    Buffer* out = ComposeBgra(in, clipTime);
    pool_.Release(in);
    return out;
}

// Lays a 4:2:0 picture into a 4:2:0 frame at the clip's (even) place, with
// black around it, flipped as the clip's effects say.
void CPvxTimeline::PlaceI420(const uint8_t* in, uint8_t* out, int32_t flip) const {
    const Rect& p = clip_.picture;
    const int pw = p.Width(), ph = p.Height();
    const int planeW[3] = {width_, (width_ + 1) / 2, (width_ + 1) / 2};
    const int planeH[3] = {height_, (height_ + 1) / 2, (height_ + 1) / 2};
    const int picW[3] = {pw, pw / 2, pw / 2};
    const int picH[3] = {ph, ph / 2, ph / 2};
    for (int i = 0; i < 3; ++i) {
        const int shift = i == 0 ? 0 : 1;
        const int left = p.left >> shift, top = p.top >> shift, w = picW[i];
        const uint8_t fill = i == 0 ? kBlackLuma : kNoChroma;
        for (int y = 0; y < planeH[i]; ++y) {
            uint8_t* row = out + static_cast<size_t>(y) * planeW[i];
            if (y < top || y >= top + picH[i]) {
                std::memset(row, fill, static_cast<size_t>(planeW[i]));
                continue;
            }
            const int from = flip == CEffectMgr::kUpsideDown ? top + picH[i] - 1 - y : y - top;
            const uint8_t* src = in + static_cast<size_t>(from) * w;
            std::memset(row, fill, static_cast<size_t>(left));
            if (flip == CEffectMgr::kLeftRight) {
                ReverseRow(row + left, src, w);
            } else {
                std::memcpy(row + left, src, static_cast<size_t>(w));
            }
            std::memset(row + left + w, fill, static_cast<size_t>(planeW[i] - left - w));
        }
        out += static_cast<size_t>(planeW[i]) * planeH[i];
        in += static_cast<size_t>(w) * picH[i];
    }
}

// Draws in BGRA: the picture laid into the frame, the clip's effects on it,
// its watermarks over it, the bars cleared. The frame leaves in the output's format.
CPvxTimeline::Buffer* CPvxTimeline::ComposeBgra(const Buffer* in, int64_t clipTime) {
    const Rect& p = clip_.picture;
    const int pw = p.Width(), ph = p.Height();
    Buffer* out = pool_.Take(FrameBytes());
    if (!out) return nullptr;
    // Made the first time a picture is drawn on: a job that draws nothing never needs it.
    if (outI420_ && canvas_.empty()) canvas_.assign(static_cast<size_t>(width_) * height_ * 4 + AVK_ROW_SLACK, 0);
    uint8_t* frame = outI420_ ? canvas_.data() : out->bytes.data();
    const size_t stride = static_cast<size_t>(width_) * 4;
    uint8_t* origin = frame + static_cast<size_t>(p.top) * stride + static_cast<size_t>(p.left) * 4;
    if (in->format == AVK_IMAGE_I420) {
        if (!toBgra_ || toBgraWidth_ != pw || toBgraHeight_ != ph) {
            VRes_Free(toBgra_);
            toBgra_ = VRes_CreateConverter(pw, ph, AVK_IMAGE_I420, pw, ph, AVK_IMAGE_BGRA32, kResizeBicubic);
            toBgraWidth_ = pw;
            toBgraHeight_ = ph;
        }
        if (!toBgra_ || !VRes_ResizeInto(toBgra_, in->bytes.data(), origin, static_cast<int>(stride))) {
            pool_.Release(out);
            Fail();
            return nullptr;
        }
    } else if (pw == width_ && ph == height_) {
        std::memcpy(frame, in->bytes.data(), stride * height_);
    } else {
        for (int y = 0; y < ph; ++y)
            std::memcpy(origin + y * stride, in->bytes.data() + static_cast<size_t>(y) * pw * 4, size_t(pw) * 4);
    }
    if (clip_.effects) clip_.effects->ApplyFrameEffects(origin, pw, ph, static_cast<int>(stride));
    if (clip_.marks) clip_.marks->DrawOverlays(frame, width_, height_, static_cast<int>(stride), clipTime);
    if (pw != width_ || ph != height_) {
        // Letterbox: the bars are cleared after the watermarks.
        for (int y = 0; y < height_; ++y) {
            uint8_t* row = frame + y * stride;
            if (y < p.top || y >= p.bottom) {
                std::memset(row, 0, stride);
                continue;
            }
            std::memset(row, 0, size_t(p.left) * 4);
            std::memset(row + size_t(p.right) * 4, 0, size_t(width_ - p.right) * 4);
        }
    }
    out->format = AVK_IMAGE_BGRA32;
    if (outI420_) {
        if (!toI420_)
            toI420_ = VRes_CreateConverter(width_, height_, AVK_IMAGE_BGRA32, width_, height_, AVK_IMAGE_I420,
                                           kResizeBicubic);
        if (!toI420_ || !VRes_Resize(toI420_, frame, out->bytes.data())) {
            pool_.Release(out);
            Fail();
            return nullptr;
        }
        out->format = AVK_IMAGE_I420;
    }
    return out;
}

// ---- the encoding stage

void CPvxTimeline::EncodeStage() {
    Slots s;
    while (toEncoder_.Pop(s)) {
        for (int64_t slot = s.from; slot < s.to && !pool_.Stopped(); ++slot) {
            if (!GoOn()) {
                StopStages();   // cancelled: nothing more is written
                break;
            }
            if (!WriteFrame(*s.frame, slot)) break;
            progress_.position = SlotTime(slot + 1);
            ShowPreview(*s.frame);
        }
        pool_.Release(s.frame);
        toEncoder_.Done();
    }
}

bool CPvxTimeline::WriteFrame(const Buffer& frame, int64_t slot) {
    const int64_t duration = static_cast<int64_t>(1e7 / fps_);
    const bool ok = frame.format == AVK_IMAGE_I420
                        ? output_.WriteVideoI420(frame.bytes.data(), SlotTime(slot), duration)
                        : output_.WriteVideo(frame.bytes.data(), SlotTime(slot), duration);
    return ok || Fail();
}

// ---- sound

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

// ---- preview

void CPvxTimeline::SetPreview(CDrawSurface* surface, const Rect& area, bool on) {
    std::lock_guard lock(previewLock_);
    surface_ = surface;
    previewArea_ = area;
    previewOn_ = on;
    previewCount_ = 0;
}

void CPvxTimeline::ShowPreview(const Buffer& frame) {
    std::lock_guard lock(previewLock_);
    if (!previewOn_ || !surface_) return;
    if (++previewCount_ < kPreviewEvery) return;
    previewCount_ = 0;
    const uint8_t* bgra = frame.bytes.data();
    if (frame.format == AVK_IMAGE_I420) {
        // Only the shown pictures are turned into BGRA, once the preview is on.
        if (!previewConverter_) {
            previewConverter_ = VRes_CreateConverter(width_, height_, AVK_IMAGE_I420, width_, height_,
                                                     AVK_IMAGE_BGRA32, kResizeBicubic);
            previewBgra_.resize(static_cast<size_t>(width_) * height_ * 4 + AVK_ROW_SLACK);
        }
        if (!previewConverter_ || !VRes_Resize(previewConverter_, frame.bytes.data(), previewBgra_.data())) return;
        bgra = previewBgra_.data();
    }
    surface_->PresentFrame(bgra, width_, height_, false, Rect{0, 0, width_, height_}, previewArea_);
}
