// The stream decoder end to end, against ffmpeg's own decode of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "DecodeSupport.h"

namespace {

struct DecodeCase {
    const char* file;
    double fps;
    // Where the sound starts on the stream's time line (ffprobe's start_time
    // of the audio, less the earliest tag's): silence comes out before it,
    // while ffmpeg's decode starts with the first block.
    int audioStartMs = 0;
};

class StreamDecodeMatchesFfmpeg : public ::testing::TestWithParam<DecodeCase> {};

}  // namespace

// Every picture at the source size and rate, compared with ffmpeg's decode;
// the sound, at the file's own rate and channels, sample for sample.
TEST_P(StreamDecodeMatchesFfmpeg, PicturesAndSound) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed (scripts/install-deps.sh installs it)";
    const DecodeCase c = GetParam();
    const std::string path = Fixture(c.file);
    StreamRun run;
    run.Decode(ReadFixture(c.file), c.fps);
    const size_t frameBytes = size_t(run.info.width) * run.info.height * 4;
    ASSERT_GT(frameBytes, 0u);

    // The output rate is constant from time 0, so a picture that starts
    // late is shown more than once (once = 0); ffmpeg lists each once.
    std::vector<const VideoOut*> distinct;
    for (const VideoOut& v : run.video) {
        ASSERT_EQ(v.picture.size(), frameBytes);
        EXPECT_EQ(v.filler, 0);
        if (!v.once && !distinct.empty() && distinct.back()->picture == v.picture) continue;
        distinct.push_back(&v);
    }
    const std::vector<uint8_t> ref = FfmpegFrames(path);
    ASSERT_FALSE(ref.empty());
    const size_t refFrames = ref.size() / frameBytes;
    EXPECT_EQ(distinct.size(), refFrames);
    double worst = 99;
    for (size_t i = 0; i < std::min(distinct.size(), refFrames); ++i)
        worst = std::min(worst, Psnr(distinct[i]->picture.data(), ref.data() + i * frameBytes, frameBytes));
    EXPECT_GE(worst, 45.0);
    RecordProperty("worst_psnr_db", std::to_string(worst));

    if (run.info.audioFormat >= 0) {
        const std::vector<uint8_t> pcm = FfmpegPcm(path, run.info.sampleRate, run.info.channels);
        ASSERT_FALSE(pcm.empty());
        const size_t lead = size_t(int64_t(run.info.sampleRate) * c.audioStartMs / 1000) * 2 *
                            size_t(run.info.channels);
        ASSERT_GT(run.pcm.size(), lead);
        EXPECT_TRUE(std::all_of(run.pcm.begin(), run.pcm.begin() + long(lead), [](uint8_t b) { return b == 0; }));
        run.pcm.erase(run.pcm.begin(), run.pcm.begin() + long(lead));
        // The same sound; ffmpeg may end a block earlier or later.
        const size_t blockSlack = 4608 * 2 * size_t(run.info.channels);
        EXPECT_LE(std::max(pcm.size(), run.pcm.size()) - std::min(pcm.size(), run.pcm.size()), blockSlack);
        const size_t n = std::min(pcm.size(), run.pcm.size()) / 2;
        int maxDiff = 0;
        for (size_t i = 0; i < n; ++i) {
            const int16_t a = int16_t(pcm[2 * i] | pcm[2 * i + 1] << 8);
            const int16_t b = int16_t(run.pcm[2 * i] | run.pcm[2 * i + 1] << 8);
            maxDiff = std::max(maxDiff, std::abs(int(a) - int(b)));
        }
        EXPECT_LE(maxDiff, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, StreamDecodeMatchesFfmpeg,
    ::testing::Values(DecodeCase{"flv1_mp3_160x120.flv", 25}, DecodeCase{"flv1_mp3_320x240.flv", 25},
                      DecodeCase{"flv1_mp3_640x360.flv", 25}, DecodeCase{"flv1_adpcm_160x120.flv", 25},
                      DecodeCase{"flv1_nelly_160x120.flv", 25},
                      DecodeCase{"flv1_nelly8k_160x120.flv", 15},
                      DecodeCase{"flv1_pcm16_160x120.flv", 25},
                      DecodeCase{"flv1_video_only_160x120.flv", 15},
                      // B-frames: pictures in presentation order; AAC from its
                      // setup, at its own rate, starting where its first block is.
                      DecodeCase{"h264_aac_160x120.flv", 25, 57},
                      DecodeCase{"h264_aac_bf2_160x120.flv", 25, 57},
                      DecodeCase{"h264_aac22k_bf2_160x120.flv", 25, 34},
                      DecodeCase{"flashsv_speex_160x120.flv", 15},
                      DecodeCase{"flashsv2_160x120.flv", 15}),
    [](const auto& info) {
        std::string n = info.param.file;
        n = n.substr(0, n.find('.'));
        return n;
    });

// H.264 with B-frames, played: every output frame shows the picture whose
// presentation time it has reached, the first one standing in before its
// time, as ffmpeg orders and times them.
TEST(StreamDecoder, H264PicturesShowAtTheirPresentationTimes) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed";
    for (const char* name : {"h264_aac_bf2_160x120.flv", "h264_aac22k_bf2_160x120.flv"}) {
        SCOPED_TRACE(name);
        const std::string path = Fixture(name);
        StreamRun run;
        run.Decode(ReadFixture(name), 25.0);
        const size_t frameBytes = 160 * 120 * 4;
        const std::vector<uint8_t> ref = FfmpegFrames(path);
        const std::vector<int64_t> times = FfprobePictureTimes(path);
        ASSERT_EQ(ref.size(), times.size() * frameBytes);
        ASSERT_EQ(times.front(), 80) << "shown two frames after the first decode time";
        // Up to the last picture's end, one output frame every 40 ms.
        ASSERT_EQ(int64_t(run.video.size()), (times.back() + 40) / 40);
        double worst = 99;
        for (size_t k = 0; k < run.video.size(); ++k) {
            const VideoOut& v = run.video[k];
            ASSERT_EQ(v.timestamp, int64_t(double(k) / 25.0 * 1e7));
            const size_t j = PictureAt(times, (v.timestamp + 5000) / 10000);   // 1639.9999 ms is 1640
            worst = std::min(worst, Psnr(v.picture.data(), ref.data() + j * frameBytes, frameBytes));
        }
        EXPECT_GE(worst, 45.0);
    }
}

