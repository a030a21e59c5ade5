#include "player/Player.h"

#include <algorithm>
#include <cstring>

#include "avkit/avkit.h"
#include "model/ImageClip.h"
#include "render/ImageClipRender.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int64_t kEarlyMs = 2;         // a frame this close to its time is drawn
constexpr int64_t kTooLateMs = 2000;    // a frame this late is skipped
constexpr int64_t kStallMs = 1000;      // sound that does not move this long: use the steady clock
constexpr int64_t kMaxQueuedMs = 2000;  // sound queued ahead of the device at most
constexpr int64_t kPrerollMs = 1000;    // longest wait for the first frame before the sound runs
constexpr uint32_t kMarkColour = 0xFF00FF00;  // the outline drawn around markRect (BGRA green)

// The player whose Redraw runs on this thread: the renderer hands the asked-for
// picture back on the asking thread, so a frame arriving here while paused is
// that picture and not one of the stream (whose frames may carry the same flag).
thread_local const CPlayer* tRedrawing = nullptr;
}  // namespace

CPlayer::CPlayer(CFLVCache* cache) : cache_(cache) {}

CPlayer::~CPlayer() { Unload(); }

void CPlayer::SetState(State s) {
    {
        std::lock_guard lock(mutex_);
        state_ = s;
    }
    changed_.notify_all();
}

bool CPlayer::LoadImageClip(CImageClip* clip) {
    if (!clip) return false;
    if (!LoadRenderer(std::make_unique<CImageClipRender>(clip), clip)) return false;
    std::lock_guard lock(mutex_);
    resync_ = true;
    return true;
}

bool CPlayer::LoadClip(CBaseClip* clip) {
    if (!clip) return false;
    if (auto* image = dynamic_cast<CImageClip*>(clip)) return LoadImageClip(image);
    return LoadRenderer(clip->CreateRender(cache_), clip);
}

bool CPlayer::LoadRenderer(std::unique_ptr<CBaseClipRender> renderer, CBaseClip* clip) {
    Unload();
    if (!renderer) return false;
    if (!renderer->Open()) {
        renderer->Close();
        return false;
    }
    renderer_ = std::move(renderer);
    clip_ = clip;
    renderer_->SetAudioCallback(&CPlayer::OnSound, this);
    renderer_->SetVideoCallback(&CPlayer::OnFrame, this);
    renderer_->SetAudioEndCallback(&CPlayer::OnAudioEnd, this);
    renderer_->SetVideoEndCallback(&CPlayer::OnVideoEnd, this);
    info_ = renderer_->Info();
    hasAudio_ = audioOn_ = info_.audioFormat != -1;
    hasVideo_ = videoOn_ = info_.videoCodec != -1 || info_.width > 0;
    syncToAudio_ = hasAudio_;
    if (hasVideo_) {
        std::lock_guard draw(drawMutex_);
        videoDriver_.width = info_.width;
        videoDriver_.height = info_.height;
        videoDriver_.surface = surface_;
        if (!videoDriver_.Open()) {
            videoDriver_.Close();
            renderer_.reset();
            return false;
        }
        frameCopy_.assign(static_cast<size_t>(info_.width) * static_cast<size_t>(info_.height) * 4, 0);
    }
    if (hasAudio_) {
        audioDriver_.channels = info_.channels > 0 ? info_.channels : 2;
        audioDriver_.sampleRate = info_.sampleRate > 0 ? info_.sampleRate : 44100;
        audioDriver_.fill = &CPlayer::OnFill;
        audioDriver_.fillUser = this;
        sound_ = DB2_CreateWithMutex();
    }
    opened_ = true;
    return true;
}

void CPlayer::Unload() {
    SetState(kStopped);
    if (renderer_) renderer_->Close();
    audioDriver_.Close();
    renderer_.reset();
    {
        std::lock_guard lock(mutex_);
        if (sound_) DB2_Delete(sound_);
        sound_ = nullptr;
        chunks_.clear();
        bytesQueued_ = bytesPlayed_ = 0;
    }
    {
        std::lock_guard draw(drawMutex_);
        videoDriver_.Close();
        frameCopy_.clear();
    }
    clip_ = nullptr;
    opened_ = false;
    hasAudio_ = hasVideo_ = audioOn_ = videoOn_ = false;
}

void CPlayer::SetSurface(CDrawSurface* surface) {
    std::lock_guard draw(drawMutex_);
    surface_ = surface;
    videoDriver_.surface = surface;
}

