#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "model/XMutex.h"
#include "projcore/Records.h"

class CFLVSequence;
class CDrawSurface;
class CPvx;

// Runs a batch of conversions: one task per sequence, up to maxParallel jobs
// at a time, each writing one output file. The window sends the settings,
// the preview, the parallel count and the existing-file policy, adds tasks,
// sets their folders and starts. A task keeps the settings in force when it
// was added (or the first ones sent after it), so one batch may mix outputs:
// settings, task, other settings, task converts each task its own way; a worker thread starts the jobs, reports
// progress, state changes and errors, and ends the batch with 110581305.
//
// The worker sleeps on a condition woken by every command and every job's
// end, and by itself at the latest every 500 ms for the progress, so a batch
// never idles between jobs.
class CPvxMgr : public CBaseBrocaster, public CListenerImpl {
public:
    CPvxMgr();
    // Stops a running batch and waits for its jobs.
    ~CPvxMgr() override;
    CPvxMgr(const CPvxMgr&) = delete;
    CPvxMgr& operator=(const CPvxMgr&) = delete;

    static constexpr int kMaxParallel = 10;

private:
    struct Task {
        std::string outputPath;
        std::string folder;
        CFLVSequence* sequence = nullptr;   // not owned
        bool done = false;
        bool newName = false;
        bool claimed = false;   // started: its output path is taken in this batch
        int32_t state = kPvxWaiting;
        int32_t reported = 0;   // ms
        int32_t total = 0;      // ms
        bool hasSettings = false;   // settings taken; sizes and rates "as the clip" filled at start
        OutputSettings settings{};
        std::string extension;      // the settings' file extension
        std::unique_ptr<CPvx> job;
    };
    using Clock = std::chrono::steady_clock;
    struct Note {   // a notification gathered under the lock, sent after it
        int32_t id;
        std::vector<uint8_t> data;
        std::string text;
        bool nullText;
        int32_t code;
    };

    void OnSetFolder(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetSettings(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetMaxParallel(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetPreviewSurface(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetPreviewRect(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetPreviewTask(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnTaskAction(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnAddTask(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnGetProgress(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnSetPolicy(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnEstimateSize(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnStopBatch(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnStartBatch(void*, int32_t, intptr_t p1, intptr_t p2);

    void Work();
    void StopBatch();
    void Reset();
    void Wake();
    static void OnJobFinished(void* self);

    // Under the lock.
    int NextTask() const;
    bool StartTask(int index);
    int WaitingTasks(int except) const;   // tasks still to start, but except
    void Stop(int index, bool notify);
    void Pause(int index);
    void Resume(int index);
    void CheckJobs(bool reportProgress);
    void ApplyPreview();
    bool PathTaken(const std::string& path, int except) const;
    bool ClaimedByOtherTask(const std::string& path, int except) const;
    void AdoptSettings(Task& task) const;
    void PlaceOutput(int index);
    void CompleteSettings(Task& task) const;
    std::string CleanName(const CFLVSequence& sequence) const;

    bool AnyHeld() const;   // a task paused before it started, waiting for a resume
    // Notifications are queued under the lock in the order things happened
    // and sent by one thread at a time, outside the lock, in that order.
    void StateNote(int index, int32_t state);
    void ErrorNote(const std::string* text, int32_t code);
    void Send();
    void PaintBlack(const Rect& r);

    std::vector<std::unique_ptr<Task>> tasks_;
    OutputSettings settings_{};   // the last settings sent: given to tasks added from then on
    bool settingsGiven_ = false;
    int maxParallel_ = 1;
    CDrawSurface* preview_ = nullptr;
    Rect previewRect_{0, 0, 100, 100};
    int32_t existingFilePolicy_ = 0;
    std::set<std::string> cleanedFolders_;   // folders rid of abandoned temporaries this batch
    int runningCount_ = 0;
    bool active_ = false;
    bool stopping_ = false;
    int previewTask_ = -1;
    bool previewShown_ = false;
    int lastPreviewTask_ = -1;
    bool lastPreviewShown_ = false;
    std::thread worker_;
    CXMutex lock_;

    std::deque<Note> outbox_;
    bool draining_ = false;

    std::mutex wakeLock_;
    std::condition_variable wake_;
    uint64_t wakeCount_ = 0;
    bool workerEnded_ = false;   // under wakeLock_: the batch's worker has sent its end
};
