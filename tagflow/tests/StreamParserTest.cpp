// The push parser: framing in any piece size, rebasing, the audio clock and
// the video shift, stream information, back-pressure and its results.
#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"

namespace {

std::vector<SeenTag> Parse(const std::vector<uint8_t>& bytes, size_t piece = 0, bool others = false) {
    ParserRun run;
    run.Run(bytes, piece, others);
    return run.tags;
}

TEST(StreamParser, AnyPieceSizeGivesTheSameTags) {
    const auto file = ReadFixture("flv1_mp3_160x120.flv");
    const auto whole = Parse(file, 0, true);
    ASSERT_EQ(whole.size(), 193u) << "every tag of the file, the script tag included";
    EXPECT_EQ(Parse(file, 1, true), whole) << "one byte at a time";
    EXPECT_EQ(Parse(file, 11, true), whole) << "pieces the size of a tag header";
    // Random piece sizes, including pieces that end inside headers.
    std::mt19937 rng(7);
    ParserRun run;
    FLVStreamParserHandle p = FLVStreamParser_Create();
    FLVStreamParser_SetFLVAudioCallBack(p, &ParserRun::OnTag, &run);
    FLVStreamParser_SetFLVVideoCallBack(p, &ParserRun::OnTag, &run);
    FLVStreamParser_SetFLVNotAudioVideoPacketCallBack(p, &ParserRun::OnTag, &run);
    FLVStreamParser_SetParserNotAudioVideoPacket(p, 1);
    FLVStreamParser_Run(p);
    for (size_t at = 0; at < file.size();) {
        const size_t n = std::min<size_t>(1 + rng() % 3000, file.size() - at);
        const int r = FLVStreamParser_DeliverData(p, file.data() + at, uint32_t(n));
        ASSERT_TRUE(r == 0 || r == 4) << r;
        at += n;
    }
    EXPECT_EQ(FLVStreamParser_Flush(p), 1);
    FLVStreamParser_Delete(p);
    EXPECT_EQ(run.tags, whole);
}

TEST(StreamParser, FirstVideoTagGetsAnEmptyAudioTagBeforeIt) {
    const auto tags = Parse(ReadFixture("flv1_pcm16_160x120.flv"));
    ASSERT_GE(tags.size(), 3u);
    EXPECT_EQ(tags[0], (SeenTag{8, 0, 0, 0})) << "synthetic: no data, no file position";
    EXPECT_EQ(tags[1].type, 9u);
    EXPECT_EQ(tags[1].filePosition, 321);
}

TEST(StreamParser, TimestampsStartAtZero) {
    const auto base = Parse(ReadFixture("flv1_mp3_160x120.flv"));
    const auto late = Parse(ReadFixture("first_ts_5000.flv"));
    ASSERT_EQ(late.size(), base.size());
    EXPECT_EQ(late, base) << "a file starting at 5000 ms reads like one starting at 0";
}

// Audio tags carry the time of the samples before them, whatever the file
// says; each video tag moves by the audio's correction at that point.
TEST(StreamParser, AudioClockRetimesDriftingAudioAndShiftsVideo) {
    const auto file = ReadFixture("drift_audio_ts.flv");
    const auto truth = Parse(ReadFixture("flv1_mp3_160x120.flv"));
    const auto drift = Parse(file);
    ASSERT_EQ(drift.size(), truth.size());

    // File timestamps of the drifting file, by position.
    auto fileTime = [&](int64_t pos) {
        return uint32_t(file[pos + 4] << 16 | file[pos + 5] << 8 | file[pos + 6]);
    };
    int audio = 0;
    int64_t correction = 0;   // retimed minus file time of the last audio tag
    for (size_t i = 0; i < drift.size(); ++i) {
        const SeenTag& t = drift[i];
        if (t.type == 8) {
            // 576 samples per MP3 frame at 22050 Hz: the clock, not the stretched
            // file times (blocks are summed in 100 ns units, so 1 ms of rounding).
            EXPECT_NEAR(double(t.timestamp), audio * 576 * 1000.0 / 22050, 1.0) << i;
            EXPECT_EQ(t.timestamp, truth[i].timestamp) << i;
            correction = int64_t(t.timestamp) - fileTime(t.filePosition);
            ++audio;
        } else if (t.type == 9) {
            EXPECT_NEAR(double(t.timestamp), double(fileTime(t.filePosition) + correction), 1.0) << i;
        }
    }
    EXPECT_LT(correction, -200) << "by the end the file's audio times run 8 % ahead";
}

TEST(StreamParser, EmptyAudioTagsOpenAGapThatTheNextBlockSkips) {
    FlvBuilder b;
    b.Pcm(0, 100).EmptyAudio(150).EmptyAudio(300).Pcm(450, 100).Pcm(560, 100);
    std::vector<uint32_t> times;
    for (const auto& t : Parse(b.bytes)) times.push_back(t.timestamp);
    // Clock 100 after the first block; the gap runs from 150 to 450 in the file.
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 100, 100, 400, 500}));
}

