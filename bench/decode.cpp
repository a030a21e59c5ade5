// Times decoding one FLV file through the stream decoder to BGRA pictures at
// the source size and rate and PCM at the source format, from memory: best
// and median of several runs, with the frames and sound produced.
// usage: decode FILE [RUNS]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "tagflow/tagflow.h"

namespace {

struct Counts {
    std::atomic<long> frames{0};
    std::atomic<long long> pcmBytes{0};
    std::atomic<unsigned> checksum{0};   // keeps the pictures read
};

void OnVideo(void* u, const uint8_t* data, int32_t size, int64_t, int64_t, int32_t, int32_t) {
    auto* c = static_cast<Counts*>(u);
    ++c->frames;
    if (data && size > 0) c->checksum += data[size / 2];
}

void OnAudio(void* u, const uint8_t*, int32_t size, int64_t, int64_t, int32_t, int32_t) {
    static_cast<Counts*>(u)->pcmBytes += size;
}

bool DecodeOnce(const std::vector<uint8_t>& bytes, Counts& counts) {
    FLVStreamHandle s = FLVStream_Create();
    FLVStream_SetGetVideoCallBack(s, &OnVideo, &counts);
    FLVStream_SetGetAudioCallBack(s, &OnAudio, &counts);
    if (!FLVStream_Run(s)) return false;
    constexpr size_t kPiece = 64 * 1024;
    for (size_t at = 0; at < bytes.size();) {
        const uint32_t n = uint32_t(std::min(kPiece, bytes.size() - at));
        const int r = FLVStream_DeliverData(s, bytes.data() + at, n);
        if (r == 2) {   // the threads' queues are full: let them work
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if (r != 0 && r != 4) {
            FLVStream_Delete(s);
            return false;
        }
        at += n;
    }
    while (!FLVStream_Flush(s)) std::this_thread::sleep_for(std::chrono::microseconds(200));
    FLVStream_Stop(s);
    FLVStream_Delete(s);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [RUNS]\n", argv[0]);
        return 2;
    }
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    if (bytes.empty()) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<double> ms;
    long frames = 0;
    long long pcm = 0;
    for (int i = 0; i < runs; ++i) {
        Counts counts;
        const auto t0 = std::chrono::steady_clock::now();
        if (!DecodeOnce(bytes, counts)) {
            std::fprintf(stderr, "decoding %s failed\n", argv[1]);
            return 1;
        }
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        frames = counts.frames;
        pcm = counts.pcmBytes;
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s %9.1f ms  (median %.1f ms, %ld frames, %lld PCM bytes)\n",
                "FLVStream decode", ms.front(), ms[ms.size() / 2], frames, pcm);
    std::printf("best_ms %.1f\n", ms.front());
    return 0;
}
