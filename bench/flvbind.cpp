// Joins whole FLV files with the flvbind output, metadata rewrite included,
// and prints the wall-clock time in ms. usage: flvbind OUTPUT INPUT...
// Driven by flvbind.sh.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "convert/FlvBind.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT INPUT...\n", argv[0]);
        return 2;
    }
    std::vector<TFlvBindClip> clips;
    for (int i = 2; i < argc; ++i) clips.push_back({argv[i], 0, UINT32_MAX});
    CFlvBindProgress job;
    const auto t0 = std::chrono::steady_clock::now();
    const TFlvBindResult r = CFlvBind::Run(clips, argv[1], true, true, job);
    const auto t1 = std::chrono::steady_clock::now();
    if (r.code != 0) {
        std::fprintf(stderr, "flvbind failed: %d %s\n", r.code, r.text.c_str());
        return 1;
    }
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(t1 - t0).count());
    return 0;
}