void CPlayer::SetSurface(CDrawSurface* surface, const Rect& source, const Rect& destination) {
    std::lock_guard draw(drawMutex_);
    surface_ = surface;
    videoDriver_.surface = surface;
    videoDriver_.source = source;
    videoDriver_.destination = destination;
}

void CPlayer::SetSource(const Rect& source) {
    std::lock_guard draw(drawMutex_);
    videoDriver_.source = source;
}

void CPlayer::SetDestination(const Rect& destination) {
    std::lock_guard draw(drawMutex_);
    videoDriver_.destination = destination;
}

void CPlayer::ResetSound() {
    audioDriver_.Close();  // no fill runs after this
    std::lock_guard lock(mutex_);
    if (sound_) DB2_Clear(sound_);
    chunks_.clear();
    bytesQueued_ = bytesPlayed_ = 0;
    fillLength_ = 0;
    streamEnded_ = false;
    soundEndReported_ = false;
}

void CPlayer::Play() {
    if (!opened_ || state_ == kPlaying) return;
    if (state_ == kStopped) {
        ResetSound();
        {
            std::lock_guard lock(mutex_);
            resync_ = true;
            syncToAudio_ = hasAudio_;
            firstFrameShown_ = !hasVideo_;
            playStarted_ = Clock::now();
            audioTime_ = renderer_->CurrentTime();
        }
        if (hasAudio_ && audioDriver_.Open()) audioDriver_.Start();
    }
    SetState(kPlaying);
    renderer_->Play();
}

void CPlayer::Pause() {
    if (!opened_ || state_ != kPlaying) return;
    {
        // The steady clock runs on while paused: take a new baseline after.
        std::lock_guard lock(mutex_);
        resync_ = true;
    }
    SetState(kPaused);
    renderer_->Pause();
}

void CPlayer::Stop() {
    SetState(kStopped);  // wakes whatever waits, so the renderer can be stopped
    ResetSound();
    if (renderer_) renderer_->Stop();
}

void CPlayer::StopAndRewind() {
    if (!opened_) return;
    Stop();
    audioTime_ = videoTime_ = renderer_->CurrentTime();
}

bool CPlayer::NextFrame() {
    if (!opened_) return false;
    Stop();
    audioTime_ = videoTime_ = 0;
    return renderer_->StepForward();
}

bool CPlayer::PrevFrame() {
    if (!opened_) return false;
    Stop();
    audioTime_ = videoTime_ = 0;
    return renderer_->StepBack();
}

bool CPlayer::Seek(uint32_t ms) {
    if (!opened_) return false;
    Stop();
    audioTime_ = videoTime_ = 0;
    return renderer_->ShowAt(ms);
}

void CPlayer::Redraw() {
    if (!opened_ || state_ == kPlaying || !renderer_) return;
    {
        std::lock_guard lock(mutex_);
        ++redraws_;
        ++redrawsBegun_;
    }
    // Frames of the stream waiting at a pause let go: a renderer may stop
    // its worker to redraw, and that worker may be the one waiting here.
    changed_.notify_all();
    const CPlayer* outer = tRedrawing;
    tRedrawing = this;
    renderer_->Redraw();
    tRedrawing = outer;
    std::lock_guard lock(mutex_);
    --redraws_;
}

// ---- sound

void CPlayer::OnSound(void* self, CBaseClip*, const uint8_t* samples, int size, int64_t t, int64_t d, bool, bool) {
    auto* p = static_cast<CPlayer*>(self);
    if (!samples || size <= 0 || !p->sound_) return;
    const int64_t bytesPerSecond = int64_t{p->audioDriver_.BytesPerSecond()};
    {
        std::unique_lock lock(p->mutex_);
        // Hold back while paused, and while plenty is queued already.
        p->changed_.wait(lock, [&] {
            return p->state_ == kStopped ||
                   (p->state_ == kPlaying && (p->bytesQueued_ - p->bytesPlayed_) * 1000 < kMaxQueuedMs * bytesPerSecond);
        });
        if (p->state_ == kStopped) return;
    }
    if (p->soundCopy_.size() < static_cast<size_t>(size)) p->soundCopy_.resize(static_cast<size_t>(size));
    std::memcpy(p->soundCopy_.data(), samples, static_cast<size_t>(size));
    if (p->hooks.sound) p->hooks.sound(p->hooks.soundUser, reinterpret_cast<int16_t*>(p->soundCopy_.data()), size);
    {
        std::lock_guard lock(p->mutex_);
        DB2_Push(p->sound_, p->soundCopy_.data(), size);
        p->chunks_.push_back(Chunk{p->bytesQueued_, size, t, d});
        p->bytesQueued_ += size;
    }
    p->changed_.notify_all();
}

