// FLV files of today's codecs, in every header form (tests/fixtures/codecs,
// made by make-codecs.py from the src_*.mp4 beside them): what the reader
// says of them, and their pictures and sound against ffmpeg's decoding of
// the MP4 they were wrapped from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "DecodeSupport.h"
#include "tagio/tagio.h"

namespace {

struct Form {
    const char* flv;
    const char* source;
    uint32_t videoCodec;
    uint32_t audioFormat;
    int sampleRate;
    int channels;
    uint32_t videoTracks;   // tracks in each video tag
};

const Form kForms[] = {
    {"hevc12_aac_160x120.flv", "src_hevc_aac.mp4", TagioCodecHevc, 10, 44100, 2, 1},
    {"hvc1_opus_160x120.flv", "src_hevc_opus.mp4", TagioFourccHevc, TagioFourccOpus, 48000, 2, 1},
    {"av01_flac_160x120.flv", "src_av1_flac.mp4", TagioFourccAv1, TagioFourccFlac, 44100, 2, 1},
    {"vp09_ac3_160x120.flv", "src_vp9_ac3.mp4", TagioFourccVp9, TagioFourccAc3, 48000, 2, 1},
    {"multitrack_hvc1_eac3_160x120.flv", "src_hevc_eac3.mp4", TagioFourccHevc, TagioFourccEac3, 48000, 2, 2},
};

std::string Codecs(const std::string& name) { return Fixture("codecs/" + name); }

class CodecForms : public ::testing::TestWithParam<Form> {};

// Every decoded sample of the file's sound, tag by tag on the caller's thread.
std::vector<uint8_t> DecodeAllSound(const std::string& path, int rate, int channels) {
    std::vector<FLVTag*> tags = ReadOwnedTags(path, 8);
    FLVStreamDecoderHandle d = FLVStreamDecoder_Create(0);
    FLVStreamDecoder_SetSampleRate(d, rate);
    FLVStreamDecoder_SetNumberOfChannels(d, channels);
    FLVStreamDecoder_SetDecodeSyncMode(d, 1);
    std::vector<uint8_t> pcm;
    for (FLVTag* t : tags) {
        const uint8_t* out = nullptr;
        int32_t size = 0;
        if (FLVStreamDecoder_DecodeFLVTag(d, t, &out, &size) && out) pcm.insert(pcm.end(), out, out + size);
    }
    const uint8_t* out = nullptr;
    int32_t size = 0;
    if (FLVStreamDecoder_DecodeFLVTag(d, nullptr, &out, &size) && out) pcm.insert(pcm.end(), out, out + size);
    FLVStreamDecoder_Delete(d);
    FreeTags(tags);
    return pcm;
}

int Sample(const std::vector<uint8_t>& v, size_t i) { return int16_t(v[2 * i] | v[2 * i + 1] << 8); }

}  // namespace

// Size, rate, codecs and duration, as the reader indexes the file; a
// multitrack tag counts its tracks and describes the first.
TEST_P(CodecForms, Examined) {
    const Form& f = GetParam();
    OpenedReader reader(Codecs(f.flv));
    ASSERT_TRUE(reader.opened);
    FLVInfo info{};
    ASSERT_EQ(FLVAVTagReader_GetFLVInfoEx(reader.r, &info), 1);
    EXPECT_EQ(uint32_t(info.videoCodec), f.videoCodec);
    EXPECT_EQ(uint32_t(info.audioFormat), f.audioFormat);
    EXPECT_EQ(info.width, 160);
    EXPECT_EQ(info.height, 120);
    EXPECT_NEAR(info.frameRate, 25.0, 0.01);
    EXPECT_EQ(info.sampleRate, f.sampleRate);
    EXPECT_EQ(info.channels, f.channels);
    uint32_t audioEnd = 0, videoEnd = 0;
    FLVAVTagReader_GetDuration(reader.r, &audioEnd, &videoEnd);
    EXPECT_NEAR(double(std::max(audioEnd, videoEnd)), 1600.0 + 80.0, 90.0);
    std::vector<FLVTag*> video = ReadOwnedTags(Codecs(f.flv), 9);
    ASSERT_FALSE(video.empty());
    int keys = 0;
    for (FLVTag* t : video) {
        EXPECT_EQ(t->codecField2, f.videoCodec);
        if (t->packetType == 1) {
            EXPECT_EQ(t->trackCount, f.videoTracks);
            keys += t->codecField1 == 1;
        }
    }
    EXPECT_EQ(keys, 2);   // a key frame a second
    FreeTags(video);
    int32_t videoTracks = 0, audioTracks = 0;
    ASSERT_EQ(FLVAVTagReader_GetTrackCount(reader.r, &videoTracks, &audioTracks), 0);
    EXPECT_EQ(uint32_t(videoTracks), f.videoTracks);
    EXPECT_EQ(audioTracks, 1);
}

