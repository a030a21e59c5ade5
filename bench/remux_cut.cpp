// Copies one FLV file's span [START, END) ms into an MP4 without re-encoding
// and prints the wall-clock time in ms. usage: remux_cut exact|key OUTPUT
// INPUT START END. Driven by remux.sh.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "avkit/avkit.h"
#include "convert/Remux.h"

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: %s exact|key OUTPUT INPUT START END\n", argv[0]);
        return 2;
    }
    avkit_init();
    const bool exact = std::strcmp(argv[1], "exact") == 0;
    const std::vector<TRemuxClip> clips = {
        {argv[3], "cut", uint32_t(std::atol(argv[4])), uint32_t(std::atol(argv[5])), false}};
    static const TRemuxContainer mp4{"mp4remux", "mp4", "MP4"};
    CFlvBindProgress job;
    const auto t0 = std::chrono::steady_clock::now();
    const TRemuxResult r = CRemux::Run(clips, mp4, {}, argv[2], true, true, exact, job);
    const auto t1 = std::chrono::steady_clock::now();
    if (r.code != 0) {
        std::fprintf(stderr, "remux failed: %d %s\n", r.code, r.text.c_str());
        return 1;
    }
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
    return 0;
}
