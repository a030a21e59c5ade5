// The FLV binding: joined files checked by flvmeta and ffprobe, the key-frame
// index read back against the tags, the time line across joins, the stream
// flags, pause and cancel, and every failure code.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "convert/FlvBind.h"
#include "tagio/tagio.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

struct Tag {
    uint8_t type;
    uint32_t ts;
    size_t pos;
    uint8_t first;    // first data byte
    uint8_t second;   // second data byte (AVC/AAC packet type)
    uint32_t size;
};

std::vector<Tag> Tags(const std::string& d) {
    std::vector<Tag> tags;
    const auto u = [&](size_t i) { return uint8_t(d[i]); };
    size_t pos = (size_t(u(5)) << 24 | u(6) << 16 | u(7) << 8 | u(8)) + 4;
    while (pos + 11 <= d.size()) {
        const uint32_t size = u(pos + 1) << 16 | u(pos + 2) << 8 | u(pos + 3);
        if (pos + 11 + size > d.size()) break;
        tags.push_back({u(pos), uint32_t(u(pos + 4) << 16 | u(pos + 5) << 8 | u(pos + 6)) |
                                    uint32_t(u(pos + 7)) << 24,
                        pos, size ? u(pos + 11) : uint8_t(0), size > 1 ? u(pos + 12) : uint8_t(0),
                        size});
        pos += 15 + size;
    }
    return tags;
}

// The AMF0 numbers of a strict array named `name` inside the file's metadata.
std::vector<double> NumberArray(const std::string& d, const std::string& name) {
    std::vector<double> out;
    const std::string key = std::string(1, char(name.size() >> 8)) + char(name.size()) + name + '\x0a';
    const size_t at = d.find(key);
    if (at == std::string::npos) return out;
    size_t p = at + key.size();
    const uint32_t n = uint32_t(uint8_t(d[p])) << 24 | uint8_t(d[p + 1]) << 16 |
                       uint8_t(d[p + 2]) << 8 | uint8_t(d[p + 3]);
    p += 4;
    for (uint32_t i = 0; i < n && p + 9 <= d.size(); ++i, p += 9) {
        uint64_t bits = 0;
        for (int k = 1; k <= 8; ++k) bits = bits << 8 | uint8_t(d[p + k]);
        double v;
        std::memcpy(&v, &bits, 8);
        out.push_back(v);
    }
    return out;
}

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf;
    size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    pclose(p);
    return out;
}

bool HaveTool(const char* tool) {
    return Shell(std::string("command -v ") + tool).find(tool) != std::string::npos;
}

// flvmeta's verdict on a file: empty when it found no error.
std::string FlvmetaErrors(const std::string& path) {
    const std::string out = Shell("flvmeta --check '" + path + "'");
    const bool clean = out.rfind("0 error(s)", 0) == 0 || out.find("\n0 error(s)") != std::string::npos;
    return clean ? std::string() : out;
}

double FfprobeDuration(const std::string& path) {
    return std::atof(
        Shell("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'").c_str());
}

// How long a tag of the input plays: a frame at the file's rate, or the audio block.
uint32_t OwnLength(const std::string& d, const Tag& t) {
    if (t.type == 9) return 40;   // the 25 fps fixtures
    static const int kRates[4] = {5512, 11025, 22050, 44100};
    const uint8_t b = t.first;
    const int64_t units = CalcFLVAudioBlockDuration(
        reinterpret_cast<const uint8_t*>(d.data()) + t.pos + 12, t.size - 1, b >> 4,
        kRates[(b >> 2) & 3], (b >> 1 & 1) + 1, (b & 1) + 1);
    return uint32_t(units / 10000);
}

// Clip time from the first tag of the span (start: the key frame at or before
// the trim start) to the end of its last tag.
uint32_t KeptLength(const std::string& d, uint32_t start, uint32_t end) {
    uint32_t first = UINT32_MAX, last = 0;
    for (const Tag& t : Tags(d)) {
        if ((t.type != 8 && t.type != 9) || t.ts < start || t.ts > end) continue;
        first = std::min(first, t.ts);
        last = std::max(last, t.ts + OwnLength(d, t));
    }
    return last - first;
}