// Pictures in presentation order, equal to ffmpeg's decoding of the source
// (≥ 45 dB), at the times the source shows them.
TEST_P(CodecForms, PicturesMatchTheSource) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed";
    const Form& f = GetParam();
    const size_t frameBytes = 160 * 120 * 4;
    const std::vector<uint8_t> ref = FfmpegFrames(Codecs(f.source));
    const size_t pictures = ref.size() / frameBytes;
    ASSERT_EQ(pictures, 40u);
    // The source shows a picture every 40 ms; the FLV from its first
    // picture's time on (moved by the wrapping: the decode times of B-frames
    // start below 0 in the MP4).
    std::vector<FLVTag*> video = ReadOwnedTags(Codecs(f.flv), 9);
    int64_t first = INT64_MAX;
    for (FLVTag* t : video)
        if (t->packetType == 1) first = std::min<int64_t>(first, int64_t(t->timestamp) + t->compositionTime);
    FreeTags(video);

    OpenedReader reader(Codecs(f.flv));
    ASSERT_TRUE(reader.opened);
    VideoFrameReaderHandle v = VideoFrameReader_CreateEx(reader.r, 25.0, 1, 0);
    ASSERT_NE(v, nullptr);
    // Read in order, then again by jumps (each starts at a key frame and its
    // setup). Output frame n shows the picture whose time falls in its 40 ms.
    const int firstFrame = int((first + 39) / 40);
    std::vector<int> order;
    for (int n = 0; n < 39; ++n) order.push_back(firstFrame + n);
    for (int n : {30, 2, 17, 38, 26, 5}) order.push_back(firstFrame + n);
    for (int n : order) {
        uint32_t ts = 0, dur = 0;
        const uint8_t* p = VideoFrameReader_ReadFrameEx(v, n, &ts, &dur);
        ASSERT_NE(p, nullptr) << "frame " << n;
        const size_t j = std::min<size_t>(size_t((int64_t(n) * 40 - first + 39) / 40), pictures - 1);
        EXPECT_GE(Psnr(p, ref.data() + j * frameBytes, frameBytes), 45.0) << "frame " << n;
    }
    VideoFrameReader_Delete(v);
}

// Every sample within 1 LSB of ffmpeg's decoding of the source (with the
// encoder's priming kept, as the FLV keeps it).
TEST_P(CodecForms, SoundMatchesTheSource) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed";
    const Form& f = GetParam();
    const std::vector<uint8_t> ref = CommandOutput("ffmpeg -nostdin -v error -ignore_editlist 1 -i '" +
                                                   Codecs(f.source) + "' -vn -f s16le -");
    const std::vector<uint8_t> got = DecodeAllSound(Codecs(f.flv), f.sampleRate, f.channels);
    ASSERT_GT(ref.size(), 10000u);
    ASSERT_EQ(got.size(), ref.size());
    int maxDiff = 0;
    for (size_t i = 0; i < ref.size() / 2; ++i) maxDiff = std::max(maxDiff, std::abs(Sample(ref, i) - Sample(got, i)));
    EXPECT_LE(maxDiff, 1);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CodecForms, ::testing::ValuesIn(kForms),
                         [](const ::testing::TestParamInfo<Form>& p) {
                             std::string name = p.param.flv;
                             name = name.substr(0, name.find('_'));
                             return name;
                         });
