#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "tagflow/tagflow.h"

class CBaseClip;

// Turns one clip into decoded frames and sound between two times, or into
// single frames on request. It has no clock: it delivers as fast as its
// consumer accepts, and the consumer paces by blocking in its callbacks.
// Times in callbacks are in 100-nanosecond units.
class CBaseClipRender {
public:
    using VideoCallback = void (*)(void* user, CBaseClip* clip, const uint8_t* pixels, int size, int64_t timestamp,
                                   int64_t duration, bool once, bool filler);
    using AudioCallback = void (*)(void* user, CBaseClip* clip, const uint8_t* samples, int size,
                                   int64_t timestamp, int64_t duration, bool once, bool filler);
    using EndCallback = void (*)(void* user, CBaseClip* clip);

    enum PlayState : int32_t { kPlaying = 0, kPaused = 1, kStopped = 2 };

    virtual ~CBaseClipRender() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    virtual void Play() = 0;
    // Holds delivery (the worker and any output waiting in WaitWhilePaused).
    virtual void Pause();
    virtual void Stop() = 0;
    virtual bool StepForward() = 0;
    virtual bool StepBack() = 0;
    virtual bool ShowAt(uint32_t ms) = 0;
    virtual void Redraw() = 0;

    // Frame n of a stream at fps starts at n x 10 000 000 / fps (truncated).
    static int64_t TimeOfFrame(int64_t frame, double fps);
    static int64_t FrameOfTime(int64_t time100ns, double fps);

    void SetVideoCallback(VideoCallback cb, void* user) { videoCallback_ = cb, videoUser_ = user; }
    void SetAudioCallback(AudioCallback cb, void* user) { audioCallback_ = cb, audioUser_ = user; }
    void SetAudioEndCallback(EndCallback cb, void* user) { audioEnd_ = cb, audioEndUser_ = user; }
    void SetVideoEndCallback(EndCallback cb, void* user) { videoEnd_ = cb, videoEndUser_ = user; }
    void SetRange(uint32_t start, uint32_t end) { rangeStart_ = start, rangeEnd_ = end; }
    // A new range for a stopped renderer: it stands at the range start.
    virtual void Rewind(uint32_t start, uint32_t end) {
        rangeStart_ = start;
        rangeEnd_ = end;
        currentTime_ = start;
    }
    uint32_t RangeStart() const { return rangeStart_; }
    uint32_t RangeEnd() const { return rangeEnd_; }

    const FLVInfo& Info() const { return info_; }
    uint32_t Duration() const { return duration_; }
    int64_t CurrentTime() const { return currentTime_; }  // milliseconds
    int64_t FrameDuration() const { return frameDuration_; }
    PlayState State() const { return playState_; }

protected:
    // Play's common start: true when nothing more is to be done (already
    // playing, or resumed from a pause); false when stopped.
    bool ResumeIfPaused();
    // Ends the worker and waits for it (unless called from the worker itself).
    void StopWorker();
    // Waits while paused; false when stopped (the caller then drops its output).
    bool WaitWhilePaused();

    VideoCallback videoCallback_ = nullptr;
    void* videoUser_ = nullptr;
    AudioCallback audioCallback_ = nullptr;
    void* audioUser_ = nullptr;
    EndCallback audioEnd_ = nullptr;
    void* audioEndUser_ = nullptr;
    EndCallback videoEnd_ = nullptr;
    void* videoEndUser_ = nullptr;

    FLVInfo info_{};
    uint32_t duration_ = 0;
    std::atomic<int64_t> currentTime_{0};
    std::atomic<PlayState> playState_{kStopped};
    int64_t currentFrame_ = 0;
    int64_t frameDuration_ = 0;
    uint32_t rangeStart_ = 0;
    uint32_t rangeEnd_ = 0xFFFFFFFF;
    bool opened_ = false;

    // The worker thread and what wakes it (a pause ending, a stop).
    std::thread worker_;
    std::mutex stateMutex_;
    std::condition_variable stateChanged_;
};
