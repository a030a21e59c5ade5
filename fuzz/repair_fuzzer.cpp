// Repairs arbitrary bytes as a recording: both passes, into in-memory
// outputs, with every fix and output reported. The outputs must be whole
// FLV files whenever the repair says they are.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>
#include <unistd.h>

#include "tagflow/tagflow.h"

namespace {

int OutputFd() {
    static const int fd = memfd_create("repair-fuzz-out", 0);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = memfd_create("repair-fuzz-in", 0);
    static char path[64];
    if (fd < 0 || OutputFd() < 0) return 0;
    if (!path[0]) std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;

    FLVRepairHandle r = FLVRepair_Create();
    FLVRepair_SetPathCallBack(
        r,
        [](void*, int32_t, char* out, uint32_t n) -> int32_t {
            // Every output goes to the same in-memory file, emptied first.
            if (ftruncate(OutputFd(), 0) != 0) return 0;
            std::snprintf(out, n, "/proc/self/fd/%d", OutputFd());
            return 1;
        },
        nullptr);
    FLVRepair_SetOutputCallBack(
        r,
        [](void*, const char*, const FLVRepairOutput* o) {
            if (!o->ok) return;
            uint8_t head[3] = {0, 0, 0};
            // A whole output starts with the FLV signature and holds at least its header and metadata.
            if (pread(OutputFd(), head, 3, 0) != 3 || std::memcmp(head, "FLV", 3) != 0 || o->bytes < 13) std::abort();
        },
        nullptr);
    FLVRepair_SetFixCallBack(
        r,
        [](void*, const FLVRepairFix* f) {
            if (f->kind < 1 || f->kind > 10 || f->droppedBytes < 0 || f->offset < 0) std::abort();
        },
        nullptr);
    FLVRepair_Run(r, path);
    FLVRepair_Delete(r);
    return 0;
}
