#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "player/Player.h"
#include "projcore/Records.h"
#include "render/FLVCache.h"

class CBaseClip;

// The message face of the preview player: opens a file or a clip, plays,
// pauses, steps, seeks and takes snapshots by message, decides what the
// frames show (plain, crop editing, watermark editing, effects), and tells
// its subscribers what the preview is doing.
class CPlayerMessageMgr : public CListenerImpl, public CBaseBrocaster {
public:
    enum PlayState : int32_t { kPlaying = 0, kPaused = 1, kStopped = 2, kClosed = 3, kOpened = 4 };
    enum Mode : int32_t { kPlain = 0, kCropEditing = 1, kWaterMarkEditing = 2, kEffectPreview = 3 };
    enum SourceKind : int32_t { kFlvFile = 0, kPictureFile = 1, kClip = 2, kSequence = 3 };
    static constexpr int32_t kCannotOpen = 10021008;

    // cache: the reader cache FLV files are read through; null for one of its own.
    explicit CPlayerMessageMgr(CFLVCache* cache = nullptr);
    ~CPlayerMessageMgr() override;

    CBaseClip* Clip() const { return clip_; }
    int32_t Kind() const { return sourceKind_; }
    PlayState State() const { return playState_; }
    int32_t PreviewMode() const { return previewMode_; }
    CPlayer& Player() { return player_; }

    // The commands, callable directly by the clip edit manager.
    // report: tell the host when the clip cannot be shown (the open of a
    // file reports it itself, with the file's facts).
    bool LoadClip(CBaseClip* clip, bool report = true);
    void Play();
    void Pause();
    void Stop();
    void Close();
    void SetPreviewMode(int32_t mode);

private:
    void OnOpen(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetSurface(void*, int32_t, intptr_t p1, intptr_t);
    void OnSetArea(void*, int32_t, intptr_t p1, intptr_t);
    void OnPlay(void*, int32_t, intptr_t, intptr_t) { if (opened_) Play(); }
    void OnClose(void*, int32_t, intptr_t, intptr_t) { Close(); }
    void OnPause(void*, int32_t, intptr_t, intptr_t) { if (opened_) Pause(); }
    void OnStop(void*, int32_t, intptr_t, intptr_t) { if (opened_) Stop(); }
    void OnRedraw(void*, int32_t, intptr_t, intptr_t);
    void OnStep(void*, int32_t id, intptr_t, intptr_t);
    void OnGetDuration(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetPosition(void*, int32_t, intptr_t p1, intptr_t);
    void OnSetMode(void*, int32_t, intptr_t, intptr_t p2) { SetPreviewMode(static_cast<int32_t>(p2)); }
    void OnSeek(void*, int32_t, intptr_t, intptr_t p2);
    void OnSnapshot(void*, int32_t, intptr_t p1, intptr_t);
    void OnAddListener(void*, int32_t, intptr_t p1, intptr_t);
    void OnRemoveListener(void*, int32_t, intptr_t p1, intptr_t);
    void OnThrottledSeek(void*, int32_t, intptr_t, intptr_t p2);
    void OnTrimChanged(void*, int32_t, intptr_t p1, intptr_t);

    void ReportOpenFailure(const std::string& path, int32_t code, int32_t kind, const CBaseClip* clip);
    void FitDestination();
    void UpdateSourceRect();
    void ApplyTrim(bool opening, uint32_t changed);
    void Seek(uint32_t ms);
    void ThrottledSeek(uint32_t ms);
    uint32_t Duration();
    void EnterPaused();
    void StartWatch();
    void EndWatch();
    void Watch();
    Rect FrameHook(uint8_t* pixels, int width, int height, int64_t time100ns);
    void TakeSnapshot(const uint8_t* pixels, int width, int height);

    std::unique_ptr<CFLVCache> ownCache_;
    CFLVCache* cache_;
    CPlayer player_;
    CBaseClip* clip_ = nullptr;
    double clipFrameRate_ = 25.0;  // read by the frame hook on the player's thread
    std::unique_ptr<CBaseClip> ownClip_;
    int32_t sourceKind_ = kClip;
    std::atomic<int32_t> previewMode_{kPlain};
    Rect displayRect_{0, 0, 200, 200};
    std::atomic<PlayState> playState_{kClosed};
    bool opened_ = false;
    std::atomic<bool> audioEnded_{false}, videoEnded_{false};
    CDrawSurface* surface_ = nullptr;

    // The snapshot request is shared with the player's drawing thread.
    std::mutex snapshotMutex_;
    std::string snapshotPath_;
    bool snapshotPending_ = false;

    // Commands come on the window thread; the deferred seek below runs on a
    // thread of its own, so both take this lock.
    std::recursive_timed_mutex commandMutex_;
    int64_t lastSeekTick_ = 0;
    int seekSkips_ = 0;
    // The last request a throttle dropped is carried out once requests stop
    // coming, so the end of a drag is always shown.
    std::thread seekFlusher_;
    std::condition_variable_any seekWake_;
    uint32_t pendingSeek_ = 0;
    bool seekPending_ = false;
    bool closing_ = false;
    void FlushSeeks();
    void EndSeekFlusher();

    // The watch thread reports the end of playback; it waits on a condition,
    // so pausing holds it and stopping or closing ends it at once.
    std::thread watch_;
    std::mutex watchMutex_;
    std::condition_variable watchWake_;
    // Set while a stop or close waits for the watch thread, holding the
    // command lock the thread may be trying to take.
    std::atomic<bool> watchEnding_{false};
    bool watchRunning_ = false;  // under watchMutex_: the watch thread has not given up
};