struct Bound {
    TFlvBindResult result;
    std::string bytes;
};

Bound Bind(const TempDir& dir, const std::vector<TFlvBindClip>& clips, bool audio = true,
           bool video = true, const char* name = "out.flv") {
    CFlvBindProgress job;
    Bound b;
    b.result = CFlvBind::Run(clips, dir.File(name), audio, video, job);
    EXPECT_EQ(job.State(), CFlvBindProgress::kFinished);
    b.bytes = ReadFile(dir.File(name));
    return b;
}

TEST(FlvBind, TwoTrimmedClipsMakeOneFileThatPlayersCanSeekIn) {
    ASSERT_TRUE(HaveTool("flvmeta") && HaveTool("ffprobe")) << "flvmeta and ffprobe are needed";
    TempDir dir;
    const std::string src = Fixture("flv1_mp3_160x120.flv");
    const std::string in = ReadFile(src);
    // Key frames at 50, 1050 and 2050 ms: the second clip starts at 1050.
    const Bound whole = Bind(dir, {{src, 0, 2000}, {src, 1200, 2600}});
    ASSERT_EQ(whole.result.code, 0) << whole.result.text;
    const Bound part1 = Bind(dir, {{src, 0, 2000}}, true, true, "part1.flv");
    ASSERT_EQ(part1.result.code, 0);

    const std::string out = dir.File("out.flv");
    EXPECT_EQ(FlvmetaErrors(out), "");
    const double expected = (KeptLength(in, 0, 2000) + KeptLength(in, 1050, 2600)) / 1000.0;
    EXPECT_NEAR(FfprobeDuration(out), expected, 0.040);

    // The second part follows the first one tag's length after its last tag.
    const auto tags = Tags(whole.bytes), firstTags = Tags(part1.bytes);
    uint32_t end1 = 0;
    size_t n1 = 0;
    for (const Tag& t : firstTags) {
        if (t.type == 18) continue;
        ++n1;
        end1 = std::max(end1, t.ts + OwnLength(part1.bytes, t));
    }
    std::vector<Tag> av;
    for (const Tag& t : tags)
        if (t.type != 18) av.push_back(t);
    ASSERT_GT(av.size(), n1);
    EXPECT_GT(av[n1].ts, av[n1 - 1].ts);
    EXPECT_EQ(av[n1].ts, end1);
    EXPECT_EQ(av[n1].type, 9);
    EXPECT_EQ(av[n1].first >> 4, 1) << "the second part starts on a key frame";
    for (size_t i = 1; i < av.size(); ++i)
        if (av[i].type == av[i - 1].type) {
            EXPECT_GT(av[i].ts, av[i - 1].ts) << i;
        }

    // Every entry of the key-frame index is a key frame at its time.
    const auto positions = NumberArray(whole.bytes, "filepositions");
    const auto times = NumberArray(whole.bytes, "times");
    ASSERT_EQ(positions.size(), times.size());
    size_t keys = 0;
    for (const Tag& t : tags) keys += t.type == 9 && (t.first >> 4) == 1;
    EXPECT_EQ(positions.size(), keys);
    for (size_t i = 0; i < positions.size(); ++i) {
        const auto it = std::find_if(tags.begin(), tags.end(),
                                     [&](const Tag& t) { return double(t.pos) == positions[i]; });
        ASSERT_NE(it, tags.end()) << "position " << positions[i] << " is not a tag";
        EXPECT_EQ(it->type, 9);
        EXPECT_EQ(it->first >> 4, 1);
        EXPECT_DOUBLE_EQ(times[i], it->ts / 1000.0);
    }
}

