#include "convert/PvxMgr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "convert/OutputSettings.h"
#include "convert/PartFile.h"
#include "convert/Pvx.h"
#include "model/BaseClip.h"
#include "model/FLVSequence.h"
#include "projcore/DrawSurface.h"
#include "projcore/MessageIds.h"

namespace fs = std::filesystem;

namespace {

constexpr auto kProgressEvery = std::chrono::milliseconds(500);
constexpr int32_t kFolderMissing = 10580023;
constexpr int32_t kWorkerNotStarted = 10580025;
constexpr int32_t kWorkerDidNotEnd = 10580026;
// The largest side of an output made at its clip's size: the limit of the
// sizes the output settings let a user type.
constexpr int kLargestOriginalSide = 3000;
// How long a stop waits for the jobs before it reports that they did not end.
constexpr auto kStopBound = std::chrono::seconds(10);
constexpr uint32_t kBlack = 0xFF000000;

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

bool IsPictureSeries(const std::string& ext) {
    std::string e = ext;
    for (char& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e == "bmp" || e == "png" || e == "jpg" || e == "jpeg";
}

// Copies text into a fixed field, cut at a UTF-8 character boundary.
void CopyBounded(char* field, size_t size, const std::string& text) {
    size_t n = std::min(text.size(), size - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    std::memcpy(field, text.data(), n);
    field[n] = 0;
}

template <class T>
std::vector<uint8_t> Bytes(const T& record) {
    const auto* p = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(p, p + sizeof record);
}

}  // namespace

CPvxMgr::CPvxMgr() {
    Register(this, msg::kConvSetTaskFolder, &CPvxMgr::OnSetFolder);
    Register(this, msg::kConvSetSettings, &CPvxMgr::OnSetSettings);
    Register(this, msg::kConvSetMaxParallel, &CPvxMgr::OnSetMaxParallel);
    Register(this, msg::kConvSetPreviewSurface, &CPvxMgr::OnSetPreviewSurface);
    Register(this, msg::kConvSetPreviewRect, &CPvxMgr::OnSetPreviewRect);
    Register(this, msg::kConvSetPreviewTask, &CPvxMgr::OnSetPreviewTask);
    Register(this, msg::kConvTaskAction, &CPvxMgr::OnTaskAction);
    Register(this, msg::kConvAddTask, &CPvxMgr::OnAddTask);
    Register(this, msg::kConvGetProgress, &CPvxMgr::OnGetProgress);
    Register(this, msg::kConvSetExistingPolicy, &CPvxMgr::OnSetPolicy);
    Register(this, msg::kConvEstimateSize, &CPvxMgr::OnEstimateSize);
    Register(this, msg::kConvStopBatch, &CPvxMgr::OnStopBatch);
    Register(this, msg::kConvStartBatch, &CPvxMgr::OnStartBatch);
    settings_.audioCodec = settings_.videoCodec = -1;
}

CPvxMgr::~CPvxMgr() {
    StopBatch();
    if (worker_.joinable()) worker_.join();
}

// ---- notifications

void CPvxMgr::StateNote(int index, int32_t state) {
    outbox_.push_back({msg::kNotifyConvTaskState, Bytes(PvxTaskState{index, state}), {}, false, 0});
}

void CPvxMgr::ErrorNote(const std::string* text, int32_t code) {
    outbox_.push_back({msg::kNotifyConvError, {}, text ? *text : std::string(), text == nullptr, code});
}

void CPvxMgr::Send() {
    {
        std::lock_guard g(lock_);
        if (draining_) return;   // the thread sending now sends these too
        draining_ = true;
    }
    for (;;) {
        Note n;
        {
            std::lock_guard g(lock_);
            if (outbox_.empty()) {
                draining_ = false;
                return;
            }
            n = std::move(outbox_.front());
            outbox_.pop_front();
        }
        if (n.id == msg::kNotifyConvError) {
            Notify(n.id, n.nullText ? 0 : reinterpret_cast<intptr_t>(n.text.c_str()), n.code);
        } else if (n.id == msg::kNotifyConvTaskOutput) {
            const PvxTaskOutput output{n.code, n.text.c_str()};
            Notify(n.id, reinterpret_cast<intptr_t>(&output), sizeof output);
        } else if (n.data.empty()) {
            Notify(n.id, 0, 0);
        } else {
            Notify(n.id, reinterpret_cast<intptr_t>(n.data.data()), static_cast<intptr_t>(n.data.size()));
        }
    }
}

void CPvxMgr::PaintBlack(const Rect& r) {
    if (preview_ && r.Width() > 0 && r.Height() > 0) preview_->FillRect(r, kBlack);
}

void CPvxMgr::Wake() {
    {
        std::lock_guard g(wakeLock_);
        ++wakeCount_;
    }
    wake_.notify_all();
}

void CPvxMgr::OnJobFinished(void* self) { static_cast<CPvxMgr*>(self)->Wake(); }

// ---- messages

void CPvxMgr::OnAddTask(void*, int32_t, intptr_t p1, intptr_t) {
    auto* sequence = reinterpret_cast<CFLVSequence*>(p1);
    if (!sequence) return;
    {
        std::lock_guard g(lock_);
        auto task = std::make_unique<Task>();
        task->sequence = sequence;
        task->settings.audioCodec = task->settings.videoCodec = -1;
        if (settingsGiven_) AdoptSettings(*task);
        tasks_.push_back(std::move(task));
        PvxTaskAdded added{};
        added.task = static_cast<int32_t>(tasks_.size() - 1);
        added.existingFilePolicy = existingFilePolicy_;
        CopyBounded(added.destinationName, sizeof added.destinationName, sequence->DestinationName());
        outbox_.push_back({msg::kNotifyConvTaskAdded, Bytes(added), {}, false, 0});
    }
    Send();
}

std::string CPvxMgr::CleanName(const CFLVSequence& sequence) const {
    // A destination name is a file name: no folder parts, never "." or "..".
    std::string name = sequence.DestinationName();
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';
    if (name.find_first_not_of('.') == std::string::npos) name = "output";
    return name;
}

bool CPvxMgr::ClaimedByOtherTask(const std::string& path, int except) const {
    for (size_t i = 0; i < tasks_.size(); ++i)
        if (static_cast<int>(i) != except && tasks_[i]->claimed && tasks_[i]->outputPath == path) return true;
    return false;
}

bool CPvxMgr::PathTaken(const std::string& path, int except) const {
    return Exists(path) || ClaimedByOtherTask(path, except);
}

void CPvxMgr::OnSetFolder(void*, int32_t, intptr_t p1, intptr_t) {
    const auto* r = reinterpret_cast<const PvxTaskFolder*>(p1);
    if (!r || !r->folder) return;
    {
        std::lock_guard g(lock_);
        if (r->task < 0 || static_cast<size_t>(r->task) >= tasks_.size()) return;
        Task& t = *tasks_[r->task];
        if (t.claimed) return;   // its output is being written (or was) where it was set
        std::string folder = r->folder;
        std::error_code error;
        if (folder.empty() || !fs::is_directory(folder, error)) {
            ErrorNote(&folder, kFolderMissing);
            t.folder.clear();
            t.outputPath.clear();
        } else {
            if (folder.back() != '/') folder += '/';
            // What an earlier run left unfinished here (killed, or the machine stopped) goes now.
            if (cleanedFolders_.insert(folder).second) RemoveAbandonedParts(folder);
            t.folder = folder;
            PlaceOutput(r->task);
        }
    }
    Send();
}

void CPvxMgr::PlaceOutput(int index) {
    Task& t = *tasks_[index];
    if (t.folder.empty()) return;
    const std::string name = CleanName(*t.sequence);
    if (IsPictureSeries(t.extension)) {
        // Each series gets a folder of its own, never one already there.
        std::string sub = name;
        for (int n = 0; Exists(t.folder + sub) || PathTaken(t.folder + sub + "/" + name + "." + t.extension, index); ++n)
            sub = name + "_" + std::to_string(n);
        t.outputPath = t.folder + sub + "/" + name + "." + t.extension;
    } else {
        t.outputPath = t.folder + name + "." + t.extension;
    }
}

void CPvxMgr::AdoptSettings(Task& t) const {
    t.settings = settings_;
    t.extension.assign(settings_.fileExt, strnlen(settings_.fileExt, sizeof settings_.fileExt));
    t.hasSettings = true;
}

void CPvxMgr::OnSetSettings(void*, int32_t, intptr_t p1, intptr_t) {
    std::lock_guard g(lock_);
    if (active_ || !p1) return;
    std::memcpy(&settings_, reinterpret_cast<const void*>(p1), sizeof settings_);
    settingsGiven_ = true;
    // Tasks added before any settings take these; tasks that have their own keep them.
    for (size_t i = 0; i < tasks_.size(); ++i) {
        Task& t = *tasks_[i];
        if (t.hasSettings || t.claimed) continue;
        AdoptSettings(t);
        PlaceOutput(static_cast<int>(i));
    }
}

void CPvxMgr::OnSetMaxParallel(void*, int32_t, intptr_t, intptr_t p2) {
    std::lock_guard g(lock_);
    // Any count outside 1 ... 10 is brought into it: 0 would never start a job.
    if (!active_) maxParallel_ = static_cast<int>(std::clamp<intptr_t>(p2, 1, kMaxParallel));
}

void CPvxMgr::OnSetPreviewSurface(void*, int32_t, intptr_t p1, intptr_t) {
    std::lock_guard g(lock_);
    if (!active_) preview_ = reinterpret_cast<CDrawSurface*>(p1);
}

void CPvxMgr::OnSetPreviewRect(void*, int32_t, intptr_t p1, intptr_t) {
    std::lock_guard g(lock_);
    if (!active_ && p1) previewRect_ = *reinterpret_cast<const Rect*>(p1);
}

void CPvxMgr::OnSetPreviewTask(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(PvxPreviewTask))) return;
    const auto* r = reinterpret_cast<const PvxPreviewTask*>(p1);
    {
        std::lock_guard g(lock_);
        if (r->task >= 0 && static_cast<size_t>(r->task) >= tasks_.size()) return;
        previewTask_ = r->task;
        previewShown_ = r->task >= 0 && r->shown != 0;
        if (r->task < 0) previewTask_ = -1;
    }
    Wake();
}

