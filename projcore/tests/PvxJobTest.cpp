// The conversion job's edits and its failures: the effect and watermarks in
// the written pictures, picture clips, odd sizes, the ASF silence, pause and
// cancel, every failure code, and what a failed job leaves behind.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "PvxTestSupport.h"
#include "TempDir.h"
#include "convert/Pvx.h"
#include "convert/PvxPostProcess.h"
#include "model/FLVClip.h"
#include "edit/TrimMgr.h"
#include "mp4label/mp4label.h"

using namespace pvxtest;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Mirrored(const std::vector<uint8_t>& frame, int width, int height) {
    std::vector<uint8_t> out(frame.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::memcpy(&out[(size_t(y) * width + x) * 4], &frame[(size_t(y) * width + (width - 1 - x)) * 4], 4);
    return out;
}

}  // namespace

// Frame 10 lies in the first clip: cropped, mirrored, with both marks. The engine's own rendering of it
// (a lossless PNG series) is what the MP4 encodes.
TEST(Pvx, TheEffectAndWatermarksAreInTheWrittenPictures) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    TempDir dir;
    CFLVSequence edited, plain;
    MakeEditedSequence(edited);
    MakeEditedSequence(plain, false);
    const int w = 320, h = 240, n = 10;
    ASSERT_EQ(Convert(Settings("mp4", "mp4", 28, 86018, w, h), edited, dir.File("e.mp4")).code, CPvx::kDone);
    ASSERT_EQ(Convert(Settings("png", "png", 0, -1, w, h), edited, dir.File("e/f.png")).code, CPvx::kDone);
    ASSERT_EQ(Convert(Settings("png", "png", 0, -1, w, h), plain, dir.File("p/f.png")).code, CPvx::kDone);
    const auto engine = DecodeFrame(dir.File("e/f_10.png"), 0, w, h);
    const auto encoded = DecodeFrame(dir.File("e.mp4"), n, w, h);
    const auto unedited = DecodeFrame(dir.File("p/f_10.png"), 0, w, h);
    ASSERT_FALSE(engine.empty() || encoded.empty() || unedited.empty());
    EXPECT_GE(Psnr(engine, encoded), 30.0);
    // The crop of 16 x 8 px scaled back to 320 x 240 is a zoom: compare the
    // edited frame with the mirrored plain one only away from the marks.
    const Rect lowerHalf{0, h / 2, w, h};
    EXPECT_GT(RegionDifference(engine, unedited, w, lowerHalf), 20.0);   // the flip and crop changed it
    // New marks sit in the centre: the picture and the text over it. Elsewhere
    // the edited frame is the plain one mirrored (and zoomed by the crop).
    const Rect centre{w / 2 - 30, h / 2 - 20, w / 2 + 30, h / 2 + 20};
    const auto mirrored = Mirrored(unedited, w, h);
    EXPECT_GT(RegionDifference(engine, mirrored, w, centre), 30.0);
    EXPECT_LT(RegionDifference(engine, mirrored, w, Rect{w / 2 - 10, 200, w / 2 + 10, 230}), 15.0);
}

TEST(Pvx, PictureClipsPlayForTheirTimeAndAnimationsAtTheirRate) {
    TempDir dir;
    CFLVSequence seq;
    Append(seq, ImageClip("still_160x120.png"));
    Append(seq, ImageClip("anim_64x48_5x100ms.gif"));
    Append(seq, FlvClip("flv1_mp3_160x120.flv", 0, 1000));
    int64_t expectedMs = 0;
    for (size_t i = 0; i < seq.GetClipCount(); ++i) expectedMs += seq.Clip(i)->GetPlayLength();
    ASSERT_GT(expectedMs, 1500);
    const std::string out = dir.File("pictures.mp4");
    const JobResult r = Convert(Settings("mp4", "mp4", 28, 86018, 160, 120), seq, out);
    ASSERT_EQ(r.code, CPvx::kDone) << r.text;
    const double frames = std::atof(Probe(out, "v:0", "stream=nb_read_frames -count_frames").c_str());
    EXPECT_NEAR(frames / 25.0, expectedMs / 1000.0, 0.041);
    EXPECT_NEAR(ProbeDuration(out, "a:0"), expectedMs / 1000.0, 0.07);
}

