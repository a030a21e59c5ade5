#include "player/PlayerMessageMgr.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

#include "avkit/FramePicture.h"
#include "bus/BaseException.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/FLVClip.h"
#include "model/ImageClip.h"
#include "projcore/MessageIds.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int64_t kThrottleMs = 200;
constexpr int kThrottleSkips = 5;
constexpr auto kWatchPeriod = milliseconds(500);
constexpr auto kEndLockRetry = milliseconds(20);

int64_t NowMs() {
    return std::chrono::duration_cast<milliseconds>(Clock::now().time_since_epoch()).count();
}
}  // namespace

CPlayerMessageMgr::CPlayerMessageMgr(CFLVCache* cache)
    : ownCache_(cache ? nullptr : std::make_unique<CFLVCache>()),
      cache_(cache ? cache : ownCache_.get()),
      player_(cache_) {
    player_.hooks.sound = [](void* user, int16_t* samples, int bytes) {
        auto* m = static_cast<CPlayerMessageMgr*>(user);
        if (m->clip_ && samples) m->clip_->Effects().ApplyVolume(samples, static_cast<size_t>(bytes));
    };
    player_.hooks.soundUser = this;
    player_.hooks.frame = [](void* user, uint8_t* pixels, int w, int h, int64_t t) {
        return static_cast<CPlayerMessageMgr*>(user)->FrameHook(pixels, w, h, t);
    };
    player_.hooks.frameUser = this;
    player_.hooks.audioEnded = [](void* user) {
        auto* m = static_cast<CPlayerMessageMgr*>(user);
        m->audioEnded_ = true;
        m->watchWake_.notify_all();
    };
    player_.hooks.audioEndedUser = this;
    player_.hooks.videoEnded = [](void* user) {
        auto* m = static_cast<CPlayerMessageMgr*>(user);
        m->videoEnded_ = true;
        m->watchWake_.notify_all();
    };
    player_.hooks.videoEndedUser = this;

    Register(this, msg::kPlayerOpen, &CPlayerMessageMgr::OnOpen);
    Register(this, msg::kPlayerSetSurface, &CPlayerMessageMgr::OnSetSurface);
    Register(this, msg::kPlayerSetArea, &CPlayerMessageMgr::OnSetArea);
    Register(this, msg::kPlayerPlay, &CPlayerMessageMgr::OnPlay);
    Register(this, msg::kPlayerClose, &CPlayerMessageMgr::OnClose);
    Register(this, msg::kPlayerPause, &CPlayerMessageMgr::OnPause);
    Register(this, msg::kPlayerStop, &CPlayerMessageMgr::OnStop);
    Register(this, msg::kPlayerRedraw, &CPlayerMessageMgr::OnRedraw);
    Register(this, msg::kPlayerStepForward, &CPlayerMessageMgr::OnStep);
    Register(this, msg::kPlayerStepBack, &CPlayerMessageMgr::OnStep);
    Register(this, msg::kPlayerGetDuration, &CPlayerMessageMgr::OnGetDuration);
    Register(this, msg::kPlayerGetPosition, &CPlayerMessageMgr::OnGetPosition);
    Register(this, msg::kPlayerSetMode, &CPlayerMessageMgr::OnSetMode);
    Register(this, msg::kPlayerSeek, &CPlayerMessageMgr::OnSeek);
    Register(this, msg::kPlayerSnapshot, &CPlayerMessageMgr::OnSnapshot);
    Register(this, msg::kPlayerAddListener, &CPlayerMessageMgr::OnAddListener);
    Register(this, msg::kPlayerRemoveListener, &CPlayerMessageMgr::OnRemoveListener);
    Register(this, msg::kPlayerThrottledSeek, &CPlayerMessageMgr::OnThrottledSeek);
    Register(this, msg::kNotifyTrimStart, &CPlayerMessageMgr::OnTrimChanged);
    Register(this, msg::kNotifyTrimEnd, &CPlayerMessageMgr::OnTrimChanged);
}