void CPvxMgr::OnTaskAction(void*, int32_t, intptr_t p1, intptr_t) {
    const auto* r = reinterpret_cast<const PvxTaskAction*>(p1);
    if (!r) return;
    {
        std::lock_guard g(lock_);
        if (r->task < 0 || static_cast<size_t>(r->task) >= tasks_.size()) return;
        switch (r->action) {
            case kPvxStop: Stop(r->task, true); break;
            case kPvxPause: Pause(r->task); break;
            case kPvxStopQuietly: Stop(r->task, false); break;
            case kPvxResume: Resume(r->task); break;
            default: break;
        }
    }
    Send();
    Wake();
}

void CPvxMgr::OnGetProgress(void*, int32_t, intptr_t p1, intptr_t) {
    const auto* r = reinterpret_cast<const PvxTaskProgress*>(p1);
    if (!r || !r->position || !r->total) return;
    std::lock_guard g(lock_);
    if (r->task < 0 || static_cast<size_t>(r->task) >= tasks_.size()) return;
    const Task& t = *tasks_[r->task];
    *r->position = t.sequence ? t.reported : 0;
    *r->total = t.total;
}

void CPvxMgr::OnSetPolicy(void*, int32_t, intptr_t, intptr_t p2) {
    std::lock_guard g(lock_);
    if (p2 >= 0 && p2 <= 2) existingFilePolicy_ = static_cast<int32_t>(p2);
}

