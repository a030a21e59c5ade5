// The no-re-encoding outputs: pictures and sound copied byte for byte into
// MP4, MOV and MKV, trims cut at key frames, joins with a chapter per clip,
// the sequence's tags, and the refusals.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <thread>

#include "PvxTestSupport.h"
#include "TempDir.h"
#include "convert/Pvx.h"
#include "edit/TrimMgr.h"
#include "model/FLVClip.h"

using namespace pvxtest;
namespace fs = std::filesystem;

namespace {

// A clip of the whole fixture: its trim reaches its known length.
std::unique_ptr<CBaseClip> WholeClip(const std::string& fixture, uint32_t durationMs) {
    auto clip = FlvClip(fixture, 0, durationMs);
    clip->Trim().SetDuration(durationMs);
    clip->Trim().SetEnd(durationMs);
    return clip;
}

// Size and hash of every packet of one stream, in order ("a" or "v"), as
// ffmpeg reads them without decoding: what was copied, not when.
std::vector<std::string> Packets(const std::string& path, const char* stream) {
    std::istringstream lines(Shell("ffmpeg -v error -i '" + path + "' -map 0:" + stream +
                                   " -c copy -f framemd5 - 2>/dev/null"));
    std::vector<std::string> out;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        // stream, dts, pts, duration, size, hash
        const size_t size = line.find(',', line.find(',', line.find(',', line.find(',') + 1) + 1) + 1);
        if (size != std::string::npos) out.push_back(line.substr(size + 1));
    }
    return out;
}

// Presentation times (s) of a stream's packets in decode order.
std::vector<double> ShownAt(const std::string& path, const char* stream) {
    std::istringstream lines(Shell("ffprobe -v error -select_streams " + std::string(stream) +
                                   " -show_entries packet=pts_time -of csv=p=0 '" + path + "'"));
    std::vector<double> out;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) out.push_back(std::atof(line.c_str()));
    return out;
}

// Whether each of the video packets (decode order) is marked a key picture.
std::vector<bool> KeyFlags(const std::string& path) {
    std::istringstream lines(
        Shell("ffprobe -v error -select_streams v -show_entries packet=flags -of csv=p=0 '" + path + "'"));
    std::vector<bool> out;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty()) out.push_back(line[0] == 'K');
    return out;
}

std::string DecodeErrors(const std::string& path) {
    return Shell("ffmpeg -v error -i '" + path + "' -f null - 2>&1");
}

size_t Entries(const std::string& folder) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(folder)) n += !e.path().empty();
    return n;
}

}  // namespace

// Every picture and sound block of a whole clip arrives as the source holds
// it, in each container that can take the clip's codecs.
TEST(Remux, CopiesEveryPacketUnchanged) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    const struct {
        const char* fixture;
        uint32_t durationMs;
        const char* format;
        const char* ext;
        const char* probeFormat;
    } cases[] = {
        {"h264_aac_bf2_160x120.flv", 3080, "mp4remux", "mp4", "mp4"},
        {"h264_aac_bf2_160x120.flv", 3080, "movremux", "mov", "mov"},
        {"h264_aac_bf2_160x120.flv", 3080, "mkvremux", "mkv", "matroska"},
        {"h264base_aac_160x120.flv", 1023, "mp4remux", "mp4", "mp4"},
        {"flv1_mp3_160x120.flv", 3050, "mkvremux", "mkv", "matroska"},
        {"flv1_pcm16_160x120.flv", 2000, "mkvremux", "mkv", "matroska"},
        {"h264_aac_bf2_2997_160x120.flv", 3070, "movremux", "mov", "mov"},
        {"mp3_audio_only.flv", 3025, "mp4remux", "mp4", "mp4"},
        {nullptr, 2000, "movremux", "mov", "mov"},   // 16-bit PCM sound alone, made below
    };
    TempDir made;
    // PCM with no pictures, which MOV holds as it is.
    const std::string pcm = made.File("pcm16.flv");
    Shell("ffmpeg -v error -f lavfi -i sine=frequency=440:sample_rate=22050:duration=2 -c:a pcm_s16le -ac 1 '" + pcm +
          "'");
    ASSERT_TRUE(fs::exists(pcm));
    for (const auto& c : cases) {
        const std::string source = c.fixture ? Fixture(c.fixture) : pcm;
        SCOPED_TRACE(source + " as " + c.format);
        TempDir dir;
        CFLVSequence seq;
        auto clip = WholeClip("flv1_mp3_160x120.flv", c.durationMs);
        clip->SetFilePath(source);
        Append(seq, std::move(clip));
        const std::string out = dir.File(std::string("out.") + c.ext);
        const JobResult r = Convert(Settings(c.format, c.ext, 28, 86018), seq, out);
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        EXPECT_EQ(r.output, out);
        EXPECT_NE(Probe(out, "", "format=format_name").find(c.probeFormat), std::string::npos);
        EXPECT_EQ(DecodeErrors(out), "");
        for (const char* stream : {"v", "a"}) {
            const auto want = Packets(source, stream), got = Packets(out, stream);
            EXPECT_FALSE(want.empty() && *stream == 'a') << "a fixture without sound";
            EXPECT_EQ(got, want) << stream;
        }
        EXPECT_NEAR(std::atof(Probe(out, "", "format=duration").c_str()), c.durationMs / 1000.0, 0.1);
        // Every picture is shown: the last one shown (after the last stored,
        // with B-frames) is not cut off by the end of the stream.
        const auto shown = [](const std::string& path) { return Probe(path, "v", "stream=nb_read_frames -count_frames"); };
        EXPECT_EQ(shown(out), shown(source));
    }
}

