#include "FlvRepair.h"

#include <sys/stat.h>

namespace {

struct Identity {
    bool ok = false;
    struct stat st {};
};

Identity Stat(const char* path) {
    Identity id;
    id.ok = ::stat(path, &id.st) == 0 && S_ISREG(id.st.st_mode);
    return id;
}

bool Same(const Identity& a, const Identity& b) {
    return a.ok && b.ok && a.st.st_dev == b.st.st_dev && a.st.st_ino == b.st.st_ino &&
           a.st.st_size == b.st.st_size && a.st.st_mtim.tv_sec == b.st.st_mtim.tv_sec &&
           a.st.st_mtim.tv_nsec == b.st.st_mtim.tv_nsec;
}

}  // namespace

int32_t CFlvRepair::Run(const char* input) {
    outputs_ = 0;
    if (!input || !*input) return 1;
    const Identity before = Stat(input);
    if (!before.ok) return 1;   // a folder, a FIFO or a device is no recording
    std::vector<RepairSegment> segments;
    {
        CRepairPass plan(CRepairPass::kPlan, segments, cb_, int64_t(before.st.st_dev),
                         int64_t(before.st.st_ino));
        if (const int32_t r = plan.Run(input)) return r;
    }
    // Fixes were told once, by the plan.
    RepairCallbacks writing = cb_;
    writing.fix = nullptr;
    CRepairPass write(CRepairPass::kWrite, segments, writing, int64_t(before.st.st_dev),
                      int64_t(before.st.st_ino));
    const int32_t r = write.Run(input);
    outputs_ = write.OutputsBegun();
    if (r) return r;
    if (!Same(before, Stat(input)) || size_t(outputs_) != segments.size()) return 6;
    return 0;
}
