// Frame readers on opened files: pictures by frame number in any order, and
// the whole sound with the silence of its gaps and its short end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "DecodeSupport.h"

namespace {

// Reads the whole sound in blocks; the last block (result 0) counts too.
std::vector<uint8_t> ReadAllSound(FLVAVTagReaderHandle reader, int32_t block) {
    AudioFrameReaderHandle a = AudioFrameReader_Create(reader);
    std::vector<uint8_t> out;
    if (!a) return out;
    std::vector<uint8_t> buf(size_t(block), 0xEE);
    for (int i = 0; i < 100000; ++i) {
        const int r = AudioFrameReader_ReadFrame(a, buf.data(), block);
        out.insert(out.end(), buf.begin(), buf.end());
        if (r == 0) break;
    }
    AudioFrameReader_Delete(a);
    return out;
}

bool AllZero(const std::vector<uint8_t>& v, size_t from, size_t to) {
    return std::all_of(v.begin() + long(from), v.begin() + long(std::min(to, v.size())),
                       [](uint8_t b) { return b == 0; });
}

}  // namespace

// Frames read in order match ffmpeg's decode; the same frames read out of
// order (jumps back, far ahead, into the middle of a span) match those.
TEST(VideoFrameReader, FramesInAnyOrderMatchTheSequentialDecode) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed";
    const std::string path = Fixture("flv1_mp3_320x240.flv");
    OpenedReader reader(path);
    ASSERT_TRUE(reader.opened);
    const size_t frameBytes = 320 * 240 * 4;
    VideoFrameReaderHandle v = VideoFrameReader_CreateEx(reader.r, 25.0, 1, 0);
    ASSERT_NE(v, nullptr);
    const std::vector<uint8_t> ref = FfmpegFrames(path);
    ASSERT_EQ(ref.size(), 75 * frameBytes);

    // The video starts at 50 ms: frame 0 (0 ms) shows nothing yet, frame k
    // shows source frame k - 1 until the second half of its span.
    std::vector<std::vector<uint8_t>> seq;
    for (int k = 0; k < 77; ++k) {
        uint32_t ts = 0, dur = 0;
        const uint8_t* p = VideoFrameReader_ReadFrameEx(v, k, &ts, &dur);
        ASSERT_NE(p, nullptr);
        seq.emplace_back(p, p + frameBytes);
    }
    double worst = 99;
    for (int k = 2; k < 76; ++k)
        worst = std::min(worst, Psnr(seq[size_t(k)].data(), ref.data() + size_t(k - 1) * frameBytes, frameBytes));
    EXPECT_GE(worst, 45.0);
    EXPECT_TRUE(AllZero(seq[76], 0, frameBytes));   // the video ends at 3050 ms: blank

    for (int k : {70, 3, 40, 39, 74, 0, 12, 60, 13, 2, 75, 1}) {
        const uint8_t* p = VideoFrameReader_ReadFrame(v, k);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(std::memcmp(p, seq[size_t(k)].data(), frameBytes), 0) << "frame " << k;
    }
    VideoFrameReader_Delete(v);

    // The flipping reader gives the same pictures upside down.
    VideoFrameReaderHandle flipped = VideoFrameReader_Create(reader.r, 25.0, 1);
    const uint8_t* p = VideoFrameReader_ReadFrame(flipped, 30);
    ASSERT_NE(p, nullptr);
    for (int y = 0; y < 240; ++y)
        ASSERT_EQ(std::memcmp(p + size_t(y) * 1280, seq[30].data() + size_t(239 - y) * 1280, 1280), 0);
    VideoFrameReader_Delete(flipped);
    EXPECT_EQ(VideoFrameReader_ReadFrame(nullptr, 0), nullptr);
}

// H.264 with B-frames by frame number: the picture shown at each frame's
// time, as ffmpeg times its pictures, read in order, backwards and by jumps
// (each jump starts again at a key frame, whose setup comes along).
TEST(VideoFrameReader, H264FramesByNumberMatchPresentationOrder) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed";
    const std::string path = Fixture("h264_aac_bf2_160x120.flv");
    OpenedReader reader(path);
    ASSERT_TRUE(reader.opened);
    const size_t frameBytes = 160 * 120 * 4;
    const std::vector<uint8_t> ref = FfmpegFrames(path);
    const std::vector<int64_t> times = FfprobePictureTimes(path);
    ASSERT_EQ(ref.size(), times.size() * frameBytes);
    VideoFrameReaderHandle v = VideoFrameReader_CreateEx(reader.r, 25.0, 1, 0);
    ASSERT_NE(v, nullptr);
    auto expectFrame = [&](int k) {
        uint32_t ts = 0, dur = 0;
        const uint8_t* p = VideoFrameReader_ReadFrameEx(v, k, &ts, &dur);
        ASSERT_NE(p, nullptr);
        const size_t j = PictureAt(times, int64_t(k) * 40);
        EXPECT_GE(Psnr(p, ref.data() + j * frameBytes, frameBytes), 45.0) << "frame " << k;
        EXPECT_LE(ts, uint32_t(k * 40)) << "frame " << k;
        EXPECT_GT(ts + dur, uint32_t(k * 40)) << "frame " << k;
    };
    for (int k = 0; k < 77; ++k) expectFrame(k);
    for (int k : {70, 3, 40, 39, 26, 25, 24, 74, 0, 12, 60, 13, 2, 76, 1}) expectFrame(k);
    uint32_t ts = 0, dur = 0;
    const uint8_t* past = VideoFrameReader_ReadFrameEx(v, 77, &ts, &dur);   // 3080 ms: the end
    ASSERT_NE(past, nullptr);
    EXPECT_TRUE(AllZero(std::vector<uint8_t>(past, past + frameBytes), 0, frameBytes));
    VideoFrameReader_Delete(v);
}