// A recorder stores the sound's setup with the first sound, after the first
// key picture (here Opus at 74 ms, the key picture at 0): a clip trimmed to
// start after the setup starts from that key picture, with that setup.
TEST(Remux, ASetupStoredAfterTheKeyPictureGovernsAClipTrimmedPastIt) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    for (const uint32_t trimStart : {50u, 300u}) {
        SCOPED_TRACE(trimStart);
        TempDir dir;
        CFLVSequence seq;
        Append(seq, FlvClip("codecs/hvc1_opus_160x120.flv", trimStart, 1300));
        const std::string out = dir.File("out.mp4");
        const JobResult r = Convert(Settings("mp4remux", "mp4", 28, 86018), seq, out);
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        EXPECT_EQ(Probe(out, "a", "stream=codec_name"), "opus");
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

// MP4 and MOV keep their index before the media, so a player can start
// before the whole file has arrived.
TEST(Remux, Mp4AndMovStartFast) {
    TempDir dir;
    for (const char* format : {"mp4remux", "movremux"}) {
        CFLVSequence seq;
        Append(seq, WholeClip("h264_aac_bf2_160x120.flv", 3080));
        const std::string out = dir.File(std::string(format) + ".mp4");
        ASSERT_EQ(Convert(Settings(format, "mp4", 28, 86018), seq, out).code, CPvx::kDone);
        const std::string bytes = ReadFile(out);
        const size_t moov = bytes.find("moov"), mdat = bytes.find("mdat");
        ASSERT_NE(moov, std::string::npos);
        EXPECT_LT(moov, mdat) << format;
    }
}

// Three clips on one time line: the first and last whole, the middle cut
// at its key frame (the key cut mode); one chapter each, named after its
// clip; the tags.
TEST(Remux, JoinsClipsWithAChapterEachAndTheSequencesTags) {
    for (const auto& [format, ext] : {std::pair{"mp4remux", "mp4"}, std::pair{"mkvremux", "mkv"}}) {
        SCOPED_TRACE(format);
        TempDir dir;
        CFLVSequence seq;
        Append(seq, WholeClip("h264_aac_bf2_160x120.flv", 3080));
        Append(seq, FlvClip("h264_aac_160x120.flv", 1300, 2500));
        Append(seq, WholeClip("h264_aac_bf2_160x120.flv", 3080));
        seq.SetProperty(CFLVSequence::kTitle, "A Test Title");
        seq.SetProperty(CFLVSequence::kAuthor, "Ann Author");
        seq.SetProperty(CFLVSequence::kAlbum, "An Album");
        seq.SetProperty(CFLVSequence::kComment, "Joined");
        seq.SetProperty(CFLVSequence::kYear, "2009");
        seq.SetProperty(CFLVSequence::kTrack, "3");
        seq.SetProperty(CFLVSequence::kCopyright, "Someone");
        const std::string out = dir.File(std::string("joined.") + ext);
        OutputSettings keyCuts = Settings(format, ext, 28, 86018);
        keyCuts.cutMode = 1;
        const JobResult r = Convert(keyCuts, seq, out);
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        EXPECT_EQ(DecodeErrors(out), "");

        // The pictures: all of the first clip, a run of the second from its
        // key frame at 1000 ms (the one at or before the trim start), all of the third.
        const auto whole = Packets(Fixture("h264_aac_bf2_160x120.flv"), "v");
        const auto middle = Packets(Fixture("h264_aac_160x120.flv"), "v");
        const auto got = Packets(out, "v");
        ASSERT_GT(got.size(), 2 * whole.size());
        const std::vector<std::string> head(got.begin(), got.begin() + whole.size());
        const std::vector<std::string> tail(got.end() - whole.size(), got.end());
        const std::vector<std::string> cut(got.begin() + whole.size(), got.end() - whole.size());
        EXPECT_EQ(head, whole);
        EXPECT_EQ(tail, whole);
        ASSERT_FALSE(cut.empty());
        const size_t key = 25;   // 25 fps: the picture at 1000 ms
        ASSERT_LT(key + cut.size(), middle.size());
        EXPECT_EQ(cut, std::vector<std::string>(middle.begin() + key, middle.begin() + key + cut.size()));
        // Up to the last picture (in decode order) shown before 2500 ms.
        const auto shown = ShownAt(Fixture("h264_aac_160x120.flv"), "v");
        size_t last = 0;
        for (size_t i = 0; i < shown.size(); ++i)
            if (shown[i] < 2.5) last = i;
        EXPECT_EQ(cut.size(), last - key + 1);

        const std::string chapters = Shell("ffprobe -v error -show_chapters -of compact '" + out + "'");
        std::istringstream lines(chapters);
        std::vector<std::string> titles;
        std::vector<double> starts;
        for (std::string line; std::getline(lines, line);) {
            const size_t at = line.find("tag:title=");
            if (at != std::string::npos) titles.push_back(line.substr(at + 10));
            const size_t s = line.find("start_time=");
            if (s != std::string::npos) starts.push_back(std::atof(line.c_str() + s + 11));
        }
        EXPECT_EQ(titles, (std::vector<std::string>{"h264_aac_bf2_160x120", "h264_aac_160x120",
                                                    "h264_aac_bf2_160x120"}))
            << chapters;
        ASSERT_EQ(starts.size(), 3u) << chapters;
        EXPECT_NEAR(starts[0], 0.0, 0.001);
        EXPECT_NEAR(starts[1], 3.08, 0.1);
        EXPECT_NEAR(starts[2], 3.08 + 1.5, 0.15);
        EXPECT_NEAR(std::atof(Probe(out, "", "format=duration").c_str()), 3.08 * 2 + 1.5, 0.2);
        EXPECT_EQ(Probe(out, "", "format_tags=title"), "A Test Title");
        EXPECT_EQ(Probe(out, "", "format_tags=artist"), "Ann Author");
        EXPECT_EQ(Probe(out, "", "format_tags=album"), "An Album");
        EXPECT_EQ(Probe(out, "", "format_tags=comment"), "Joined");
        EXPECT_EQ(Probe(out, "", "format_tags=date"), "2009");
        EXPECT_EQ(Probe(out, "", "format_tags=track"), "3");
        EXPECT_EQ(Probe(out, "", "format_tags=copyright"), "Someone");
    }
}

// What cannot be copied fails the task, says what and where it could go,
// and leaves nothing behind.
TEST(Remux, RefusesWhatTheContainerOrOneSampleDescriptionCannotHold) {
    const struct {
        std::vector<const char*> fixtures;
        const char* format;
        const char* words;
    } cases[] = {
        {{"flv1_mp3_160x120.flv"}, "mp4remux",
         "Sorenson H.263 cannot be stored in MP4 without re-encoding; MKV (no re-encoding) can hold it"},
        {{"flv1_mp3_160x120.flv"}, "movremux", "Sorenson H.263 cannot be stored in MOV"},
        {{"flv1_pcm16_160x120.flv"}, "mp4remux", "Sorenson H.263 cannot be stored in MP4"},
        {{"flv1_pcm16_160x120.flv"}, "movremux", "Sorenson H.263 cannot be stored in MOV"},
        {{"flv1_nelly_160x120.flv"}, "mkvremux", "Nellymoser sound cannot be stored in MKV without re-encoding; "
                                                 "only a profile that re-encodes can convert it"},
        {{"h264_aac_bf2_160x120.flv", "h264base_aac_160x120.flv"}, "mp4remux", "H.264 setup"},
        {{"h264_aac_bf2_160x120.flv", "h264_aac22k_bf2_160x120.flv"}, "mkvremux", "AAC sample rate"},
        {{"codecs/hevc12_aac_160x120.flv", "codecs/hevc12_80x60.flv"}, "mp4remux",
         "HEVC frame size 80x60 differs from the first clip's 160x120"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        TempDir dir;
        CFLVSequence seq;
        for (const char* f : c.fixtures) Append(seq, FlvClip(f, 0, 1000));
        const std::string out = dir.File("refused.out");
        const JobResult r = Convert(Settings(c.format, "out", 28, 86018), seq, out);
        EXPECT_EQ(r.code, CPvx::kNotCopyable) << r.text;
        EXPECT_NE(r.text.find(c.words), std::string::npos) << r.text;
        EXPECT_NE(r.text.find(Fixture(c.fixtures.back())), std::string::npos) << r.text;
        EXPECT_EQ(Entries(dir.Path()), 0u) << "nothing written";
    }
}

// A long copy is paused (nothing moves), resumed, and cancelled without
// leaving a file; a finished one reports all of its time.
TEST(Remux, PausesResumesAndCancelsLeavingNothing) {
    for (const auto& [format, ext] : {std::pair{"mp4remux", "mp4"}, std::pair{"mkvremux", "mkv"}}) {
        SCOPED_TRACE(format);
        TempDir dir;
        CFLVSequence many;
        for (int i = 0; i < 1000; ++i) Append(many, FlvClip("h264_aac_bf2_160x120.flv", 0, 3000));
        OutputSettings s = Settings(format, ext, 28, 86018);
        const std::string out = dir.File(std::string("long.") + ext);
        CPvx job(s, &many, out, nullptr, nullptr);
        ASSERT_TRUE(job.Start());
        while (job.Position() == 0 && job.GetState() != 2) std::this_thread::yield();
        ASSERT_NE(job.GetState(), 2) << "finished before it could be paused";
        EXPECT_EQ(job.SetState(1), 0);
        // The copy stops at its next packet, however late a busy machine lets
        // it run: wait until the position has settled (a copy that ignored the
        // pause never settles), then check it stays.
        int64_t paused = job.Position();
        for (int quiet = 0, tries = 0; quiet < 2 && tries < 100; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int64_t now = job.Position();
            quiet = now == paused ? quiet + 1 : 0;
            paused = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(job.Position(), paused) << "nothing is copied while paused";
        job.SetState(0);
        while (job.Position() == paused && job.GetState() != 2) std::this_thread::yield();
        const auto start = std::chrono::steady_clock::now();
        job.SetState(3);
        job.Wait();
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1.0);
        EXPECT_EQ(job.GetState(), 2);
        EXPECT_EQ(Entries(dir.Path()), 0u) << "the temporary file is gone";

        CFLVSequence one;
        Append(one, FlvClip("h264_aac_bf2_160x120.flv", 0, 1000));
        OutputSettings s1 = Settings(format, ext, 28, 86018);
        CPvx done(s1, &one, out, nullptr, nullptr);
        ASSERT_TRUE(done.Start());
        done.Wait();
        EXPECT_EQ(done.ResultCode(), CPvx::kDone) << done.ErrorText();
        EXPECT_EQ(done.Position(), done.Total());
        EXPECT_EQ(done.Total(), 1000 * 10000);
    }
}

// A source cut short while it is copied (a recorder starting the file
// again), while the writer still refers to bytes read from it: the task
// fails naming the clip, and no output is left.
TEST(Remux, ASourceCutShortWhileCopiedFailsTheTask) {
    for (const auto& [format, ext] : {std::pair{"mp4remux", "mp4"}, std::pair{"mkvremux", "mkv"}}) {
        SCOPED_TRACE(format);
        TempDir sources, dir;
        const std::string source = sources.File("recording.flv");
        fs::copy_file(Fixture("h264_aac_bf2_160x120.flv"), source);
        CFLVSequence many;
        for (int i = 0; i < 1000; ++i) {
            auto clip = FlvClip("h264_aac_bf2_160x120.flv", 0, 3000);
            clip->SetFilePath(source);
            Append(many, std::move(clip));
        }
        OutputSettings s = Settings(format, ext, 28, 86018);
        CPvx job(s, &many, dir.File(std::string("out.") + ext), nullptr, nullptr);
        ASSERT_TRUE(job.Start());
        // Paused within a clip, once the tags are walked (the walk looks at
        // the state between tags), the file is emptied, then the copy goes on.
        while (job.Position() == 0 && job.GetState() != 2) std::this_thread::yield();
        EXPECT_EQ(job.SetState(1), 0);
        int64_t paused = -1;
        for (int quiet = 0, tries = 0; quiet < 2 && tries < 100 && job.GetState() != 2; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int64_t now = job.Position();
            quiet = now == paused ? quiet + 1 : 0;
            paused = now;
        }
        ASSERT_NE(job.GetState(), 2) << "finished before it could be paused";
        fs::resize_file(source, 0);
        job.SetState(0);
        job.Wait();
        EXPECT_NE(job.ResultCode(), CPvx::kDone);
        EXPECT_NE(job.ErrorText().find(source), std::string::npos) << job.ErrorText();
        EXPECT_EQ(Entries(dir.Path()), 0u) << "the partial output is gone";
    }
}

// An exact cut: the first picture is the source's picture at the trim start
// (coded again, so alike but not the same bytes, and only it a key picture),
// the pictures from the next key frame on are the source's own, and every
// picture shown before the trim end is there.
TEST(Remux, AnExactCutStartsOnThePictureAtTheTrimStart) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    const struct {
        const char* fixture;
        const char* format;
        const char* ext;
        uint32_t start, end;
    } cases[] = {
        {"h264_aac_bf2_160x120.flv", "mp4remux", "mp4", 1320, 2500},
        {"h264_aac_bf2_160x120.flv", "movremux", "mov", 1320, 2500},
        {"h264_aac_bf2_160x120.flv", "mkvremux", "mkv", 1320, 2500},
        {"h264_aac_bf2_2997_160x120.flv", "mp4remux", "mp4", 1450, 2900},   // 29.97 fps
        {"h264base_aac_160x120.flv", "mp4remux", "mp4", 400, 900},          // no key frame after the start
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " as " + c.format);
        TempDir dir;
        CFLVSequence seq;
        Append(seq, FlvClip(c.fixture, c.start, c.end));
        const std::string out = dir.File(std::string("exact.") + c.ext);
        const JobResult r = Convert(Settings(c.format, c.ext, 28, 86018), seq, out);
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        EXPECT_EQ(DecodeErrors(out), "");

        // The source's pictures in decode order: when shown, which are key.
        const std::string source = Fixture(c.fixture);
        const auto srcShown = ShownAt(source, "v");
        const auto srcKeys = KeyFlags(source);
        const auto src = Packets(source, "v");
        ASSERT_EQ(srcKeys.size(), srcShown.size());
        const double trim = c.start / 1000.0, to = c.end / 1000.0;
        // The picture on show at the trim start: the last one shown at or before it.
        double from = -1;
        for (double t : srcShown)
            if (t <= trim + 0.0005) from = std::max(from, t);
        ASSERT_GE(from, 0.0);
        size_t next = srcShown.size();   // the first key picture shown after it
        for (size_t i = 0; i < srcShown.size() && next == srcShown.size(); ++i)
            if (srcKeys[i] && srcShown[i] > from + 0.0005) next = i;
        const double nextShown = next < srcShown.size() ? srcShown[next] : 1e9;
        size_t recoded = 0, wanted = 0, before = 0;
        for (double t : srcShown) {
            recoded += t >= from - 0.0005 && t < std::min(nextShown, to);
            wanted += t >= from - 0.0005 && t < to;
            before += t < from - 0.0005;
        }
        ASSERT_GT(recoded, 0u);

        // The first picture is the one on show at the trim start.
        const auto want = DecodeFrame(source, int(before), 160, 120), got = DecodeFrame(out, 0, 160, 120);
        ASSERT_FALSE(want.empty() || got.empty());
        EXPECT_GE(Psnr(want, got), 35.0);
        EXPECT_LT(Psnr(DecodeFrame(source, int(before) - 1, 160, 120), got), Psnr(want, got)) << "not the one before";

        // Coded again: one key picture, then the source's own packets from the next key frame.
        const auto copied = Packets(out, "v");
        const auto keys = KeyFlags(out);
        ASSERT_GE(copied.size(), recoded);
        EXPECT_EQ(std::count(keys.begin(), keys.begin() + recoded, true), 1);
        EXPECT_NE(copied[0], src[before]);
        const std::vector<std::string> tail(copied.begin() + recoded, copied.end());
        ASSERT_LE(next + tail.size(), src.size());
        EXPECT_EQ(tail, std::vector<std::string>(src.begin() + next, src.begin() + next + tail.size()));

        // Every picture shown before the trim end; with B-frames one shown
        // later may come too, as the last ones need it. The length is the
        // trim's within a picture.
        const auto shown = ShownAt(out, "v");
        const double first = *std::min_element(shown.begin(), shown.end());
        const size_t inSpan =
            std::count_if(shown.begin(), shown.end(), [&](double t) { return t < first + (to - from) - 0.0005; });
        EXPECT_EQ(inSpan, wanted);
        EXPECT_LE(shown.size(), wanted + 1);
        EXPECT_NEAR(std::atof(Probe(out, "", "format=duration").c_str()), to - trim, 0.11);

        // The sound keeps its blocks' spacing from the first on (AAC: 1024
        // samples at 44.1 kHz); its first block is the one nearest the first
        // picture, and the earlier of the two starts the file.
        const double block = 1024 / 44100.0;
        const auto sound = ShownAt(out, "a");
        ASSERT_GT(sound.size(), 2u);
        EXPECT_NEAR(sound[1] - sound[0], block, 0.0015);
        EXPECT_NEAR(std::min(sound[0], first), 0.0, 0.0005);
        EXPECT_LE(std::abs(first - sound[0]), block / 2 + 0.0015);
    }
}

