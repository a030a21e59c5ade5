// FLV files of today's codecs (tests/fixtures/codecs) through the jobs: a
// conversion that codes them again, the lossless FLV join, and the copy into
// MP4 and MKV, each read back by ffprobe and decoded by ffmpeg.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "PvxTestSupport.h"
#include "TempDir.h"
#include "convert/FlvBind.h"
#include "convert/Pvx.h"
#include "edit/TrimMgr.h"
#include "tagflow/tagflow.h"
#include "tagio/tagio.h"

using namespace pvxtest;

namespace {

struct Form {
    const char* flv;
    const char* source;      // the MP4 it was wrapped from
    const char* videoName;   // ffprobe's codec names
    const char* audioName;
    bool mp4;                // MP4 can hold both streams without re-encoding
};

const Form kForms[] = {
    {"hevc12_aac_160x120.flv", "src_hevc_aac.mp4", "hevc", "aac", true},
    {"hvc1_opus_160x120.flv", "src_hevc_opus.mp4", "hevc", "opus", true},
    {"av01_flac_160x120.flv", "src_av1_flac.mp4", "av1", "flac", false},
    {"vp09_ac3_160x120.flv", "src_vp9_ac3.mp4", "vp9", "ac3", true},
    {"multitrack_hvc1_eac3_160x120.flv", "src_hevc_eac3.mp4", "hevc", "eac3", true},
};

constexpr uint32_t kLengthMs = 2000;   // past the end of every fixture

std::string Codecs(const std::string& name) { return Fixture("codecs/" + name); }

std::string DecodeErrors(const std::string& path) {
    return Shell("ffmpeg -v error -i '" + path + "' -f null - 2>&1");
}

// Packets as the file stores them: MP4's edit list hides the ends of sound
// whose encoder pads it (Opus, E-AC-3), which ffprobe would not count.
int Count(const std::string& path, const char* stream, const char* what) {
    const bool mp4 = path.size() > 4 && path.compare(path.size() - 4, 4, ".mp4") == 0;
    return std::atoi(Probe(path, stream, std::string("stream=nb_read_") + what + " -count_" + what +
                                             (mp4 ? " -ignore_editlist 1" : ""))
                         .c_str());
}

// A whole fixture (the trim end reaches past its end).
std::unique_ptr<CBaseClip> Clip(const Form& f) { return FlvClip(std::string("codecs/") + f.flv, 0, kLengthMs); }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The tags of an FLV file's bytes with their layouts.
struct Tag {
    uint32_t type;
    TagioTagLayout layout;
    uint8_t first;
    size_t data;   // where the tag's data begins in the file
};
std::vector<Tag> Tags(const std::string& d) {
    std::vector<Tag> out;
    size_t pos = 13;
    while (pos + 11 <= d.size()) {
        const auto* p = reinterpret_cast<const uint8_t*>(d.data()) + pos;
        const uint32_t size = uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
        if (pos + 11 + size > d.size()) break;
        Tag t{p[0], {}, size ? p[11] : uint8_t(0), pos + 11};
        Flv_ReadTagLayout(t.type, p + 11, size, size, &t.layout);
        out.push_back(t);
        pos += 15 + size;
    }
    return out;
}

class CodecFormJobs : public ::testing::TestWithParam<Form> {};

// How many pictures our own decoder gives of an FLV's video tags, -1 when
// the file does not open.
int OwnDecoding(const std::string& flv) {
    FLVAVTagReaderHandle reader = FLVAVTagReader_Create();
    if (FLVAVTagReader_Open(reader, flv.c_str()) != 1) {
        FLVAVTagReader_Delete(reader);
        return -1;
    }
    FLVStreamDecoderHandle d = FLVStreamDecoder_Create(1);
    FLVStreamDecoder_SetOutputSize(d, 160, 120);
    FLVStreamDecoder_SetDecodeSyncMode(d, 1);
    FLVAVTagReader_SetAutoReleaseMemory(reader, 0);
    FLVTag* tag = nullptr;
    uint32_t duration = 0;
    int pictures = 0;
    while (FLVAVTagReader_ReadTag(reader, 1, 9, &tag, &duration) == 0) {
        const uint8_t* picture = nullptr;
        int32_t size = 0;
        pictures += FLVStreamDecoder_DecodeFLVTag(d, tag, &picture, &size);
        FLVAVTagReader_ReleaseMemory(reader, tag);
    }
    FLVStreamDecoder_Delete(d);
    FLVAVTagReader_Delete(reader);
    return pictures;
}

// Two clips of one form whose setups differ at the same size and format:
// HEVC of another x265 set-up (other VPS, SPS and PPS), AV1 of another
// encoder (another sequence header).
struct SetupPair {
    const char* name;
    const char* flv[2];
    const char* source[2];
    bool mp4;   // MP4 holds the sound without re-encoding
};
const SetupPair kSetupPairs[] = {
    {"hevc12", {"hevc12_aac_160x120.flv", "hevc12_aac_other_160x120.flv"},
     {"src_hevc_aac.mp4", "src_hevc_other_aac.mp4"}, true},
    {"hvc1", {"hvc1_opus_160x120.flv", "hvc1_opus_other_160x120.flv"},
     {"src_hevc_opus.mp4", "src_hevc_other_opus.mp4"}, true},
    {"av01", {"av01_flac_160x120.flv", "av01_flac_other_160x120.flv"},
     {"src_av1_flac.mp4", "src_av1_other_flac.mp4"}, false},
};

// The pictures of an FLV's video tags as an elementary stream, as a parser
// that keeps only the first setup sees them; setups after the first left
// out. HEVC: Annex B, the first setup's arrays, then every picture's NAL
// units (4-byte lengths in these files). AV1: the first setup's OBUs, then
// each picture's temporal unit behind a temporal delimiter. skipKeys: start
// at that key picture (counted from 0), as after a seek.
std::string Elementary(const std::string& flv, int skipKeys = 0) {
    const std::string d = ReadAll(flv);
    std::string out;
    bool haveSetup = false;
    std::string av1Setup;
    const auto nal = [&](size_t at, size_t len) { out += std::string("\0\0\0\1", 4) + d.substr(at, len); };
    const auto be = [&](size_t at, int bytes) {
        size_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | uint8_t(d[at + i]);
        return v;
    };
    int keysSeen = 0;
    for (const Tag& t : Tags(d)) {
        if (t.type != 9 || !Flv_HasPacketType(9, t.layout.codec)) continue;
        if (t.layout.packetType == 1) {
            keysSeen += ((uint8_t(d[t.data]) >> 4) & 7) == 1;
            if (keysSeen <= skipKeys) continue;
        }
        const size_t begin = t.data + t.layout.payloadOffset, end = begin + t.layout.payloadSize;
        if (t.layout.codec == TagioFourccAv1) {   // the setup's OBUs within the first temporal unit
            if (t.layout.packetType == 0 && !haveSetup) av1Setup = d.substr(begin + 4, end - begin - 4);
            if (t.layout.packetType == 1) out += std::string("\x12\0", 2) + av1Setup + d.substr(begin, end - begin);
            if (t.layout.packetType == 1) av1Setup.clear();
            haveSetup = haveSetup || t.layout.packetType == 0;
            continue;
        }
        if (t.layout.packetType == 0 && !haveSetup) {
            haveSetup = true;
            size_t at = begin + 23;
            for (size_t arrays = uint8_t(d[begin + 22]); arrays-- > 0 && at + 3 <= end;) {
                size_t count = be(at + 1, 2);
                for (at += 3; count-- > 0 && at + 2 <= end; at += 2 + be(at, 2)) nal(at + 2, be(at, 2));
            }
        } else if (t.layout.packetType == 1) {
            for (size_t at = begin; at + 4 <= end; at += 4 + be(at, 4)) nal(at + 4, be(at, 4));
        }
    }
    return out;
}

// Every picture of a video file (decoded by ffmpeg, in the order shown) as
// BGRA; input: options for the input, e.g. its format.
std::vector<std::vector<uint8_t>> Pictures(const std::string& path, const std::string& input = "") {
    const std::string raw = Shell("ffmpeg -v error " + input + " -i '" + path +
                                  "' -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt bgra - 2>/dev/null");
    const size_t size = 160 * 120 * 4;
    std::vector<std::vector<uint8_t>> out;
    for (size_t at = 0; at + size <= raw.size(); at += size) out.emplace_back(raw.begin() + at, raw.begin() + at + size);
    return out;
}

// The pictures of a join of A, B, A, against ffmpeg's decoding of the sources.
void ExpectPicturesOfJoin(const std::vector<std::vector<uint8_t>>& got, const SetupPair& pair) {
    std::vector<std::vector<uint8_t>> want;
    for (int source : {0, 1, 0})
        for (auto& p : Pictures(Codecs(pair.source[source]))) want.push_back(std::move(p));
    ASSERT_EQ(got.size(), want.size()) << "every picture of the three clips";
    double worst = 99;
    size_t at = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        const double psnr = Psnr(got[i], want[i]);
        if (psnr < worst) {
            worst = psnr;
            at = i;
        }
    }
    EXPECT_GE(worst, 45.0) << "picture " << at;
}