TEST(StreamParser, BlocksOfUnknownLengthKeepTheFileTimes) {
    // Speex: the block length cannot be told, so the clock must not stall
    // (every block at 0) nor jump; it follows the file.
    FlvBuilder b;
    for (uint32_t ts : {0u, 20u, 40u, 60u}) b.Tag(8, ts, {0xB2, 1, 2, 3, 4});
    b.H263(70, true);
    std::vector<uint32_t> times;
    for (const auto& t : Parse(b.bytes)) times.push_back(t.timestamp);
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 20, 40, 60, 70}));
}

TEST(StreamParser, VideoOnlyStreamWaitsForItsInformationUntilFlushed) {
    const auto file = ReadFixture("flv1_video_only_160x120.flv");
    ParserRun run;
    FLVStreamParserHandle p = FLVStreamParser_Create();
    FLVStreamParser_SetFLVInfoCallBack(p, &ParserRun::OnInfo, &run);
    FLVStreamParser_SetFLVVideoCallBack(p, &ParserRun::OnTag, &run);
    FLVStreamParser_Run(p);
    EXPECT_EQ(FLVStreamParser_DeliverData(p, file.data(), uint32_t(file.size())), 4)
        << "no audio yet: the information is not complete";
    EXPECT_EQ(FLVStreamParser_HasCalledFLVInfoCallBack(p), 0);
    EXPECT_TRUE(run.tags.empty());
    EXPECT_EQ(FLVStreamParser_Flush(p), 1);
    EXPECT_EQ(run.infoCalls, 1);
    EXPECT_EQ(run.info.audioFormat, -1);
    EXPECT_EQ(run.info.videoCodec, 2);
    EXPECT_EQ(run.info.width, 160);
    EXPECT_NEAR(run.info.frameRate, 15.0, 0.01);
    EXPECT_EQ(run.tags.size(), 45u);
    int32_t audio = -1, video = -1;
    EXPECT_EQ(FLVStreamParser_GetParsedPacketsCount(p, &audio, &video), 45);
    EXPECT_EQ(audio, 0);
    EXPECT_EQ(FLVStreamParser_GetTimeStamp(p), run.tags.back().timestamp);
    FLVStreamParser_Delete(p);

    FlvBuilder one;
    one.H263(0, true);
    ParserRun single;
    single.Run(one.bytes, 0);
    EXPECT_EQ(single.infoCalls, 1);
    EXPECT_EQ(single.info.frameRate, 25.0) << "one frame has no rate: the default";
}

TEST(StreamParser, QueueLimitForcesTheInformation) {
    const auto file = ReadFixture("flv1_video_only_160x120.flv");
    ParserRun run;
    FLVStreamParserHandle p = FLVStreamParser_Create();
    FLVStreamParser_SetFLVInfoCallBack(p, &ParserRun::OnInfo, &run);
    FLVStreamParser_SetFLVVideoCallBack(p, &ParserRun::OnTag, &run);
    FLVStreamParser_SetMaxFLVTagQueue(p, 10);
    FLVStreamParser_Run(p);
    int result = 4;
    for (size_t at = 0; at < file.size() && result == 4; at += 500)
        result = FLVStreamParser_DeliverData(p, file.data() + at,
                                             uint32_t(std::min<size_t>(500, file.size() - at)));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(run.infoCalls, 1);
    FLVStreamParser_Delete(p);
}

struct Refuser {
    bool accept = false;
    std::vector<uint32_t> times;
    static int32_t OnTag(void* u, FLVTag* t) {
        auto* self = static_cast<Refuser*>(u);
        if (!self->accept) return 0;
        self->times.push_back(t->timestamp);
        FLVStreamParser_DeleteFLVTag(nullptr, t);
        return 1;
    }
};

