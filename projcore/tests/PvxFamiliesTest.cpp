// One edited sequence (two trimmed clips, a crop, a flip, an image and a text
// watermark) converted to every output family, each checked with ffprobe;
// from Sorenson H.263 + MP3 input, from H.264 (B-frames) + AAC, and from
// today's codecs in FLV (HEVC + Opus, VP9 + AC-3 and AV1 + FLAC clips).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <tuple>

#include "PvxTestSupport.h"
#include "TempDir.h"
#include "convert/Pvx.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/BaseClip.h"

using namespace pvxtest;

namespace {

struct Family {
    const char* name;
    const char* format;
    const char* ext;
    int32_t video, audio;
    int width, height, rate, channels;
    const char* container;   // part of ffprobe's format_name
    const char* videoName;   // ffprobe codec names; "" when the stream is absent
    const char* audioName;
    bool titled;             // the container carries the title and author
};

constexpr double kTotalSeconds = 3.0;   // 1.8 s + 1.2 s of trims
constexpr double kFrame = 1.0 / 25;

const Family kFamilies[] = {
    {"avi", "avi", "avi", 13, 86017, 320, 240, 44100, 2, "avi", "mpeg4", "mp3", true},
    {"mp4", "mp4", "mp4", 28, 86018, 320, 240, 44100, 2, "mp4", "h264", "aac", true},
    {"threegp", "3gp", "3gp", 5, 73728, 176, 144, 8000, 1, "3gp", "h263", "amr_nb", false},
    {"mov", "mov", "mov", 28, 86018, 320, 240, 44100, 2, "mov", "h264", "aac", true},
    {"asf", "asf", "wmv", 19, 86024, 320, 240, 44100, 2, "asf", "wmv2", "wmav2", true},
    {"flv", "flv", "flv", 22, 86017, 320, 240, 44100, 2, "flv", "flv1", "mp3", false},
    {"psp", "psp", "mp4", 13, 86018, 320, 240, 24000, 2, "mp4", "mpeg4", "aac", false},
    {"mp3", "mp3", "mp3", -1, 86017, 0, 0, 44100, 2, "mp3", "", "mp3", true},
    {"wav", "wav", "wav", -1, 65536, 0, 0, 22050, 1, "wav", "", "pcm_s16le", false},
    {"m4a", "ipod", "m4a", -1, 86018, 0, 0, 44100, 2, "mp4", "", "aac", true},
    {"webm_vp9", "webm", "webm", 167, 86076, 320, 240, 48000, 2, "webm", "vp9", "opus", true},
    {"webm_av1", "webm", "webm", 226, 86076, 320, 240, 48000, 2, "webm", "av1", "opus", true},
    {"mp4_hevc", "mp4", "mp4", 173, 86018, 320, 240, 44100, 2, "mp4", "hevc", "aac", true},
    {"mp4_av1", "mp4", "mp4", 226, 86076, 320, 240, 48000, 2, "mp4", "av1", "opus", true},
    {"mkv", "matroska", "mkv", 28, 86018, 320, 240, 44100, 2, "matroska", "h264", "aac", true},
    {"gif", "gif", "gif", 100, -1, 320, 240, 0, 0, "gif", "gif", "", false},
};

enum Input { kSorensonMp3, kH264Aac, kTodaysCodecs };

const char* InputSuffix(Input input) {
    static const char* const kSuffix[] = {"_from_flv1", "_from_h264", "_from_todays_codecs"};
    return kSuffix[input];
}

// A second of each of three clips in the extended header forms, the first edited.
void MakeEditedTodaysCodecsSequence(CFLVSequence& seq) {
    auto first = FlvClip("codecs/hvc1_opus_160x120.flv", 300, 1300);
    first->Crop().SetCropMargins(Rect{8, 4, 8, 4});
    first->Effects().SetFlip(CEffectMgr::kLeftRight);
    first->WaterMarks().AddTextWatermark(0, "Veltrano");
    Append(seq, std::move(first));
    Append(seq, FlvClip("codecs/vp09_ac3_160x120.flv", 300, 1300));
    Append(seq, FlvClip("codecs/av01_flac_160x120.flv", 300, 1300));
    seq.SetProperty(CFLVSequence::kTitle, "A Test Title");
    seq.SetProperty(CFLVSequence::kAuthor, "Ann Author");
}
class PvxFamily : public testing::TestWithParam<std::tuple<Family, Input>> {};

}  // namespace

