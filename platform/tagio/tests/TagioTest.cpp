// The file reader's positions and the audio block durations.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#include "tagio/tagio.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

TEST(FileReadAble, ReadsSeeksAndRefusesWhatItCannotOpen) {
    TagioFileReadAble* f = CreateFileReadAble(Fixture("flv1_mp3_160x120.flv").c_str());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FileReadAble_GetSize(f), 42244);
    char sig[3];
    EXPECT_EQ(FileReadAble_Read(f, sig, 3), 3);
    EXPECT_EQ(std::string(sig, 3), "FLV");
    EXPECT_EQ(FileReadAble_GetPosition(f), 3);
    EXPECT_EQ(FileReadAble_Seek(f, 2, 1), 5);
    EXPECT_EQ(FileReadAble_Seek(f, -4, 2), 42240);
    char tail[8];
    EXPECT_EQ(FileReadAble_Read(f, tail, 8), 4) << "a short read only at the end";
    EXPECT_EQ(FileReadAble_Read(f, tail, 8), 0);
    EXPECT_EQ(FileReadAble_Seek(f, -1, 0), -1);
    EXPECT_EQ(FileReadAble_Seek(f, 0, 3), -1);
    EXPECT_EQ(FileReadAble_GetPosition(f), 42244) << "a refused seek leaves the position";
    EXPECT_EQ(FileReadAble_ReadAt(f, 0, sig, 3), 3);
    EXPECT_EQ(FileReadAble_GetPosition(f), 42244) << "ReadAt leaves the position";
    DeleteFileReadAble(f);

    EXPECT_EQ(CreateFileReadAble(Fixture("no_such_file.flv").c_str()), nullptr);
    EXPECT_EQ(CreateFileReadAble(VELTRANO_FIXTURES_DIR), nullptr) << "a folder is not a file";
    EXPECT_EQ(CreateFileReadAble(""), nullptr);
}

TEST(FileReadAble, PositionsBeyondFourGibibytes) {
    char path[] = "/tmp/tagio-sparse-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const int64_t far = (int64_t(5) << 30) + 123;   // 5 GiB: sparse, costs no disk
    ASSERT_EQ(ftruncate(fd, far + 1), 0);
    ASSERT_EQ(pwrite(fd, "Z", 1, far), 1);
    close(fd);
    TagioFileReadAble* f = CreateFileReadAble(path);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FileReadAble_GetSize(f), far + 1);
    EXPECT_EQ(FileReadAble_Seek(f, far, 0), far);
    char c = 0;
    EXPECT_EQ(FileReadAble_Read(f, &c, 1), 1);
    EXPECT_EQ(c, 'Z');
    DeleteFileReadAble(f);
    unlink(path);
}

// Sum of every audio block's duration in a fixture, in seconds.
double TrackSeconds(const char* name, int* blocksUnknown) {
    std::ifstream in(Fixture(name), std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(in)), {});
    static const int kRates[4] = {5512, 11025, 22050, 44100};
    int64_t units = 0;
    *blocksUnknown = 0;
    size_t pos = 13;
    while (pos + 11 <= d.size()) {
        const size_t size = d[pos + 1] << 16 | d[pos + 2] << 8 | d[pos + 3];
        if (d[pos] == 8 && size > 1) {
            const uint8_t b = d[pos + 11];
            const int format = b >> 4;
            const int rate = format == 5 ? 8000 : kRates[(b >> 2) & 3];
            const int64_t u = CalcFLVAudioBlockDuration(&d[pos + 12], uint32_t(size - 1), format,
                                                        rate, (b >> 1 & 1) + 1, (b & 1) + 1);
            if (u < 0) ++*blocksUnknown; else units += u;
        }
        pos += 15 + size;
    }
    return units / 1e7;
}

TEST(AudioBlockDuration, TracksOfEveryFixtureCodecAddUpToTheirLength) {
    // Decoded sample counts from ffprobe -show_frames, divided by the rate.
    struct Case { const char* file; double seconds; } cases[] = {
        {"flv1_mp3_320x240.flv", 3.0563}, {"flv1_adpcm_160x120.flv", 3.1579},
        {"flv1_nelly_160x120.flv", 3.0186}, {"flv1_nelly8k_160x120.flv", 2.016},
        {"flv1_pcm16_160x120.flv", 2.0}, {"mp3_audio_only.flv", 3.0302},
        {"h264_aac_160x120.flv", 3.0418}};
    for (const auto& c : cases) {
        int unknown = 0;
        EXPECT_NEAR(TrackSeconds(c.file, &unknown), c.seconds, 0.002) << c.file;
        EXPECT_EQ(unknown, 0) << c.file;
    }
}

