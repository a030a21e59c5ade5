#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/FlvBind.h"
#include "render/TagDigestStore.h"
#include "tagio/tagio.h"

// What the binding's plan decided to write, as runs of the clips' bytes: tags
// that lie one after another in a clip and move by the same time stay one
// run, so writing the join afterwards reads and writes large pieces (as cat
// does) instead of walking every tag again. Tags made anew (a key picture
// with parameter sets in front) are kept whole.
class CFlvBindCopyList {
public:
    enum Outcome { kWritten, kCancelled, kChanged };

    // The plan reads clip `clip` next; its file's size and time of change
    // are noted, so that a file changed since is not copied from the list.
    void BeginClip(size_t clip, const std::string& path);
    // The tag of `size` bytes (header, data, PreviousTagSize) at `position`
    // of the current clip goes out `shift` ms later (modulo 2^32); positionMs:
    // the binding's time once it is written. trailerAgrees: the tag's
    // PreviousTagSize in the file is right, so an unmoved tag may go out as it is.
    void Copy(int64_t position, uint32_t size, uint32_t shift, int64_t positionMs, bool trailerAgrees = false);
    // A tag made anew: its header and data (its PreviousTagSize follows).
    void Made(const uint8_t* tag, uint32_t size, int64_t positionMs);
    // False once memory ran out: the list does not hold the whole plan.
    bool Whole() const { return whole_; }

    // Writes the planned tags to out, after what it holds. kChanged when a
    // clip's file is no longer what the plan read (out then holds part of
    // the join); kCancelled when the job was cancelled (position: how far).
    Outcome Write(const std::vector<TFlvBindClip>& clips, TagioFileWriteAble* out, CFlvBindProgress& job,
                  int64_t totalMs, int64_t* positionMs) const;

private:
    struct Run {
        size_t clip;
        int64_t start, end;   // in the clip's file, or in made_ for a tag made anew
        uint32_t shift;
        bool made;
        // Unmoved tags whose PreviousTagSizes are right in the file: the
        // run's bytes go out as they are, copied in the kernel.
        bool asIs;
        int64_t startMs;      // the binding's time at its first tag
        int64_t positionMs;   // the binding's time after the run
    };
    using Stamp = CTagDigestStore::Stamp;
    void Add(const Run& run);

    std::vector<Run> runs_;
    std::vector<uint8_t> made_;
    std::vector<Stamp> stamps_;
    size_t clip_ = 0;
    bool whole_ = true;
};
