#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "convert/PvxPicturePool.h"
#include "projcore/Records.h"

class CPvxOutput;
class CFlvBindProgress;
class CEffectMgr;
class CWaterMarkMgr;
class CDrawSurface;
struct AvkResizer;

// The output's time line: puts each clip's decoded pictures and sound into
// the output at their place, so the output lasts exactly the sum of the
// clips' kept spans whatever the decoders deliver.
//
// Pictures fill the frame slots of the output frame rate: a picture covers
// the slots up to its own time (repeating it over a gap) and a picture whose
// slot is already taken is dropped. Sound is placed by sample count: a gap
// is filled with silence and an overlap cut. A clip's pictures and sound past
// its end are dropped, and its end is padded (the last picture held, silence).
//
// Pictures go through two stages of their own, each on its thread, so that
// decoding, picture work and encoding keep separate cores busy: the picture
// stage lays the clip's picture into the frame and draws its effects and
// watermarks, the encoding stage hands frames to the output. Pictures stay in
// the decoder's 4:2:0 colour when the output takes it and nothing is drawn
// on them; only the pictures with something to draw go through BGRA.
//
// PutFrame and PutAudio may run on two threads at once (the video and the
// audio decoder); BeginClip, EndClip, AbandonClip and Flush run while neither does.
class CPvxTimeline {
public:
    struct Clip {
        int64_t startMs = 0;        // output time where the clip begins
        int64_t lengthMs = 0;       // its kept span
        int64_t trimStartMs = 0;    // clip time of its first kept moment
        Rect picture{0, 0, 0, 0};   // where the clip's (cropped) picture lies in the frame
        int pictureFormat = 6;      // what PutFrame is given: avkit's BGRA32 or I420
        CEffectMgr* effects = nullptr;     // not owned; used until EndClip or AbandonClip returns
        CWaterMarkMgr* marks = nullptr;    // not owned; drawn at the clip's times
    };

    CPvxTimeline(const OutputSettings& settings, CPvxOutput& output, CFlvBindProgress& progress);
    ~CPvxTimeline();
    CPvxTimeline(const CPvxTimeline&) = delete;
    CPvxTimeline& operator=(const CPvxTimeline&) = delete;

    // Whether clips may hand their pictures over as 4:2:0 (the output takes it).
    bool TakesI420() const { return outI420_; }

    void BeginClip(const Clip& clip);
    // pixels: the clip's picture (clip.picture's size) in clip.pictureFormat,
    // top row first. time: 100 ns after the clip's first kept moment
    // (negative: before it). False when the output could not be written or
    // the job is cancelled.
    bool PutFrame(const uint8_t* pixels, int64_t time);
    // pcm: 16-bit at the output's rate and channels.
    bool PutAudio(const uint8_t* pcm, int bytes, int64_t time);
    // Silence up to time (clip-relative, as above), for clips without sound,
    // so that sound keeps pace with the pictures in the file.
    bool PutSilenceUntil(int64_t time);
    // Pads the clip to its end and waits until the picture stage is done
    // with it. False when writing failed.
    bool EndClip();
    // Ends the job's pictures without padding (a failure or a cancel): what
    // is queued is dropped and nothing more is written.
    void AbandonClip();
    // Writes out every queued picture and ends the stages. False when writing failed.
    bool Flush();

    bool Failed() const { return failed_.load(); }

    // The preview: every previewEvery-th written picture goes to the surface.
    void SetPreview(CDrawSurface* surface, const Rect& area, bool on);

private:
    using Buffer = CPvxPicturePool::Buffer;
    // Work for the picture stage: a picture, or the padding of a clip's end.
    struct Work {
        Buffer* picture = nullptr;   // null: pad
        int64_t clipTime = 0;
        int64_t upTo = 0;            // the slots before it are filled
    };
    // Work for the encoding stage: a frame for the slots [from, to).
    struct Slots {
        Buffer* frame = nullptr;
        int64_t from = 0, to = 0;
    };

    int64_t SlotOf(int64_t ms100ns) const;   // the nearest frame slot of an output time
    int64_t SlotTime(int64_t slot) const;
    int64_t SampleOf(int64_t ms100ns) const;
    bool WriteSilence(int64_t frames);
    bool WriteSamples(const uint8_t* pcm, int64_t frames);
    void PictureStage();
    void EncodeStage();
    Buffer* Compose(Buffer* in, int64_t clipTime);
    Buffer* ComposeBgra(const Buffer* in, int64_t clipTime);
    void PlaceI420(const uint8_t* in, uint8_t* out, int32_t flip) const;
    size_t FrameBytes() const;   // a frame in the output's format
    Buffer* Black();
    bool WriteFrame(const Buffer& frame, int64_t slot);
    void ShowPreview(const Buffer& frame);
    void StopStages();
    bool Fail();
    bool GoOn();   // false once the job is cancelled; waits while it is paused

    const bool hasVideo_, hasAudio_;
    const int width_, height_;
    const double fps_;
    const int rate_, channels_;
    const bool letterbox_;
    CPvxOutput& output_;
    CFlvBindProgress& progress_;
    const bool outI420_;

    Clip clip_;
    int64_t clipEndSlot_ = 0, clipEndSample_ = 0;
    int64_t slotsTaken_ = 0;       // decoder thread: slots of pictures handed on
    int64_t slotsComposed_ = 0;    // picture stage
    int64_t samplesWritten_ = 0;   // audio thread
    int64_t clipFrames_ = 0;       // picture stage: pictures of this clip composed
    std::vector<uint8_t> sound_;   // a writable copy for the volume
    std::vector<uint8_t> silence_;
    std::atomic<bool> failed_{false};

    CPvxPicturePool pool_;
    CPvxStageQueue<Work> toPictures_;
    CPvxStageQueue<Slots> toEncoder_;
    Buffer* current_ = nullptr;      // picture stage: the frame last composed
    std::vector<uint8_t> canvas_;    // picture stage: a BGRA frame for drawing
    AvkResizer* toBgra_ = nullptr;   // picture stage: the clip's 4:2:0 picture into the canvas
    int toBgraWidth_ = 0, toBgraHeight_ = 0;
    AvkResizer* toI420_ = nullptr;   // picture stage: the canvas into a frame
    std::thread pictureThread_, encodeThread_;

    std::mutex previewLock_;
    CDrawSurface* surface_ = nullptr;
    Rect previewArea_{0, 0, 0, 0};
    bool previewOn_ = false;
    int previewCount_ = 0;
    std::vector<uint8_t> previewBgra_;   // encoding stage: a 4:2:0 frame shown
    AvkResizer* previewConverter_ = nullptr;
};