TEST_P(PvxFamily, WritesTheContainerCodecsSizeAndLength) {
    ASSERT_TRUE(HaveTool("ffprobe")) << "ffprobe is needed";
    const Family& f = std::get<0>(GetParam());
    TempDir dir;
    CFLVSequence seq;
    if (std::get<1>(GetParam()) == kH264Aac) {
        MakeEditedH264Sequence(seq);
    } else if (std::get<1>(GetParam()) == kTodaysCodecs) {
        MakeEditedTodaysCodecsSequence(seq);
    } else {
        MakeEditedSequence(seq);
    }
    const std::string out = dir.File(std::string("out.") + f.ext);
    const JobResult r = Convert(Settings(f.format, f.ext, f.video, f.audio, f.width, f.height, 25, f.rate, f.channels),
                                seq, out);
    ASSERT_EQ(r.code, CPvx::kDone) << r.text;
    EXPECT_NE(Probe(out, "", "format=format_name").find(f.container), std::string::npos)
        << Probe(out, "", "format=format_name");
    if (*f.videoName) {
        EXPECT_EQ(Probe(out, "v:0", "stream=codec_name"), f.videoName);
        EXPECT_EQ(Probe(out, "v:0", "stream=width"), std::to_string(f.width));
        EXPECT_EQ(Probe(out, "v:0", "stream=height"), std::to_string(f.height));
        EXPECT_EQ(Probe(out, "v:0", "stream=avg_frame_rate"), "25/1");
        const std::string frames = Probe(out, "v:0", "stream=nb_read_frames -count_frames");
        EXPECT_NEAR(std::atof(frames.c_str()) * kFrame, kTotalSeconds, kFrame + 1e-9) << frames << " frames";
    } else {
        EXPECT_EQ(Probe(out, "v", "stream=codec_name"), "");
    }
    EXPECT_EQ(Probe(out, "a:0", "stream=codec_name"), f.audioName);
    if (*f.audioName) {
        EXPECT_EQ(Probe(out, "a:0", "stream=sample_rate"), std::to_string(f.rate));
        EXPECT_EQ(Probe(out, "a:0", "stream=channels"), std::to_string(f.channels));
    }
    // Encoders' start padding may add a packet's length to the container's figure.
    EXPECT_NEAR(ProbeDuration(out, ""), kTotalSeconds, 0.07);
    EXPECT_EQ(Shell("ffmpeg -nostdin -v error -i '" + out + "' -f null - 2>&1"), "") << "decoding " << out;
    if (f.titled) {
        EXPECT_EQ(Probe(out, "", "format_tags=title"), "A Test Title");
        EXPECT_NE(Probe(out, "", "format_tags").find("Ann Author"), std::string::npos) << Probe(out, "", "format_tags");
    }
}

INSTANTIATE_TEST_SUITE_P(Pvx, PvxFamily, testing::Combine(testing::ValuesIn(kFamilies), testing::Values(kSorensonMp3, kH264Aac, kTodaysCodecs)),
                         [](const testing::TestParamInfo<std::tuple<Family, Input>>& i) {
                             return std::string(std::get<0>(i.param).name) + InputSuffix(std::get<1>(i.param));
                         });

TEST(Pvx, PictureSeriesNamesEveryFrameInItsFolder) {
    for (const char* format : {"png", "jpeg", "bmp"}) {
        SCOPED_TRACE(format);
        const std::string ext = std::string(format) == "jpeg" ? "jpg" : format;
        TempDir dir;
        CFLVSequence seq;
        Append(seq, FlvClip("flv1_mp3_160x120.flv", 1000, 1120));   // three frames at 25 fps
        const std::string out = dir.File("series/name." + ext);
        const JobResult r = Convert(Settings(format, ext.c_str(), 0, -1, 160, 120), seq, out);
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        for (int i = 0; i < 3; ++i) {
            const std::string name = dir.File("series/name_" + std::to_string(i) + "." + ext);
            EXPECT_EQ(Probe(name, "v:0", "stream=width"), "160") << name;
        }
        EXPECT_FALSE(std::filesystem::exists(dir.File("series/name_3." + ext)));
    }
}
