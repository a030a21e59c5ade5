#include "PvxTestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "avkit/avkit.h"
#include "convert/Pvx.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/FLVClip.h"
#include "model/ImageClip.h"

namespace pvxtest {

namespace {
const int kQuiet = avkit_init();   // as the engine's start does
}  // namespace

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

bool HaveTool(const char* name) { return !Shell(std::string("command -v ") + name).empty(); }

std::string Probe(const std::string& path, const std::string& stream, const std::string& entry) {
    std::string select = stream.empty() ? "" : " -select_streams " + stream;
    std::string out = Shell("ffprobe -v error" + select + " -show_entries " + entry +
                            " -of default=noprint_wrappers=1:nokey=1 '" + path + "'");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

double ProbeDuration(const std::string& path, const std::string& stream) {
    const std::string text = stream.empty() ? Probe(path, "", "format=duration")
                                            : Probe(path, stream, "stream=duration");
    return text.empty() || text == "N/A" ? -1 : std::atof(text.c_str());
}

std::unique_ptr<CBaseClip> FlvClip(const std::string& fixture, uint32_t trimStart, uint32_t trimEnd) {
    auto clip = std::make_unique<CFLVClip>();
    clip->SetFilePath(Fixture(fixture));
    clip->Trim().SetEnd(trimEnd);
    clip->Trim().SetStart(trimStart);
    return clip;
}

std::unique_ptr<CBaseClip> ImageClip(const std::string& fixture) {
    auto clip = std::make_unique<CImageClip>();
    clip->SetFilePath(Fixture(fixture));
    return clip;
}

void Append(CFLVSequence& seq, std::unique_ptr<CBaseClip> clip) { seq.InsertClip(clip, seq.GetClipCount()); }

void MakeEditedSequence(CFLVSequence& seq, bool edits) {
    auto first = FlvClip("flv1_mp3_320x240.flv", 500, 2300);
    if (edits) {
        first->Crop().SetCropMargins(Rect{16, 8, 16, 8});
        first->Effects().SetFlip(CEffectMgr::kLeftRight);
        first->WaterMarks().AddImageWatermark(0, Fixture("still_64x48.bmp").c_str());
        first->WaterMarks().AddTextWatermark(1, "Veltrano");
    }
    Append(seq, std::move(first));
    Append(seq, FlvClip("flv1_mp3_160x120.flv", 1200, 2400));
    seq.SetProperty(CFLVSequence::kTitle, "A Test Title");
    seq.SetProperty(CFLVSequence::kAuthor, "Ann Author");
}

void MakeEditedH264Sequence(CFLVSequence& seq) {
    auto first = FlvClip("h264_aac_bf2_160x120.flv", 300, 2100);
    first->Crop().SetCropMargins(Rect{8, 4, 8, 4});
    first->Effects().SetFlip(CEffectMgr::kLeftRight);
    first->WaterMarks().AddImageWatermark(0, Fixture("still_64x48.bmp").c_str());
    first->WaterMarks().AddTextWatermark(1, "Veltrano");
    Append(seq, std::move(first));
    Append(seq, FlvClip("h264_aac_160x120.flv", 1300, 2500));
    seq.SetProperty(CFLVSequence::kTitle, "A Test Title");
    seq.SetProperty(CFLVSequence::kAuthor, "Ann Author");
}

OutputSettings Settings(const char* format, const char* ext, int32_t video, int32_t audio, int width, int height,
                        double fps, int rate, int channels) {
    OutputSettings s{};
    std::snprintf(s.fileFormat, sizeof s.fileFormat, "%s", format);
    std::snprintf(s.fileExt, sizeof s.fileExt, "%s", ext);
    s.videoCodec = video;
    s.audioCodec = audio;
    s.width = width;
    s.height = height;
    s.frameRate = fps;
    s.sampleRate = rate;
    s.channels = channels;
    s.audioBitRate = 64000;
    s.videoBitRate = 800000;
    s.scaling = 2;
    return s;
}

JobResult Convert(OutputSettings settings, CFLVSequence& seq, const std::string& path, bool overwrite) {
    CPvx job(settings, &seq, path, nullptr, nullptr);
    job.SetOverwrite(overwrite);
    if (!job.Start()) return {-1, "no thread", {}};
    job.Wait();
    return {job.ResultCode(), job.ErrorText(), job.OutputPath()};
}

std::vector<uint8_t> DecodeFrame(const std::string& path, int n, int width, int height) {
    const std::string raw = Shell("ffmpeg -v error -i '" + path + "' -vf 'select=eq(n\\," + std::to_string(n) +
                                  ")' -vframes 1 -f rawvideo -pix_fmt bgra -");
    if (raw.size() != size_t(width) * height * 4) return {};
    return std::vector<uint8_t>(raw.begin(), raw.end());
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size() || a.empty()) return 0;
    // On luma: the encoders store colour at half resolution, which says
    // nothing about whether the right picture was written.
    const auto luma = [](const uint8_t* p) { return 0.114 * p[0] + 0.587 * p[1] + 0.299 * p[2]; };
    double sum = 0;
    const size_t pixels = a.size() / 4;
    for (size_t i = 0; i < pixels; ++i) {
        const double d = luma(&a[i * 4]) - luma(&b[i * 4]);
        sum += d * d;
    }
    const double mse = sum / double(pixels);
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

double RegionDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width, const Rect& r) {
    double sum = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            for (int c = 0; c < 3; ++c) {
                const size_t i = (size_t(y) * width + x) * 4 + c;
                sum += std::abs(int(a[i]) - int(b[i]));
            }
    return sum / (double(r.Width()) * r.Height() * 3);
}

}  // namespace pvxtest