// Clips cut exactly and whole ones share one sample description: the
// parameter sets of the pictures coded again are the same for every clip
// and stand beside the source's; every picture decodes.
TEST(Remux, ExactCutsJoinInOneSampleDescription) {
    for (const auto& [format, ext] : {std::pair{"mp4remux", "mp4"}, std::pair{"mkvremux", "mkv"}}) {
        SCOPED_TRACE(format);
        TempDir dir;
        CFLVSequence seq;
        Append(seq, FlvClip("h264_aac_bf2_160x120.flv", 1320, 2500));
        Append(seq, WholeClip("h264_aac_bf2_160x120.flv", 3080));
        Append(seq, FlvClip("h264_aac_bf2_160x120.flv", 520, 1700));
        const std::string out = dir.File(std::string("joined.") + ext);
        const JobResult r = Convert(Settings(format, ext, 28, 86018), seq, out);
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        EXPECT_EQ(DecodeErrors(out), "");
        // 30 pictures of each cut (one more shown after each end at most), 75 of the whole clip.
        const auto shown = ShownAt(out, "v");
        EXPECT_GE(shown.size(), 30u + 75u + 30u);
        EXPECT_LE(shown.size(), 31u + 75u + 31u);
        const auto keys = KeyFlags(out);
        // Each cut: its coded-again start and the key frame it resumes at; the whole clip's three.
        EXPECT_EQ(std::count(keys.begin(), keys.end(), true), 2 + 3 + 2);
        EXPECT_NEAR(std::atof(Probe(out, "", "format=duration").c_str()), 1.18 + 3.08 + 1.18, 0.3);
    }
}

