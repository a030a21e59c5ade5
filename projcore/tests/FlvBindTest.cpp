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

// H.264 with B-frames joined losslessly: whole files, a clip trimmed between
// key frames (it starts at the key frame before the trim), and a clip whose
// sequence header differs (Baseline among High) but not its frame size. The
// AVC setup is written at the start and again only where it changes (its
// parameter sets then also go in band with the next key picture, so that
// stream parsers knowing only the first setup read on right); every picture
// and block is the source's, byte for byte; flvmeta finds neither an error
// nor anything to warn about, ffprobe decodes every frame without a word, and
// the pictures are shown in one rising order across the joins.
TEST(FlvBind, H264WithBFramesJoinsLosslessly) {
    ASSERT_TRUE(HaveTool("flvmeta") && HaveTool("ffprobe")) << "flvmeta and ffprobe are needed";
    TempDir dir;
    const std::string high = Fixture("h264_aac_bf2_160x120.flv"), base = Fixture("h264base_aac_160x120.flv");
    const std::vector<TFlvBindClip> clips = {
        {high, 0, 3100}, {high, 1300, 2600}, {base, 0, 1000}, {high, 0, 1500}};
    const Bound b = Bind(dir, clips);
    ASSERT_EQ(b.result.code, 0) << b.result.text;
    const std::string out = dir.File("out.flv");
    const std::string verdict = Shell("flvmeta --check '" + out + "'");
    EXPECT_NE(verdict.find("0 error(s), 0 warning(s)"), std::string::npos) << verdict;

    // Pictures and blocks (setups and ends of sequence aside) from `from` on;
    // parameter sets given in band in front of a picture are left out.
    size_t inband = 0;
    const auto media = [&](const std::string& d, uint32_t from, uint32_t to) {
        std::string bytes;
        size_t n = 0;
        for (const Tag& t : Tags(d)) {
            const bool avc = t.type == 9 && (t.first & 15) == 7, aac = t.type == 8 && (t.first >> 4) == 10;
            if (!(avc || aac) || t.second != 1 || t.ts < from || t.ts > to) continue;
            std::string data = d.substr(t.pos + 11, t.size);
            if (avc) {
                size_t at = 5;   // 4-byte NAL lengths in these files
                while (at + 5 <= data.size() && ((uint8_t(data[at + 4]) & 0x1F) == 7 || (uint8_t(data[at + 4]) & 0x1F) == 8))
                    at += 4 + (size_t(uint8_t(data[at])) << 24 | size_t(uint8_t(data[at + 1])) << 16 |
                               size_t(uint8_t(data[at + 2])) << 8 | uint8_t(data[at + 3]));
                if (at > 5) {
                    ++inband;
                    data.erase(5, at - 5);
                }
            }
            bytes += data;
            ++n;
        }
        return std::make_pair(bytes, n);
    };
    const std::string h = ReadFile(high), l = ReadFile(base);
    const auto parts = {media(h, 0, 3100), media(h, 1000, 2600), media(l, 0, 1000), media(h, 0, 1500)};
    std::string expected;
    size_t expectedTags = 0;
    for (const auto& [bytes, n] : parts) {
        expected += bytes;
        expectedTags += n;
    }
    ASSERT_EQ(inband, 0u) << "the sources carry their parameter sets in their setups only";
    const auto [written, writtenTags] = media(b.bytes, 0, UINT32_MAX);
    EXPECT_EQ(writtenTags, expectedTags);
    EXPECT_TRUE(written == expected) << "the media data are copied unchanged, in order";
    EXPECT_EQ(inband, 2u) << "in band where the setup changed: Baseline, then High again";

    size_t avcSetups = 0, aacSetups = 0, pictures = 0, blocks = 0, ends = 0;
    uint32_t lastVideo = 0, lastAudio = 0;
    for (const Tag& t : Tags(b.bytes)) {
        if (t.type == 9) {
            avcSetups += t.second == 0;
            pictures += t.second == 1;
            ends += t.second == 2;
            EXPECT_GE(t.ts, lastVideo);
            lastVideo = t.ts;
        } else if (t.type == 8) {
            aacSetups += t.second == 0;
            blocks += t.second == 1;
            EXPECT_GE(t.ts, lastAudio);
            lastAudio = t.ts;
        }
    }
    EXPECT_EQ(avcSetups, 3u) << "High, Baseline, High again";
    EXPECT_EQ(aacSetups, 1u) << "the same AAC setup throughout";
    EXPECT_EQ(ends, 0u) << "no end of sequence inside the join (the last clip ends before its own)";

    // ffprobe decodes every frame and has nothing to say.
    const std::string counts = Shell("ffprobe -v error -count_frames -show_entries stream=codec_type,nb_read_frames "
                                     "-of csv=p=0 '" + out + "'");
    EXPECT_EQ(counts, "video," + std::to_string(pictures) + "\naudio," + std::to_string(blocks) + "\n");
    // Presentation times rise across every join.
    const std::string shown = Shell("(ffprobe -v error -select_streams v -show_entries frame=pts -of csv=p=0 '" +
                                    out + "' 2>/dev/null)");
    std::vector<long> times;
    for (size_t i = 0; i < shown.size();) {
        size_t used = 0;
        if (!isdigit(static_cast<unsigned char>(shown[i]))) {
            ++i;
            continue;
        }
        times.push_back(std::stol(shown.substr(i), &used));
        i += used;
    }
    ASSERT_EQ(times.size(), pictures);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GT(times[i], times[i - 1]) << i;
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
            // Bounds only a failure: a slow machine (or a sanitizer build) may take long to begin.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
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
        // The AAC setups differ in their sample rate: no join without encoding again.
        {{{Fixture("h264_aac_bf2_160x120.flv"), 0, 1000}, {Fixture("h264_aac22k_bf2_160x120.flv"), 0, 1000}},
         dir.File("out.flv"), CFlvBind::kClipMismatch,
         Fixture("h264_aac22k_bf2_160x120.flv") + ": AAC sample rate 22050 Hz differs from the first clip's 44100 Hz",
         true},
        {{{good, 0, 1000}, {Fixture("h264_aac_bf2_160x120.flv"), 0, 1000}}, dir.File("out.flv"),
         CFlvBind::kClipMismatch, Fixture("h264_aac_bf2_160x120.flv") + ": sound format 10", true},
        // HEVC parameter sets may change inside a join, its picture size may not.
        {{{Fixture("codecs/hevc12_aac_160x120.flv"), 0, 1000}, {Fixture("codecs/hevc12_80x60.flv"), 0, 1000}},
         dir.File("out.flv"), CFlvBind::kClipMismatch,
         Fixture("codecs/hevc12_80x60.flv") + ": HEVC frame size 80x60 differs from the first clip's 160x120", false},
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