TEST(FlvBind, StreamFlagsChooseTheTagsAndTheHeaderKeepsItsFlags) {
    TempDir dir;
    const std::string src = Fixture("flv1_mp3_160x120.flv");
    struct Case { bool audio, video; } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        const Bound b = Bind(dir, {{src, 0, 1500}, {src, 0, 1500}}, c.audio, c.video);
        ASSERT_EQ(b.result.code, 0);
        EXPECT_EQ(uint8_t(b.bytes[4]), uint8_t(ReadFile(src)[4]));
        size_t audio = 0, video = 0;
        for (const Tag& t : Tags(b.bytes)) {
            audio += t.type == 8;
            video += t.type == 9;
        }
        EXPECT_EQ(audio > 0, c.audio);
        EXPECT_EQ(video > 0, c.video);
        if (HaveTool("flvmeta")) {
            EXPECT_EQ(FlvmetaErrors(dir.File("out.flv")), "");
        }
    }
}

TEST(FlvBind, CodecSetupIsWrittenOnceAndTheResultDecodes) {
    ASSERT_TRUE(HaveTool("ffprobe"));
    TempDir dir;
    const std::string src = Fixture("h264_aac_160x120.flv");
    const Bound b = Bind(dir, {{src, 500, 1500}, {src, 1000, 2500}});
    ASSERT_EQ(b.result.code, 0) << b.result.text;
    size_t avcSetups = 0, aacSetups = 0, pictures = 0, blocks = 0;
    for (const Tag& t : Tags(b.bytes)) {
        avcSetups += t.type == 9 && (t.first & 15) == 7 && t.second == 0;
        aacSetups += t.type == 8 && (t.first >> 4) == 10 && t.second == 0;
        pictures += t.type == 9 && t.second == 1;
        blocks += t.type == 8 && t.second == 1;
    }
    EXPECT_EQ(avcSetups, 1u);
    EXPECT_EQ(aacSetups, 1u);
    // Every picture and block decodes, the second part's too.
    const auto decoded = [&](const char* stream) {
        return Shell(std::string("ffprobe -v error -count_frames -select_streams ") + stream +
                     " -show_entries stream=nb_read_frames -of csv=p=0 '" + dir.File("out.flv") + "'");
    };
    EXPECT_EQ(decoded("v"), std::to_string(pictures) + "\n");
    EXPECT_EQ(decoded("a"), std::to_string(blocks) + "\n");
}

TEST(FlvBind, PauseHoldsTheBindingAndCancelLeavesAShorterFinishedFile) {
    TempDir dir;
    const std::string src = Fixture("flv1_mp3_160x120.flv");
    // Long enough that the writing is still under way when the test pauses it.
    const std::vector<TFlvBindClip> clips(300, TFlvBindClip{src, 0, 3000});
    const Bound full = Bind(dir, clips, true, true, "full.flv");
    ASSERT_EQ(full.result.code, 0);

    struct Case { const char* what; bool whileWriting; } cases[] = {
        {"cancelled before any tag was written", false}, {"cancelled while writing", true}};
    for (const auto& c : cases) {
        CFlvBindProgress job;
        job.SetState(CFlvBindProgress::kPaused);
        TFlvBindResult result{-1, ""};
        std::thread t([&] { result = CFlvBind::Run(clips, dir.File("out.flv"), true, true, job); });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(job.position, 0) << c.what << ": held at once";
        EXPECT_EQ(job.total, 300 * 3000 * 10000LL);
        if (c.whileWriting) {
            job.SetState(CFlvBindProgress::kRunning);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (job.position == 0 && std::chrono::steady_clock::now() < deadline) {
            }
            job.SetState(CFlvBindProgress::kPaused);
            const int64_t held = job.position;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int64_t later = job.position;
            EXPECT_LE(later - held, 3000 * 10000) << "at most one clip further, then held";
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_EQ(job.position, later) << "held";
        }
        job.SetState(CFlvBindProgress::kCancel);
        t.join();
        EXPECT_EQ(result.code, 0) << c.what;
        EXPECT_EQ(job.State(), CFlvBindProgress::kFinished);
        EXPECT_LT(job.position, job.total);
        const std::string out = ReadFile(dir.File("out.flv"));
        EXPECT_LT(out.size(), full.bytes.size() / 2) << c.what;
        size_t av = 0;
        for (const Tag& tag : Tags(out)) av += tag.type != 18;
        EXPECT_EQ(av > 0, c.whileWriting) << c.what;
        if (HaveTool("flvmeta")) {
            EXPECT_EQ(FlvmetaErrors(dir.File("out.flv")), "") << c.what;
        }
        if (c.whileWriting && HaveTool("ffprobe")) {
            // The metadata tells the length of what was written, not of the plan.
            const Tag last = Tags(out).back();
            EXPECT_NEAR(FfprobeDuration(dir.File("out.flv")), last.ts / 1000.0, 0.1);
        }
    }
}