void CPvxMgr::OnEstimateSize(void*, int32_t, intptr_t p1, intptr_t) {
    const auto* r = reinterpret_cast<const PvxSizeEstimate*>(p1);
    if (!r || !r->bytes) return;
    std::lock_guard g(lock_);
    *r->bytes = 0;
    if (r->task < 0 || static_cast<size_t>(r->task) >= tasks_.size() || !tasks_[r->task]->sequence) return;
    const Task& t = *tasks_[r->task];
    const OutputSettings& settings = t.hasSettings ? t.settings : settings_;
    const CFLVSequence& seq = *t.sequence;
    int64_t totalMs = 0;
    for (size_t i = 0; i < seq.GetClipCount(); ++i) totalMs += seq.Clip(i)->GetPlayLength();
    int64_t bytes = 0;
    // Bit rates in bit/s over 8192 per millisecond: the figure the window shows.
    if (settings.videoCodec != -1) bytes += int64_t{settings.videoBitRate} / 8192 * totalMs;
    if (settings.audioCodec != -1) bytes += int64_t{settings.audioBitRate} / 8192 * totalMs;
    *r->bytes = bytes;
}

void CPvxMgr::OnStopBatch(void*, int32_t, intptr_t, intptr_t) { StopBatch(); }

void CPvxMgr::OnStartBatch(void*, int32_t, intptr_t, intptr_t) {
    std::thread last;
    {
        std::lock_guard g(lock_);
        if (active_) return;
        last = std::move(worker_);
    }
    // The last batch's worker may still be sending its end; it is waited for
    // without the lock, which its listeners may need. It may be the caller.
    if (last.joinable()) {
        if (last.get_id() == std::this_thread::get_id()) last.detach();
        else last.join();
    }
    bool ended = false;
    {
        std::lock_guard g(lock_);
        if (active_) return;
        stopping_ = false;
        if (NextTask() < 0 && !AnyHeld()) {
            // Nothing can run: the batch ends at once, as it would after its last task.
            ended = true;
        } else {
            active_ = true;
            {
                std::lock_guard w(wakeLock_);
                workerEnded_ = false;
            }
            try {
                worker_ = std::thread(&CPvxMgr::Work, this);
            } catch (const std::system_error&) {
                active_ = false;
                const std::string empty;
                ErrorNote(&empty, kWorkerNotStarted);
            }
        }
    }
    if (ended) {
        Reset();
        std::lock_guard g(lock_);
        outbox_.push_back({msg::kNotifyConvBatchEnded, {}, {}, false, 0});
    }
    Send();
}

