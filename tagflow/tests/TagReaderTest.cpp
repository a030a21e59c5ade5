// The indexed tag reader: stream facts against ffprobe, the index queries,
// seeking and reading tag by tag.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

#include "FLVAVTagReader.h"
#include "TestSupport.h"

namespace {

struct ReaderDeleter {
    void operator()(CFLVAVTagReader* r) const { FLVAVTagReader_Delete(r); }
};
using Reader = std::unique_ptr<CFLVAVTagReader, ReaderDeleter>;

Reader OpenFixture(const std::string& name) {
    Reader r(FLVAVTagReader_Create());
    EXPECT_EQ(FLVAVTagReader_Open(r.get(), Fixture(name).c_str()), 1) << name;
    return r;
}

// Expected values from ffprobe on the same files: codec and stream facts,
// r_frame_rate, and the end of each stream (last packet's time plus its
// length; the ADPCM end from the decoded sample count, 69632 / 22050).
struct InfoCase {
    const char* file;
    int videoCodec, width, height;
    double fps, fpsTolerance;
    int audioFormat, sampleRate, channels, bits;
    uint32_t audioEnd, videoEnd;   // ms; 0: not compared
};

const InfoCase kInfoCases[] = {
    {"flv1_mp3_320x240.flv", 2, 320, 240, 25, 0.01, 2, 22050, 2, 16, 3056, 3050},
    {"flv1_mp3_640x360.flv", 2, 640, 360, 25, 0.01, 2, 22050, 2, 16, 2063, 2050},
    {"flv1_adpcm_160x120.flv", 2, 160, 120, 25, 0.01, 1, 22050, 1, 16, 3158, 3000},
    {"flv1_nelly_160x120.flv", 2, 160, 120, 25, 0.01, 6, 22050, 1, 16, 3014, 3006},
    {"flv1_nelly8k_160x120.flv", 2, 160, 120, 15, 0.01, 5, 8000, 1, 16, 2016, 2015},
    {"flv1_pcm16_160x120.flv", 2, 160, 120, 25, 0.01, 3, 11025, 1, 16, 1999, 2000},
    {"flv1_video_only_160x120.flv", 2, 160, 120, 15, 0.01, -1, 0, 0, 0, 0, 2999},
    {"mp3_audio_only.flv", -1, 0, 0, 0, 0, 2, 44100, 1, 16, 3030, 0},
    // H.264: the size from the sequence header, the video end from the last
    // picture shown (B-frames: not the last one stored); the AAC rate from
    // its setup, not from the FLV field (which always says 44100 Hz).
    {"h264_aac_160x120.flv", 7, 160, 120, 25, 1.5, 10, 44100, 2, 16, 3098, 3080},
    {"h264_aac_bf2_160x120.flv", 7, 160, 120, 25, 1.5, 10, 44100, 2, 16, 3098, 3080},
    {"h264_aac22k_bf2_160x120.flv", 7, 160, 120, 25, 1.5, 10, 22050, 2, 16, 2123, 2080},
    // Speex: 16 kHz mono whatever the FLV fields say; the length of its last
    // block (at 1980 ms) cannot be told from its bytes, so the audio ends there.
    {"flashsv_speex_160x120.flv", 3, 160, 120, 15, 0.01, 11, 16000, 1, 16, 1980, 2009},
    {"flashsv2_160x120.flv", 6, 160, 120, 15, 0.01, -1, 0, 0, 0, 0, 2000},
};

TEST(TagReader, StreamFactsAgreeWithFfprobe) {
    for (const InfoCase& c : kInfoCases) {
        SCOPED_TRACE(c.file);
        Reader r = OpenFixture(c.file);
        FLVInfo info{}, ex{};
        ASSERT_EQ(FLVAVTagReader_GetFLVInfo(r.get(), &info), 1);
        ASSERT_EQ(FLVAVTagReader_GetFLVInfoEx(r.get(), &ex), 1);
        for (const FLVInfo* i : {&info, &ex}) {
            EXPECT_EQ(i->version, 1);
            EXPECT_EQ(i->videoCodec, c.videoCodec);
            EXPECT_EQ(i->width, c.width);
            EXPECT_EQ(i->height, c.height);
            EXPECT_EQ(i->audioFormat, c.audioFormat);
            EXPECT_EQ(i->sampleRate, c.sampleRate);
            EXPECT_EQ(i->channels, c.channels);
            EXPECT_EQ(i->bitsPerSample, c.bits);
        }
        EXPECT_NEAR(info.frameRate, c.fps, c.fpsTolerance);
        // The extended rate spreads the frames over the whole file's length.
        EXPECT_NEAR(ex.frameRate, c.fps, c.fps * 0.06);
        EXPECT_GT(ex.duration, 1.9);
        EXPECT_EQ(ex.videoDataRate > 0, c.videoCodec != -1);
        EXPECT_EQ(ex.audioDataRate > 0, c.audioFormat != -1);
        uint32_t audioEnd = 1, videoEnd = 1;
        FLVAVTagReader_GetDuration(r.get(), &audioEnd, &videoEnd);
        if (c.audioEnd) {
            EXPECT_NEAR(audioEnd, c.audioEnd, 4);
        }
        if (c.videoEnd) {
            EXPECT_NEAR(videoEnd, c.videoEnd, 3);
        }
        if (c.audioFormat == -1) {
            EXPECT_EQ(audioEnd, 0u);
        }
        if (c.videoCodec == -1) {
            EXPECT_EQ(videoEnd, 0u);
        }
    }
}

// Key frames of flv1_mp3_160x120.flv: one a second (ffprobe: pts 0.050, 1.050, 2.050).
TEST(TagReader, KeyFrameQueries) {
    Reader r = OpenFixture("flv1_mp3_160x120.flv");
    struct Case { uint32_t t; int nextOk; uint32_t next; int preOk; uint32_t pre; } cases[] = {
        {0, 1, 50, 0, 0},            // nothing at or before 0
        {50, 1, 50, 1, 50},
        {51, 1, 1050, 1, 50},
        {1500, 1, 2050, 1, 1050},
        {2050, 1, 2050, 1, 2050},
        {2100, 0, 0, 1, 2050},
        {3040, 0, 0, 0, 0},          // past the last tag: GetPre finds nothing either
    };
    for (const auto& c : cases) {
        uint32_t ts = 7;
        int32_t entry = 7;
        EXPECT_EQ(FLVAVTagReader_GetNextKeyFrameTimeStampEx(r.get(), c.t, &ts, &entry), c.nextOk) << c.t;
        if (c.nextOk) {
            EXPECT_NEAR(ts, c.next, 1) << c.t;
        } else {
            EXPECT_EQ(entry, -1);
        }
        EXPECT_EQ(FLVAVTagReader_GetPreKeyFrameTimeStampEx(r.get(), c.t, &ts, &entry), c.preOk) << c.t;
        if (c.preOk) {
            EXPECT_NEAR(ts, c.pre, 1) << c.t;
            ASSERT_EQ(FLVAVTagReader_SeekWithPos(r.get(), entry), 0);
            FLVTag* tag = nullptr;
            ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr), 0);
            EXPECT_EQ(tag->type, 9u);
            EXPECT_EQ(tag->codecField1, 1u) << "the entry is a key frame";
        }
    }
    uint32_t ts = 0;
    int32_t entry = -1;
    ASSERT_EQ(FLVAVTagReader_GetNextAudioFrameTimeStamp(r.get(), 1000, &ts, &entry), 1);
    EXPECT_GE(ts, 1000u);
    EXPECT_LT(ts, 1030u);
    ASSERT_EQ(FLVAVTagReader_GetPreAudioFrameTimeStamp(r.get(), 1000, &ts, &entry), 1);
    EXPECT_LE(ts, 1000u);
    EXPECT_GT(ts, 970u);
    int32_t interval = 0;
    ASSERT_EQ(FLVAVTagReader_GetMinIntervaledFrameTime(r.get(), &interval), 1);
    EXPECT_EQ(interval, 40);
}