class CodecSetupChange : public ::testing::TestWithParam<SetupPair> {};

}  // namespace

// Coded again into MP4 (H.264 + AAC): the pictures are the source's (the
// output's 20th picture is one of the source's pictures about then, not a
// black or broken one), and ffmpeg decodes it all without a word.
TEST_P(CodecFormJobs, ConvertedToAnOutputThatCodesAgain) {
    ASSERT_TRUE(HaveTool("ffprobe"));
    const Form& f = GetParam();
    TempDir dir;
    CFLVSequence seq;
    Append(seq, Clip(f));
    const std::string out = dir.File("out.mp4");
    const JobResult r = Convert(Settings("mp4", "mp4", 28, 86018, 160, 120), seq, out);
    ASSERT_EQ(r.code, CPvx::kDone) << r.text;
    EXPECT_EQ(Probe(out, "v:0", "stream=codec_name"), "h264");
    EXPECT_EQ(Probe(out, "a:0", "stream=codec_name"), "aac");
    EXPECT_NEAR(ProbeDuration(out, ""), 1.64, 0.1);
    EXPECT_EQ(DecodeErrors(out), "");
    const std::vector<uint8_t> got = DecodeFrame(out, 20, 160, 120);
    double best = 0;
    for (int n = 16; n <= 24; ++n) best = std::max(best, Psnr(got, DecodeFrame(Codecs(f.source), n, 160, 120)));
    EXPECT_GE(best, 28.0);
}