// The whole sound, as ffmpeg decodes it, then zero bytes to the end of the block.
// AAC starts after its setup, with silence up to its first block (ffprobe:
// 57 ms, 34 ms), decoded at the rate its setup gives.
TEST(AudioFrameReader, DeliversTheWholeSound) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed";
    struct Case { const char* file; int startMs; } cases[] = {
        {"flv1_mp3_160x120.flv", 0}, {"flv1_adpcm_160x120.flv", 0}, {"mp3_audio_only.flv", 0},
        {"h264_aac_bf2_160x120.flv", 57}, {"h264_aac22k_bf2_160x120.flv", 34}};
    for (const auto& [file, startMs] : cases) {
        SCOPED_TRACE(file);
        OpenedReader reader(Fixture(file));
        ASSERT_TRUE(reader.opened);
        FLVInfo info{};
        FLVAVTagReader_GetFLVInfoEx(reader.r, &info);
        const std::vector<uint8_t> ref = FfmpegPcm(Fixture(file), info.sampleRate, info.channels);
        std::vector<uint8_t> got = ReadAllSound(reader.r, 4096);
        const size_t lead = size_t(int64_t(info.sampleRate) * startMs / 1000) * 2 * size_t(info.channels);
        ASSERT_GT(got.size(), lead);
        EXPECT_TRUE(AllZero(got, 0, lead));
        got.erase(got.begin(), got.begin() + long(lead));
        ASSERT_GE(got.size(), ref.size() - 4608u * 2 * info.channels);
        const size_t n = std::min(ref.size(), got.size());
        int maxDiff = 0;
        for (size_t i = 0; i + 1 < n; i += 2)
            maxDiff = std::max(maxDiff, std::abs(int(int16_t(ref[i] | ref[i + 1] << 8)) -
                                                 int(int16_t(got[i] | got[i + 1] << 8))));
        EXPECT_LE(maxDiff, 1);
        EXPECT_TRUE(AllZero(got, ref.size(), got.size()));
        EXPECT_LT(got.size() - std::min(got.size(), ref.size()), 4096u + 4608u * 2 * info.channels);
    }
}

// Sound that ends 2 s before the pictures is followed by 2 s of silence, and
// an audio tag without sound data holds silence for its index duration.
TEST(AudioFrameReader, SilenceForGapsAndAShortSoundTrack) {
    const std::string source = Fixture("flv1_mp3_160x120.flv");
    for (const bool gap : {false, true}) {
        SCOPED_TRACE(gap ? "gap" : "short sound");
        std::vector<FLVTag*> tags = ReadOwnedTags(source, 0);
        FlvBuilder b;
        bool gapWritten = false;
        for (FLVTag* t : tags) {
            if ((t->type != 8 && t->type != 9) || !t->data) continue;
            if (t->type == 8 && !gap && t->timestamp >= 1000) continue;
            if (t->type == 8 && gap && t->timestamp >= 1000 && t->timestamp < 1500) {
                if (!gapWritten) b.Tag(8, 1000, {t->data[0]});   // no sound data
                gapWritten = true;
                continue;
            }
            b.Tag(uint8_t(t->type), t->timestamp, std::vector<uint8_t>(t->data, t->data + t->dataSize));
        }
        FreeTags(tags);
        TempFile file(b.bytes);
        OpenedReader reader(file.path);
        ASSERT_TRUE(reader.opened);
        FLVInfo info{};
        FLVAVTagReader_GetFLVInfoEx(reader.r, &info);
        uint32_t audioEnd = 0, videoEnd = 0;
        FLVAVTagReader_GetDuration(reader.r, &audioEnd, &videoEnd);
        const size_t bytesPerMs = size_t(info.sampleRate) * info.channels * 2 / 1000;
        const std::vector<uint8_t> got = ReadAllSound(reader.r, 4096);
        // As long as the pictures, to within a block and the decoder's delay.
        EXPECT_NEAR(double(got.size()) / double(bytesPerMs), double(videoEnd), 100.0);
        if (gap) {
            EXPECT_FALSE(AllZero(got, 100 * bytesPerMs, 900 * bytesPerMs));
            EXPECT_TRUE(AllZero(got, 1060 * bytesPerMs, 1460 * bytesPerMs));
            EXPECT_FALSE(AllZero(got, 1600 * bytesPerMs, 2900 * bytesPerMs));
        } else {
            EXPECT_LT(audioEnd, 1100u);
            EXPECT_FALSE(AllZero(got, 100 * bytesPerMs, 900 * bytesPerMs));
            EXPECT_TRUE(AllZero(got, 1100 * bytesPerMs, got.size()));
        }
    }
    EXPECT_EQ(AudioFrameReader_Create(nullptr), nullptr);
    FLVAVTagReaderHandle closed = FLVAVTagReader_Create();
    EXPECT_EQ(AudioFrameReader_Create(closed), nullptr);
    EXPECT_EQ(VideoFrameReader_Create(closed, 25.0, 1), nullptr);
    FLVAVTagReader_Delete(closed);
}