TEST(TagReader, SeekResults) {
    Reader r = OpenFixture("flv1_mp3_160x120.flv");
    uint32_t ts = 0;
    EXPECT_EQ(FLVAVTagReader_SeekEx(r.get(), 9, 1500, &ts), 0);
    EXPECT_NEAR(ts, 1050, 1);
    FLVTag* tag = nullptr;
    uint32_t duration = 0;
    ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, &duration), 0);
    EXPECT_EQ(tag->timestamp, ts);
    EXPECT_EQ(tag->codecField1, 1u);
    EXPECT_EQ(duration, 40u);
    // Audio: the entry right after the time, or the last audio before it.
    EXPECT_EQ(FLVAVTagReader_SeekEx(r.get(), 8, 1500, &ts), 0);
    EXPECT_NEAR(ts, 1500, 27);
    EXPECT_EQ(FLVAVTagReader_Seek(r.get(), 9, 10000), 6) << "after the last tag";
    EXPECT_EQ(FLVAVTagReader_Seek(r.get(), 18, 100), 7) << "type 18 matches nothing";
    EXPECT_EQ(FLVAVTagReader_Seek(r.get(), 9, 10), 7) << "no key frame at or before, none right after";
    EXPECT_EQ(FLVAVTagReader_SeekWithPos(r.get(), 100000), 6);
    EXPECT_EQ(FLVAVTagReader_SeekWithPos(r.get(), -1), 6);
    EXPECT_EQ(FLVAVTagReader_SeekToBegin(r.get()), 0);

    Reader closed(FLVAVTagReader_Create());
    EXPECT_EQ(FLVAVTagReader_Seek(closed.get(), 9, 0), 3);
    EXPECT_EQ(FLVAVTagReader_ReadTag(closed.get(), 1, 0, &tag, &duration), 3);
    EXPECT_EQ(FLVAVTagReader_SeekToBegin(closed.get()), 4);
    FLVInfo info;
    EXPECT_EQ(FLVAVTagReader_GetFLVInfo(closed.get(), &info), 0);
    EXPECT_EQ(FLVAVTagReader_Close(closed.get()), 0);
}

