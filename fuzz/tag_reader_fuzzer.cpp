// Opens arbitrary bytes as a file with the tag reader, then seeks and reads
// by times and positions derived from the input.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <sys/mman.h>
#include <unistd.h>

#include "tagflow/tagflow.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An in-memory file: no disk traffic, same code path as a real file.
    static const int fd = memfd_create("tag-reader-fuzz", 0);
    static char path[64];
    if (fd < 0) return 0;
    if (!path[0]) std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size)) return 0;

    FLVAVTagReaderHandle r = FLVAVTagReader_Create();
    if (FLVAVTagReader_Open(r, path) == 1) {
        const uint32_t seed = size >= 4 ? data[size - 1] | data[size - 2] << 8 : 7;
        FLVAVTagReader_SetAutoReleaseMemory(r, seed & 1);
        FLVInfo info;
        FLVAVTagReader_GetFLVInfo(r, &info);
        FLVAVTagReader_GetFLVInfoEx(r, &info);
        uint32_t audioEnd = 0, videoEnd = 0, ts = 0;
        int32_t entry = 0, interval = 0;
        FLVAVTagReader_GetDuration(r, &audioEnd, &videoEnd);
        FLVAVTagReader_GetMinIntervaledFrameTime(r, &interval);
        const uint32_t times[] = {0, seed, audioEnd / 2, videoEnd, videoEnd + 1, UINT32_MAX};
        for (uint32_t t : times) {
            FLVAVTagReader_GetNextKeyFrameTimeStampEx(r, t, &ts, &entry);
            FLVAVTagReader_GetPreKeyFrameTimeStampEx(r, t, &ts, &entry);
            FLVAVTagReader_GetNextAudioFrameTimeStamp(r, t, &ts, &entry);
            FLVAVTagReader_GetPreAudioFrameTimeStamp(r, t, &ts, &entry);
            for (int type : {8, 9, 18}) FLVAVTagReader_SeekEx(r, type, t, &ts);
        }
        FLVAVTagReader_SeekWithPos(r, int32_t(seed % 64));
        FLVAVTagReader_SeekToBegin(r);
        FLVTag* tag = nullptr;
        uint32_t duration = 0;
        const int filters[] = {0, 8, 9, 18};
        for (int i = 0; i < 256; ++i) {
            const int result = FLVAVTagReader_ReadTag(r, (seed >> 1) & 1, filters[(seed >> 2) & 3],
                                                      &tag, &duration);
            if (result != 0) break;
            volatile uint8_t sink = 0;
            if (tag->data && tag->dataSize) sink = tag->data[tag->dataSize - 1];
            (void)sink;
            FLVAVTagReader_ReleaseMemory(r, tag);   // ignored for the reader's own record
        }
        FLVAVTagReaderHandle copy = FLVAVTagReader_Create();
        FLVAVTagReader_Assign(r, copy);
        // The copy releases its tags itself: handing its record back is ignored.
        if (FLVAVTagReader_ReadTag(copy, 1, 0, &tag, &duration) == 0)
            FLVAVTagReader_ReleaseMemory(copy, tag);
        FLVAVTagReader_Delete(copy);
    }
    FLVAVTagReader_Delete(r);
    return 0;
}
