// The writer: each output family written from synthetic frames and sound,
// then read back by ffprobe; size corrections; failures that must not crash.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "ProbeTool.h"
#include "WriterSource.h"
#include "avkit/avkit.h"

extern "C" {
#include <libavutil/macros.h>
}

using namespace avkit_test;

namespace {

constexpr int kRaw = 2097152, kMpeg4 = 13, kH264 = 28, kH263 = 5, kSorenson = 22, kWmv2 = 19, kMjpeg = 8;
constexpr int kMp3 = 86017, kAac = 86018, kAmrNb = 73728, kWma2 = 86024, kPcm = 65536;
constexpr int kVp9 = 167, kHevc = 173, kAv1 = 226, kGif = 100, kOpus = 86076;

struct Family {
    const char* format;
    const char* ext;
    int video, audio;
    int width, height;
    double fps;
    int rate, channels;
    const char* container;   // part of ffprobe's format_name
    const char* vName;
    const char* aName;
    int title;   // how the title is checked: kNoTitle, kProbedTitle, kTitlBox
    const char* fourcc = nullptr;
    const char* tag = nullptr;   // the tag expected without a FourCC given
};

// 3GP keeps the title in a "titl" box that ffprobe does not show; the PSP
// title is written afterwards by the job's own labeller.
constexpr int kNoTitle = 0, kProbedTitle = 1, kTitlBox = 2;

bool FileHasTitlBox(const std::string& path, const std::string& title) {
    std::ifstream f(path, std::ios::binary);
    const std::string d((std::istreambuf_iterator<char>(f)), {});
    const size_t at = d.find("titl");
    return at != std::string::npos && d.find(title, at) != std::string::npos &&
           d.find(title, at) < at + 32;
}

AvkWriter* MakeWriter(const Family& f, const std::string& path, const char* title = "Sea Walk") {
    AvkWriter* w = AVW_Create(f.video >= 0, f.audio >= 0);
    AVW_SetStretchMode(w, 0);
    if (f.fourcc) AVW_SetFourCC(w, MKTAG(f.fourcc[0], f.fourcc[1], f.fourcc[2], f.fourcc[3]));
    AVW_SetOutFileInfo(w, title, "Ana Ruiz", "Shore", "(c) nobody", "made in a test", 2024, 3);
    if (f.video >= 0) AVW_SetupVideoParams(w, f.video, 800000, f.width, f.height, f.fps, -1, -1, -1);
    if (f.audio >= 0) AVW_SetupAudioParams(w, f.audio, 64000, f.rate, f.channels);
    AVW_SetOutputFormat(w, f.format);
    AVW_SetOutFile(w, path.c_str());
    return w;
}

class WriterFamily : public testing::TestWithParam<Family> {};

TEST_P(WriterFamily, WritesWhatFfprobeReadsBack) {
    const Family& f = GetParam();
    const std::string path = TempPath(f.ext);
    AvkWriter* w = MakeWriter(f, path);
    ASSERT_TRUE(AVW_Open(w)) << f.format;
    Source src;
    src.seconds = 2;
    if (f.video >= 0) src.fps = f.fps;
    EXPECT_TRUE(src.Feed(w, f.video >= 0, f.audio >= 0));
    EXPECT_TRUE(AVW_Close(w));
    AVW_Delete(w);

    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_NE(p.at("format.format_name").find(f.container), std::string::npos)
        << p.at("format.format_name");
    const int v = StreamIndex(p, "video"), a = StreamIndex(p, "audio");
    if (f.video >= 0) {
        ASSERT_GE(v, 0);
        EXPECT_EQ(StreamKey(p, v, "codec_name"), f.vName);
        EXPECT_EQ(StreamKey(p, v, "width"), std::to_string(f.width));
        EXPECT_EQ(StreamKey(p, v, "height"), std::to_string(f.height));
        EXPECT_EQ(StreamKey(p, v, "r_frame_rate"), std::to_string(int(f.fps)) + "/1");
        if (f.fourcc || f.tag) {
            EXPECT_EQ(StreamKey(p, v, "codec_tag_string"), f.fourcc ? f.fourcc : f.tag);
        }
    } else {
        EXPECT_LT(v, 0);
    }
    if (f.audio >= 0) {
        ASSERT_GE(a, 0);
        EXPECT_EQ(StreamKey(p, a, "codec_name"), f.aName);
        EXPECT_EQ(StreamKey(p, a, "sample_rate"), std::to_string(f.rate));
        EXPECT_EQ(StreamKey(p, a, "channels"), std::to_string(f.channels));
    } else {
        EXPECT_LT(a, 0);
    }
    // Two seconds: the pictures within one frame, the sound within one
    // encoder frame and its start-up delay.
    if (v >= 0) {
        EXPECT_EQ(StreamKey(p, v, "nb_read_packets"), std::to_string(std::lround(2 * f.fps)));
    }
    EXPECT_NEAR(std::atof(p.at("format.duration").c_str()), 2.0, f.video >= 0 ? 0.1 : 0.06)
        << f.format;
    EXPECT_EQ(DecodeErrors(path), "");
    if (f.title == kProbedTitle) {
        EXPECT_EQ(p.count("format.tags.title") ? p.at("format.tags.title") : "", "Sea Walk");
        // Containers name the author "artist" or "author" (Matroska in capitals).
        std::string author;
        for (const char* key : {"format.tags.artist", "format.tags.author", "format.tags.ARTIST"})
            if (author.empty() && p.count(key)) author = p.at(key);
        EXPECT_EQ(author, "Ana Ruiz");
    } else if (f.title == kTitlBox) {
        EXPECT_TRUE(FileHasTitlBox(path, "Sea Walk"));
    }
    std::remove(path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Families, WriterFamily,
    testing::Values(
        Family{"avi", "avi", kMpeg4, -1, 320, 240, 25, 44100, 2, "avi", "mpeg4", "", kProbedTitle},
        Family{"avi", "avi", kMpeg4, kMp3, 320, 240, 25, 44100, 2, "avi", "mpeg4", "mp3", kProbedTitle},
        Family{"mp4", "mp4", kH264, kAac, 320, 240, 25, 44100, 2, "mp4", "h264", "aac", kProbedTitle},
        Family{"3gp", "3gp", kH263, kAmrNb, 176, 144, 15, 8000, 1, "3gp", "h263", "amr_nb", kTitlBox},
        Family{"mov", "mov", kH264, kAac, 640, 360, 30, 48000, 2, "mov", "h264", "aac", kProbedTitle},
        Family{"asf", "asf", kWmv2, kWma2, 320, 240, 25, 44100, 2, "asf", "wmv2", "wmav2", kProbedTitle},
        Family{"flv", "flv", kSorenson, kMp3, 320, 240, 25, 22050, 1, "flv", "flv1", "mp3", kProbedTitle},
        Family{"psp", "mp4", kH264, kAac, 320, 240, 30, 48000, 2, "mp4", "h264", "aac", kNoTitle},
        Family{"avi", "avi", kMjpeg, kPcm, 320, 240, 25, 44100, 2, "avi", "mjpeg", "pcm_s16le", kProbedTitle},
        Family{"avi", "avi", kRaw, -1, 160, 120, 10, 0, 0, "avi", "rawvideo", "", kNoTitle},
        Family{"avi", "avi", kMpeg4, kMp3, 320, 240, 25, 44100, 2, "avi", "mpeg4", "mp3", kNoTitle,
               "XVID"},
        Family{"mp3", "mp3", -1, kMp3, 0, 0, 0, 44100, 2, "mp3", "", "mp3", kProbedTitle},
        Family{"wav", "wav", -1, kPcm, 0, 0, 0, 22050, 1, "wav", "", "pcm_s16le", kProbedTitle},
        Family{"m4a", "m4a", -1, kAac, 0, 0, 0, 44100, 2, "mp4", "", "aac", kProbedTitle},
        Family{"webm", "webm", kVp9, kOpus, 320, 240, 25, 48000, 2, "webm", "vp9", "opus", kProbedTitle},
        Family{"webm", "webm", kAv1, kOpus, 320, 240, 25, 48000, 1, "webm", "av1", "opus", kProbedTitle},
        Family{"mp4", "mp4", kAv1, kOpus, 320, 240, 25, 48000, 2, "mp4", "av1", "opus", kProbedTitle},
        // Apple's players open HEVC only under the hvc1 tag.
        Family{"mp4", "mp4", kHevc, kAac, 320, 240, 25, 44100, 2, "mp4", "hevc", "aac", kProbedTitle, nullptr,
               "hvc1"},
        Family{"mov", "mov", kHevc, kAac, 320, 240, 30, 48000, 2, "mov", "hevc", "aac", kProbedTitle, nullptr,
               "hvc1"},
        Family{"matroska", "mkv", kH264, kAac, 320, 240, 25, 44100, 2, "matroska", "h264", "aac", kProbedTitle},
        Family{"gif", "gif", kGif, -1, 160, 120, 10, 0, 0, "gif", "gif", "", kNoTitle}),
    [](const testing::TestParamInfo<Family>& i) {
        return std::string(i.param.format) + "_" + std::to_string(i.index);
    });

// Sizes the encoders cannot take are corrected, not refused.
TEST(Writer, CorrectsSizesTheEncoderCannotTake) {
    struct Case {
        int codec;
        const char* format;
        const char* ext;
        int askW, askH, wantW, wantH;
    } cases[] = {
        {kMpeg4, "avi", "avi", 321, 241, 322, 242},   // odd: raised by one
        {kH263, "3gp", "3gp", 320, 240, 352, 288},    // nearest size H.263 codes
        {kH263, "3gp", "3gp", 100, 80, 128, 96},
        {kAv1, "webm", "webm", 48, 32, 48, 32},       // below SVT-AV1's smallest: another AV1 encoder
    };
    for (const Case& c : cases) {
        const std::string path = TempPath(c.ext);
        Family f{c.format, c.ext, c.codec, -1, c.askW, c.askH, 25, 0, 0, "", "", "", kNoTitle};
        AvkWriter* w = MakeWriter(f, path);
        ASSERT_TRUE(AVW_Open(w)) << c.askW << "x" << c.askH;
        Source src;
        src.seconds = 0.4;
        EXPECT_TRUE(src.Feed(w, true, false));
        EXPECT_TRUE(AVW_Close(w));
        AVW_Delete(w);
        const auto p = Probe(path);
        ASSERT_EQ(p.count("error"), 0u) << p.at("error");
        const int v = StreamIndex(p, "video");
        EXPECT_EQ(StreamKey(p, v, "width"), std::to_string(c.wantW)) << c.askW;
        EXPECT_EQ(StreamKey(p, v, "height"), std::to_string(c.wantH)) << c.askH;
        std::remove(path.c_str());
    }
}

// Opus codes 48 kHz but not 44.1: the sound is resampled, keeping its length.
TEST(Writer, SoundIsResampledToARateTheEncoderCodes) {
    const std::string path = TempPath("webm");
    Family f{"webm", "webm", -1, kOpus, 0, 0, 0, 44100, 2, "", "", "", kNoTitle};
    AvkWriter* w = MakeWriter(f, path);
    ASSERT_TRUE(AVW_Open(w));
    Source src;
    src.seconds = 1.5;
    EXPECT_TRUE(src.Feed(w, false, true));
    EXPECT_TRUE(AVW_Close(w));
    AVW_Delete(w);
    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_EQ(StreamKey(p, StreamIndex(p, "audio"), "sample_rate"), "48000");
    EXPECT_NEAR(std::atof(p.at("format.duration").c_str()), 1.5, 0.03);
    EXPECT_EQ(DecodeErrors(path), "");
    std::remove(path.c_str());
}

// The GIF palette is made from the clip: a picture of 160 shades of one
// colour comes back nearly as it was, where any fixed 256-colour palette
// holds only a handful of those shades.
TEST(Writer, GifPaletteIsMadeFromTheClip) {
    const int w = 160, h = 48;
    auto shade = [](int x, int frame, uint8_t* bgra) {
        const int level = (x + frame) % 160;
        bgra[0] = 30, bgra[1] = static_cast<uint8_t>(40 + level / 2), bgra[2] = static_cast<uint8_t>(90 + level);
        bgra[3] = 255;
    };
    const std::string path = TempPath("gif");
    Family f{"gif", "gif", kGif, -1, w, h, 10, 0, 0, "", "", "", kNoTitle};
    AvkWriter* wr = MakeWriter(f, path);
    ASSERT_TRUE(AVW_Open(wr));
    std::vector<uint8_t> pic(static_cast<size_t>(w) * h * 4);
    constexpr int kFrames = 6;
    for (int n = 0; n < kFrames; ++n) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) shade(x, n, &pic[(static_cast<size_t>(y) * w + x) * 4]);
        ASSERT_TRUE(AVW_WriteVideoFrame(wr, pic.data(), w, h));
    }
    EXPECT_TRUE(AVW_Close(wr));
    AVW_Delete(wr);