TEST(TagReader, KeyFrameRightAfterTheTimeWinsOverAnEarlierOne) {
    FlvBuilder b;
    b.Pcm(0, 90).H263(0, true).H263(40, false).H263(80, true).Pcm(90, 40).H263(120, false);
    TempFile f(b.bytes);
    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
    uint32_t ts = 0;
    EXPECT_EQ(FLVAVTagReader_SeekEx(r.get(), 9, 60, &ts), 0);
    EXPECT_EQ(ts, 80u) << "the entry after 60 is the key frame at 80";
    EXPECT_EQ(FLVAVTagReader_SeekEx(r.get(), 9, 85, &ts), 0);
    EXPECT_EQ(ts, 80u);
    EXPECT_EQ(FLVAVTagReader_SeekEx(r.get(), 9, 30, &ts), 0);
    EXPECT_EQ(ts, 0u);
}

TEST(TagReader, ReadsEveryTagFromTheIndexAsTheParserDeliversIt) {
    const auto file = ReadFixture("flv1_mp3_160x120.flv");
    ParserRun parsed;
    parsed.Run(file, 0, true);
    Reader r = OpenFixture("flv1_mp3_160x120.flv");
    FLVTag* tag = nullptr;
    uint32_t duration = 0;
    size_t i = 0;
    int result;
    while ((result = FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, &duration)) == 0) {
        ASSERT_LT(i, parsed.tags.size());
        const SeenTag& p = parsed.tags[i++];
        EXPECT_EQ((SeenTag{tag->type, tag->timestamp, tag->dataSize, tag->filePosition}), p);
        ASSERT_NE(tag->data, nullptr);
        // The data are the file's bytes of that tag.
        EXPECT_EQ(std::memcmp(tag->data, file.data() + tag->filePosition + 11, tag->dataSize), 0);
    }
    EXPECT_EQ(result, 1);
    EXPECT_EQ(i, parsed.tags.size());
    EXPECT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, &duration), 1) << "stays at the end";

    // Filter 9: audio and script tags are skipped; each video tag has its own duration.
    FLVAVTagReader_SeekToBegin(r.get());
    std::vector<uint32_t> times, durations;
    while (FLVAVTagReader_ReadTag(r.get(), 0, 9, &tag, &duration) == 0) {
        EXPECT_EQ(tag->type, 9u);
        EXPECT_EQ(tag->data, nullptr) << "load off";
        times.push_back(tag->timestamp);
        durations.push_back(duration);
    }
    ASSERT_EQ(times.size(), 75u);
    for (size_t k = 0; k + 1 < times.size(); ++k) EXPECT_EQ(durations[k], times[k + 1] - times[k]);
    EXPECT_EQ(durations.back(), uint32_t(1000 / 24.422)) << "the last from the frame rate";
}