// ---- task actions (under the lock)

bool CPvxMgr::AnyHeld() const {
    for (const auto& t : tasks_)
        if (!t->done && t->state == kPvxPaused && !t->job) return true;
    return false;
}

int CPvxMgr::NextTask() const {
    if (runningCount_ >= maxParallel_ || stopping_) return -1;
    for (size_t i = 0; i < tasks_.size(); ++i) {
        const Task& t = *tasks_[i];
        if (!t.done && t.state != kPvxStopped && t.state != kPvxPaused && t.state != kPvxConverting) return int(i);
    }
    return -1;
}

void CPvxMgr::CompleteSettings(Task& t) const {
    if (!t.hasSettings) AdoptSettings(t);
    if (t.settings.videoCodec == -1) return;
    const bool needSize = t.settings.width == -1 && t.settings.height == -1;
    const bool needRate = t.settings.frameRate == 0;
    int width = 320, height = 240;
    double rate = 25.0;
    bool sizeFound = false, rateFound = false;
    for (size_t i = 0; i < t.sequence->GetClipCount() && !(sizeFound && rateFound); ++i) {
        CBaseClip* clip = t.sequence->Clip(i);
        MediaFileInfo info{};
        try {
            info = clip->GetMediaInfo();
        } catch (...) {
            continue;
        }
        const bool flv = clip->IsFlv();
        const int w = flv ? info.width : info.imageWidth, h = flv ? info.height : info.imageHeight;
        if (flv && info.videoCodec == -1) continue;
        if (!sizeFound && w > 0 && h > 0) width = w, height = h, sizeFound = true;
        if (!rateFound && flv && info.frameRate > 0) rate = info.frameRate, rateFound = true;
    }
    if (needSize) {
        // The clip's own size, but never beyond what a size typed by the user
        // may be: a header claiming 8192 x 8192 would otherwise cost
        // gigabytes per picture. The shape is kept.
        const int longest = std::max(width, height);
        if (longest > kLargestOriginalSide) {
            width = std::max(2, static_cast<int>(int64_t{width} * kLargestOriginalSide / longest));
            height = std::max(2, static_cast<int>(int64_t{height} * kLargestOriginalSide / longest));
        }
        t.settings.width = width, t.settings.height = height;
    }
    if (needRate) t.settings.frameRate = rate;
}