// 75 frames of 40 ms from 50 ms on, at 30 frames a second: 91 frames for
// the 3050 ms. Every fifth source frame is shown twice and the first one
// also covers the 50 ms before it (copies have once = 0); no fillers.
TEST(StreamDecoder, ConstantOutputRateRepeatsFrames) {
    StreamRun run;
    run.keepPictures = false;
    run.Decode(ReadFixture("flv1_mp3_160x120.flv"), 30.0);
    ASSERT_EQ(run.video.size(), 91u);
    int once = 0, twice = 0;
    for (size_t i = 0; i < run.video.size(); ++i) {
        const VideoOut& v = run.video[i];
        EXPECT_EQ(v.timestamp, int64_t(double(i) / 30.0 * 1e7)) << i;
        EXPECT_EQ(v.duration, 333333);
        EXPECT_EQ(v.filler, 0);
        (v.once ? once : twice) += 1;
    }
    EXPECT_EQ(once, 60);
    EXPECT_EQ(twice, 31);
}

// Sound that starts 1.5 s into the clip: the audio thread fills the start
// with silence while the pictures run ahead, and neither stream leads the
// other by much more than maxIntervalTime at any output.
TEST(StreamDecoder, BrothersStayCloseWhenSoundStartsLate) {
    const auto bytes = RebuildFlv(Fixture("flv1_mp3_160x120.flv"),
                                  [](const FLVTag& t) { return t.type == 9 || t.timestamp >= 1500; });
    StreamRun run;
    run.keepPictures = false;
    run.videoDelayMs = 4;   // a consumer that takes its time, like a player
    run.Decode(bytes, 25.0, [](FLVStreamHandle s) {
        FLVStream_SetVideoDecoderMaxFLVTagQueue(s, 4);
        FLVStream_SetDecoderMaxIntervalTime(s, 500);
    });
    EXPECT_LE(run.maxLead, 500 + 200);
    ASSERT_GT(run.info.sampleRate, 0);
    const size_t bytesPerMs = size_t(run.info.sampleRate) * run.info.channels * 2 / 1000;
    ASSERT_GT(run.pcm.size(), 2800 * bytesPerMs);
    const auto firstSound = std::find_if(run.pcm.begin(), run.pcm.end(), [](uint8_t b) { return b != 0; });
    const size_t silentMs = size_t(firstSound - run.pcm.begin()) / bytesPerMs;
    EXPECT_GE(silentMs, 1400u);
    EXPECT_LE(silentMs, 1600u);
    for (int32_t size : run.audioSizes) EXPECT_EQ(size % (run.info.channels * 2), 0);
}