TEST(Pvx, OddSizesAreRaisedAndAsfWithoutSoundIsSilentStereo) {
    TempDir dir;
    CFLVSequence seq;
    Append(seq, FlvClip("flv1_video_only_160x120.flv", 0, 1000));
    const std::string avi = dir.File("odd.avi");
    ASSERT_EQ(Convert(Settings("avi", "avi", 13, -1, 321, 241), seq, avi).code, CPvx::kDone);
    EXPECT_EQ(Probe(avi, "v:0", "stream=width"), "322");
    EXPECT_EQ(Probe(avi, "v:0", "stream=height"), "242");
    const std::string wmv = dir.File("silent.wmv");
    ASSERT_EQ(Convert(Settings("asf", "wmv", 19, -1), seq, wmv).code, CPvx::kDone);
    EXPECT_EQ(Probe(wmv, "a:0", "stream=sample_rate"), "44100");
    EXPECT_EQ(Probe(wmv, "a:0", "stream=channels"), "2");
}

TEST(Pvx, FailuresGiveTheirCodesAndLeaveNoOutput) {
    TempDir dir;
    CFLVSequence seq;
    Append(seq, FlvClip("flv1_mp3_160x120.flv", 0, 1000));
    const std::string missing = dir.File("gone.flv");
    fs::copy_file(Fixture("flv1_mp3_160x120.flv"), missing);
    auto gone = std::make_unique<CFLVClip>();
    gone->SetFilePath(missing);
    Append(seq, std::move(gone));
    fs::remove(missing);

    const std::string out = dir.File("x.mp4");
    JobResult r = Convert(Settings("mp4", "mp4", 28, 86018), seq, out);
    EXPECT_EQ(r.code, CPvx::kClipOpen);
    EXPECT_EQ(r.text, missing);
    EXPECT_FALSE(fs::exists(out)) << "a failed job leaves no output";

    EXPECT_EQ(Convert(Settings("mp4", "mp4", -1, -1), seq, out).code, CPvx::kNoStreams);
    EXPECT_EQ(Convert(Settings("mp4", "mp4", 28, 86018), seq, dir.File("no/such/folder/x.mp4")).code,
              CPvx::kWriterOpen);
    EXPECT_EQ(Convert(Settings("asf", "wmv", 19, 86024), seq, dir.File("no/such/folder/x.wmv")).code, CPvx::kAsfOpen);
    EXPECT_EQ(Convert(Settings("asf", "wmv", 19, 86024, 0, 0, 25, 44100, 7), seq, out).code, CPvx::kAsfParameters);
}

// A series is written into a folder of its own and named when whole: a
// folder of that name that appeared meanwhile is left as it was.
TEST(Pvx, APictureSeriesNeverWritesIntoAFolderThatExists) {
    TempDir dir;
    CFLVSequence seq;
    Append(seq, FlvClip("flv1_mp3_160x120.flv", 0, 200));
    fs::create_directories(dir.File("series/f_2.png"));   // something of the user's where picture 2 would go
    const JobResult r = Convert(Settings("png", "png", 0, -1, 160, 120), seq, dir.File("series/f.png"));
    ASSERT_EQ(r.code, CPvx::kDone) << r.text;
    EXPECT_EQ(r.output, dir.File("series_0/f.png"));
    EXPECT_TRUE(fs::exists(dir.File("series_0/f_2.png")));
    EXPECT_TRUE(fs::is_directory(dir.File("series/f_2.png")));
    EXPECT_FALSE(fs::exists(dir.File("series/f_0.png")));
}

// The output may never be one of the inputs, under any name: the job refuses
// before it writes, and the input is untouched.
TEST(Pvx, AnOutputThatIsAnInputIsRefused) {
    TempDir dir;
    const std::string input = dir.File("in.flv");
    fs::copy_file(Fixture("flv1_mp3_160x120.flv"), input);
    fs::create_hard_link(input, dir.File("hard.flv"));
    fs::create_symlink(input, dir.File("soft.flv"));
    const std::string original = ReadFile(input);
    auto clipOf = [&] {
        auto clip = std::make_unique<CFLVClip>();
        clip->SetFilePath(input);
        clip->Trim().SetEnd(1000);
        return clip;
    };
    for (const char* name : {"in.flv", "hard.flv", "soft.flv"}) {
        SCOPED_TRACE(name);
        CFLVSequence seq;
        Append(seq, clipOf());
        const JobResult r = Convert(Settings("flv", "flv", 22, 86017), seq, dir.File(name), true);
        EXPECT_EQ(r.code, CPvx::kOutputIsInput);
        EXPECT_NE(r.text.find(dir.File(name)), std::string::npos) << r.text;
        EXPECT_EQ(ReadFile(input), original);
    }
    // Overwriting another file replaces it whole; nothing temporary stays.
    CFLVSequence seq;
    Append(seq, clipOf());
    WriteFile(dir.File("old.flv"), "old");
    const JobResult r = Convert(Settings("flv", "flv", 22, 86017), seq, dir.File("old.flv"), true);
    ASSERT_EQ(r.code, CPvx::kDone) << r.text;
    EXPECT_GT(fs::file_size(dir.File("old.flv")), 1000u);
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir.Path())) entries += !e.path().filename().string().empty();
    EXPECT_EQ(entries, 4u);   // in, hard, soft, old
}