TEST(StreamParser, RefusedTagsStayQueuedAndFullQueueRefusesBytes) {
    const auto file = ReadFixture("flv1_mp3_160x120.flv");
    Refuser cb;
    FLVStreamParserHandle p = FLVStreamParser_Create();
    FLVStreamParser_SetFLVAudioCallBack(p, &Refuser::OnTag, &cb);
    FLVStreamParser_SetFLVVideoCallBack(p, &Refuser::OnTag, &cb);
    FLVStreamParser_SetMaxFLVTagQueue(p, 20);
    FLVStreamParser_Run(p);
    size_t at = 0;
    int r = 0;
    while (at < file.size() && (r = FLVStreamParser_DeliverData(p, file.data() + at, 100)) != 2)
        at += 100;
    EXPECT_EQ(r, 2) << "the refusing callback fills the queue";
    EXPECT_EQ(FLVStreamParser_Flush(p), 0);
    cb.accept = true;
    while (at < file.size()) {
        r = FLVStreamParser_DeliverData(p, file.data() + at,
                                        uint32_t(std::min<size_t>(100, file.size() - at)));
        ASSERT_NE(r, 2);
        at += 100;
    }
    EXPECT_EQ(FLVStreamParser_Flush(p), 1);
    FLVStreamParser_Delete(p);
    std::vector<uint32_t> expected;
    for (const auto& t : Parse(file)) expected.push_back(t.timestamp);
    EXPECT_EQ(cb.times, expected) << "nothing lost or reordered by the refusals";
}

TEST(StreamParser, InfoCallbackCanSwitchAudioOff) {
    struct Counts {
        int audio = 0, video = 0;
    } counts;
    auto noAudio = [](void*, const FLVInfo*, int32_t*, int32_t* audio) -> int32_t {
        *audio = 0;
        return 1;
    };
    auto onAudio = [](void* u, FLVTag* t) -> int32_t {
        ++static_cast<Counts*>(u)->audio;
        FLVStreamParser_DeleteFLVTag(nullptr, t);
        return 1;
    };
    auto onVideo = [](void* u, FLVTag* t) -> int32_t {
        ++static_cast<Counts*>(u)->video;
        FLVStreamParser_DeleteFLVTag(nullptr, t);
        return 1;
    };
    const auto file = ReadFixture("flv1_mp3_160x120.flv");
    FLVStreamParserHandle p = FLVStreamParser_Create();
    FLVStreamParser_SetFLVInfoCallBack(p, noAudio, nullptr);
    FLVStreamParser_SetFLVAudioCallBack(p, onAudio, &counts);
    FLVStreamParser_SetFLVVideoCallBack(p, onVideo, &counts);
    FLVStreamParser_Run(p);
    for (size_t at = 0; at < file.size(); at += 1000)
        FLVStreamParser_DeliverData(p, file.data() + at, uint32_t(std::min<size_t>(1000, file.size() - at)));
    FLVStreamParser_Stop(p);
    FLVStreamParser_Delete(p);
    EXPECT_EQ(counts.audio, 0);
    EXPECT_EQ(counts.video, 75);
}

TEST(StreamParser, ResultsOutsideTheRunningState) {
    FLVStreamParserHandle p = FLVStreamParser_Create();
    const uint8_t bytes[4] = {'F', 'L', 'V', 1};
    EXPECT_EQ(FLVStreamParser_DeliverData(p, bytes, 4), 5) << "before Run";
    EXPECT_EQ(FLVStreamParser_Flush(p), 1);
    EXPECT_EQ(FLVStreamParser_Stop(p), 0);
    EXPECT_EQ(FLVStreamParser_Run(p), 1);
    EXPECT_EQ(FLVStreamParser_Run(p), 0);
    EXPECT_EQ(FLVStreamParser_SetMaxFLVTagQueue(p, 5), 0) << "setters refuse while running";
    EXPECT_EQ(FLVStreamParser_SetFLVAudioCallBack(p, nullptr, nullptr), 0);
    EXPECT_EQ(FLVStreamParser_DeliverData(p, nullptr, 4), 3);
    EXPECT_EQ(FLVStreamParser_DeliverData(p, bytes, 0), 3);
    const uint8_t notFlv[9] = {'F', 'L', 'X', 1, 5, 0, 0, 0, 9};
    EXPECT_EQ(FLVStreamParser_DeliverData(p, notFlv, 9), 1);
    EXPECT_EQ(FLVStreamParser_DeliverData(p, bytes, 4), 1) << "the error state stays until Stop";
    EXPECT_EQ(FLVStreamParser_Stop(p), 1);
    EXPECT_EQ(FLVStreamParser_SetMaxFLVTagQueue(p, 5), 1);
    EXPECT_EQ(FLVStreamParser_Run(p), 1);
    EXPECT_EQ(FLVStreamParser_DeliverData(p, bytes, 4), 4) << "a fresh run accepts bytes again";
    FLVStreamParser_Delete(p);   // with a partial header pending
    FLVStreamParser_Delete(nullptr);
}

}  // namespace