CPlayerMessageMgr::~CPlayerMessageMgr() {
    Close();
    EndSeekFlusher();
    player_.Unload();
}

// ---- opening and closing

void CPlayerMessageMgr::ReportOpenFailure(const std::string& path, int32_t code, int32_t kind, const CBaseClip* clip) {
    FLVInfo info{};
    info.videoCodec = info.audioFormat = -1;
    CFLVCache probe;
    FLVAVTagReaderHandle reader = nullptr;
    if (kind == kFlvFile) {
        const int32_t result = probe.GetReader(path, &reader, &info);
        if (code == 0) code = result;
        probe.ReleaseReader(reader);
    }
    const std::string shown = clip ? clip->FilePath() : path;
    PlayerOpenFailure failure{shown.c_str(), code == 0 ? kCannotOpen : code, kind,
                              kind == kFlvFile ? &info : nullptr};
    Notify(msg::kNotifyPlayerOpenFailed, reinterpret_cast<intptr_t>(&failure), sizeof failure);
}

void CPlayerMessageMgr::OnOpen(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != sizeof(PlayerOpenRequest)) return;
    std::lock_guard guard(commandMutex_);
    const auto& r = *reinterpret_cast<const PlayerOpenRequest*>(p1);
    if (opened_) {
        Close();
        opened_ = false;
    }
    const std::string path = r.path ? r.path : "";
    if (r.kind == kSequence) return;
    if (r.kind == kClip) {
        if (!r.clip) return;
        if (!LoadClip(static_cast<CBaseClip*>(r.clip))) return;
    } else if (r.kind == kFlvFile || r.kind == kPictureFile) {
        std::unique_ptr<CBaseClip> clip;
        if (r.kind == kFlvFile) clip = std::make_unique<CFLVClip>();
        else clip = std::make_unique<CImageClip>();
        int32_t code = 0;
        bool ok = false;
        try {
            clip->SetFilePath(path);
            ok = true;
        } catch (const CBaseException& e) {
            code = e.Code();
        } catch (...) {
        }
        if (ok) {
            ownClip_ = std::move(clip);
            ok = LoadClip(ownClip_.get(), false);
            if (!ok) ownClip_.reset();
        }
        if (!ok) {
            ReportOpenFailure(path, code, r.kind, nullptr);
            return;
        }
    } else {
        ReportOpenFailure(path, kCannotOpen, r.kind, nullptr);
        return;
    }
    opened_ = true;
    sourceKind_ = r.kind;
    playState_ = kOpened;
    std::string copy = path;
    Notify(msg::kNotifyPlayerOpened, reinterpret_cast<intptr_t>(copy.c_str()), static_cast<intptr_t>(copy.size()));
}

bool CPlayerMessageMgr::LoadClip(CBaseClip* clip, bool report) {
    std::lock_guard guard(commandMutex_);
    if (clip_) {
        seekPending_ = false;  // a drag over the old clip ends with it
        clip_->Trim().RemoveListener(this);
        player_.Unload();
        clip_ = nullptr;
    }
    // A clip whose renderer cannot be opened is reported as a failure, never
    // as opened.
    if (!clip || !player_.LoadClip(clip)) {
        if (clip && report) {
            PlayerOpenFailure failure{clip->FilePath().c_str(), kCannotOpen, kClip, nullptr};
            Notify(msg::kNotifyPlayerOpenFailed, reinterpret_cast<intptr_t>(&failure), sizeof failure);
        }
        return false;
    }
    clip_ = clip;
    clipFrameRate_ = 25.0;
    try {
        const MediaFileInfo& info = clip->GetMediaInfo();
        const double fps = clip->IsFlv() ? info.frameRate : info.imageFrameRate;
        if (fps > 0) clipFrameRate_ = fps;
    } catch (...) {
    }
    FitDestination();
    ApplyTrim(true, 0);
    clip_->Crop().SetDisplayRect(displayRect_);
    clip_->WaterMarks().SetDisplayRect(displayRect_);
    UpdateSourceRect();
    clip_->Trim().AddListener(this);
    return true;
}