// Large video frames are skipped with seeks while indexing; the index must
// still match what the parser delivers from every byte.
TEST(TagReader, SkippingLargeFramesIndexesLikeReadingEveryByte) {
    FlvBuilder b;
    std::vector<uint8_t> big(70000, 0x5A);
    const std::vector<uint8_t> keyHeader = {0x12, 0x00, 0x00, 0x80, 0x03, 0x00};
    std::copy(keyHeader.begin(), keyHeader.end(), big.begin());
    b.Pcm(0, 40).Tag(9, 0, big).Pcm(40, 40).Tag(9, 40, big).Tag(18, 50, std::vector<uint8_t>(40000, 1))
        .Pcm(80, 40).H263(80, false);
    ParserRun parsed;
    parsed.Run(b.bytes, 0, true);
    TempFile f(b.bytes);
    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
    FLVTag* tag = nullptr;
    std::vector<SeenTag> read;
    while (FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr) == 0) {
        read.push_back({tag->type, tag->timestamp, tag->dataSize, tag->filePosition});
        if (tag->dataSize == big.size()) {
            EXPECT_EQ(std::vector<uint8_t>(tag->data, tag->data + tag->dataSize), big);
        }
    }
    EXPECT_EQ(read, parsed.tags);
    FLVInfo ex{};
    FLVAVTagReader_GetFLVInfoEx(r.get(), &ex);
    EXPECT_EQ(ex.width, 160) << "the picture size still comes from the skipped frame's head";
    EXPECT_EQ(ex.videoDataRate, int32_t((70000 * 2 + 9) * 8 / 0.08));
}

TEST(TagReader, RunsOfLargeFramesReadAroundTheirHeadsIndexLikeReadingEveryByte) {
    // A frame of 70 KB (skipped), then frames of 17 KB (read 4 KB at a time
    // around their heads), one of 5 KB and one of 3 KB among them (back to
    // whole reads), sound between them; a key frame every tenth.
    FlvBuilder b;
    for (uint32_t i = 0; i < 60; ++i) {
        const uint32_t size = i == 0 ? 70000 : i == 20 ? 5000 : i == 40 ? 3000 : 17000;
        std::vector<uint8_t> frame(size, uint8_t(i));
        const std::vector<uint8_t> head = {uint8_t(i % 10 ? 0x22 : 0x12), 0x00, 0x00, 0x80, 0x03, 0x00};
        std::copy(head.begin(), head.end(), frame.begin());
        b.Pcm(i * 40, 40).Tag(9, i * 40, frame);
    }
    ParserRun parsed;
    parsed.Run(b.bytes, 0, true);
    TempFile f(b.bytes);
    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
    FLVTag* tag = nullptr;
    std::vector<SeenTag> read;
    while (FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr) == 0)
        read.push_back({tag->type, tag->timestamp, tag->dataSize, tag->filePosition});
    EXPECT_EQ(read, parsed.tags);
    FLVInfo ex{};
    FLVAVTagReader_GetFLVInfoEx(r.get(), &ex);
    EXPECT_EQ(ex.width, 160);
    EXPECT_NEAR(ex.frameRate, 25, 0.01);
}

