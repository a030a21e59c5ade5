#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "render/BaseClipRender.h"

class CFLVClip;
class CFLVCache;

// Plays an FLV clip: a worker reads tags from the file's shared reader and
// feeds an audio and a video decoder thread, whose output goes to the
// owner's callbacks; single frames (steps, seeks) come from a frame reader on
// a private reader of the same file. The clip's trim is the range delivered:
// decoded output before its start is dropped, and the stream ends at its end.
class CFLVClipRender : public CBaseClipRender {
public:
    CFLVClipRender(CFLVClip* clip, CFLVCache* cache);
    ~CFLVClipRender() override;

    bool Open() override;
    void Close() override;
    void Play() override;
    void Stop() override;
    bool StepForward() override;
    bool StepBack() override;
    bool ShowAt(uint32_t ms) override;
    void Redraw() override;
    PlayState GetState() const { return playState_; }
    void Rewind(uint32_t start, uint32_t end) override;
    double FrameRate() const { return frameRate_; }

private:
    void Run();
    void MakeDecoders();
    void DropDecoders();
    void DeliverFrame(int64_t frame, int64_t time100ns);
    void EndInput();

    static void OnVideo(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t dur, int32_t once,
                        int32_t filler);
    static void OnAudio(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t dur, int32_t once,
                        int32_t filler);
    static void OnVideoEnd(void* self);
    static void OnAudioEnd(void* self);
    static void OnDeleteTag(void* self, FLVTag* tag);

    CFLVClip* clip_;    // not owned
    CFLVCache* cache_;  // not owned
    FLVAVTagReaderHandle reader_ = nullptr;  // the cache's
    std::mutex readerMutex_;                 // the worker reads while decoders give tags back
    bool hasAudio_ = false, hasVideo_ = false;
    double frameRate_ = 25.0;
    FLVStreamDecoderHandle audioDecoder_ = nullptr;
    FLVStreamDecoderHandle videoDecoder_ = nullptr;
    FLVAVTagReaderHandle privateReader_ = nullptr;
    VideoFrameReaderHandle frameReader_ = nullptr;

    std::atomic<uint32_t> timeBase_{0};
    std::atomic<int64_t> startTime_{0};  // ms
    std::atomic<int64_t> lastTime_{0};   // ms
    std::atomic<bool> redrawing_{false};
    bool keepLastFrame_ = true;
    std::mutex lastFrameMutex_;
    std::vector<uint8_t> lastFrame_;
    int64_t lastFrameTime_ = 0, lastFrameDuration_ = 0;
    bool haveLastFrame_ = false;
};