void CPlayerMessageMgr::Close() {
    std::lock_guard guard(commandMutex_);
    // The end of a drag over this source is not shown on the next one.
    seekPending_ = false;
    const bool wasOpen = opened_ || clip_ || player_.IsOpen() || playState_ != kClosed;
    if (!(playState_ == kClosed && player_.GetState() == CPlayer::kStopped)) {
        Stop();
        player_.Unload();
        playState_ = kClosed;
    }
    EndWatch();
    if (clip_) clip_->Trim().RemoveListener(this);
    clip_ = nullptr;
    ownClip_.reset();
    opened_ = false;
    sourceKind_ = kClip;
    audioEnded_ = videoEnded_ = false;
    lastSeekTick_ = 0;
    seekSkips_ = 0;
    if (wasOpen) Notify(msg::kNotifyPlayerClosed, 0, 0);
}

// ---- the picture's place

void CPlayerMessageMgr::FitDestination() {
    if (!clip_) return;
    int64_t w = 0, h = 0;
    try {
        const MediaFileInfo& info = clip_->GetMediaInfo();
        if (clip_->IsFlv()) {
            if (info.videoCodec == -1) return;
            w = info.width;
            h = info.height;
        } else {
            w = info.imageWidth;
            h = info.imageHeight;
        }
    } catch (...) {
        return;
    }
    const int64_t W = displayRect_.right, H = displayRect_.bottom;
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return;
    Rect dst{0, 0, static_cast<int32_t>(W), static_cast<int32_t>(H)};
    if (w * H > h * W) {
        const auto height = std::max<int64_t>(1, std::llround(static_cast<double>(W * h) / static_cast<double>(w)));
        const auto top = static_cast<int32_t>((H - height) / 2);
        dst = Rect{0, top, static_cast<int32_t>(W), top + static_cast<int32_t>(height)};
    } else if (w * H < h * W) {
        const auto width = std::max<int64_t>(1, std::llround(static_cast<double>(H * w) / static_cast<double>(h)));
        const auto left = static_cast<int32_t>((W - width) / 2);
        dst = Rect{left, 0, left + static_cast<int32_t>(width), static_cast<int32_t>(H)};
    }
    player_.SetDestination(dst);
}

void CPlayerMessageMgr::UpdateSourceRect() {
    Rect src = displayRect_;
    if (clip_) {
        if (previewMode_ == kCropEditing) {
            src = clip_->GetVideoRect();
        } else {
            const Rect frame = clip_->Crop().FrameRect();
            const Rect m = clip_->Crop().GetCropMargins();
            src = Rect{frame.left + m.left, frame.top + m.top, frame.right - m.right, frame.bottom - m.bottom};
        }
        // Leaving watermark editing drops the watermark selection.
        uint32_t selected = 0;
        if (previewMode_ != kWaterMarkEditing && clip_->WaterMarks().Selected(selected))
            clip_->WaterMarks().DeselectWatermark();
    }
    player_.SetSource(src);
}

void CPlayerMessageMgr::OnSetSurface(void*, int32_t, intptr_t p1, intptr_t) {
    std::lock_guard guard(commandMutex_);
    surface_ = reinterpret_cast<CDrawSurface*>(p1);
    player_.SetSurface(surface_);
}

void CPlayerMessageMgr::OnSetArea(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    std::lock_guard guard(commandMutex_);
    const Rect rect = *reinterpret_cast<const Rect*>(p1);
    displayRect_ = rect;
    player_.SetDestination(rect);
    if (clip_) {
        clip_->Crop().SetDisplayRect(rect);
        clip_->WaterMarks().SetDisplayRect(rect);
    }
    if (opened_ && playState_ != kClosed && player_.IsOpen() && player_.GetState() != CPlayer::kPlaying &&
        player_.Renderer())
        player_.Redraw();
}

