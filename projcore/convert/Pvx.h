#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/FlvBindProgress.h"
#include "convert/PartFile.h"
#include "projcore/Records.h"
#include "tagflow/tagflow.h"

class CFLVSequence;
class CBaseClip;
class CDrawSurface;
class CPvxOutput;
class CPvxTimeline;

// A conversion job: turns one sequence into one output file as an output
// settings record says, on a thread of its own. Its watcher reads the
// progress, state, result code and error text, and pauses, resumes or
// cancels it through SetState.
//
// Each clip in order is read from its trim start to its trim end and decoded
// at the output's size, rate and sound format; the clip's crop, effects,
// watermarks and volume are applied; pictures and sound go to the avkit
// writer, the ASF writer or a picture series. "flvbind" joins the files
// without decoding; "mp4remux", "movremux" and "mkvremux" copy the clips'
// packets into those containers (CRemux, PvxRemux.cpp). "mov" outputs are
// then rewritten for fast start, "flv" outputs get their metadata and "psp"
// outputs the sequence's title.
//
// Everything is written under a temporary name beside the output (see
// CPartFile) and given the output's name only once whole, after the
// finishing step (fast start, metadata, title): a final name never holds a
// half file, and a job that fails or is cancelled removes only its own
// temporary file. An output that is one of the job's inputs is refused
// before anything is written. A failure of the finishing step keeps the
// written output.
class CPvx {
public:
    enum Result : int32_t {
        kDone = 10071000,
        kNoStreams = 10071001,
        kDecoderSetup = 10071002,
        kAsfParameters = 10071003,
        kAsfOpen = 10071004,
        kWriterOpen = 10071005,
        kPreviewOpen = 10071006,
        kClipOpen = 10071007,      // text: the clip's path
        kClipRead = 10071008,      // text: the clip's path
        kFastStart = 10071009,     // text ends with the output path
        kFlvMetadata = 10071010,   // text ends with the output path
        kPspTitle = 10071011,      // text ends with the output path
        kWrite = 10071012,         // text: the file that could not be written
        kOutputIsInput = 10071013, // text: the output path
        kNotCopyable = 10071014,   // text: the clip's path and what cannot be copied without re-encoding
        kBindBase = 10071100,      // + the binding's result 1 ... 4
        kBindOther = 10071199,
    };

    // settings: corrected here, in place. The sequence must outlive the job.
    CPvx(OutputSettings& settings, CFLVSequence* sequence, std::string outputPath, CDrawSurface* preview,
         const Rect* previewRect);
    // Cancels a running job and waits for its thread.
    ~CPvx();
    CPvx(const CPvx&) = delete;
    CPvx& operator=(const CPvx&) = delete;

    // Called on the job's thread once it has finished (state 2); set before Start.
    void SetFinishedCallback(void (*callback)(void* user), void* user) {
        finished_ = callback;
        finishedUser_ = user;
    }
    // The picture encoder's threads (0, the default, lets it choose); set
    // before Start. A batch running jobs side by side shares the cores out.
    void SetEncoderThreads(int threads) { encoderThreads_ = threads; }
    // Whether an existing file of the output's name is replaced (otherwise
    // the output takes the next free name); set before Start.
    void SetOverwrite(bool overwrite) { overwrite_ = overwrite; }
    // The name asked for before the batch picked a free one: a name taken
    // meanwhile is numbered from it (name_2, not name_1_0); set before Start.
    void SetNameBase(const std::string& asked) { nameBase_ = asked; }
    // Starts the thread (state 0). False when the thread cannot be made.
    bool Start();
    // Waits until the started thread has ended.
    void Wait() {
        if (thread_.joinable()) thread_.join();
    }
    // 0 run (resume), 1 pause, 3 cancel; returns the old state. A finished
    // job (2) stays finished.
    int32_t SetState(int32_t state);
    int32_t GetState() const { return progress_.State(); }
    // Written and total output time, 100 ns.
    int64_t Position() const { return progress_.position.load(); }
    int64_t Total() const { return progress_.total.load(); }
    // Final once the state is 2.
    int32_t ResultCode() const { return result_; }
    std::string ErrorText() const;
    // The output's name: the one asked for until the job ends, then the one
    // the finished output was given (empty when nothing was kept).
    const std::string& OutputPath() const { return outputPath_; }

    // Frames go to the preview surface's area while on (every 15th frame).
    void SetPreview(bool on);
    void SetPreviewRect(const Rect& area);
    bool PreviewOn() const { return previewOn_; }
    Rect PreviewRect() const;

    // The thread's body; public so tests may run a job on their own thread.
    void Run();

private:
    void RunBind();
    void RunRemux();   // PvxRemux.cpp
    void RunClips();
    bool ConvertFlvClip(CBaseClip& clip, int64_t startMs, int64_t lengthMs);
    bool ConvertImageClip(CBaseClip& clip, int64_t startMs, int64_t lengthMs);
    bool ReadTags(CBaseClip& clip, FLVStreamDecoderHandle audio, FLVStreamDecoderHandle video,
                  uint32_t trimStart, uint32_t trimEnd, uint32_t& baseTime);
    bool Deliver(FLVStreamDecoderHandle decoder, FLVTag* tag);
    std::vector<std::string> Inputs() const;
    bool PrepareOutput();
    bool OutputWhole() const;
    void KeepOutput();
    void PostProcess();
    void Finish(int32_t code, const std::string& text = {});
    void ApplyPreview();
    bool Cancelled() const { return progress_.State() == CFlvBindProgress::kCancel; }

    static void OnVideo(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t dur, int32_t once,
                        int32_t filler);
    static void OnAudio(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t dur, int32_t once,
                        int32_t filler);
    static void OnReleaseTag(void* self, FLVTag* tag);

    OutputSettings& settings_;
    CFLVSequence* sequence_;   // not owned
    std::string outputPath_;   // written by the job's thread only before it ends
    std::string writePath_;    // where the writers write: in the temporary entry
    CPartFile part_;
    bool overwrite_ = false;
    std::string nameBase_;
    CDrawSurface* previewSurface_;   // not owned
    mutable std::mutex previewLock_;
    Rect previewRect_{0, 0, 0, 0};
    std::atomic<bool> previewOn_{false};
    std::atomic<bool> cancelAsked_{false};   // also seen after the join has finished itself

    CFlvBindProgress progress_;
    int32_t result_ = kDone;
    mutable std::mutex errorLock_;
    std::string errorText_;
    std::thread thread_;
    int encoderThreads_ = 0;
    void (*finished_)(void*) = nullptr;
    void* finishedUser_ = nullptr;

    std::unique_ptr<CPvxOutput> output_;
    std::unique_ptr<CPvxTimeline> timeline_;
    FLVAVTagReaderHandle reader_ = nullptr;
    std::mutex readerLock_;   // the job reads while decoders give tags back
    // The clip being decoded: its decoder times are relative to baseTime.
    std::atomic<int64_t> clipShift_{0};   // 100 ns: baseTime - trim start
    std::atomic<int32_t> frameBytes_{0};  // a decoded picture of the current clip
    // What the decoders gave: a clip or a job that decodes nothing fails.
    std::atomic<int64_t> clipPictures_{0}, clipSound_{0}, pictures_{0};
    bool claimedVideo_ = false;   // some clip has a video stream the output wants
    std::string unusableSize_;    // a clip whose picture size cannot be decoded
};
