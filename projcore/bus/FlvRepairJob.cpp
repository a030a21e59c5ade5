#include "bus/FlvRepairJob.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "convert/PartFile.h"
#include "tagflow/tagflow.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMostNumbers = 10000;

class RepairJob {
public:
    RepairJob(FlvRepairRequest& request, std::string folder, std::string stem)
        : request_(request), folder_(std::move(folder)), stem_(std::move(stem)) {}

    // The name an output is first offered: name.flv, then name_2.flv ...
    std::string Candidate(int n) const {
        return (fs::path(folder_) / (n == 1 ? stem_ + ".flv" : stem_ + "_" + std::to_string(n) + ".flv")).string();
    }

    int32_t Path(int32_t index, char* path, uint32_t size) {
        auto part = std::make_unique<CPartFile>();
        std::string why;
        if (!part->Create(Candidate(next_), CPartFile::kFile, why)) return Fail(why);
        if (part->Path().size() + 1 > size) return Fail("the output's path is too long: " + part->Path());
        std::snprintf(path, size, "%s", part->Path().c_str());
        if (size_t(index) >= parts_.size()) parts_.resize(size_t(index) + 1);
        parts_[size_t(index)] = std::move(part);
        return 1;
    }

    void Output(const FLVRepairOutput& out) {
        FlvRepairOutputRecord record{out.index, out.ok, out.bytes, out.durationMs, out.videoFrames,
                                     out.audioBlocks, nullptr};
        std::string final;
        CPartFile* part = size_t(out.index) < parts_.size() ? parts_[size_t(out.index)].get() : nullptr;
        if (part && out.ok) {
            // The first free number from where the last output stopped: a
            // name taken meanwhile is passed over, never replaced.
            std::string why;
            bool claimed = false;
            for (int n = next_; !claimed && n < next_ + kMostNumbers; ++n) {
                struct stat st;
                const std::string target = Candidate(n);
                if (::lstat(target.c_str(), &st) == 0) continue;
                claimed = part->Claim(target, false, final, why);
                if (claimed) next_ = n + 1;
            }
            record.ok = claimed ? 1 : 0;
            if (!claimed) Fail(why.empty() ? "no free name for " + Candidate(next_) : why);
        }
        if (part && !part->Claimed()) part->Discard();
        if (record.ok) ++request_.outputs;
        record.path = record.ok ? final.c_str() : nullptr;
        if (request_.onOutput) request_.onOutput(request_.user, &record);
    }

    int32_t Fail(const std::string& why) {
        if (!request_.error[0]) std::snprintf(request_.error, sizeof request_.error, "%s", why.c_str());
        return 0;
    }

private:
    FlvRepairRequest& request_;
    std::string folder_, stem_;
    int next_ = 1;
    std::vector<std::unique_ptr<CPartFile>> parts_;
};

const char* Explain(int32_t result) {
    switch (result) {
        case kFlvRepairCannotOpen: return "cannot open the file";
        case kFlvRepairNotFlv: return "not an FLV file";
        case kFlvRepairNothingKept: return "no picture or sound could be kept";
        case kFlvRepairWriteFailed: return "an output could not be written";
        case kFlvRepairInputChanged: return "the file changed while it was repaired";
        case kFlvRepairOutOfMemory: return "out of memory";
        default: return "the repair failed";
    }
}

}  // namespace

void RunFlvRepair(FlvRepairRequest& request) {
    request.result = kFlvRepairDone;
    request.outputs = 0;
    request.error[0] = '\0';
    if (!request.input || !*request.input) {
        request.result = kFlvRepairCannotOpen;
        std::snprintf(request.error, sizeof request.error, "no file given");
        return;
    }
    const std::string input = request.input;
    const std::string folder = request.outputFolder && *request.outputFolder ? request.outputFolder : ".";
    RepairJob job(request, folder, fs::path(input).stem().string());
    // The first name offered would be the recording itself: nothing may
    // ever be written in its place.
    if (IsOneOf(job.Candidate(1), {input})) {
        request.result = kFlvRepairOutputIsInput;
        std::snprintf(request.error, sizeof request.error,
                      "the repaired file would be the input itself (%s): choose another output folder",
                      input.c_str());
        return;
    }
    std::unique_ptr<CFlvRepair, void (*)(CFlvRepair*)> repair(FLVRepair_Create(), FLVRepair_Delete);
    if (!repair) {
        request.result = kFlvRepairOutOfMemory;
        std::snprintf(request.error, sizeof request.error, "%s", Explain(kFlvRepairOutOfMemory));
        return;
    }
    FLVRepair_SetPathCallBack(
        repair.get(),
        [](void* user, int32_t index, char* path, uint32_t size) -> int32_t {
            return static_cast<RepairJob*>(user)->Path(index, path, size);
        },
        &job);
    FLVRepair_SetOutputCallBack(
        repair.get(),
        [](void* user, const char*, const FLVRepairOutput* out) { static_cast<RepairJob*>(user)->Output(*out); },
        &job);
    FLVRepair_SetFixCallBack(
        repair.get(),
        [](void* user, const FLVRepairFix* f) {
            auto& r = *static_cast<FlvRepairRequest*>(user);
            if (!r.onFix) return;
            const FlvRepairFixRecord record{f->kind,         f->output,      f->offset, f->streamTime,
                                            f->outputTime,   f->droppedBytes, f->droppedTags, f->steps,
                                            f->amount,       FLVRepair_FixKindName(f->kind)};
            r.onFix(r.user, &record);
        },
        &request);
    if (request.onProgress)
        FLVRepair_SetProgressCallBack(
            repair.get(),
            [](void* user, int64_t done, int64_t total) -> int32_t {
                auto& r = *static_cast<FlvRepairRequest*>(user);
                return r.onProgress(r.user, done, total);
            },
            &request);
    const int32_t result = FLVRepair_Run(repair.get(), input.c_str());
    // Stopped by the path callback: an output could not be made in the folder.
    request.result = result == 5 ? kFlvRepairWriteFailed : result == 8 ? kFlvRepairStopped : result;
    // A stop is no failure: it has no reason to tell.
    if (request.result != kFlvRepairDone && request.result != kFlvRepairStopped && !request.error[0])
        std::snprintf(request.error, sizeof request.error, "%s", Explain(request.result));
}
