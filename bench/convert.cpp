// Converts one FLV file to MP4 (H.264 + AAC) through the engine's conversion
// job and prints the wall and CPU seconds it took. With --edits the clip is
// cropped, mirrored, brightened and carries a picture and a text watermark.
//
//   convert IN.flv OUT.mp4 [--edits PICTURE]

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

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && !(argc == 5 && std::strcmp(argv[3], "--edits") == 0)) {
        std::fprintf(stderr, "usage: %s IN.flv OUT.mp4 [--edits PICTURE]\n", argv[0]);
        return 2;
    }
    avkit_init();
    CFLVSequence seq;
    std::unique_ptr<CBaseClip> clip = std::make_unique<CFLVClip>();
    try {
        clip->SetFilePath(argv[1]);
    } catch (...) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    if (argc == 5) {
        clip->Crop().SetCropMargins(Rect{32, 18, 32, 18});
        clip->Effects().SetFlip(CEffectMgr::kLeftRight);
        clip->Effects().SetBrightness(160);
        clip->WaterMarks().AddImageWatermark(0, argv[4]);
        clip->WaterMarks().AddTextWatermark(1, "Veltrano");
    }
    seq.InsertClip(clip, 0);

    OutputSettings s{};
    std::strcpy(s.fileFormat, "mp4");
    std::strcpy(s.fileExt, "mp4");
    s.videoCodec = 28;   // H.264
    s.audioCodec = 86018;   // AAC
    s.width = 640;
    s.height = 360;
    s.frameRate = 25;
    s.videoBitRate = 1600000;
    s.bitRateTolerance = 4000000;
    s.audioBitRate = 128000;
    s.sampleRate = 44100;
    s.channels = 2;
    s.scaling = 0;

    const auto start = std::chrono::steady_clock::now();
    const double cpu0 = CpuSeconds();
    CPvx job(s, &seq, argv[2], nullptr, nullptr);
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