void CPlayerMessageMgr::SetPreviewMode(int32_t mode) {
    std::lock_guard guard(commandMutex_);
    const bool pausedHere = opened_ && player_.GetState() == CPlayer::kPlaying;
    if (pausedHere) player_.Pause();
    previewMode_ = mode;
    UpdateSourceRect();
    if (pausedHere) player_.Play();
}

// ---- playing

uint32_t CPlayerMessageMgr::Duration() { return player_.Renderer() ? player_.Renderer()->Duration() : 0; }

void CPlayerMessageMgr::EnterPaused() {
    if (playState_ == kPaused) return;
    playState_ = kPaused;
    Notify(msg::kNotifyPlayerPaused, 0, 0);
}

void CPlayerMessageMgr::Play() {
    std::lock_guard guard(commandMutex_);
    if (!opened_) return;
    if (playState_ == kPaused && player_.GetState() == CPlayer::kPaused) {
        player_.Play();
    } else {
        if (player_.IsOpen()) player_.StopAndRewind();
        audioEnded_ = videoEnded_ = false;
        player_.Play();
    }
    playState_ = kPlaying;
    uint32_t duration = 0;
    try {
        if (clip_) duration = clip_->GetMediaInfo().duration;
    } catch (...) {
    }
    Notify(msg::kNotifyPlayerPlaying, 0, duration);
    watchWake_.notify_all();
    StartWatch();
}

void CPlayerMessageMgr::Pause() {
    std::lock_guard guard(commandMutex_);
    if (player_.IsOpen()) player_.Pause();
    EnterPaused();
}

void CPlayerMessageMgr::Stop() {
    std::lock_guard guard(commandMutex_);
    if (!(playState_ == kStopped && player_.GetState() == CPlayer::kStopped)) {
        if (player_.IsOpen()) {
            player_.StopAndRewind();
            player_.Seek(0);
        }
        playState_ = kStopped;
        Notify(msg::kNotifyPlayerStopped, 0, 0);
    }
    EndWatch();
}

void CPlayerMessageMgr::OnRedraw(void*, int32_t, intptr_t, intptr_t) {
    std::lock_guard guard(commandMutex_);
    if (opened_ && playState_ != kClosed && player_.IsOpen() && player_.GetState() != CPlayer::kPlaying &&
        player_.Renderer())
        player_.Redraw();
}

void CPlayerMessageMgr::OnStep(void*, int32_t id, intptr_t, intptr_t) {
    std::lock_guard guard(commandMutex_);
    if (!opened_) return;
    const bool forward = id == msg::kPlayerStepForward;
    if (!(forward ? player_.NextFrame() : player_.PrevFrame())) return;
    EnterPaused();
    Notify(forward ? msg::kNotifyPlayerSteppedForward : msg::kNotifyPlayerSteppedBack, 0, 0);
}

void CPlayerMessageMgr::OnGetDuration(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1 || !opened_) return;
    *reinterpret_cast<int32_t*>(p1) = static_cast<int32_t>(Duration());
}

void CPlayerMessageMgr::OnGetPosition(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1 || !opened_) return;
    *reinterpret_cast<int32_t*>(p1) = static_cast<int32_t>(std::max(player_.AudioTime(), player_.VideoTime()));
}

void CPlayerMessageMgr::Seek(uint32_t ms) {
    std::lock_guard guard(commandMutex_);
    if (!opened_) return;
    const uint32_t duration = Duration();
    if (ms > duration) {
        player_.Seek(duration);
        return;
    }
    player_.Seek(ms);
    EnterPaused();
    Notify(msg::kNotifyPlayerSeeked, 0, ms);
}

void CPlayerMessageMgr::OnSeek(void*, int32_t, intptr_t, intptr_t p2) {
    if (opened_ && p2 >= 0) Seek(static_cast<uint32_t>(p2));
}