TEST(Pvx, AFullDiskIsAnErrorResult) {
    TempDir dir;
    const std::string out = dir.File("full.avi");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The file may not grow past 64 KiB: the writer's next write fails.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64 * 1024, 64 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        CFLVSequence seq;
        Append(seq, FlvClip("flv1_mp3_320x240.flv", 0, 3000));
        const JobResult r = Convert(Settings("avi", "avi", 13, 86017), seq, out);
        _exit(r.code == CPvx::kWrite && !fs::exists(out) ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST(Pvx, CancelWhilePausedEndsPromptlyAndRemovesTheOutput) {
    TempDir dir;
    CFLVSequence seq;
    Append(seq, FlvClip("flv1_mp3_640x360.flv", 0, 2000));
    Append(seq, FlvClip("flv1_mp3_640x360.flv", 0, 2000));
    OutputSettings s = Settings("mp4", "mp4", 28, 86018, 640, 360);
    const std::string out = dir.File("c.mp4");
    CPvx job(s, &seq, out, nullptr, nullptr);
    ASSERT_TRUE(job.Start());
    while (job.Position() == 0 && job.GetState() != 2) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(job.SetState(1), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int64_t paused = job.Position();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(job.Position(), paused) << "nothing is written while paused";
    const auto start = std::chrono::steady_clock::now();
    job.SetState(3);
    job.Wait();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 1.0);   // measured well under 100 ms; the margin is for loaded machines
    EXPECT_EQ(job.GetState(), 2);
    EXPECT_FALSE(fs::exists(out));
}

TEST(Pvx, FinishingStepsFastStartMetadataAndTitle) {
    ASSERT_TRUE(HaveTool("flvmeta"));
    TempDir dir;
    CFLVSequence seq;
    MakeEditedSequence(seq);
    const std::string mov = dir.File("f.mov");
    fs::path taken = mov + "~";
    std::ofstream(taken) << "someone else's file";
    ASSERT_EQ(Convert(Settings("mov", "mov", 28, 86018), seq, mov).code, CPvx::kDone);
    const std::string bytes = ReadFile(mov);
    ASSERT_NE(bytes.find("moov"), std::string::npos);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
    EXPECT_EQ(ReadFile(taken), "someone else's file");
    // A rewrite that fails keeps the output as it was.
    const std::string notMp4 = dir.File("plain.mov");
    WriteFile(notMp4, "not a movie");
    EXPECT_FALSE(FastStartInPlace(notMp4));
    EXPECT_EQ(ReadFile(notMp4), "not a movie");

    const std::string flv = dir.File("f.flv");
    ASSERT_EQ(Convert(Settings("flv", "flv", 22, 86017), seq, flv).code, CPvx::kDone);
    const std::string check = Shell("flvmeta --check --level=warning '" + flv + "' 2>&1; echo rc=$?");
    EXPECT_NE(check.find("rc=0"), std::string::npos) << check;
    EXPECT_NE(Shell("flvmeta --dump '" + flv + "'").find("keyframes"), std::string::npos);

    const std::string psp = dir.File("f.mp4");
    ASSERT_EQ(Convert(Settings("psp", "mp4", 13, 86018), seq, psp).code, CPvx::kDone);
    Mp4TitleFile* file = Mp4Title_Create();
    ASSERT_TRUE(Mp4Title_Open(file, psp.c_str()));
    const Mp4TitleChar* title = Mp4Title_GetTitle(file);
    std::string ascii;
    for (; *title; ++title) ascii += char(*title);
    EXPECT_EQ(ascii, "A Test Title");
    Mp4Title_Close(file);
    Mp4Title_Destroy(file);
}

TEST(Pvx, FlvBindIsHandedToTheJoinAndItsCodesMapped) {
    TempDir dir;
    CFLVSequence seq;
    Append(seq, FlvClip("flv1_mp3_160x120.flv", 0, 1000));
    // Both trims start on key frames (one a second, from 50 ms), so nothing is added before them.
    Append(seq, FlvClip("flv1_mp3_160x120.flv", 1050, 2050));
    const std::string out = dir.File("joined.flv");
    ASSERT_EQ(Convert(Settings("FLVBIND", "flv", 0, 0), seq, out).code, CPvx::kDone);
    EXPECT_NEAR(ProbeDuration(out, ""), 2.0, 0.1);
    // A join cancelled under way leaves nothing behind. It is let on a
    // little at a time until it writes, so that a busy machine cannot let it
    // finish before the cancel; one that finished all the same is tried again.
    {
        CFLVSequence many;
        for (int i = 0; i < 200; ++i) Append(many, FlvClip("flv1_mp3_160x120.flv", 0, 3000));
        OutputSettings s = Settings("flvbind", "flv", 0, 0);
        const std::string cut = dir.File("cut.flv");
        bool caught = false;
        for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
            CPvx job(s, &many, cut, nullptr, nullptr);
            ASSERT_TRUE(job.Start());
            job.SetState(1);
            while (job.Position() == 0 && job.GetState() != 2) {
                job.SetState(0);
                std::this_thread::yield();
                job.SetState(1);
            }
            caught = job.GetState() != 2;
            job.SetState(3);
            job.Wait();
            if (caught) EXPECT_FALSE(fs::exists(cut));
            fs::remove(cut);
        }
        EXPECT_TRUE(caught) << "the join always finished before it could be cancelled";
    }
    CFLVSequence mixed;
    Append(mixed, FlvClip("flv1_mp3_160x120.flv", 0, 1000));
    Append(mixed, FlvClip("flv1_mp3_320x240.flv", 0, 1000));
    const JobResult r = Convert(Settings("flvbind", "flv", 0, 0), mixed, dir.File("mixed.flv"));
    EXPECT_EQ(r.code, CPvx::kBindOther);   // the frame sizes differ
    EXPECT_FALSE(fs::exists(dir.File("mixed.flv")));
}

namespace {

// An FLV file of the given tags (type, data), all at time 0.
std::string FlvOf(const std::vector<std::pair<uint8_t, std::string>>& tags) {
    std::string file("FLV\x01\x05\x00\x00\x00\x09\x00\x00\x00\x00", 13);
    for (const auto& [type, data] : tags) {
        const uint32_t size = static_cast<uint32_t>(data.size());
        const char header[11] = {char(type), char(size >> 16), char(size >> 8), char(size), 0, 0, 0, 0, 0, 0, 0};
        file.append(header, 11);
        file += data;
        const uint32_t back = size + 11;
        const char tail[4] = {char(back >> 24), char(back >> 16), char(back >> 8), char(back)};
        file.append(tail, 4);
    }
    return file;
}

}  // namespace

// Files with nothing to show or hear fail, naming the file, and leave nothing.
TEST(Pvx, AnInputWithoutPicturesOrSoundFailsInsteadOfWritingAnEmptyFile) {
    const std::string meta("\x02\x00\x0AonMetaData\x08\x00\x00\x00\x00\x00\x00\x09", 19);
    const std::string avcSetup("\x17\x00\x00\x00\x00\x01\x42\xC0\x1E\xFF\xE1\x00\x04\x67\x42\xC0\x1E\x01\x00\x04\x68\xCE\x3C\x80", 24);
    const struct {
        const char* name;
        std::vector<std::pair<uint8_t, std::string>> tags;
    } cases[] = {
        {"only metadata", {{18, meta}}},
        {"only a codec setup", {{18, meta}, {9, avcSetup}}},
        {"a one-byte video tag", {{9, std::string("\x12", 1)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string input = dir.File("empty.flv");
        WriteFile(input, FlvOf(c.tags));
        for (const char* format : {"mp4", "flvbind"}) {
            SCOPED_TRACE(format);
            CFLVSequence seq;
            auto clip = std::make_unique<CFLVClip>();
            clip->SetFilePath(input);
            Append(seq, std::move(clip));
            const std::string out = dir.File(std::string("out.") + (format[0] == 'm' ? "mp4" : "flv"));
            const JobResult r = Convert(Settings(format, format[0] == 'm' ? "mp4" : "flv", 28, 86018), seq, out);
            EXPECT_NE(r.code, CPvx::kDone);
            EXPECT_NE(r.text.find("no pictures or sound"), std::string::npos) << r.text;
            EXPECT_NE(r.text.find(input), std::string::npos) << r.text;
            EXPECT_FALSE(fs::exists(out));
        }
        size_t entries = 0;
        for (const auto& e : fs::directory_iterator(dir.Path())) entries += !e.path().empty();
        EXPECT_EQ(entries, 1u) << "only the input is left";
    }
}