    const std::string cmd = "ffmpeg -v error -i '" + path + "' -f rawvideo -pix_fmt bgra - 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::vector<uint8_t> got(pic.size() * kFrames);
    const size_t read = fread(got.data(), 1, got.size(), p);
    pclose(p);
    ASSERT_EQ(read, got.size()) << "ffmpeg did not give back " << kFrames << " pictures of " << path;
    double squared = 0;
    for (int n = 0; n < kFrames; ++n)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint8_t want[4];
                shade(x, n, want);
                const uint8_t* px = &got[((static_cast<size_t>(n) * h + y) * w + x) * 4];
                for (int c = 0; c < 3; ++c) squared += (px[c] - want[c]) * (px[c] - want[c]);
            }
    const double mse = squared / (3.0 * w * h * kFrames);
    const double psnr = mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
    EXPECT_GT(psnr, 40) << "mean squared error " << mse;
    std::remove(path.c_str());
}

// A 4:3 picture letterboxed into 16:9 keeps black bars left and right.
TEST(Writer, LetterboxLeavesBlackBars) {
    const std::string path = TempPath("avi");
    Family f{"avi", "avi", kMjpeg, -1, 640, 360, 25, 0, 0, "", "", "", kNoTitle};
    AvkWriter* w = MakeWriter(f, path);
    AVW_SetStretchMode(w, 2);
    ASSERT_TRUE(AVW_Open(w));
    Source src;   // 320 x 240, bright everywhere
    src.seconds = 0.2;
    EXPECT_TRUE(src.Feed(w, true, false));
    EXPECT_TRUE(AVW_Close(w));
    AVW_Delete(w);

    const std::string cmd = "ffmpeg -v error -i '" + path +
                            "' -frames:v 1 -f rawvideo -pix_fmt gray - 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_TRUE(p);
    std::vector<uint8_t> gray(640 * 360);
    const size_t got = fread(gray.data(), 1, gray.size(), p);
    pclose(p);
    ASSERT_EQ(got, gray.size()) << "ffmpeg could not decode " << path;
    const int row = 180 * 640;
    EXPECT_LT(gray[row + 10], 40);          // left bar (picture is 480 wide, bars of 80)
    EXPECT_LT(gray[row + 629], 40);         // right bar
    EXPECT_GT(gray[row + 320], 60);         // picture
    std::remove(path.c_str());
}