void CPlayerMessageMgr::ThrottledSeek(uint32_t ms) {
    std::lock_guard guard(commandMutex_);
    const int64_t now = NowMs();
    if (now - lastSeekTick_ < kThrottleMs && seekSkips_ != kThrottleSkips) {
        lastSeekTick_ = now;
        ++seekSkips_;
        // Remember the request: when no other follows, it is shown after all.
        pendingSeek_ = ms;
        seekPending_ = true;
        if (!seekFlusher_.joinable()) seekFlusher_ = std::thread(&CPlayerMessageMgr::FlushSeeks, this);
        seekWake_.notify_all();
        return;
    }
    seekSkips_ = 0;
    lastSeekTick_ = now;
    seekPending_ = false;
    Seek(ms);
}

void CPlayerMessageMgr::FlushSeeks() {
    // Lives until the manager ends, so every drag, not only the first, has
    // its last position shown.
    std::unique_lock guard(commandMutex_);
    while (!closing_) {
        if (!seekPending_) {
            seekWake_.wait(guard);
            continue;
        }
        const int64_t due = lastSeekTick_ + kThrottleMs;
        const int64_t now = NowMs();
        if (now < due) {
            seekWake_.wait_for(guard, milliseconds(due - now));
            continue;
        }
        seekPending_ = false;
        seekSkips_ = 0;
        lastSeekTick_ = now;
        Seek(pendingSeek_);
    }
}

void CPlayerMessageMgr::EndSeekFlusher() {
    {
        std::lock_guard guard(commandMutex_);
        closing_ = true;
        seekPending_ = false;
    }
    seekWake_.notify_all();
    if (seekFlusher_.joinable()) seekFlusher_.join();
    std::lock_guard guard(commandMutex_);
    closing_ = false;
}

void CPlayerMessageMgr::OnThrottledSeek(void*, int32_t, intptr_t, intptr_t p2) {
    if (opened_ && p2 >= 0) ThrottledSeek(static_cast<uint32_t>(p2));
}

void CPlayerMessageMgr::ApplyTrim(bool opening, uint32_t changed) {
    if (!clip_) return;
    const uint32_t start = clip_->Trim().Start();
    const uint32_t end = clip_->Trim().End();
    const uint32_t duration = clip_->Trim().Duration();
    if (player_.IsOpen()) {
        player_.StopAndRewind();
        if (player_.Renderer() && clip_->IsFlv())
            player_.Renderer()->Rewind(start, duration != 0 && end > duration ? duration : end);
    }
    if (opening) {
        playState_ = kStopped;
        Notify(msg::kNotifyPlayerStopped, 0, 0);
        return;
    }
    ThrottledSeek(changed >= start && changed <= end ? changed : start);
    EnterPaused();
}

void CPlayerMessageMgr::OnTrimChanged(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1 || !clip_) return;
    std::lock_guard guard(commandMutex_);
    ApplyTrim(false, *reinterpret_cast<const uint32_t*>(p1));
}

// ---- listeners and snapshots

void CPlayerMessageMgr::OnAddListener(void*, int32_t, intptr_t p1, intptr_t) {
    if (p1) AddListener(reinterpret_cast<CBaseListener*>(p1));
}

void CPlayerMessageMgr::OnRemoveListener(void*, int32_t, intptr_t p1, intptr_t) {
    if (p1) RemoveListener(reinterpret_cast<CBaseListener*>(p1));
}

void CPlayerMessageMgr::OnSnapshot(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    std::lock_guard guard(commandMutex_);
    const PlayState state = playState_;
    if (state == kClosed || state == kOpened) return;
    {
        std::lock_guard lock(snapshotMutex_);
        snapshotPath_ = reinterpret_cast<const char*>(p1);
        snapshotPending_ = true;
    }
    if (state != kPlaying && player_.IsOpen() && player_.GetState() != CPlayer::kPlaying && player_.Renderer())
        player_.Redraw();
}

void CPlayerMessageMgr::TakeSnapshot(const uint8_t* pixels, int width, int height) {
    std::string path;
    {
        std::lock_guard lock(snapshotMutex_);
        if (!snapshotPending_) return;
        path.swap(snapshotPath_);
        snapshotPending_ = false;
    }
    if (path.empty()) return;
    // A snapshot that cannot be written is reported, not dropped silently.
    if (AvkWriteFramePicture(path.c_str(), pixels, width, height, width * 4) != 1)
        Notify(msg::kNotifyPlayerSnapshotFailed, reinterpret_cast<intptr_t>(path.c_str()),
               static_cast<intptr_t>(path.size()));
}