void CPlayer::UpdateAudioClock() {
    // Drop what the device has consumed, then place the clock inside the
    // chunk now being played.
    while (!chunks_.empty() && chunks_.front().offset + chunks_.front().size <= bytesPlayed_) chunks_.pop_front();
    if (chunks_.empty() || chunks_.front().offset > bytesPlayed_) return;
    const Chunk& c = chunks_.front();
    const int64_t bytesPerSecond = audioDriver_.BytesPerSecond();
    audioTime_ = (c.timestamp + (bytesPlayed_ - c.offset) * 10000000 / bytesPerSecond) / 10000;
}

int64_t CPlayer::AudioTime() const {
    const int64_t clock = audioTime_;
    if (state_ != kPlaying || fillLength_ <= 0) return clock;
    const int64_t since = (Clock::now().time_since_epoch().count() - fillTick_) / 1000000;
    return clock + std::clamp<int64_t>(since, 0, fillLength_);
}

void CPlayer::OnFill(void* self, uint8_t* buffer, int bytes) { static_cast<CPlayer*>(self)->Fill(buffer, bytes); }

void CPlayer::Fill(uint8_t* buffer, int bytes) {
    bool soundEnded = false;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return state_ != kPaused; });
        auto buffered = [&] { return bytesQueued_ - bytesPlayed_; };
        if (state_ == kPlaying && !streamEnded_ && buffered() < bytes) {
            // Wait for the renderer, but never hold the device thread long.
            changed_.wait_for(lock, milliseconds(200),
                              [&] { return state_ != kPlaying || streamEnded_ || buffered() >= bytes; });
        }
        const int available = static_cast<int>(std::min<int64_t>(buffered(), bytes));
        const bool preroll = !firstFrameShown_ && Clock::now() - playStarted_ < milliseconds(kPrerollMs);
        if (state_ != kPlaying || available <= 0 || preroll) {
            std::memset(buffer, 0, static_cast<size_t>(bytes));
            if (state_ == kPlaying && streamEnded_ && available <= 0 && !soundEndReported_) {
                soundEndReported_ = true;
                soundEnded = true;
            }
        } else {
            UpdateAudioClock();
            const int read = DB2_Read(sound_, buffer, available);
            fillTick_ = Clock::now().time_since_epoch().count();
            fillLength_ = int64_t{read} * 1000 / audioDriver_.BytesPerSecond();
            if (read < bytes) std::memset(buffer + read, 0, static_cast<size_t>(bytes - read));
            bytesPlayed_ += read;
        }
    }
    changed_.notify_all();
    if (soundEnded) {
        if (hooks.audioEnded) hooks.audioEnded(hooks.audioEndedUser);
        if (!videoOn_ && hooks.videoEnded) hooks.videoEnded(hooks.videoEndedUser);
    }
}

// ---- frames

void CPlayer::Baseline(int64_t ms) {
    baseTime_ = ms;
    baseTick_ = Clock::now();
}

void CPlayer::OnFrame(void* self, CBaseClip*, const uint8_t* pixels, int size, int64_t t, int64_t, bool, bool) {
    if (!pixels || size <= 0) return;
    static_cast<CPlayer*>(self)->Frame(pixels, size, t);
}