// The file is cut short (a recorder still at work on it) after the
// examination has mapped it and before it reads the mapping: reading past the new
// end faults, and Open ends cleanly, with the tags before the cut or an
// error, never a crash. No tag digest is kept from a walk cut short.
TEST(TagReader, FileCutShortUnderTheExaminationEndsItCleanly) {
    // Frames of 20 KB: the walk skips their data and views their heads.
    FlvBuilder b;
    for (uint32_t i = 0; i < 100; ++i) {
        std::vector<uint8_t> frame(20000, uint8_t(i));
        const std::vector<uint8_t> head = {uint8_t(i % 25 ? 0x22 : 0x12), 0x00, 0x00, 0x80, 0x03, 0x00};
        std::copy(head.begin(), head.end(), frame.begin());
        b.Pcm(i * 40, 40).Tag(9, i * 40, frame);
    }
    Reader whole(FLVAVTagReader_Create());
    {
        TempFile f(b.bytes);
        ASSERT_EQ(FLVAVTagReader_Open(whole.get(), f.path.c_str()), 1);
    }
    // Cuts on page boundaries: the bytes after a cut inside a page read as
    // zeros instead of faulting, which ends the tags as damage does.
    const off_t half = off_t(b.bytes.size() / 2) & ~off_t(4095);
    for (const off_t cutAt : {off_t(0), off_t(4096), half}) {
        SCOPED_TRACE(cutAt);
        struct Cut {
            std::string path;
            off_t at;
            int views = 0;
        } cut;
        TempFile f(b.bytes);
        cut.path = f.path;
        cut.at = cutAt;
        Reader r(FLVAVTagReader_Create());
        r->SetKeepTagDigest(true);
        r->SetViewHook(
            [](void* user) {
                auto* c = static_cast<Cut*>(user);
                if (c->views++ == 0) ASSERT_EQ(truncate(c->path.c_str(), c->at), 0);
            },
            &cut);
        const int opened = FLVAVTagReader_Open(r.get(), f.path.c_str());
        EXPECT_EQ(cut.views, 1);
        if (opened) {
            EXPECT_LT(r->EntryCount(), whole->EntryCount());
            FLVTag* tag = nullptr;
            int reads = 0;
            while (FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr) == 0) ++reads;
            EXPECT_LE(size_t(reads), r->EntryCount());
        }
        TagioTagDigest* digest = r->TakeTagDigest();
        EXPECT_EQ(digest, nullptr);
        Flv_DigestDelete(digest);
    }
}

TEST(TagReader, LeadingVideoGetsASyntheticAudioEntry) {
    Reader r = OpenFixture("flv1_pcm16_160x120.flv");
    FLVTag* tag = nullptr;
    uint32_t duration = 0;
    ASSERT_EQ(FLVAVTagReader_SeekWithPos(r.get(), 1), 0);
    ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, &duration), 0);
    EXPECT_EQ(tag->type, 8u);
    EXPECT_EQ(tag->data, nullptr);
    EXPECT_EQ(tag->dataSize, 0u);
    EXPECT_EQ(tag->filePosition, 0);
    ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, &duration), 0);
    EXPECT_EQ(tag->type, 9u) << "the file's first tag follows";
    EXPECT_EQ(tag->filePosition, 321);
    uint32_t ts = 9;
    int32_t entry = -1;
    ASSERT_EQ(FLVAVTagReader_GetNextAudioFrameTimeStamp(r.get(), 0, &ts, &entry), 1);
    EXPECT_EQ(entry, 1) << "the synthetic entry is the first audio";
    EXPECT_EQ(ts, 0u);
}