Rect CPlayerMessageMgr::FrameHook(uint8_t* pixels, int width, int height, int64_t time100ns) {
    Rect mark{0, 0, 0, 0};
    if (!pixels || !clip_) return mark;
    const int stride = width * 4;
    const int frame = static_cast<int>(static_cast<double>(time100ns) * clipFrameRate_ / 10000000.0);
    // Effects go first, so watermarks are never mirrored or blurred.
    switch (previewMode_) {
        case kCropEditing:
            clip_->Crop().DrawCropFrame(pixels, width, height, stride);
            mark = clip_->Crop().CropFrameInFramePixels();
            break;
        case kWaterMarkEditing: {
            clip_->WaterMarks().DrawOverlaysAtFrame(pixels, width, height, stride, frame);
            Rect selected{};
            if (clip_->WaterMarks().GetSelectedRectInPicture(selected)) mark = selected;
            break;
        }
        case kEffectPreview:
            clip_->Effects().ApplyFrameEffects(pixels, width, height, stride);
            break;
        default:
            clip_->Effects().ApplyFrameEffects(pixels, width, height, stride);
            clip_->WaterMarks().DrawOverlaysAtFrame(pixels, width, height, stride, frame);
            break;
    }
    TakeSnapshot(pixels, width, height);
    return mark;
}

// ---- the watch thread

void CPlayerMessageMgr::StartWatch() {
    {
        // A watch thread that has not yet given up sees the new playing.
        std::lock_guard lock(watchMutex_);
        if (watchRunning_) return;
    }
    if (watch_.joinable()) {
        // It has given up (it may still be announcing an end): the new
        // playing needs a new one.
        if (watch_.get_id() == std::this_thread::get_id()) watch_.detach();  // played again from its announcement
        else watch_.join();
    }
    watchRunning_ = true;
    watch_ = std::thread(&CPlayerMessageMgr::Watch, this);
}

void CPlayerMessageMgr::EndWatch() {
    watchEnding_ = true;
    watchWake_.notify_all();
    if (watch_.joinable()) {
        if (watch_.get_id() == std::this_thread::get_id()) watch_.detach();  // a listener closed us from it
        else watch_.join();
    }
    {
        std::lock_guard lock(watchMutex_);
        watchRunning_ = false;
    }
    watchEnding_ = false;
}

void CPlayerMessageMgr::Watch() {
    // The thread gives up under the watch lock, in the same step as it
    // decides to, so a play that finds it still running can count on it.
    auto giveUp = [this] {
        std::lock_guard lock(watchMutex_);
        watchRunning_ = false;
    };
    std::unique_lock lock(watchMutex_);
    for (;;) {
        const PlayState state = playState_;
        if (state == kStopped || state == kClosed) {
            watchRunning_ = false;
            return;
        }
        if (state != kPaused && audioEnded_ && videoEnded_) {
            audioEnded_ = videoEnded_ = false;
            lock.unlock();
            {
                // Stopping ends both streams too, and a stop holds the command
                // lock while it waits for this thread: then the stop decides
                // what is shown, and the end is not announced.
                std::unique_lock guard(commandMutex_, std::defer_lock);
                while (!guard.try_lock_for(kEndLockRetry))
                    if (watchEnding_) return giveUp();
                if (watchEnding_ || playState_ == kStopped || playState_ == kClosed) return giveUp();
                player_.Seek(0);
                playState_ = kStopped;
                // Given up before the command lock goes: a play heard with the
                // end below starts a watch thread of its own.
                giveUp();
            }
            Notify(msg::kNotifyPlayerEnded, 0, 0);
            return;
        }
        watchWake_.wait_for(lock, kWatchPeriod);
    }
}
