// Decoding the audio of each fixture, resampling, and the codec table.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "avkit/avkit.h"

extern "C" {
#include <libavcodec/codec_id.h>
}

namespace {

struct AudioBlock {
    std::vector<uint8_t> bytes;   // sound data, without the format byte
    int soundFormat, rateIndex, stereo;
};

// Just enough FLV walking for tests: the sound data of every audio tag.
std::vector<AudioBlock> AudioBlocks(const std::string& name) {
    std::ifstream f(std::string(VELTRANO_FIXTURES_DIR) + "/" + name, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), {});
    std::vector<AudioBlock> out;
    size_t pos = ((size_t)d[5] << 24 | d[6] << 16 | d[7] << 8 | d[8]) + 4;
    while (pos + 11 <= d.size()) {
        const size_t size = d[pos + 1] << 16 | d[pos + 2] << 8 | d[pos + 3];
        if (pos + 15 + size > d.size()) break;
        if (d[pos] == 8 && size > 1) {
            const uint8_t b = d[pos + 11];
            out.push_back({{d.begin() + pos + 12, d.begin() + pos + 11 + size}, b >> 4,
                           (b >> 2) & 3, b & 1});
        }
        pos += 15 + size;
    }
    return out;
}

struct DecodeCase {
    const char* file;
    int format;          // avkit identifier
    int declaredRate;    // what the container says
    int rate, channels;  // what ffprobe reports
    double seconds;      // audio length, roughly
};

class DecodeFixture : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeFixture, DecodesWholeTrackToPcmOfTheStreamFormat) {
    const DecodeCase& c = GetParam();
    const auto blocks = AudioBlocks(c.file);
    ASSERT_FALSE(blocks.empty());
    AvkAudioDecoder* d = ADD_Create();
    ASSERT_EQ(ADD_Open(d, c.format), 1);
    int64_t samples = 0;
    double energy = 0;
    for (const auto& b : blocks) {
        const uint8_t* pcm = nullptr;
        int size = 0, rate = c.declaredRate, channels = c.format == 86054 ? 1 : b.stereo + 1;
        const uint8_t* in = b.bytes.data();
        int inSize = (int)b.bytes.size();
        if (b.soundFormat == 10) {   // AAC: a packet type, then the setup or a raw frame
            ++in;
            --inSize;
            if (b.bytes[0] == 0) {
                ASSERT_NE(ADD_SetCodecConfig(d, in, inSize), 0);
                continue;
            }
        }
        ASSERT_NE(ADD_Decode(d, in, inSize, &pcm, &size, &rate, &channels), 0);
        if (size == 0) continue;
        EXPECT_EQ(rate, c.rate);
        EXPECT_EQ(channels, c.channels);
        samples += size / (2 * channels);
        const auto* s = reinterpret_cast<const int16_t*>(pcm);
        for (int i = 0; i < size / 2; ++i) energy += std::abs(s[i]);
    }
    const uint8_t* pcm = nullptr;
    int size = 0, rate = 0, channels = 0;
    EXPECT_NE(ADD_Decode(d, nullptr, 0, &pcm, &size, &rate, &channels), 0);
    samples += size / (2 * c.channels);
    EXPECT_NEAR(double(samples) / c.rate, c.seconds, 0.12);
    EXPECT_GT(energy / samples, 100.0) << "the sine tone must come out, not silence";
    ADD_Close(d);
    ADD_Delete(d);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DecodeFixture,
    testing::Values(DecodeCase{"flv1_mp3_320x240.flv", 86017, 22050, 22050, 2, 3.0},
                    DecodeCase{"flv1_adpcm_160x120.flv", 69645, 22050, 22050, 1, 3.158},
                    DecodeCase{"flv1_nelly_160x120.flv", 71680, 22050, 22050, 1, 3.0},
                    DecodeCase{"flv1_nelly8k_160x120.flv", 71680, 8000, 8000, 1, 2.0},
                    DecodeCase{"flv1_pcm16_160x120.flv", 65536, 11025, 11025, 1, 2.0},
                    DecodeCase{"mp3_audio_only.flv", 86017, 44100, 44100, 1, 3.0},
                    // AAC from its setup (the FLV fields always claim 44100 Hz
                    // stereo), so the 22050 Hz stream decodes at 22050 Hz.
                    DecodeCase{"h264_aac_bf2_160x120.flv", 86018, 44100, 44100, 2, 3.0},
                    DecodeCase{"h264_aac22k_bf2_160x120.flv", 86018, 44100, 22050, 2, 2.0},
                    DecodeCase{"flashsv_speex_160x120.flv", 86054, 16000, 16000, 1, 2.0}));

