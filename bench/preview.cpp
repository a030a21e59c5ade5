// Plays an FLV file through the preview player at real time, with SDL's dummy
// audio device and an in-memory drawing surface, and prints the CPU it took
// as a share of one core and how far each frame was from its time on the
// audio clock when it was drawn.
//
//   preview FILE.flv

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "model/FLVClip.h"
#include "player/MemorySurface.h"
#include "player/Player.h"
#include "render/FLVCache.h"

namespace {

struct Run {
    std::mutex mutex;
    std::condition_variable done;
    bool ended = false;
    CPlayer* player = nullptr;
    std::vector<int64_t> offsets;  // frame time - audio clock, ms
};

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE.flv\n", argv[0]);
        return 2;
    }
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    CFLVCache cache;
    CFLVClip clip;
    try {
        clip.SetFilePath(argv[1]);
    } catch (...) {
        std::fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    CMemorySurface surface;
    CPlayer player(&cache);
    Run run;
    run.player = &player;
    player.hooks.frame = [](void* user, uint8_t*, int, int, int64_t t) {
        auto* r = static_cast<Run*>(user);
        std::lock_guard lock(r->mutex);
        r->offsets.push_back(t / 10000 - r->player->AudioTime());
        return Rect{0, 0, 0, 0};
    };
    player.hooks.frameUser = &run;
    player.hooks.audioEnded = [](void* user) {
        auto* r = static_cast<Run*>(user);
        std::lock_guard lock(r->mutex);
        r->ended = true;
        r->done.notify_all();
    };
    player.hooks.audioEndedUser = &run;
    const Rect frame = clip.GetVideoRect();
    player.SetSurface(&surface, frame, frame);
    if (!player.LoadClip(&clip)) {
        std::fprintf(stderr, "the player cannot load %s\n", argv[1]);
        return 1;
    }
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    player.Play();
    {
        std::unique_lock lock(run.mutex);
        run.done.wait_for(lock, std::chrono::minutes(10), [&] { return run.ended; });
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    player.Unload();

    std::lock_guard lock(run.mutex);
    double sum = 0, squares = 0;
    int64_t worst = 0;
    for (int64_t o : run.offsets) {
        sum += static_cast<double>(o);
        squares += static_cast<double>(o) * static_cast<double>(o);
        worst = std::max<int64_t>(worst, std::llabs(o));
    }
    const double n = static_cast<double>(std::max<size_t>(run.offsets.size(), 1));
    const double mean = sum / n;
    std::printf("frames drawn        %zu in %.2f s\n", run.offsets.size(), wall);
    std::printf("cpu                 %.1f %% of one core\n", 100.0 * cpu / wall);
    std::printf("offset to audio     mean %.1f ms, stddev %.1f ms, worst %lld ms\n", mean,
                std::sqrt(std::max(0.0, squares / n - mean * mean)), static_cast<long long>(worst));
    return 0;
}