// A 4:3 frame shown at 16:9 (a widescreen profile on a 640 x 480 frame).
TEST(Writer, StoresTheDisplayAspectRatio) {
    const std::string path = TempPath("mp4");
    Family f{"mp4", "mp4", kH264, -1, 640, 480, 25, 0, 0, "", "", "", kNoTitle};
    AvkWriter* w = MakeWriter(f, path);
    EXPECT_TRUE(AVW_SetAspectRatio(w, 16.0 / 9.0));
    ASSERT_TRUE(AVW_Open(w));
    Source src;
    src.seconds = 0.2;
    EXPECT_TRUE(src.Feed(w, true, false));
    EXPECT_TRUE(AVW_Close(w));
    AVW_Delete(w);
    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_EQ(StreamKey(p, StreamIndex(p, "video"), "display_aspect_ratio"), "16:9");
    std::remove(path.c_str());
}

TEST(Writer, RefusesWhatItCannotWrite) {
    Family good{"mp4", "mp4", kH264, kAac, 320, 240, 25, 44100, 2, "", "", "", kNoTitle};
    struct Case {
        const char* what;
        Family f;
        std::string path;
    } cases[] = {
        {"unwritable folder", good, "/nonexistent-folder/x.mp4"},
        {"unknown codec", {"mp4", "mp4", 77777, -1, 320, 240, 25, 0, 0, "", "", "", kNoTitle}, TempPath("mp4")},
        {"codec the container cannot hold", {"flv", "flv", kWmv2, -1, 320, 240, 25, 0, 0, "", "", "", kNoTitle}, TempPath("flv")},
        {"unknown format", {"nosuchformat", "x", kH264, -1, 320, 240, 25, 0, 0, "", "", "", kNoTitle}, TempPath("x")},
        {"no frame rate", {"mp4", "mp4", kH264, -1, 320, 240, 0, 0, 0, "", "", "", kNoTitle}, TempPath("mp4")},
        {"no sample rate", {"mp3", "mp3", -1, kMp3, 0, 0, 0, 0, 2, "", "", "", kNoTitle}, TempPath("mp3")},
    };
    for (const Case& c : cases) {
        AvkWriter* w = MakeWriter(c.f, c.path);
        EXPECT_FALSE(AVW_Open(w)) << c.what;
        EXPECT_FALSE(AVW_WriteVideoFrame(w, nullptr, 0, 0)) << c.what;
        EXPECT_FALSE(AVW_Close(w)) << c.what;
        AVW_Delete(w);
        EXPECT_NE(access(c.path.c_str(), F_OK), 0) << c.what << ": left a file";
    }
    // Neither stream, and a null handle.
    AvkWriter* none = AVW_Create(0, 0);
    AVW_SetOutFile(none, TempPath("mp4").c_str());
    EXPECT_FALSE(AVW_Open(none));
    AVW_Delete(none);
    EXPECT_FALSE(AVW_Open(nullptr));
    EXPECT_FALSE(AVW_WriteAudioFrame(nullptr, nullptr, 0, 0, 0));
    AVW_Delete(nullptr);
}