// AAC decodes with the setup its stream sends; a damaged setup makes every
// frame an error, never a crash, and the right one afterwards decodes again.
TEST(AudioDecoder, AacDecodesWithItsSetupAndRefusesDamagedOnes) {
    const auto blocks = AudioBlocks("h264_aac_bf2_160x120.flv");
    ASSERT_GE(blocks.size(), 3u);
    ASSERT_EQ(blocks[0].bytes[0], 0) << "the first audio tag is the setup";
    const std::vector<uint8_t> setup(blocks[0].bytes.begin() + 1, blocks[0].bytes.end());
    const std::vector<uint8_t> frame(blocks[2].bytes.begin() + 1, blocks[2].bytes.end());
    AvkAudioDecoder* d = ADD_Create();
    ASSERT_EQ(ADD_Open(d, 86018), 1);
    const uint8_t* pcm = nullptr;
    int size = 0, rate = 44100, channels = 2;
    const uint8_t bad[][2] = {{0x00, 0x00}, {0xF8, 0x00}, {0x17, 0x80}};   // no object type, cut, bad rate index
    for (const auto& b : bad) {
        ASSERT_NE(ADD_SetCodecConfig(d, b, 2), 0);
        EXPECT_EQ(ADD_Decode(d, frame.data(), int(frame.size()), &pcm, &size, &rate, &channels), 0);
    }
    EXPECT_EQ(ADD_SetCodecConfig(d, nullptr, 3), 0);
    ASSERT_NE(ADD_SetCodecConfig(d, setup.data(), int(setup.size())), 0);
    for (int i = 0; i < 3; ++i)   // the first frames may only fill the decoder's delay
        ASSERT_NE(ADD_Decode(d, frame.data(), int(frame.size()), &pcm, &size, &rate, &channels), 0);
    EXPECT_EQ(size, 1024 * 2 * 2);
    EXPECT_EQ(rate, 44100);
    ADD_Delete(d);
}

TEST(AudioDecoder, RefusesUnknownFormatsAndSurvivesGarbage) {
    AvkAudioDecoder* d = ADD_Create();
    EXPECT_EQ(ADD_Open(d, 12345), 0);
    EXPECT_EQ(ADD_Open(d, 22), 0) << "a video codec is not an audio format";
    const uint8_t* pcm = nullptr;
    int size = 0, rate = 0, channels = 0;
    EXPECT_EQ(ADD_Decode(d, (const uint8_t*)"x", 1, &pcm, &size, &rate, &channels), 0)
        << "decoding before a successful open fails";
    ASSERT_EQ(ADD_Open(d, 86017), 1);
    std::vector<uint8_t> junk(700);
    for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t(i * 37);
    rate = 22050;
    channels = 2;
    ADD_Decode(d, junk.data(), (int)junk.size(), &pcm, &size, &rate, &channels);   // any result, no crash
    ADD_Delete(d);
}

TEST(Resampler, ConvertsRateAndChannelsWithinTheAnnouncedBufferSize) {
    AvkResampler* r = ARes_Create(44100, 1);
    ASSERT_NE(r, nullptr);
    // One second of a 22050 Hz stereo tone in ten blocks.
    std::vector<int16_t> block(2205 * 2);
    int64_t outSamples = 0;
    std::vector<uint8_t> out;
    for (int k = 0; k < 10; ++k) {
        for (int i = 0; i < 2205; ++i)
            block[2 * i] = block[2 * i + 1] =
                int16_t(8000 * std::sin(2 * M_PI * 440 * (k * 2205 + i) / 22050.0));
        const int inBytes = int(block.size() * 2);
        const int bound = ARes_GetOutBufferSize(r, 22050, 2, inBytes);
        ASSERT_GE(bound, 4410 * 2);
        out.resize(bound);
        int n = bound;
        ASSERT_EQ(ARes_Convert(r, (const uint8_t*)block.data(), inBytes, 22050, 2, out.data(), &n), 1);
        ASSERT_LE(n, bound);
        outSamples += n / 2;
    }
    EXPECT_NEAR(double(outSamples), 44100.0, 64.0) << "only the filter delay may be held back";
    EXPECT_EQ(ARes_Create(0, 2), nullptr);
    int n = 100;
    EXPECT_EQ(ARes_Convert(r, (const uint8_t*)block.data(), 4, 0, 2, out.data(), &n), 0);
    ARes_Free(r);
}

TEST(CodecTable, MapsTheClassicNumbersBothWays) {
    struct Row { int id; AVCodecID ff; } rows[] = {
        {22, AV_CODEC_ID_FLV1}, {94, AV_CODEC_ID_VP6}, {28, AV_CODEC_ID_H264},
        {65536, AV_CODEC_ID_PCM_S16LE}, {69645, AV_CODEC_ID_ADPCM_SWF},
        {86017, AV_CODEC_ID_MP3}, {71680, AV_CODEC_ID_NELLYMOSER}, {86018, AV_CODEC_ID_AAC},
        {86054, AV_CODEC_ID_SPEEX}};
    for (const auto& r : rows) {
        EXPECT_EQ(AvkCodec_ToFFmpeg(r.id), (int)r.ff) << r.id;
        EXPECT_EQ(AvkCodec_FromFFmpeg((int)r.ff), r.id) << r.id;
    }
    EXPECT_EQ(AvkCodec_ToFFmpeg(65540), (int)AV_CODEC_ID_PCM_U8) << "FLV 8-bit PCM is unsigned";
    EXPECT_EQ(AvkCodec_ToFFmpeg(-1), 0);
    EXPECT_EQ(AvkCodec_FromFFmpeg((int)AV_CODEC_ID_PRORES), -1);
    EXPECT_STREQ(AvkCodec_EncoderName(86017), "libmp3lame");
    EXPECT_EQ(AvkCodec_EncoderName(94), nullptr);
}

}  // namespace