TEST(AudioBlockDuration, TellsWhatItCannotKnow) {
    const uint8_t mp3Junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const uint8_t aacConfig[3] = {0, 0x12, 0x10}, aacRaw[3] = {1, 0x21, 0x00};
    const uint8_t pcm[400] = {};
    struct Case { const uint8_t* d; uint32_t n; int fmt, rate, bps, ch; int64_t want; } cases[] = {
        {pcm, 400, 3, 10000, 2, 2, 100 * 10000 / 10000 * 1000},   // 100 samples at 10 kHz = 10 ms
        {pcm, 400, 0, 10000, 1, 1, 400 * 1000},                   // 8-bit mono: 400 samples
        {mp3Junk, 8, 2, 44100, 2, 2, -1},
        {aacConfig, 3, 10, 44100, 2, 2, 0},
        {aacRaw, 3, 10, 44100, 2, 2, 1024 * 10000000LL / 44100},
        {pcm, 400, 11, 16000, 2, 1, -1},   // Speex
        {pcm, 400, 15, 44100, 2, 1, -1},
        {pcm, 0, 3, 44100, 2, 1, -1},
        {nullptr, 10, 3, 44100, 2, 1, -1},
        {pcm, 400, 3, 0, 2, 1, -1},
        {pcm, 400, 3, 44100, 2, 0, -1},
        {pcm, 40, 6, 22050, 2, 1, -1},     // less than one Nellymoser block
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        EXPECT_EQ(CalcFLVAudioBlockDuration(c.d, c.n, c.fmt, c.rate, c.bps, c.ch), c.want) << i;
    }
}

// The data of the first tag of a type in a fixture.
std::vector<uint8_t> FirstTagData(const char* name, uint8_t type) {
    std::ifstream in(Fixture(name), std::ios::binary);
    const std::vector<uint8_t> f{std::istreambuf_iterator<char>(in), {}};
    for (size_t pos = 13; pos + 11 <= f.size();) {
        const size_t size = size_t(f[pos + 1]) << 16 | size_t(f[pos + 2]) << 8 | f[pos + 3];
        if (f[pos] == type) return {f.begin() + long(pos) + 11, f.begin() + long(pos + 11 + size)};
        pos += 15 + size;
    }
    return {};
}

// The setups of the H.264 + AAC fixtures, as ffprobe describes the streams;
// an AVC record cut anywhere, or an AudioSpecificConfig cut before its
// channels, is refused rather than read past its end.
TEST(CodecSetup, ReadsWhatTheSetupsDeclareAndRefusesCutOnes) {
    const std::vector<uint8_t> avc = FirstTagData("h264_aac_bf2_160x120.flv", 9);
    TagioCodecSetup s{};
    ASSERT_EQ(Flv_ReadCodecSetup(9, avc.data(), uint32_t(avc.size()), &s), 1);
    EXPECT_EQ(s.codec, 7);
    EXPECT_EQ(s.width, 160);
    EXPECT_EQ(s.height, 120);
    EXPECT_EQ(s.profile, 100);   // High
    EXPECT_EQ(s.level, 11);
    EXPECT_EQ(s.chromaFormat, 1);
    EXPECT_EQ(s.bitDepth, 8);
    // Up to the end of its picture parameter set; the four bytes after it
    // (High profile's chroma and depth fields) repeat what the SPS says.
    ASSERT_EQ(avc.size(), 50u);
    for (uint32_t n = 0; n < 46; ++n) {
        std::vector<uint8_t> cut(avc.begin(), avc.begin() + n);   // exactly n bytes: overreads show
        EXPECT_EQ(Flv_ReadCodecSetup(9, cut.data(), n, &s), 0) << n;
        EXPECT_EQ(s.codec, 0);
    }
    EXPECT_EQ(Flv_ReadCodecSetup(8, avc.data(), uint32_t(avc.size()), &s), 0) << "not an audio tag";

    struct AacCase { const char* file; int rate; } aac[] = {
        {"h264_aac_bf2_160x120.flv", 44100}, {"h264_aac22k_bf2_160x120.flv", 22050}};
    for (const auto& c : aac) {
        const std::vector<uint8_t> d = FirstTagData(c.file, 8);
        ASSERT_EQ(Flv_ReadCodecSetup(8, d.data(), uint32_t(d.size()), &s), 1) << c.file;
        EXPECT_EQ(s.codec, 10);
        EXPECT_EQ(s.profile, 2);   // AAC LC
        EXPECT_EQ(s.sampleRate, c.rate);
        EXPECT_EQ(s.channels, 2);
        for (uint32_t n = 0; n < 4; ++n) {
            std::vector<uint8_t> cut(d.begin(), d.begin() + n);
            EXPECT_EQ(Flv_ReadCodecSetup(8, cut.data(), n, &s), 0) << n;
        }
    }
    const uint8_t aacFrame[] = {0xAF, 0x01, 0x12, 0x10};
    EXPECT_EQ(Flv_ReadCodecSetup(8, aacFrame, 4, &s), 0) << "a frame is no setup";
    const uint8_t badRate[] = {0xAF, 0x00, 0x17, 0x90};   // rate index 14 is reserved
    EXPECT_EQ(Flv_ReadCodecSetup(8, badRate, 4, &s), 0);
    EXPECT_EQ(Flv_ReadCodecSetup(9, nullptr, 10, &s), 0);
}

}  // namespace