void CPlayer::Frame(const uint8_t* pixels, int size, int64_t t) {
    const int64_t f = t / 10000;
    std::unique_lock lock(mutex_);
    for (;;) {
        if (state_ == kPaused) {
            if (tRedrawing == this) {
                // The picture a pause stands on, asked for again: shown now.
                lock.unlock();
                Draw(pixels, size, t);
                return;
            }
            // A frame of the stream: it waits for the play, and for its time,
            // unless a redraw comes first; the redraw shows the paused picture
            // (the renderer's last), and the renderer goes on from there.
            const uint64_t begun = redrawsBegun_;
            changed_.wait(lock, [&] { return state_ != kPaused || redraws_ > 0 || redrawsBegun_ != begun; });
            if (state_ == kPaused) return;
            continue;
        }
        if (state_ == kStopped) {
            // A single frame (step, seek, redraw): shown at once.
            resync_ = true;
            break;
        }
        if (syncToAudio_) {
            int64_t lastDiff = f - AudioTime();
            auto unchangedSince = Clock::now();
            bool moved = true;
            for (int64_t diff = lastDiff; state_ == kPlaying && diff > kEarlyMs; diff = f - AudioTime()) {
                changed_.wait_for(lock, milliseconds(std::min<int64_t>(diff - kEarlyMs, 20)));
                const int64_t now = f - AudioTime();
                if (now != lastDiff) {
                    lastDiff = now;
                    unchangedSince = Clock::now();
                } else if (Clock::now() - unchangedSince > milliseconds(kStallMs)) {
                    moved = false;
                    break;
                }
            }
            if (state_ != kPlaying) continue;
            if (!moved) {
                // The sound does not move: follow the steady clock from here.
                syncToAudio_ = false;
                Baseline(f);
                return;
            }
            if (f - AudioTime() < -kTooLateMs) {
                Baseline(f);
                return;
            }
            break;
        }
        if (resync_) {
            resync_ = false;
            Baseline(f);
            break;
        }
        const auto due = baseTick_ + milliseconds(f - baseTime_);
        if (Clock::now() < due) {
            changed_.wait_until(lock, due, [&] { return state_ != kPlaying; });
            if (state_ != kPlaying) continue;
        }
        if (Clock::now() - due > milliseconds(kTooLateMs)) {
            Baseline(f);
            return;
        }
        // Keep the time line anchored where it was due, so that waking a
        // little late never adds up over the frames.
        baseTime_ = f;
        baseTick_ = due;
        lock.unlock();
        Draw(pixels, size, t);
        return;
    }
    Baseline(f);
    firstFrameShown_ = true;
    lock.unlock();
    Draw(pixels, size, t);
}

void CPlayer::Draw(const uint8_t* pixels, int size, int64_t t) {
    std::lock_guard draw(drawMutex_);
    const size_t bytes = std::min(frameCopy_.size(), static_cast<size_t>(size));
    if (bytes == 0) return;
    std::memcpy(frameCopy_.data(), pixels, bytes);
    Rect mark{0, 0, 0, 0};
    if (hooks.frame) mark = hooks.frame(hooks.frameUser, frameCopy_.data(), info_.width, info_.height, t);
    videoDriver_.DrawFrame(frameCopy_.data());
    if (surface_ && mark.Width() > 0 && mark.Height() > 0) {
        // The outline goes on in window pixels, one pixel wide.
        const Rect& src = videoDriver_.source;
        const Rect& dst = videoDriver_.destination;
        if (src.Width() > 0 && src.Height() > 0) {
            auto x = [&](int v) { return dst.left + static_cast<int>(int64_t{v - src.left} * dst.Width() / src.Width()); };
            auto y = [&](int v) { return dst.top + static_cast<int>(int64_t{v - src.top} * dst.Height() / src.Height()); };
            const Rect r{x(mark.left), y(mark.top), x(mark.right), y(mark.bottom)};
            surface_->FillRect(Rect{r.left, r.top, r.right, r.top + 1}, kMarkColour);
            surface_->FillRect(Rect{r.left, r.bottom - 1, r.right, r.bottom}, kMarkColour);
            surface_->FillRect(Rect{r.left, r.top, r.left + 1, r.bottom}, kMarkColour);
            surface_->FillRect(Rect{r.right - 1, r.top, r.right, r.bottom}, kMarkColour);
        }
    }
    videoTime_ = t / 10000;
}

// ---- ends

void CPlayer::OnVideoEnd(void* self, CBaseClip*) {
    auto* p = static_cast<CPlayer*>(self);
    {
        // With sound, the sound's own end says when no more will come.
        std::lock_guard lock(p->mutex_);
        if (!p->hasAudio_) p->streamEnded_ = true;
    }
    p->changed_.notify_all();
    if (p->hooks.videoEnded) p->hooks.videoEnded(p->hooks.videoEndedUser);
    if (!p->audioOn_ && p->hooks.audioEnded) p->hooks.audioEnded(p->hooks.audioEndedUser);
}

void CPlayer::OnAudioEnd(void* self, CBaseClip*) {
    auto* p = static_cast<CPlayer*>(self);
    {
        std::lock_guard lock(p->mutex_);
        p->streamEnded_ = true;
    }
    p->changed_.notify_all();
}