TEST(TagReader, StreamsWithoutVideoOrWithOneFrameHaveSaneRates) {
    Reader audioOnly = OpenFixture("mp3_audio_only.flv");
    FLVInfo ex{};
    FLVAVTagReader_GetFLVInfoEx(audioOnly.get(), &ex);
    EXPECT_EQ(ex.frameRate, 0.0);
    int32_t interval = -1;
    EXPECT_EQ(FLVAVTagReader_GetMinIntervaledFrameTime(audioOnly.get(), &interval), 1);
    EXPECT_EQ(interval, 0);

    FlvBuilder b;
    b.Pcm(0, 500).H263(0, true).Pcm(500, 500);
    TempFile f(b.bytes);
    Reader one(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(one.get(), f.path.c_str()), 1);
    FLVAVTagReader_GetFLVInfoEx(one.get(), &ex);
    EXPECT_EQ(ex.frameRate, 0.0) << "one frame: no rate, never negative or infinite";
    uint32_t audioEnd = 0, videoEnd = 0;
    FLVAVTagReader_GetDuration(one.get(), &audioEnd, &videoEnd);
    EXPECT_EQ(audioEnd, 1000u) << "500 ms of samples after 500";
    EXPECT_EQ(videoEnd, 40u) << "the lone frame lasts one default frame";
}

TEST(TagReader, AutoReleaseOffHandsOverEveryTagAndLeaksNoSkippedOne) {
    Reader r = OpenFixture("flv1_mp3_160x120.flv");
    EXPECT_EQ(FLVAVTagReader_SetAutoReleaseMemory(r.get(), 0), 0);
    std::vector<FLVTag*> owned;
    FLVTag* tag = nullptr;
    while (FLVAVTagReader_ReadTag(r.get(), 1, 9, &tag, nullptr) == 0) owned.push_back(tag);
    ASSERT_EQ(owned.size(), 75u);
    EXPECT_NE(owned[0], owned[1]) << "each call hands out its own record";
    EXPECT_EQ(owned[0]->codecField1, 1u);
    for (FLVTag* t : owned) FLVAVTagReader_ReleaseMemory(r.get(), t);
    FLVAVTagReader_ReleaseMemory(r.get(), nullptr);
    // A leak of the skipped records shows under the leak checker of the sanitizer build.

    FLVAVTagReader_SetAutoReleaseMemory(r.get(), 1);
    FLVAVTagReader_SeekToBegin(r.get());
    ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr), 0);
    FLVAVTagReader_ReleaseMemory(r.get(), tag);   // the reader's own record: ignored
    ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr), 0);
}

TEST(TagReader, AssignCopiesIndexAndPositionButNotTheReadState) {
    Reader a = OpenFixture("flv1_mp3_160x120.flv");
    FLVAVTagReader_SeekWithPos(a.get(), 50);
    Reader b(FLVAVTagReader_Create());
    EXPECT_EQ(FLVAVTagReader_Assign(a.get(), b.get()), 1);
    FLVTag* ta = nullptr;
    FLVTag* tb = nullptr;
    ASSERT_EQ(FLVAVTagReader_ReadTag(b.get(), 1, 0, &tb, nullptr), 0);
    ASSERT_EQ(FLVAVTagReader_ReadTag(a.get(), 1, 0, &ta, nullptr), 0);
    EXPECT_EQ(ta->filePosition, tb->filePosition);
    EXPECT_NE(ta, tb);
    FLVAVTagReader_Close(a.get());
    ASSERT_EQ(FLVAVTagReader_ReadTag(b.get(), 1, 0, &tb, nullptr), 0) << "the copy has its own file";
    EXPECT_EQ(FLVAVTagReader_Assign(b.get(), b.get()), 1);
    Reader closed(FLVAVTagReader_Create());
    EXPECT_EQ(FLVAVTagReader_Assign(closed.get(), b.get()), 0);
}

TEST(TagReader, OccupiedMemoryIsTheReservedIndexAndTheReadBuffer) {
    Reader r = OpenFixture("flv1_mp3_160x120.flv");
    const int64_t bytes = FLVAVTagReader_GetOccupyMemory(r.get());
    EXPECT_GE(bytes, 32768 * 20);
    EXPECT_LT(bytes, 32768 * 20 + 1024) << "the read buffer holds only the last audio tag so far";
    FLVAVTagReader_Close(r.get());
    EXPECT_EQ(FLVAVTagReader_GetOccupyMemory(r.get()), 0);
}