TEST(StreamDecoder, RefusesWhatItCannotTake) {
    FLVStreamHandle s = FLVStream_Create();
    const uint8_t bytes[4] = {'F', 'L', 'V', 1};
    EXPECT_EQ(FLVStream_DeliverData(s, bytes, 4), 6);   // not running
    EXPECT_EQ(FLVStream_DeliverDataEx(s, nullptr), 6);
    EXPECT_EQ(FLVStream_Stop(s), 0);
    ASSERT_EQ(FLVStream_Run(s), 1);
    EXPECT_EQ(FLVStream_Run(s), 0);
    EXPECT_EQ(FLVStream_SetGetVideoCallBack(s, nullptr, nullptr), 0);   // callbacks need a stop
    const uint8_t junk[32] = {'X', 'Y', 'Z'};
    EXPECT_EQ(FLVStream_DeliverData(s, junk, sizeof junk), 1);   // not FLV: the parser's error
    EXPECT_EQ(FLVStream_Terminate(s), 1);
    EXPECT_EQ(FLVStream_Terminate(s), 0);
    FLVStream_Delete(s);
    FLVStream_Delete(nullptr);
    EXPECT_EQ(FLVStream_DeliverData(nullptr, bytes, 4), 6);
}

// Tags given one by one without a parser; the defaults stand in for the
// stream information.
TEST(StreamDecoder, RunExDecodesDeliveredTags) {
    StreamRun run;
    run.keepPictures = false;
    FLVStreamHandle s = FLVStream_Create();
    FLVStream_SetGetVideoCallBack(s, &StreamRun::OnVideo, &run);
    FLVStream_SetGetAudioCallBack(s, &StreamRun::OnAudio, &run);
    ASSERT_EQ(FLVStream_RunEx(s, nullptr, 1, 0), 1);
    std::vector<FLVTag*> tags = ReadOwnedTags(Fixture("flv1_mp3_160x120.flv"), 9);
    ASSERT_EQ(tags.size(), 75u);
    FLVTag script{};
    script.type = 18;
    EXPECT_EQ(FLVStream_DeliverDataEx(s, &script), 3);
    for (FLVTag* t : tags) ASSERT_EQ(FLVStream_DeliverDataEx(s, t), 0);   // the stream owns them now
    tags.clear();
    EXPECT_EQ(FLVStream_StopEx(s), 1);
    FLVStream_Delete(s);
    // 25 frames a second (the default); the first picture, at 50 ms, also
    // covers the frame at 0.
    ASSERT_EQ(run.video.size(), 76u);
    EXPECT_EQ(run.video[0].once, 0);
    EXPECT_TRUE(run.pcm.empty());
}

