// Converts one FLV file with the MP4 profile (H.264 at 1200 kbit/s with a
// 4000 kbit/s tolerance + AAC at 128 kbit/s, the clip's own size and frame
// rate) through the engine's conversion job, as one whole process, and
// prints the wall and CPU seconds it took. --flip mirrors the clip left to
// right; --edits PICTURE also crops it, brightens it and adds a picture and
// a text watermark.
//
//   convert IN.flv OUT.mp4 [--flip] [--edits PICTURE]

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "avkit/avkit.h"
#include "convert/Pvx.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/FLVClip.h"
#include "model/FLVSequence.h"

namespace {

double CpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Usage(const char* self) {
    std::fprintf(stderr, "usage: %s IN.flv OUT.mp4 [--flip] [--edits PICTURE]\n", self);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage(argv[0]);
    bool flip = false;
    const char* picture = nullptr;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--flip") == 0) {
            flip = true;
        } else if (std::strcmp(argv[i], "--edits") == 0 && i + 1 < argc) {
            picture = argv[++i];
        } else {
            return Usage(argv[0]);
        }
    }
    avkit_init();
    CFLVSequence seq;
    std::unique_ptr<CBaseClip> clip = std::make_unique<CFLVClip>();
    MediaFileInfo info{};
    try {
        clip->SetFilePath(argv[1]);
        info = clip->GetMediaInfo();
    } catch (...) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    if (flip || picture) clip->Effects().SetFlip(CEffectMgr::kLeftRight);
    if (picture) {
        clip->Crop().SetCropMargins(Rect{info.width / 20, info.height / 20, info.width / 20, info.height / 20});
        clip->Effects().SetBrightness(160);
        clip->WaterMarks().AddImageWatermark(0, picture);
        clip->WaterMarks().AddTextWatermark(1, "Veltrano");
    }
    seq.InsertClip(clip, 0);

    OutputSettings s{};
    std::strcpy(s.fileFormat, "mp4");
    std::strcpy(s.fileExt, "mp4");
    s.videoCodec = 28;   // H.264
    s.audioCodec = 86018;   // AAC
    s.width = info.width;
    s.height = info.height;
    s.frameRate = info.frameRate > 0 ? info.frameRate : 25;
    s.videoBitRate = 1200000;
    s.bitRateTolerance = 4000000;
    s.audioBitRate = 128000;
    s.sampleRate = 44100;
    s.channels = 2;
    s.scaling = 0;

    const auto start = std::chrono::steady_clock::now();
    const double cpu0 = CpuSeconds();
    CPvx job(s, &seq, argv[2], nullptr, nullptr);
    job.SetOverwrite(true);
    job.Start();
    job.Wait();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (job.ResultCode() != CPvx::kDone) {
        std::fprintf(stderr, "conversion failed: %d %s\n", job.ResultCode(), job.ErrorText().c_str());
        return 1;
    }
    std::printf("%.3f %.3f\n", wall, CpuSeconds() - cpu0);
    return 0;
}