TEST(Writer, BadFramesAreRefusedWithoutSpoilingTheFile) {
    const std::string path = TempPath("mp4");
    Family f{"mp4", "mp4", kH264, kAac, 320, 240, 25, 44100, 2, "mp4", "h264", "aac", kNoTitle};
    AvkWriter* w = MakeWriter(f, path);
    ASSERT_TRUE(AVW_Open(w));
    uint8_t pcm[8] = {};
    EXPECT_FALSE(AVW_WriteVideoFrame(w, nullptr, 320, 240));
    EXPECT_FALSE(AVW_WriteVideoFrame(w, pcm, 0, 240));
    EXPECT_FALSE(AVW_WriteAudioFrame(w, pcm, 8, 0, 2));
    EXPECT_FALSE(AVW_WriteAudioFrame(w, pcm, 8, 44100, 99));
    EXPECT_FALSE(AVW_SetOutFile(w, "/tmp/elsewhere.mp4"));   // too late once open
    Source src;
    src.seconds = 0.5;
    EXPECT_TRUE(src.Feed(w, true, true));
    EXPECT_TRUE(AVW_Close(w));
    AVW_Delete(w);
    EXPECT_EQ(Probe(path).count("error"), 0u);
    std::remove(path.c_str());
}

// Clips of different rates and channel counts follow each other in one file;
// nothing the converter held at the change is lost.
TEST(Writer, SoundWhoseRateChangesKeepsItsLength) {
    const std::string path = TempPath("mp3");
    Family f{"mp3", "mp3", -1, kMp3, 0, 0, 0, 44100, 2, "mp3", "", "mp3", kNoTitle};
    AvkWriter* w = MakeWriter(f, path);
    ASSERT_TRUE(AVW_Open(w));
    Source a;
    a.seconds = 1;
    Source b = a;
    b.rate = 22050;
    b.channels = 1;
    Source c = a;
    c.rate = 8000;
    EXPECT_TRUE(a.Feed(w, false, true));
    EXPECT_TRUE(b.Feed(w, false, true));
    EXPECT_TRUE(c.Feed(w, false, true));
    EXPECT_TRUE(AVW_Close(w));
    AVW_Delete(w);
    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_NEAR(std::atof(p.at("format.duration").c_str()), 3.0, 0.06);
    std::remove(path.c_str());
}

