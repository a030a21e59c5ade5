#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "player/SdlAudioDriver.h"
#include "player/VideoDriver.h"
#include "projcore/Records.h"
#include "render/BaseClipRender.h"

struct AvkDataBuffer;
class CBaseClip;
class CImageClip;
class CFLVCache;

// Previews one clip with sound. The renderer decodes on its own threads and
// hands sound and frames to the player; sound is queued and pulled by the
// audio device, whose consumption is the clock the frames wait for (clips
// without sound follow the steady clock). Each frame goes through the frame
// hook (effects, watermarks, editing frames) and onto the drawing surface.
class CPlayer {
public:
    enum State : int32_t { kPlaying = 0, kPaused = 1, kStopped = 2 };

    struct Hooks {
        // Applies the clip's volume to a block of 16-bit samples in place.
        void (*sound)(void* user, int16_t* samples, int bytes) = nullptr;
        void* soundUser = nullptr;
        // Draws over a frame (top row first, BGRA, width*4 per row) before it
        // is shown; answers a rectangle (frame pixels) to outline, or an empty one.
        Rect (*frame)(void* user, uint8_t* pixels, int width, int height, int64_t time100ns) = nullptr;
        void* frameUser = nullptr;
        void (*audioEnded)(void* user) = nullptr;
        void* audioEndedUser = nullptr;
        void (*videoEnded)(void* user) = nullptr;
        void* videoEndedUser = nullptr;
    };

    explicit CPlayer(CFLVCache* cache = nullptr);
    virtual ~CPlayer();
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    bool LoadImageClip(CImageClip* clip);
    // Loads an FLV or picture clip, FLV files read through the player's cache.
    bool LoadClip(CBaseClip* clip);
    // Takes over an opened-or-not renderer of clip and opens it.
    bool LoadRenderer(std::unique_ptr<CBaseClipRender> renderer, CBaseClip* clip);
    void Unload();
    void Play();
    void Pause();
    void Stop();
    void StopAndRewind();
    bool NextFrame();
    bool PrevFrame();
    bool Seek(uint32_t ms);
    // Draws the renderer's current picture again, at once, when not playing
    // (the window was uncovered or resized). While paused, only the picture
    // asked for here is drawn; frames of the stream wait for the play.
    void Redraw();

    // Where frames go: the frame's source rectangle into the surface's
    // destination rectangle.
    void SetSurface(CDrawSurface* surface, const Rect& source, const Rect& destination);
    void SetSurface(CDrawSurface* surface);
    void SetSource(const Rect& source);
    void SetDestination(const Rect& destination);

    State GetState() const { return state_; }
    // ms of the sound being heard: the clock set at the last fill, moved on by
    // the time since, within the buffer the device took then.
    int64_t AudioTime() const;
    int64_t VideoTime() const { return videoTime_; }  // ms of the last frame drawn
    bool IsOpen() const { return opened_; }
    bool HasAudio() const { return hasAudio_; }
    bool HasVideo() const { return hasVideo_; }
    CBaseClipRender* Renderer() const { return renderer_.get(); }

    Hooks hooks;

private:
    struct Chunk {
        int64_t offset;
        int size;
        int64_t timestamp;  // 100 ns
        int64_t duration;
    };

    static void OnSound(void* self, CBaseClip*, const uint8_t* samples, int size, int64_t t, int64_t d, bool,
                        bool);
    static void OnFrame(void* self, CBaseClip*, const uint8_t* pixels, int size, int64_t t, int64_t, bool, bool);
    static void OnVideoEnd(void* self, CBaseClip*);
    static void OnAudioEnd(void* self, CBaseClip*);
    static void OnFill(void* self, uint8_t* buffer, int bytes);
    void Fill(uint8_t* buffer, int bytes);
    void Frame(const uint8_t* pixels, int size, int64_t t);
    void Draw(const uint8_t* pixels, int size, int64_t t);
    void UpdateAudioClock();  // holds mutex_
    void Baseline(int64_t ms);
    void ResetSound();        // state must not be playing
    void SetState(State s);

    CFLVCache* cache_;  // not owned
    std::unique_ptr<CBaseClipRender> renderer_;
    CBaseClip* clip_ = nullptr;
    CSdlAudioDriver audioDriver_;
    CVideoDriver videoDriver_;
    CDrawSurface* surface_ = nullptr;
    FLVInfo info_{};
    bool hasAudio_ = false, hasVideo_ = false;
    bool audioOn_ = false, videoOn_ = false;
    std::atomic<bool> syncToAudio_{false};
    bool opened_ = false;

    std::atomic<State> state_{kStopped};
    std::mutex mutex_;  // guards the sound queue, the clocks' baselines and the end flags
    std::condition_variable changed_;
    AvkDataBuffer* sound_ = nullptr;
    std::deque<Chunk> chunks_;
    int64_t bytesQueued_ = 0;
    int64_t bytesPlayed_ = 0;
    bool streamEnded_ = false;
    bool soundEndReported_ = false;
    bool resync_ = true;
    int redraws_ = 0;             // Redraw calls under way
    uint64_t redrawsBegun_ = 0;   // Redraw calls ever begun
    // Until the first frame is drawn the device plays silence without
    // consuming sound, so a video decoder that starts slowly does not leave
    // the pictures behind the clock from the start.
    bool firstFrameShown_ = false;
    std::chrono::steady_clock::time_point playStarted_{};
    int64_t baseTime_ = 0;
    std::chrono::steady_clock::time_point baseTick_{};
    std::atomic<int64_t> audioTime_{0};
    std::atomic<int64_t> fillTick_{0};    // steady clock (ns) of the last fill that consumed sound
    std::atomic<int64_t> fillLength_{0};  // ms of sound that fill handed over
    std::atomic<int64_t> videoTime_{0};

    // The frame copy, the frame hook's work on it and the surface with its
    // rectangles belong to whoever draws: the renderer's thread, or the
    // window thread redrawing a paused picture. Recursive: a listener told
    // something from inside the frame hook may set the preview area.
    std::recursive_mutex drawMutex_;
    std::vector<uint8_t> frameCopy_;
    std::vector<uint8_t> soundCopy_;
};