namespace {

// No VP6 encoder exists here, so the frames are built by hand: a key-frame
// header (10 x 8 macroblocks, shown 4 pixels narrower and 8 lower) and
// random bytes, which the range decoder turns into a busy picture.
std::vector<uint8_t> Vp6Frame(std::mt19937& rng, bool key, size_t bytes) {
    std::vector<uint8_t> f;
    if (key)
        f = {0x28, (6 << 3) | 0x06, 8, 10, 8, 10};
    else
        f = {0xA8};
    for (size_t i = 0; i < bytes; ++i) f.push_back(uint8_t(rng()));
    return f;
}

std::vector<uint8_t> Vp6File(bool alpha) {
    std::mt19937 rng(7);
    FlvBuilder b(1);
    for (uint32_t i = 0; i < 10; ++i) {
        const bool key = i % 5 == 0;
        std::vector<uint8_t> d = {uint8_t((key ? 0x10 : 0x20) | (alpha ? 5 : 4)), 0x48};
        const std::vector<uint8_t> colour = Vp6Frame(rng, key, 3000);
        if (alpha) {
            const std::vector<uint8_t> mask = Vp6Frame(rng, key, 3000);
            const uint32_t n = uint32_t(colour.size());
            d.insert(d.end(), {uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
            d.insert(d.end(), colour.begin(), colour.end());
            d.insert(d.end(), mask.begin(), mask.end());
        } else {
            d.insert(d.end(), colour.begin(), colour.end());
        }
        b.Tag(9, i * 40, d);
    }
    return b.bytes;
}

}  // namespace

// VP6 pictures are cut to the size the stream shows (the adjustment byte),
// and VP6 alpha carries its mask into the fourth byte, as ffmpeg decodes them.
TEST(StreamDecoder, Vp6AndItsAlphaMatchFfmpeg) {
    if (!HaveFfmpeg()) GTEST_FAIL() << "ffmpeg is needed";
    for (const bool alpha : {false, true}) {
        SCOPED_TRACE(alpha ? "VP6 alpha" : "VP6");
        const std::vector<uint8_t> bytes = Vp6File(alpha);
        TempFile file(bytes);
        StreamRun run;
        run.Decode(bytes, 25.0);
        EXPECT_EQ(run.info.width, 156);
        EXPECT_EQ(run.info.height, 120);
        const size_t frameBytes = 156 * 120 * 4;
        const std::vector<uint8_t> ref = FfmpegFrames(file.path);
        ASSERT_EQ(ref.size(), 10 * frameBytes);
        ASSERT_EQ(run.video.size(), 10u);
        double worst = 99, worstAlpha = 99;
        for (size_t i = 0; i < 10; ++i) {
            const uint8_t* ours = run.video[i].picture.data();
            const uint8_t* theirs = ref.data() + i * frameBytes;
            worst = std::min(worst, Psnr(ours, theirs, frameBytes));
            double sum = 0;
            for (size_t p = 3; p < frameBytes; p += 4) sum += std::pow(double(ours[p]) - theirs[p], 2);
            if (sum > 0) worstAlpha = std::min(worstAlpha, 10 * std::log10(255.0 * 255 / (sum / (frameBytes / 4))));
        }
        EXPECT_GE(worst, 45.0);
        EXPECT_GE(worstAlpha, 45.0);
        const auto& first = run.video[0].picture;
        size_t seeThrough = 0;
        for (size_t p = 3; p < frameBytes; p += 4) seeThrough += first[p] != 255;
        if (alpha) {
            EXPECT_GT(seeThrough, frameBytes / 40);   // the mask really arrives
        }
    }
}

// Damaged files decode as far as they go and end cleanly, through the
// stream decoder and through the frame readers.
TEST(StreamDecoder, DamagedFilesEndCleanly) {
    for (const char* name : {"bad_empty.flv", "bad_signature.flv", "bad_truncated_mid_tag.flv",
                             "bad_size_past_end.flv", "bad_decreasing_ts.flv"}) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> bytes = ReadFixture(name);
        StreamRun run;
        run.keepPictures = false;
        FLVStreamHandle s = FLVStream_Create();
        FLVStream_SetGetVideoCallBack(s, &StreamRun::OnVideo, &run);
        FLVStream_SetGetAudioCallBack(s, &StreamRun::OnAudio, &run);
        ASSERT_EQ(FLVStream_Run(s), 1);
        for (size_t at = 0; at < bytes.size();) {
            const uint32_t n = uint32_t(std::min<size_t>(4096, bytes.size() - at));
            const int r = FLVStream_DeliverData(s, bytes.data() + at, n);
            if (r == 2) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (r == 1) break;   // not FLV
            at += n;
        }
        FLVStream_Flush(s);
        EXPECT_EQ(FLVStream_Stop(s), 1);
        FLVStream_Delete(s);
        if (std::string(name) == "bad_decreasing_ts.flv") {
            EXPECT_GT(run.video.size(), 50u);
        }

        OpenedReader reader(Fixture(name));
        if (!reader.opened) continue;
        std::vector<uint8_t> block(4096);
        AudioFrameReaderHandle a = AudioFrameReader_Create(reader.r);
        int blocks = 0;
        while (a && AudioFrameReader_ReadFrame(a, block.data(), 4096) && blocks < 100000) ++blocks;
        AudioFrameReader_Delete(a);
        VideoFrameReaderHandle v = VideoFrameReader_Create(reader.r, 30.0, 1);
        for (int k : {0, 10, 5, 200, 1, 60}) EXPECT_NE(VideoFrameReader_ReadFrame(v, k), nullptr);
        VideoFrameReader_Delete(v);
    }
}

// Malformed AVC and AAC packets, mixed into a real H.264 + AAC stream: tags
// shorter than their own headers, setups cut short, composition times cut
// off, NAL lengths past the end. The parser, the index, the stream decoder
// and both frame readers take them in stride (the sanitizer build watches
// every read), and the good pictures and sound around them still decode.
TEST(StreamDecoder, MalformedAvcAndAacPacketsAreHarmless) {
    std::vector<FLVTag*> tags = ReadOwnedTags(Fixture("h264_aac_bf2_160x120.flv"), 0);
    ASSERT_GT(tags.size(), 100u);
    const std::vector<uint8_t> setup(tags[2]->data, tags[2]->data + tags[2]->dataSize);
    ASSERT_EQ(setup.size(), 50u) << "the AVC setup (after the script and synthetic audio)";
    const std::vector<std::vector<uint8_t>> badVideo = {
        {0x17},                                                   // codec byte only
        {0x17, 0x00},                                             // setup without composition time
        {0x17, 0x00, 0x00, 0x00},                                 // setup, composition time cut
        std::vector<uint8_t>(setup.begin(), setup.begin() + 9),   // setup cut in its record
        std::vector<uint8_t>(setup.begin(), setup.begin() + 20),  // setup cut in the SPS
        {0x17, 0x00, 0, 0, 0, 1, 0x64, 0, 0x0B, 0xFF, 0xE1, 0xFF, 0xFF, 0x67},   // SPS length past the end
        {0x27, 0x01},                                             // picture without composition time
        {0x27, 0x01, 0xFF, 0xFF},                                 // composition time cut
        {0x27, 0x01, 0x7F, 0xFF, 0xFF, 0, 0, 0, 9, 0x41},         // huge composition time, NAL cut
        {0x17, 0x01, 0x80, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF},   // most negative time, NAL length huge
        {0x17, 0x02},                                             // end of sequence, cut
    };
    const std::vector<std::vector<uint8_t>> badAudio = {
        {0xAF}, {0xAF, 0x00}, {0xAF, 0x00, 0x12}, {0xAF, 0x00, 0xFF, 0xFF}, {0xAF, 0x01},
        {0xAF, 0x01, 0xFF, 0xFF, 0xFF}, {0xBF}, {0xB6, 0x00},   // Speex with nothing to decode
    };
    FlvBuilder b;
    size_t pictures = 0;
    for (size_t i = 0; i < tags.size(); ++i) {
        const FLVTag& t = *tags[i];
        if ((t.type != 8 && t.type != 9) || !t.data) continue;
        pictures += t.type == 9 && t.packetType == 1;
        b.Tag(uint8_t(t.type), t.timestamp, std::vector<uint8_t>(t.data, t.data + t.dataSize));
        if (i == 40 || i == 150) {   // in the middle of a stream, and in its second second
            for (const auto& v : badVideo) b.Tag(9, t.timestamp, v);
            for (const auto& a : badAudio) b.Tag(8, t.timestamp, a);
        }
    }
    FreeTags(tags);

    ParserRun parsed;
    parsed.Run(b.bytes, 1);   // one byte at a time
    EXPECT_EQ(parsed.info.videoCodec, 7);
    EXPECT_EQ(parsed.info.width, 160);

    StreamRun run;
    run.Decode(b.bytes, 25.0);
    // A picture after damage may be lost until the next key frame, never more.
    EXPECT_GE(run.video.size(), 70u);
    EXPECT_GT(run.pcm.size(), size_t(44100 * 4 * 2));

    TempFile file(b.bytes);
    OpenedReader reader(file.path);
    ASSERT_TRUE(reader.opened);
    FLVInfo ex{};
    FLVAVTagReader_GetFLVInfoEx(reader.r, &ex);
    EXPECT_EQ(ex.width, 160);
    EXPECT_EQ(ex.sampleRate, 44100);
    // The rate is the pictures' spacing: damaged tags beside them, at the
    // same times, do not move it.
    EXPECT_DOUBLE_EQ(ex.frameRate, 25.0);
    uint32_t audioEnd = 0, videoEnd = 0;
    FLVAVTagReader_GetDuration(reader.r, &audioEnd, &videoEnd);
    EXPECT_NEAR(videoEnd, 3080, 50) << "no composition time takes the end hours away";
    std::vector<uint8_t> block(4096);
    AudioFrameReaderHandle a = AudioFrameReader_Create(reader.r);
    int blocks = 0;
    while (AudioFrameReader_ReadFrame(a, block.data(), 4096) && blocks < 100000) ++blocks;
    AudioFrameReader_Delete(a);
    EXPECT_GT(blocks, 100);
    VideoFrameReaderHandle v = VideoFrameReader_Create(reader.r, 25.0, 1);
    for (int k : {0, 10, 11, 40, 5, 60, 39, 74, 1}) EXPECT_NE(VideoFrameReader_ReadFrame(v, k), nullptr);
    VideoFrameReader_Delete(v);
    EXPECT_GT(pictures, 70u);
}

// Deleted before the stream facts are complete (a video tag, no sound yet):
// going away must not complete them, call the owner back or start threads.
TEST(StreamDecoder, DeletingCallsNobodyBack) {
    struct Calls {
        int info = 0;
    } calls;
    FlvBuilder b;
    b.H263(0, true).H263(40, false);
    for (int piece : {1, 0}) {   // the header alone, or two pictures
        SCOPED_TRACE(piece);
        FLVStreamHandle s = FLVStream_Create();
        FLVStream_SetFLVInfoCallBack(
            s, [](void* u, const FLVInfo*, int32_t*, int32_t*) -> int32_t {
                ++static_cast<Calls*>(u)->info;
                return 1;
            },
            &calls);
        ASSERT_EQ(FLVStream_Run(s), 1);
        const size_t n = piece ? 13 : b.bytes.size();
        FLVStream_DeliverData(s, b.bytes.data(), uint32_t(n));
        FLVStream_Delete(s);
        EXPECT_EQ(calls.info, 0);
    }
}