// Tags beyond 4 GiB: a sparse file of large script tags (never loaded, so
// skipped with seeks), then real audio and video.
TEST(TagReader, IndexesAndReadsTagsBeyondFourGibibytes) {
    char path[] = "/tmp/tagflow-big-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    FlvBuilder head;
    ASSERT_EQ(pwrite(fd, head.bytes.data(), head.bytes.size(), 0), ssize_t(head.bytes.size()));
    int64_t pos = int64_t(head.bytes.size());
    const uint32_t big = 0xFFFFF0;
    for (int i = 0; i < 260; ++i) {   // 260 x 16 MiB > 4 GiB
        const uint8_t h[11] = {18, uint8_t(big >> 16), uint8_t(big >> 8), uint8_t(big), 0, 0, 0, 0, 0, 0, 0};
        ASSERT_EQ(pwrite(fd, h, 11, pos), 11);
        const uint32_t prev = big + 11;
        const uint8_t p[4] = {uint8_t(prev >> 24), uint8_t(prev >> 16), uint8_t(prev >> 8), uint8_t(prev)};
        ASSERT_EQ(pwrite(fd, p, 4, pos + 11 + big), 4);
        pos += 15 + big;
    }
    ASSERT_GT(pos, int64_t(1) << 32);
    FlvBuilder tail;
    tail.Pcm(0, 100).H263(0, true).H263(40, false).Pcm(100, 100);
    const size_t tailBytes = tail.bytes.size() - 13;
    ASSERT_EQ(pwrite(fd, tail.bytes.data() + 13, tailBytes, pos), ssize_t(tailBytes));
    close(fd);

    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), path), 1);
    uint32_t ts = 1;
    ASSERT_EQ(FLVAVTagReader_SeekEx(r.get(), 9, 0, &ts), 0);
    EXPECT_EQ(ts, 0u);
    FLVTag* tag = nullptr;
    ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr), 0);
    EXPECT_EQ(tag->type, 9u);
    EXPECT_GT(tag->filePosition, int64_t(1) << 32);
    EXPECT_EQ(tag->codecField3, 160u) << "the right bytes were read back";
    ASSERT_EQ(FLVAVTagReader_ReadTag(r.get(), 1, 8, &tag, nullptr), 0);
    EXPECT_EQ(tag->timestamp, 100u);
    EXPECT_EQ(tag->filePosition, pos + int64_t(tailBytes) - (11 + 4411 + 4));
    r.reset();
    unlink(path);
}

}  // namespace

namespace {

struct ReadTagFacts {
    uint32_t type, timestamp, packetType, frameType;
    int64_t filePosition;
};

ReadTagFacts Next(CFLVAVTagReader* r, int filter = 0) {
    FLVTag* tag = nullptr;
    uint32_t duration = 0;
    EXPECT_EQ(FLVAVTagReader_ReadTag(r, 1, filter, &tag, &duration), 0);
    if (!tag) return {};
    return {tag->type, tag->timestamp, tag->packetType, tag->codecField1, tag->filePosition};
}

}  // namespace

