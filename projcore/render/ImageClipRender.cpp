#include "render/ImageClipRender.h"

#include "edit/XImage.h"
#include "model/ImageClip.h"

namespace {
// An animation that stores no timing plays at 10 frames a second.
constexpr double kUntimedAnimationRate = 10.0;
}  // namespace

CImageClipRender::CImageClipRender(CImageClip* clip) : clip_(clip) {}

CImageClipRender::~CImageClipRender() { Close(); }

bool CImageClipRender::Open() {
    Close();
    if (!clip_) return false;
    picture_ = std::make_unique<CXImage>(clip_->FilePath());
    ImageInfo facts{};
    if (!picture_->GetImageInfo(facts) || facts.frameCount < 1) {
        picture_.reset();
        return false;
    }
    frameCount_ = facts.frameCount;
    width_ = facts.width;
    height_ = facts.height;
    if (frameCount_ == 1) {
        frameRate_ = clip_->FrameRate() > 0 ? clip_->FrameRate() : CImageClip::kDefaultFrameRate;
        duration_ = clip_->Time();
    } else {
        frameRate_ = facts.frameRate > 0 ? facts.frameRate : kUntimedAnimationRate;
        duration_ = static_cast<uint32_t>(frameCount_ * 1000.0 / frameRate_);
    }
    info_ = FLVInfo{};
    info_.videoCodec = -1;
    info_.audioFormat = -1;
    info_.width = width_;
    info_.height = height_;
    info_.frameRate = frameRate_;
    info_.duration = duration_ / 1000.0;
    frameDuration_ = static_cast<int64_t>(10000000.0 / frameRate_);
    rangeStart_ = 0;  // a picture always plays whole
    rangeEnd_ = duration_;
    currentFrame_ = 0;
    firstShow_ = true;
    opened_ = true;
    return true;
}

void CImageClipRender::Close() {
    StopWorker();
    picture_.reset();
    opened_ = false;
}

void CImageClipRender::Deliver(int64_t frame) {
    const int64_t time = TimeOfFrame(frame, frameRate_);
    currentTime_ = time / 10000;
    if (!videoCallback_) return;
    const int size = width_ * height_ * 4;
    if (frameCount_ == 1) {
        // The same picture again after the first time: a filler.
        const uint8_t* pixels = picture_->FramePixels(0);
        if (!pixels) return;
        videoCallback_(videoUser_, clip_, pixels, size, time, frameDuration_, firstShow_, !firstShow_);
        firstShow_ = false;
    } else if (frame < frameCount_) {
        const uint8_t* pixels = picture_->FramePixels(static_cast<int>(frame));
        if (pixels) videoCallback_(videoUser_, clip_, pixels, size, time, frameDuration_, true, false);
    }
}

void CImageClipRender::Run() {
    for (;;) {
        if (!WaitWhilePaused()) return;
        if (currentFrame_ >= EndFrame()) break;
        Deliver(currentFrame_);
        ++currentFrame_;
    }
    {
        std::lock_guard lock(stateMutex_);
        playState_ = kStopped;
    }
    if (videoEnd_) videoEnd_(videoEndUser_, clip_);
}

void CImageClipRender::Play() {
    if (!opened_) return;
    if (ResumeIfPaused()) return;
    StopWorker();
    if (currentFrame_ < FirstFrame() || currentFrame_ >= EndFrame()) currentFrame_ = FirstFrame();
    firstShow_ = true;
    playState_ = kPlaying;
    worker_ = std::thread(&CImageClipRender::Run, this);
}



void CImageClipRender::Stop() {
    StopWorker();
    currentFrame_ = FirstFrame();
    currentTime_ = TimeOfFrame(currentFrame_, frameRate_) / 10000;
}

bool CImageClipRender::StepForward() {
    if (!opened_) return false;
    StopWorker();
    if (currentFrame_ + 1 >= EndFrame()) return false;
    Deliver(++currentFrame_);
    return true;
}

bool CImageClipRender::StepBack() {
    if (!opened_) return false;
    StopWorker();
    if (currentFrame_ - 1 < FirstFrame()) return false;
    Deliver(--currentFrame_);
    return true;
}

bool CImageClipRender::ShowAt(uint32_t ms) {
    if (!opened_) return false;
    const auto frame = static_cast<int64_t>(frameRate_ * ms / 1000.0);
    if (frame < FirstFrame() || frame >= EndFrame()) return false;
    StopWorker();
    currentFrame_ = frame;
    Deliver(frame);
    return true;
}

void CImageClipRender::Redraw() {
    if (!opened_) return;
    StopWorker();
    Deliver(currentFrame_);
}