int CPvxMgr::WaitingTasks(int except) const {
    int n = 0;
    for (size_t i = 0; i < tasks_.size(); ++i) {
        const Task& t = *tasks_[i];
        n += static_cast<int>(i) != except && !t.done && !t.job && t.state == kPvxWaiting;
    }
    return n;
}

bool CPvxMgr::StartTask(int i) {
    Task& t = *tasks_[i];
    if (t.outputPath.empty()) {
        // No folder (or one that did not exist): nothing is written anywhere else.
        t.done = true;
        t.state = kPvxFailed;
        StateNote(i, kPvxFailed);
        const std::string folder = t.folder;
        ErrorNote(&folder, kFolderMissing);
        return false;
    }
    // Another task of this batch writing the same file always means a new
    // name; a file that was there before follows the policy.
    const std::string asked = t.outputPath;
    const bool clash = ClaimedByOtherTask(t.outputPath, i);
    if (clash || Exists(t.outputPath)) {
        if (existingFilePolicy_ == 2 && !clash) {
            t.done = true;
            t.state = kPvxStopped;
            StateNote(i, kPvxStopped);
            return false;
        }
        if (existingFilePolicy_ == 0 || clash) {
            const fs::path p(t.outputPath);
            const std::string stem = p.parent_path().string() + "/" + p.stem().string();
            const std::string ext = p.extension().string();
            std::string candidate;
            for (int n = 0;; ++n) {
                candidate = stem + "_" + std::to_string(n) + ext;
                if (!PathTaken(candidate, i)) break;
            }
            t.outputPath = candidate;
            t.newName = true;
        }
    }
    t.claimed = true;
    CompleteSettings(t);
    Rect area = previewRect_;
    t.job = std::make_unique<CPvx>(t.settings, t.sequence, t.outputPath, preview_, &area);
    t.job->SetOverwrite(existingFilePolicy_ == 1 && !clash);
    t.job->SetNameBase(asked);
    t.job->SetFinishedCallback(&CPvxMgr::OnJobFinished, this);
    // Side by side, jobs share the cores: an encoder threading on its own as
    // well would only trade cores back and forth. They are shared among the
    // jobs that will really run together, so a lone task gets them all.
    const int together = std::min(maxParallel_, runningCount_ + 1 + WaitingTasks(i));
    if (together > 1) {
        const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
        t.job->SetEncoderThreads(std::max(1, cores / together));
    }
    t.reported = t.total = 0;
    if (!t.job->Start()) {
        t.job.reset();
        t.done = true;
        t.state = kPvxFailed;
        StateNote(i, kPvxFailed);
        const std::string empty;
        ErrorNote(&empty, kWorkerNotStarted);
        return false;
    }
    ++runningCount_;
    t.state = kPvxConverting;
    t.done = false;
    StateNote(i, kPvxConverting);
    lastPreviewTask_ = -2;   // the new job learns whether it shows frames
    return true;
}

void CPvxMgr::Pause(int i) {
    Task& t = *tasks_[i];
    if (t.state == kPvxConverting && t.job) {
        t.job->SetState(CFlvBindProgress::kPaused);
        PaintBlack(t.job->PreviewRect());
    } else if (t.state != kPvxWaiting) {
        return;   // only a task still to come or under way can be held
    }
    t.state = kPvxPaused;
    StateNote(i, kPvxPaused);
}