// H.264 + AAC: after a seek, the setups from the start of the file come
// first (timed at the new position), so the decoders can start there; read
// straight through, each setup comes once. Key frame queries and seeks never
// land on a setup or on the end of sequence, and a seek takes the key frame
// shown at or before the time (shown later than it is stored).
TEST(TagReader, SeeksHandOutTheCodecSetupsInForce) {
    Reader r = OpenFixture("h264_aac_bf2_160x120.flv");
    ReadTagFacts f = Next(r.get());
    ASSERT_EQ(f.type, 18u);
    ASSERT_EQ(Next(r.get()).filePosition, 0) << "the synthetic audio entry before the first video";
    const ReadTagFacts videoSetup = Next(r.get());
    ASSERT_EQ(videoSetup.type, 9u);
    ASSERT_EQ(videoSetup.packetType, 0u);
    const ReadTagFacts audioSetup = Next(r.get());
    ASSERT_EQ(audioSetup.type, 8u);
    ASSERT_EQ(audioSetup.packetType, 0u);
    int setups = 2, tags = 4;
    FLVTag* tag = nullptr;
    while (FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, nullptr) == 0) {
        ++tags;
        setups += tag->dataSize >= 2 && tag->packetType == 0 && (tag->type == 8 || tag->codecField2 == 7);
    }
    EXPECT_EQ(setups, 2) << "read in order, no setup is repeated";

    // The key frame stored at 1000 ms is shown at 1080: 1040 needs the one
    // before. Whichever key frame, the setups lie before it.
    struct SeekCase { uint32_t t, key; } seeks[] = {{1500, 1000}, {1080, 1000}, {1040, 0}, {2100, 2000}};
    for (const auto& c : seeks) {
        SCOPED_TRACE(c.t);
        uint32_t ts = 0;
        ASSERT_EQ(FLVAVTagReader_SeekEx(r.get(), 9, c.t, &ts), 0);
        EXPECT_EQ(ts, c.key);
        f = Next(r.get());
        EXPECT_EQ(f.type, 9u);
        EXPECT_EQ(f.packetType, 0u) << "the AVC setup first";
        EXPECT_EQ(f.filePosition, videoSetup.filePosition);
        EXPECT_EQ(f.timestamp, c.key) << "timed where the reading goes on";
        f = Next(r.get());
        EXPECT_EQ(f.type, 9u);
        EXPECT_EQ(f.packetType, 1u);
        EXPECT_EQ(f.frameType, 1u) << "then the key frame";
        EXPECT_EQ(f.timestamp, c.key);
        do f = Next(r.get());
        while (f.type == 9);
        EXPECT_EQ(f.type, 8u);
        EXPECT_EQ(f.packetType, 0u) << "the AAC setup before the first sound";
        EXPECT_EQ(f.filePosition, audioSetup.filePosition);
        EXPECT_EQ(f.timestamp, c.key) << "timed where the reading went on, before that sound";
        EXPECT_EQ(Next(r.get()).packetType, 1u);
    }
    // A read filtered to video takes only the video setup; going one back
    // (the frame reader rereads a tag) hands out nothing again.
    ASSERT_EQ(FLVAVTagReader_Seek(r.get(), 9, 1500), 0);
    EXPECT_EQ(Next(r.get(), 9).packetType, 0u);
    EXPECT_EQ(Next(r.get(), 9).frameType, 1u);
    ASSERT_EQ(r->StepBack(), 0);
    EXPECT_EQ(Next(r.get(), 9).frameType, 1u);

    for (uint32_t t : {0u, 500u, 1000u, 2000u, 2959u}) {
        uint32_t ts = 0;
        int32_t entry = -1;
        // Positioning at an entry is a jump too: the setup comes first.
        if (FLVAVTagReader_GetNextKeyFrameTimeStampEx(r.get(), t, &ts, &entry)) {
            ASSERT_EQ(FLVAVTagReader_SeekWithPos(r.get(), entry), 0);
            EXPECT_EQ(Next(r.get(), 9).packetType, 0u) << t;
            f = Next(r.get(), 9);
            EXPECT_EQ(f.packetType, 1u) << t;
            EXPECT_EQ(f.frameType, 1u) << t;
        }
        if (FLVAVTagReader_GetPreKeyFrameTimeStampEx(r.get(), t, &ts, &entry)) {
            ASSERT_EQ(FLVAVTagReader_SeekWithPos(r.get(), entry), 0);
            EXPECT_EQ(Next(r.get(), 9).packetType, 0u) << t;
            f = Next(r.get(), 9);
            EXPECT_EQ(f.packetType, 1u) << t;
            EXPECT_EQ(f.frameType, 1u) << t;
        }
    }
    // The rate counts pictures only, over the times they are shown.
    FLVInfo ex{};
    FLVAVTagReader_GetFLVInfoEx(r.get(), &ex);
    EXPECT_DOUBLE_EQ(ex.frameRate, 25.0);
    int32_t interval = 0;
    FLVAVTagReader_GetMinIntervaledFrameTime(r.get(), &interval);
    EXPECT_EQ(interval, 40);
}
