#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "projcore/Records.h"

class CPvxOutput;
class CFlvBindProgress;
class CEffectMgr;
class CWaterMarkMgr;
class CDrawSurface;

// The output's time line: puts each clip's decoded pictures and sound into
// the output at their place, so the output lasts exactly the sum of the
// clips' kept spans whatever the decoders deliver.
//
// Pictures fill the frame slots of the output frame rate: a picture covers
// the slots up to its own time (repeating it over a gap) and a picture whose
// slot is already written is dropped. Sound is placed by sample count: a gap
// is filled with silence and an overlap cut. A clip's pictures and sound past
// its end are dropped, and its end is padded (the last picture held, silence).
//
// PutFrame and PutAudio may run on two threads at once (the video and the
// audio decoder); BeginClip and EndClip run while neither does.
class CPvxTimeline {
public:
    struct Clip {
        int64_t startMs = 0;        // output time where the clip begins
        int64_t lengthMs = 0;       // its kept span
        int64_t trimStartMs = 0;    // clip time of its first kept moment
        Rect picture{0, 0, 0, 0};   // where the clip's (cropped) picture lies in the frame
        CEffectMgr* effects = nullptr;     // not owned
        CWaterMarkMgr* marks = nullptr;    // not owned; drawn at the clip's times
    };

    CPvxTimeline(const OutputSettings& settings, CPvxOutput& output, CFlvBindProgress& progress);

    void BeginClip(const Clip& clip);
    // pixels: the clip's picture (clip.picture's size), BGRA, top row first.
    // time: 100 ns after the clip's first kept moment (negative: before it).
    // False when the output could not be written or the job is cancelled.
    bool PutFrame(const uint8_t* pixels, int64_t time);
    // pcm: 16-bit at the output's rate and channels.
    bool PutAudio(const uint8_t* pcm, int bytes, int64_t time);
    // Silence up to time (clip-relative, as above), for clips without sound,
    // so that sound keeps pace with the pictures in the file.
    bool PutSilenceUntil(int64_t time);
    // Pads the clip to its end. False when writing failed.
    bool EndClip();

    bool Failed() const { return failed_.load(); }

    // The preview: every previewEvery-th written picture goes to the surface.
    void SetPreview(CDrawSurface* surface, const Rect& area, bool on);

private:
    int64_t SlotOf(int64_t ms100ns) const;   // the nearest frame slot of an output time
    int64_t SlotTime(int64_t slot) const;
    int64_t SampleOf(int64_t ms100ns) const;
    bool WriteSlots(int64_t upTo);           // the frame buffer into slots [written, upTo)
    bool WriteSilence(int64_t frames);
    bool WriteSamples(const uint8_t* pcm, int64_t frames);
    void Compose(const uint8_t* pixels, int64_t clipTime);
    void ShowPreview();
    bool Fail();
    bool GoOn();   // false once the job is cancelled; waits while it is paused

    const bool hasVideo_, hasAudio_;
    const int width_, height_;
    const double fps_;
    const int rate_, channels_;
    const bool letterbox_;
    CPvxOutput& output_;
    CFlvBindProgress& progress_;

    Clip clip_;
    int64_t clipEndSlot_ = 0, clipEndSample_ = 0;
    int64_t slotsWritten_ = 0;     // video thread
    int64_t samplesWritten_ = 0;   // audio thread
    int64_t clipFrames_ = 0;       // pictures of this clip composed
    std::vector<uint8_t> frame_;   // the output picture
    std::vector<uint8_t> sound_;   // a writable copy for the volume
    std::vector<uint8_t> silence_;
    std::atomic<bool> failed_{false};

    std::mutex previewLock_;
    CDrawSurface* surface_ = nullptr;
    Rect previewArea_{0, 0, 0, 0};
    bool previewOn_ = false;
    int previewCount_ = 0;
};
