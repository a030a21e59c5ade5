#include "convert/FlvBindCopyList.h"


#include <algorithm>
#include <memory>
#include <new>

namespace {

constexpr int64_t kUnitsPerMs = 10000;   // progress is in 100 ns
// Bytes copied between two looks at pause and cancel: one read and write,
// or one copy in the kernel.
constexpr uint32_t kPieceBytes = 1 << 20;
constexpr int64_t kAsIsPieceBytes = 16 << 20;

struct ReaderDeleter {
    void operator()(TagioFileReadAble* f) const { DeleteFileReadAble(f); }
};

}  // namespace

void CFlvBindCopyList::Add(const Run& run) {
    try {
        runs_.push_back(run);
    } catch (const std::bad_alloc&) {
        whole_ = false;
    }
}

void CFlvBindCopyList::BeginClip(size_t clip, const std::string& path) {
    clip_ = clip;
    try {
        if (stamps_.size() <= clip) stamps_.resize(clip + 1);
        stamps_[clip] = CTagDigestStore::StampOf(path);
    } catch (const std::bad_alloc&) {
        whole_ = false;
    }
}

void CFlvBindCopyList::Copy(int64_t position, uint32_t size, uint32_t shift, int64_t positionMs,
                            bool trailerAgrees) {
    const bool asIs = shift == 0 && trailerAgrees && size >= 15;
    if (!runs_.empty()) {
        Run& last = runs_.back();
        if (!last.made && last.clip == clip_ && last.end == position && last.shift == shift) {
            last.end += size;
            last.asIs = last.asIs && asIs;
            last.positionMs = positionMs;
            return;
        }
    }
    Add({clip_, position, position + size, shift, false, asIs, positionMs, positionMs});
}

void CFlvBindCopyList::Made(const uint8_t* tag, uint32_t size, int64_t positionMs) {
    const auto at = int64_t(made_.size());
    try {
        made_.insert(made_.end(), tag, tag + size);
    } catch (const std::bad_alloc&) {
        whole_ = false;
        return;
    }
    Add({clip_, at, at + size, 0, true, false, positionMs, positionMs});
}

CFlvBindCopyList::Outcome CFlvBindCopyList::Write(const std::vector<TFlvBindClip>& clips, TagioFileWriteAble* out,
                                                  CFlvBindProgress& job, int64_t totalMs,
                                                  int64_t* positionMs) const {
    std::unique_ptr<TagioFileReadAble, ReaderDeleter> file;
    size_t opened = SIZE_MAX;
    *positionMs = 0;
    // Progress, pause and cancel; false (with how far it came) when cancelled.
    const auto report = [&](int64_t ms) {
        job.position = ms * kUnitsPerMs;
        job.total = totalMs * kUnitsPerMs;
        *positionMs = ms;
        return job.WaitWhilePaused() != CFlvBindProgress::kCancel;
    };
    for (const Run& run : runs_) {
        if (run.made) {
            // Written as a loaded tag is: header and data, then its PreviousTagSize.
            TagioFlvTag tag{};
            tag.buffer = const_cast<uint8_t*>(made_.data() + run.start);
            tag.bufferCapacity = uint32_t(run.end - run.start);
            tag.dataSize = tag.bufferCapacity - 11;
            if (!Flv_WriteTag(out, &tag)) return kChanged;
        } else {
            if (run.clip != opened) {
                if (run.clip >= clips.size() || run.clip >= stamps_.size() ||
                    !(CTagDigestStore::StampOf(clips[run.clip].path) == stamps_[run.clip]))
                    return kChanged;
                file.reset(CreateFileReadAble(clips[run.clip].path.c_str()));
                if (!file) return kChanged;
                opened = run.clip;
            }
            // Looked at where a run begins as well as in it, so a pause
            // holds the binding before it goes on to the next clip.
            if (!report(run.startMs)) return kCancelled;
            for (int64_t at = run.start; at < run.end;) {
                if (run.asIs) {
                    const int64_t to = std::min(run.end, at + kAsIsPieceBytes);
                    if (!FileWriteAble_CopyFrom(out, file.get(), at, to)) return kChanged;
                    at = to;
                } else {
                    at = Flv_CopyTags(file.get(), at, run.end, run.shift, kPieceBytes, out);
                    if (at < 0) return kChanged;
                }
                // Progress within the run goes with its bytes.
                const double part = double(at - run.start) / double(run.end - run.start);
                if (!report(run.startMs + int64_t(double(run.positionMs - run.startMs) * part))) return kCancelled;
            }
        }
        *positionMs = run.positionMs;
    }
    return kWritten;
}