void CPvxMgr::Resume(int i) {
    Task& t = *tasks_[i];
    if (t.state != kPvxPaused) return;
    if (t.job) {
        t.job->SetState(CFlvBindProgress::kRunning);
        t.state = kPvxConverting;
    } else {
        t.state = kPvxWaiting;
    }
    StateNote(i, t.state);
}

void CPvxMgr::Stop(int i, bool notify) {
    Task& t = *tasks_[i];
    if (t.state == kPvxFinished || t.state == kPvxFailed || (t.done && t.state == kPvxStopped)) return;
    t.done = true;
    t.state = kPvxStopped;
    if (t.job) t.job->SetState(CFlvBindProgress::kCancel);
    if (notify) StateNote(i, kPvxStopped);
}

// ---- the worker

void CPvxMgr::CheckJobs(bool reportProgress) {
    for (size_t i = 0; i < tasks_.size(); ++i) {
        Task& t = *tasks_[i];
        if (!t.job) continue;
        CPvx& job = *t.job;
        const int32_t jobState = job.GetState();
        const auto position = static_cast<int32_t>(job.Position() / 10000);
        const auto total = static_cast<int32_t>(job.Total() / 10000);
        if (reportProgress && jobState != CFlvBindProgress::kPaused && total != 0 && position < total &&
            (t.reported == 0 || position - t.reported > total / 1000)) {
            outbox_.push_back({msg::kNotifyConvProgress, Bytes(PvxProgress{int32_t(i), position, total}), {}, false, 0});
            t.reported = position;
            t.total = total;
        }
        if (jobState != CFlvBindProgress::kFinished) continue;
        job.Wait();
        const int32_t code = job.ResultCode();
        if (t.state == kPvxStopped) {
            // Stopped by the user: what the job wrote goes (it removes its own
            // unfinished file; one that finished just before the stop is
            // removed here, by the name it was given: only this job's file).
            std::error_code ignored;
            if (code == CPvx::kDone && !job.OutputPath().empty()) {
                if (IsPictureSeries(t.extension)) {
                    fs::remove_all(fs::path(job.OutputPath()).parent_path(), ignored);
                } else {
                    fs::remove(job.OutputPath(), ignored);
                }
            }
        } else if (code != CPvx::kDone) {
            t.state = kPvxFailed;
            StateNote(int(i), kPvxFailed);
            const std::string text = job.ErrorText();
            ErrorNote(&text, code);
        } else {
            // A picture series is known by its folder.
            const std::string written = IsPictureSeries(t.extension) ? fs::path(job.OutputPath()).parent_path().string()
                                                                    : job.OutputPath();
            outbox_.push_back({msg::kNotifyConvTaskOutput, {}, written, false, int32_t(i)});
            outbox_.push_back({msg::kNotifyConvProgress, Bytes(PvxProgress{int32_t(i), total, total}), {}, false, 0});
            t.reported = t.total = total;
            t.state = kPvxFinished;
            if (!stopping_) StateNote(int(i), kPvxFinished);
        }
        t.done = true;
        t.job.reset();
        --runningCount_;
    }
}

void CPvxMgr::ApplyPreview() {
    if (previewTask_ == lastPreviewTask_ && previewShown_ == lastPreviewShown_) return;
    if (lastPreviewTask_ >= 0 && static_cast<size_t>(lastPreviewTask_) < tasks_.size()) {
        if (CPvx* old = tasks_[lastPreviewTask_]->job.get()) {
            old->SetPreview(false);
            PaintBlack(old->PreviewRect());
        }
    }
    if (previewTask_ >= 0 && static_cast<size_t>(previewTask_) < tasks_.size()) {
        Task& t = *tasks_[previewTask_];
        if (CPvx* job = t.job.get()) {
            Rect area = previewRect_;
            if (t.settings.videoCodec != -1 && t.settings.width > 0 && t.settings.height > 0) {
                // The output's shape, centred in the preview area.
                const int aw = previewRect_.Width(), ah = previewRect_.Height();
                int w = aw, h = ah;
                if (int64_t{aw} * t.settings.height > int64_t{ah} * t.settings.width) {
                    w = std::max(1, static_cast<int>(std::lround(double(ah) * t.settings.width / t.settings.height)));
                } else {
                    h = std::max(1, static_cast<int>(std::lround(double(aw) * t.settings.height / t.settings.width)));
                }
                area = Rect{previewRect_.left + (aw - w) / 2, previewRect_.top + (ah - h) / 2, 0, 0};
                area.right = area.left + w;
                area.bottom = area.top + h;
            }
            PaintBlack(previewRect_);
            job->SetPreviewRect(area);
            job->SetPreview(previewShown_);
        }
    }
    lastPreviewTask_ = previewTask_;
    lastPreviewShown_ = previewShown_;
}

