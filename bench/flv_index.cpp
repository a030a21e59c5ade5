// Times opening and indexing one FLV file with the tag reader, from the page
// cache: best and median of several runs, throughput and index memory.
// usage: flv_index FILE [RUNS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <vector>

#include "tagflow/tagflow.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
    struct stat st {};
    if (stat(argv[1], &st) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<double> ms;
    int64_t occupied = 0;
    long tags = 0;
    for (int i = 0; i < runs; ++i) {
        FLVAVTagReaderHandle r = FLVAVTagReader_Create();
        const auto t0 = std::chrono::steady_clock::now();
        const int ok = FLVAVTagReader_Open(r, argv[1]);
        const auto t1 = std::chrono::steady_clock::now();
        if (!ok) {
            std::fprintf(stderr, "cannot open %s\n", argv[1]);
            return 1;
        }
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        if (i == 0) {   // count the entries once, outside the timing
            occupied = FLVAVTagReader_GetOccupyMemory(r);
            FLVTag* tag = nullptr;
            while (FLVAVTagReader_ReadTag(r, 0, 0, &tag, nullptr) == 0) ++tags;
        }
        FLVAVTagReader_Delete(r);
    }
    std::sort(ms.begin(), ms.end());
    const double mb = st.st_size / 1e6;
    std::printf("tagflow open+index  best %.1f ms  median %.1f ms  %.0f MB/s  %ld tags  "
                "%.1f bytes allocated per tag (entry 20 bytes)\n",
                ms.front(), ms[ms.size() / 2], mb / (ms.front() / 1000), tags,
                double(occupied) / double(tags));
    return 0;
}