// Two whole copies joined into one FLV: the setups written once, every
// picture kept, the header form of the input kept (the extended one only
// when the input has it), and the result decodes to the last picture.
TEST_P(CodecFormJobs, JoinedLosslessly) {
    const Form& f = GetParam();
    TempDir dir;
    const std::string in = Codecs(f.flv), out = dir.File("joined.flv");
    CFlvBindProgress job;
    const TFlvBindResult r = CFlvBind::Run({{in, 0, kLengthMs}, {in, 0, kLengthMs}}, out, true, true, job);
    ASSERT_EQ(r.code, CFlvBind::kDone) << r.text;
    const std::vector<Tag> source = Tags(ReadAll(in)), joined = Tags(ReadAll(out));
    auto count = [](const std::vector<Tag>& tags, uint32_t type, uint32_t packet) {
        return std::count_if(tags.begin(), tags.end(), [&](const Tag& t) {
            return t.type == type && t.layout.packetType == packet && Flv_HasPacketType(type, t.layout.codec);
        });
    };
    EXPECT_EQ(count(joined, 9, 0), 1);
    EXPECT_EQ(count(joined, 8, 0), count(source, 8, 0));   // once, or never for AC-3 and E-AC-3
    EXPECT_EQ(count(joined, 9, 1), 2 * count(source, 9, 1));
    EXPECT_EQ(count(joined, 8, 1), 2 * count(source, 8, 1));
    for (uint32_t type : {8u, 9u}) {
        const auto first = [&](const std::vector<Tag>& tags) {
            for (const Tag& t : tags)
                if (t.type == type) return t.layout.extended;
            return 2u;
        };
        EXPECT_EQ(first(joined), first(source)) << "type " << type;
    }
    // Every picture of the join decodes; a reordering decoder holds its
    // last pictures back until the end.
    EXPECT_GE(OwnDecoding(out), 2 * count(source, 9, 1) - 4);
}