void CPvxMgr::Work() {
    uint64_t seen;
    {
        std::lock_guard w(wakeLock_);
        seen = wakeCount_;   // what comes during the first round wakes the next
    }
    auto nextProgress = Clock::now() + kProgressEvery;
    // The first round runs at once: the batch's first jobs start without a wait.
    for (bool first = true;; first = false) {
        if (!first) {
            std::unique_lock w(wakeLock_);
            wake_.wait_until(w, nextProgress, [&] { return wakeCount_ != seen; });
            seen = wakeCount_;
        }
        const bool progressDue = Clock::now() >= nextProgress;
        if (progressDue) nextProgress = Clock::now() + kProgressEvery;
        bool end = false;
        {
            std::lock_guard g(lock_);
            CheckJobs(progressDue);
            ApplyPreview();
            for (int i = NextTask(); i >= 0; i = NextTask()) StartTask(i);
            if (!stopping_) ApplyPreview();
            // Tasks held before they started keep the batch open until resumed or stopped.
            end = runningCount_ == 0 && (stopping_ || (NextTask() < 0 && !AnyHeld()));
        }
        Send();
        if (end) break;
    }
    // Stopped or run to its end, the batch ends the same way.
    Reset();
    {
        std::lock_guard g(lock_);
        outbox_.push_back({msg::kNotifyConvBatchEnded, {}, {}, false, 0});
    }
    Send();
    {
        std::lock_guard w(wakeLock_);
        workerEnded_ = true;
    }
    wake_.notify_all();
}

void CPvxMgr::StopBatch() {
    {
        std::lock_guard g(lock_);
        if (!active_) return;
        stopping_ = true;
        for (size_t i = 0; i < tasks_.size(); ++i)
            if (tasks_[i]->job) Stop(int(i), true);
    }
    Send();
    Wake();
    // The worker sees every job end, then resets and ends the batch with
    // 110581305. A stop sent from one of its own notifications returns at once.
    if (!worker_.joinable() || worker_.get_id() == std::this_thread::get_id()) return;
    bool ended;
    {
        std::unique_lock w(wakeLock_);
        ended = wake_.wait_for(w, kStopBound, [&] { return workerEnded_; });
    }
    if (!ended) {
        // A job deaf to its cancel: say so. Its thread still reads the
        // sequences, so it is waited for all the same; nothing may go before it.
        {
            std::lock_guard g(lock_);
            ErrorNote(nullptr, kWorkerDidNotEnd);
        }
        Send();
    }
    worker_.join();
}

void CPvxMgr::Reset() {
    std::lock_guard g(lock_);
    // Jobs still held are cancelled and waited for before their tasks go.
    for (auto& t : tasks_)
        if (t->job) t->job->SetState(CFlvBindProgress::kCancel);
    tasks_.clear();
    settings_ = OutputSettings{};
    settings_.audioCodec = settings_.videoCodec = -1;
    settingsGiven_ = false;
    maxParallel_ = 1;
    preview_ = nullptr;
    previewRect_ = Rect{0, 0, 100, 100};
    existingFilePolicy_ = 0;
    cleanedFolders_.clear();
    runningCount_ = 0;
    active_ = false;
    stopping_ = false;
    previewTask_ = lastPreviewTask_ = -1;
    previewShown_ = lastPreviewShown_ = false;
}
