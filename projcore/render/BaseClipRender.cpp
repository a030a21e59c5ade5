#include "render/BaseClipRender.h"

int64_t CBaseClipRender::TimeOfFrame(int64_t frame, double fps) {
    return fps > 0 ? static_cast<int64_t>(static_cast<double>(frame) * 10000000.0 / fps) : 0;
}

int64_t CBaseClipRender::FrameOfTime(int64_t time100ns, double fps) {
    return static_cast<int64_t>(static_cast<double>(time100ns) * fps / 10000000.0);
}

void CBaseClipRender::Pause() {
    std::lock_guard lock(stateMutex_);
    if (playState_ == kPlaying) playState_ = kPaused;
}

bool CBaseClipRender::ResumeIfPaused() {
    std::lock_guard lock(stateMutex_);
    if (playState_ == kPlaying) return true;
    if (playState_ != kPaused) return false;
    playState_ = kPlaying;
    stateChanged_.notify_all();
    return true;
}

void CBaseClipRender::StopWorker() {
    {
        std::lock_guard lock(stateMutex_);
        playState_ = kStopped;
        stateChanged_.notify_all();
    }
    if (!worker_.joinable()) return;
    if (worker_.get_id() == std::this_thread::get_id()) worker_.detach();  // stopped from its own callback
    else worker_.join();
}

bool CBaseClipRender::WaitWhilePaused() {
    std::unique_lock lock(stateMutex_);
    stateChanged_.wait(lock, [&] { return playState_ != kPaused; });
    return playState_ == kPlaying;
}