// A group of pictures far longer than usual is not coded again (its pictures
// would all be held until the file is written): the clip starts at its key
// frame, nothing re-encoded.
TEST(Remux, AGroupTooLongToCodeAgainStartsAtItsKeyFrame) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    TempDir dir;
    const std::string source = dir.File("one-key.flv");
    Shell("ffmpeg -v error -f lavfi -i testsrc2=size=64x48:rate=25:duration=26 -c:v libx264 -preset ultrafast "
          "-g 1000 -sc_threshold 0 -bf 0 -pix_fmt yuv420p '" + source + "'");
    ASSERT_TRUE(fs::exists(source));
    CFLVSequence seq;
    auto clip = std::make_unique<CFLVClip>();
    clip->SetFilePath(source);
    clip->Trim().SetEnd(24000);
    clip->Trim().SetStart(1000);
    ASSERT_EQ(clip->Trim().End(), 24000u);
    Append(seq, std::move(clip));
    const std::string out = dir.File("long.mp4");
    const JobResult r = Convert(Settings("mp4remux", "mp4", 28, -1), seq, out);
    ASSERT_EQ(r.code, CPvx::kDone) << r.text;
    const auto got = Packets(out, "v"), src = Packets(source, "v");
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got, std::vector<std::string>(src.begin(), src.begin() + got.size()));
}