TEST(FlvBind, FailuresGiveTheirCodeAndTextAndKeepWhatWasWritten) {
    TempDir dir;
    const std::string good = Fixture("flv1_mp3_160x120.flv");
    const std::string missing = dir.File("no_such_clip.flv");
    struct Case {
        std::vector<TFlvBindClip> clips;
        std::string output;
        int32_t code;
        std::string textStart;
        bool firstClipKept;
    } cases[] = {
        {{}, dir.File("out.flv"), CFlvBind::kEmptyList, "", false},
        {{{good, 0, 1000}}, dir.File("no_dir/out.flv"), CFlvBind::kCannotCreateOutput,
         dir.File("no_dir/out.flv"), false},
        {{{missing, 0, 1000}}, dir.File("out.flv"), CFlvBind::kCannotOpenClip, missing, false},
        {{{good, 0, 1000}}, "/dev/full", CFlvBind::kWriteFailed, "/dev/full", false},
        {{{good, 0, 1000}, {missing, 0, 1000}}, dir.File("out.flv"), CFlvBind::kCannotOpenClip,
         missing, true},
        {{{good, 0, 1000}, {Fixture("bad_signature.flv"), 0, 1000}}, dir.File("out.flv"),
         CFlvBind::kNotFlv, Fixture("bad_signature.flv"), true},
        {{{good, 0, 1000}, {Fixture("flv1_mp3_320x240.flv"), 0, 1000}}, dir.File("out.flv"),
         CFlvBind::kClipMismatch, Fixture("flv1_mp3_320x240.flv") + ": frame size 320x240", true},
        {{{good, 0, 1000}, {Fixture("flv1_adpcm_160x120.flv"), 0, 1000}}, dir.File("out.flv"),
         CFlvBind::kClipMismatch, Fixture("flv1_adpcm_160x120.flv") + ": sound format 1", true},
    };
    for (const auto& c : cases) {
        CFlvBindProgress job;
        std::remove(dir.File("out.flv").c_str());
        const TFlvBindResult r = CFlvBind::Run(c.clips, c.output, true, true, job);
        EXPECT_EQ(r.code, c.code) << c.textStart;
        EXPECT_EQ(r.text.substr(0, c.textStart.size()), c.textStart) << r.text;
        EXPECT_EQ(job.State(), CFlvBindProgress::kFinished);
        if (c.firstClipKept) {
            const auto tags = Tags(ReadFile(c.output));
            EXPECT_GT(tags.size(), 40u) << c.textStart;
            if (HaveTool("flvmeta")) {
                EXPECT_EQ(FlvmetaErrors(c.output), "") << c.textStart;
            }
        }
    }
}

TEST(FlvBind, ClipTimeStartsAtTheFirstTagWhateverTheFileCounts) {
    // Every timestamp of this file is 5000 ms late; clip time still starts at 0.
    TempDir dir;
    const Bound b = Bind(dir, {{Fixture("first_ts_5000.flv"), 0, 1000}});
    ASSERT_EQ(b.result.code, 0);
    const auto tags = Tags(b.bytes);
    size_t av = 0;
    for (const Tag& t : tags) av += t.type != 18;
    EXPECT_GT(av, 30u);
    EXPECT_LE(tags.back().ts, 1100u);
}

}  // namespace