// Copied into MP4 and MKV without coding again: ffprobe names the codecs,
// the copy holds every picture and sound block, and ffmpeg decodes it
// without a word. FLAC is refused by MP4 with a reason.
TEST_P(CodecFormJobs, CopiedIntoMp4AndMkv) {
    ASSERT_TRUE(HaveTool("ffprobe"));
    const Form& f = GetParam();
    const std::string in = Codecs(f.flv);
    for (const char* format : {"mp4remux", "mkvremux"}) {
        SCOPED_TRACE(format);
        const bool mp4 = std::string(format) == "mp4remux";
        const char* ext = mp4 ? "mp4" : "mkv";
        TempDir dir;
        CFLVSequence seq;
        Append(seq, Clip(f));
        const std::string out = dir.File(std::string("out.") + ext);
        const JobResult r = Convert(Settings(format, ext, 28, 86018), seq, out);
        if (mp4 && !f.mp4) {
            EXPECT_EQ(r.code, CPvx::kNotCopyable);
            EXPECT_NE(r.text.find("FLAC sound cannot be stored in MP4"), std::string::npos) << r.text;
            continue;
        }
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        EXPECT_EQ(Probe(out, "v:0", "stream=codec_name"), f.videoName);
        EXPECT_EQ(Probe(out, "a:0", "stream=codec_name"), f.audioName);
        EXPECT_EQ(Probe(out, "v:0", "stream=width"), "160");
        EXPECT_EQ(Probe(out, "v:0", "stream=height"), "120");
        if (mp4 && std::string(f.videoName) == "hevc") {
            EXPECT_EQ(Probe(out, "v:0", "stream=codec_tag_string"), "hvc1");
        }
        EXPECT_EQ(Count(out, "v:0", "packets"), Count(Codecs(f.source), "v:0", "packets"));
        EXPECT_EQ(Count(out, "a:0", "packets"), Count(Codecs(f.source), "a:0", "packets"));
        EXPECT_EQ(DecodeErrors(out), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CodecFormJobs, ::testing::ValuesIn(kForms),
                         [](const ::testing::TestParamInfo<Form>& p) {
                             const std::string name = p.param.flv;
                             return name.substr(0, name.find('_'));
                         });

// A, B, A joined into one FLV, B's setup other than A's: each setup is
// written where it changes (three times), and a parser that keeps only the
// first one still decodes every picture: the changed HEVC parameter sets
// also come in band with the next key picture, and AV1's key frames carry
// their sequence header.
TEST_P(CodecSetupChange, JoinedLosslesslyWithTheNewSetupInBand) {
    ASSERT_TRUE(HaveTool("ffmpeg"));
    const SetupPair& pair = GetParam();
    TempDir dir;
    const std::string a = Codecs(pair.flv[0]), b = Codecs(pair.flv[1]), out = dir.File("joined.flv");
    CFlvBindProgress job;
    const TFlvBindResult r =
        CFlvBind::Run({{a, 0, kLengthMs}, {b, 0, kLengthMs}, {a, 0, kLengthMs}}, out, true, true, job);
    ASSERT_EQ(r.code, CFlvBind::kDone) << r.text;
    size_t setups = 0;
    for (const Tag& t : Tags(ReadAll(out))) setups += t.type == 9 && t.layout.packetType == 0;
    EXPECT_EQ(setups, 3u) << "A, B, and A again";
    EXPECT_GE(OwnDecoding(out), 3 * 40 - 4) << "our own reading of the join";
    const std::string stream = dir.File("joined.video");
    std::ofstream(stream, std::ios::binary) << Elementary(out);
    const std::string format = std::string(pair.name) == "av01" ? "-f obu" : "-f hevc";
    EXPECT_EQ(Shell("ffmpeg -v error " + format + " -i '" + stream + "' -f null - 2>&1"), "");
    ExpectPicturesOfJoin(Pictures(stream, format), pair);
    // A seek to the second clip's second key picture (1 s into it; A and B
    // have two each) finds its own parameter sets there too.
    std::ofstream(stream, std::ios::binary | std::ios::trunc) << Elementary(out, 3);
    const std::vector<std::vector<uint8_t>> sourceB = Pictures(Codecs(pair.source[1]));
    const std::vector<std::vector<uint8_t>> seek = Pictures(stream, format);
    ASSERT_GE(sourceB.size(), 26u);
    ASSERT_FALSE(seek.empty());
    EXPECT_GE(Psnr(seek[0], sourceB[25]), 45.0) << "the picture the seek lands on";
}

// The same sequence copied into MP4 and MKV: one sample description (the
// first clip's setup), the others' HEVC parameter sets in band, so MP4 names
// the stream hev1; every picture decodes without a word.
TEST_P(CodecSetupChange, CopiedIntoMp4AndMkvWithTheNewSetupInBand) {
    ASSERT_TRUE(HaveTool("ffprobe"));
    const SetupPair& pair = GetParam();
    for (const char* format : {"mp4remux", "mkvremux"}) {
        SCOPED_TRACE(format);
        const bool mp4 = std::string(format) == "mp4remux";
        if (mp4 && !pair.mp4) continue;
        TempDir dir;
        CFLVSequence seq;
        for (int clip : {0, 1, 0}) Append(seq, FlvClip(std::string("codecs/") + pair.flv[clip], 0, kLengthMs));
        const std::string out = dir.File(mp4 ? "out.mp4" : "out.mkv");
        const JobResult r = Convert(Settings(format, mp4 ? "mp4" : "mkv", 28, 86018), seq, out);
        ASSERT_EQ(r.code, CPvx::kDone) << r.text;
        EXPECT_EQ(Probe(out, "v:0", "stream=codec_name"), pair.mp4 ? "hevc" : "av1");
        if (mp4) {
            EXPECT_EQ(Probe(out, "v:0", "stream=codec_tag_string"), "hev1");
        }
        EXPECT_EQ(DecodeErrors(out), "");
        ExpectPicturesOfJoin(Pictures(out), pair);
        // A seek to the second clip's second key picture (1 s into it) finds
        // its own parameter sets there too, not only at its start.
        const std::vector<std::vector<uint8_t>> b = Pictures(Codecs(pair.source[1]));
        const std::vector<std::vector<uint8_t>> seek = Pictures(out, "-noaccurate_seek -ss " + std::to_string((kLengthMs + 1020) / 1000.0));
        ASSERT_GE(b.size(), 26u);
        ASSERT_FALSE(seek.empty());
        EXPECT_GE(Psnr(seek[0], b[25]), 45.0) << "the picture the seek lands on";
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, CodecSetupChange, ::testing::ValuesIn(kSetupPairs),
                         [](const ::testing::TestParamInfo<SetupPair>& p) { return std::string(p.param.name); });