// The job writes pictures and sound from two threads at once.
TEST(Writer, PicturesAndSoundFromTwoThreads) {
    const std::string path = TempPath("mp4");
    Family f{"mp4", "mp4", kH264, kAac, 320, 240, 25, 44100, 2, "mp4", "h264", "aac", kNoTitle};
    AvkWriter* w = MakeWriter(f, path);
    ASSERT_TRUE(AVW_Open(w));
    Source src;
    src.seconds = 2;
    bool videoOk = false, audioOk = false;
    std::thread video([&] { videoOk = src.Feed(w, true, false); });
    std::thread audio([&] { audioOk = src.Feed(w, false, true); });
    video.join();
    audio.join();
    EXPECT_TRUE(videoOk);
    EXPECT_TRUE(audioOk);
    EXPECT_TRUE(AVW_Close(w));
    AVW_Delete(w);
    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_EQ(StreamKey(p, StreamIndex(p, "video"), "nb_read_packets"), "50");
    EXPECT_NEAR(std::atof(p.at("format.duration").c_str()), 2.0, 0.1);
    std::remove(path.c_str());
}

// A job that fails or is cancelled before its first picture still closes its
// writer; no encoder may wait for pictures that never come. Run in a child
// with an alarm, so a hang fails the test instead of stopping the suite.
TEST(Writer, ClosingBeforeAnyPictureReturns) {
    for (const Family& f : {Family{"webm", "webm", kAv1, kOpus, 320, 240, 25, 48000, 2, "", "", "", kNoTitle},
                            Family{"webm", "webm", kVp9, -1, 320, 240, 25, 0, 0, "", "", "", kNoTitle},
                            Family{"mp4", "mp4", kHevc, -1, 320, 240, 25, 0, 0, "", "", "", kNoTitle},
                            Family{"gif", "gif", kGif, -1, 160, 120, 10, 0, 0, "", "", "", kNoTitle}}) {
        const std::string path = TempPath(f.ext);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            alarm(120);
            AvkWriter* w = MakeWriter(f, path);
            if (!AVW_Open(w)) _exit(3);
            AVW_Close(w);
            AVW_Delete(w);
            _exit(0);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        std::remove(path.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << f.vName << " codec " << f.video << ": killed by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0) << "codec " << f.video << " did not open";
    }
}

// A file size limit stands for a full disk. The child ignores SIGXFSZ so the
// write fails with EFBIG instead of killing it; the writer must report it.
TEST(Writer, FullDiskIsAFailureNotACrash) {
    const std::string path = TempPath("avi");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &lim);
        Family f{"avi", "avi", kMjpeg, kPcm, 320, 240, 25, 44100, 2, "", "", "", kNoTitle};
        AvkWriter* w = MakeWriter(f, path);
        if (!AVW_Open(w)) _exit(3);
        Source src;
        src.seconds = 3;
        const bool fed = src.Feed(w, true, true);
        const bool closed = AVW_Close(w);
        AVW_Delete(w);
        _exit(!fed || !closed ? 0 : 1);   // 0: the failure was reported
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::remove(path.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the writer crashed (signal " << WTERMSIG(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a write past the limit was reported as success";
}

}  // namespace
