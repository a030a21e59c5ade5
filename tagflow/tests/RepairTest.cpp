// The repair's parts on files built tag by tag: the time line's handling of
// a jump that the two streams cross at different tags, the scanner's
// resynchronisation, and the refusals.
#include <gtest/gtest.h>

#include <filesystem>

#include "RepairScanner.h"
#include "RepairSupport.h"
#include "RepairTimeline.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

class RepairFiles : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("repair-" + std::to_string(getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return path;
    }
    fs::path dir;
};

using T = CRepairTimeline;

}  // namespace

// Pictures cross a jump of +60 s two tags before the sound does: the sound
// runs on one block after its last, and the pictures are moved onto the
// sound's mapping, so both end up together and neither goes back.
TEST(RepairTimeline, SoundIsTheClockAcrossAJump) {
    T t;
    uint32_t lastVideo = 0, lastAudio = 0;
    for (uint32_t ms = 0; ms <= 1000; ms += 40) {
        lastVideo = t.Map(T::kVideo, ms, 0).time;
        lastAudio = t.Map(T::kAudio, ms, 40).time;
    }
    EXPECT_EQ(t.Map(T::kVideo, 61040, 0).event, T::kJump);   // the pictures first
    const uint32_t v2 = t.Map(T::kVideo, 61080, 0).time;
    const T::Mapped a = t.Map(T::kAudio, 61040, 40);
    EXPECT_EQ(a.event, T::kJump);
    EXPECT_EQ(a.time, lastAudio + 40);   // no hole and no overlap in the sound
    const T::Mapped v3 = t.Map(T::kVideo, 61120, 0);
    EXPECT_EQ(v3.time, std::max<uint32_t>(a.time + 80, v2 + 1));
    EXPECT_GT(v2, lastVideo);
}

// A restart from zero is a jump back; small steps back are held, and a
// stream that arrives near the other joins its mapping.
TEST(RepairTimeline, RestartAndStepsBack) {
    T t;
    EXPECT_EQ(t.Map(T::kAudio, 5000, 23).time, 0u);   // the first tag starts the output
    EXPECT_EQ(t.Map(T::kVideo, 5010, 0).time, 10u);    // near the sound: same mapping
    EXPECT_EQ(t.Map(T::kAudio, 5023, 23).time, 23u);
    const T::Mapped back = t.Map(T::kAudio, 5020, 23);
    EXPECT_EQ(back.event, T::kStepBack);
    EXPECT_EQ(back.time, 24u);
    const T::Mapped restart = t.Map(T::kAudio, 0, 23);
    EXPECT_EQ(restart.event, T::kJump);
    EXPECT_EQ(restart.time, 24u + 23u);
}

// Tags whose back-pointers are all wrong are still read whole (no damage is
// seen); a run of garbage is skipped to the next tag whose header, size and
// back-pointer agree.
TEST_F(RepairFiles, ScannerTrustsChainsAndResynchronises) {
    FlvBuilder b;
    for (int i = 0; i < 5; ++i) b.Pcm(uint32_t(i * 10), 10);
    std::vector<uint8_t> bytes = b.bytes;
    const size_t tagBytes = 11 + 1 + 441 + 4;
    for (int i = 0; i < 5; ++i) bytes[13 + tagBytes * size_t(i + 1) - 1] ^= 0x55;   // every back-pointer wrong
    CRepairScanner s;
    ASSERT_TRUE(s.Open(Write("chain.flv", bytes).c_str()));
    CRepairScanner::Tag tag;
    CRepairScanner::Skip skip;
    int n = 0;
    while (s.Next(tag, skip)) {
        EXPECT_EQ(skip.bytes, 0);
        ++n;
    }
    EXPECT_EQ(n, 5);

    std::vector<uint8_t> damaged = b.bytes;
    for (size_t i = 13 + tagBytes + 7; i < 13 + 3 * tagBytes + 20; ++i) damaged[i] = uint8_t(i * 37);
    CRepairScanner d;
    ASSERT_TRUE(d.Open(Write("garbage.flv", damaged).c_str()));
    std::vector<uint32_t> times;
    int64_t skipped = 0;
    while (d.Next(tag, skip)) {
        skipped += skip.bytes;
        times.push_back(tag.timestamp);
    }
    EXPECT_EQ(times, (std::vector<uint32_t>{0, 40}));
    EXPECT_EQ(skipped, int64_t(3 * tagBytes));
}

// A recording of several MiB with tags on both sides of the reading's 1 MiB
// edges and one tag larger than that: every tag comes out as it went in, and
// a run of zeros across an edge is skipped to exactly the next whole tag.
TEST_F(RepairFiles, LargeTagsAndDamageAcrossReadEdges) {
    FlvBuilder b;
    std::vector<int64_t> positions;   // of the sound tags
    uint32_t t = 0;
    for (int i = 0; i < 50; ++i) {
        if (i == 7) {   // a picture of 1.3 MB
            std::vector<uint8_t> big(1300000);
            for (size_t k = 0; k < big.size(); ++k) big[k] = uint8_t(k * 13 + 5);
            big[0] = 0x22;
            b.Tag(9, t, big);
        } else {
            b.H263(t, i % 5 == 0);
        }
        const uint32_t ms = 1000 + 10 * uint32_t(i % 3);
        std::vector<uint8_t> d(1 + 441 * ms / 10);
        for (size_t k = 0; k < d.size(); ++k) d[k] = uint8_t(k * 7 + i);
        d[0] = 0x3C;   // 8-bit mono PCM at 44100 Hz
        positions.push_back(int64_t(b.bytes.size()));
        b.Tag(8, t, d);
        t += ms;
    }
    ASSERT_GT(b.bytes.size(), size_t(3) << 20);
    const std::string clean = Write("long.flv", b.bytes);
    const RepairRun run = Repair(clean, dir.string());
    ASSERT_EQ(run.result, 0);
    EXPECT_TRUE(run.fixes.empty());
    ASSERT_EQ(run.paths.size(), 1u);
    // Tag for tag the same, after the output's own metadata.
    const auto tags = [](const std::string& path) {
        std::vector<std::vector<uint8_t>> all;
        TagioFileReadAble* r = CreateFileReadAble(path.c_str());
        TagioFlvHeader header{};
        TagioFlvTag tag{};
        if (r && Flv_ReadHeader(r, &header))
            while (Flv_ReadTag(r, 1, &tag))
                if (tag.type != 18) all.emplace_back(tag.buffer, tag.buffer + 11 + tag.dataSize);
        Flv_FreeTag(&tag);
        DeleteFileReadAble(r);
        return all;
    };
    EXPECT_TRUE(tags(run.paths[0]) == tags(clean));

    // Zeros from inside the tag before the 2 MiB edge to inside the one after it.
    std::vector<uint8_t> damaged = b.bytes;
    const int64_t edge = int64_t(2) << 20;
    size_t hit = 0;
    while (positions[hit + 1] <= edge) ++hit;
    ASSERT_NE(hit, 6u) << "the picture after the damage is a small one";
    std::fill(damaged.begin() + positions[hit] + 100, damaged.begin() + positions[hit + 1] + 100, 0);
    fs::remove_all(dir / "out.flv");
    const RepairRun broken = Repair(Write("damaged.flv", damaged), dir.string());
    ASSERT_EQ(broken.result, 0);
    int regions = 0;
    for (const FLVRepairFix& f : broken.fixes) {
        if (f.kind != FLVRepairDamagedRegion) continue;
        ++regions;
        EXPECT_EQ(f.offset, positions[hit]);
        // Two sound tags and the picture between them are lost; the next
        // whole tag is the picture before the third.
        EXPECT_EQ(f.offset + f.droppedBytes, positions[hit + 2] - (11 + 9 + 4));
    }
    EXPECT_EQ(regions, 1);
    ASSERT_EQ(broken.outputs.size(), 1u);
    EXPECT_EQ(broken.outputs[0].audioBlocks, 48);
}

// A large damaged region between two halves of a recording: a hole never
// written (as a disk that lost the data leaves it), the same length of
// written zeros, or of garbage. Each is skipped to exactly the next whole tag
// with the same fixes; the hole is passed over unread. While the search goes
// on, progress is told from inside the region, and a stop asked there ends
// the repair with nothing named an output.
TEST_F(RepairFiles, ALongDamagedRegionIsSkippedWithProgressAndAStop) {
    FlvBuilder head, tail;
    for (int i = 0; i < 20; ++i) head.H263(uint32_t(i * 40), i % 10 == 0).Pcm(uint32_t(i * 40), 40);
    for (int i = 20; i < 40; ++i) tail.H263(uint32_t(i * 40), i % 10 == 0).Pcm(uint32_t(i * 40), 40);
    const std::vector<uint8_t> rest(tail.bytes.begin() + 13, tail.bytes.end());   // its tags only
    const int64_t gap = int64_t(48) << 20, from = int64_t(head.bytes.size());
    const auto make = [&](const std::string& name, int kind) {
        const std::string path = (dir / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(head.bytes.data()), std::streamsize(head.bytes.size()));
        if (kind == 0) {
            out.seekp(from + gap);   // a hole
        } else {
            std::vector<uint8_t> fill(1 << 20);
            uint32_t seed = 7;
            for (int64_t m = 0; m < gap >> 20; ++m) {
                if (kind == 2)
                    for (auto& x : fill) x = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
                out.write(reinterpret_cast<const char*>(fill.data()), std::streamsize(fill.size()));
            }
        }
        out.write(reinterpret_cast<const char*>(rest.data()), std::streamsize(rest.size()));
        return path;
    };
    for (const int kind : {0, 1, 2}) {
        SCOPED_TRACE(kind == 0 ? "a hole" : kind == 1 ? "written zeros" : "garbage");
        const std::string input = make("gap.flv", kind);
        fs::remove(dir / "out.flv");
        const RepairRun run = Repair(input, dir.string());
        ASSERT_EQ(run.result, 0);
        ASSERT_EQ(run.Count(FLVRepairDamagedRegion), 1);
        for (const FLVRepairFix& f : run.fixes)
            if (f.kind == FLVRepairDamagedRegion) {
                EXPECT_EQ(f.offset, from);
                EXPECT_EQ(f.droppedBytes, gap);
            }
        ASSERT_EQ(run.outputs.size(), 1u);
        EXPECT_EQ(run.outputs[0].videoFrames, 40);

        struct Stop {
            int64_t from, to, toldInside = 0;
        } stop{from, from + gap};
        std::string stoppedPath = (dir / "stopped.flv").string();
        FLVRepairHandle r = FLVRepair_Create();
        FLVRepair_SetPathCallBack(
            r,
            [](void* user, int32_t, char* path, uint32_t size) -> int32_t {
                std::snprintf(path, size, "%s", static_cast<std::string*>(user)->c_str());
                return 1;
            },
            &stoppedPath);
        FLVRepair_SetProgressCallBack(
            r,
            [](void* user, int64_t done, int64_t) -> int32_t {
                auto* s = static_cast<Stop*>(user);
                // The plan pass tells positions as they are.
                if (done > s->from + (8 << 20) && done < s->to - (8 << 20)) ++s->toldInside;
                return s->toldInside > 0;
            },
            &stop);
        EXPECT_EQ(FLVRepair_Run(r, input.c_str()), 8);
        FLVRepair_Delete(r);
        EXPECT_EQ(stop.toldInside, 1);
        EXPECT_FALSE(fs::exists(dir / "stopped.flv"));
    }
}

// A tag whose size runs past the end ends the file at the last whole tag.
TEST_F(RepairFiles, CutTailEndsAtTheLastWholeTag) {
    FlvBuilder b;
    for (int i = 0; i < 4; ++i) b.H263(uint32_t(i * 40), i == 0).Pcm(uint32_t(i * 40), 40);
    std::vector<uint8_t> bytes = b.bytes;
    bytes.resize(bytes.size() - 100);
    const RepairRun run = Repair(Write("cut.flv", bytes), dir.string());
    EXPECT_EQ(run.result, 0);
    ASSERT_EQ(run.fixes.size(), 1u);
    EXPECT_EQ(run.fixes[0].kind, FLVRepairTruncatedTail);
    EXPECT_EQ(run.fixes[0].droppedBytes, int64_t(11 + 1 + 1764 + 4 - 100));
    ASSERT_EQ(run.outputs.size(), 1u);
    EXPECT_EQ(run.outputs[0].videoFrames, 4);
    EXPECT_EQ(run.outputs[0].audioBlocks, 3);
}

// Clean files of every header form come out whole: each picture and sound
// block once, one output (the setups found in the extended headers, the
// metadata packet and the ends of sequence passed over).
TEST_F(RepairFiles, TodaysCodecsInEveryHeaderFormComeOutWhole) {
    for (const char* name : {"hevc12_aac_160x120.flv", "hvc1_opus_160x120.flv", "av01_flac_160x120.flv",
                             "vp09_ac3_160x120.flv", "multitrack_hvc1_eac3_160x120.flv"}) {
        SCOPED_TRACE(name);
        const std::string input = Fixture(std::string("codecs/") + name);
        int pictures = 0, blocks = 0;
        TagioFileReadAble* f = CreateFileReadAble(input.c_str());
        TagioFlvHeader header{};
        ASSERT_TRUE(f && Flv_ReadHeader(f, &header));
        TagioFlvTag tag{};
        while (Flv_ReadTag(f, 0, &tag)) {
            const bool media = tag.packetType == 1;
            pictures += tag.type == 9 && media;
            blocks += tag.type == 8 && media;
        }
        DeleteFileReadAble(f);
        const RepairRun run = Repair(input, dir.string());
        EXPECT_EQ(run.result, 0);
        ASSERT_EQ(run.outputs.size(), 1u);
        EXPECT_EQ(run.outputs[0].videoFrames, pictures);
        EXPECT_EQ(run.outputs[0].audioBlocks, blocks);
        EXPECT_EQ(run.Count(FLVRepairSetupChange) + run.Count(FLVRepairNoSetup) + run.Count(FLVRepairUntilKeyFrame), 0);
        for (const auto& p : run.paths) fs::remove(p);
    }
}

TEST_F(RepairFiles, Refusals) {
    // Nothing to keep.
    FlvBuilder empty;
    empty.Tag(18, 0, {2, 0, 10, 'o', 'n', 'M', 'e', 't', 'a', 'D', 'a', 't', 'a', 5});
    EXPECT_EQ(Repair(Write("empty.flv", empty.bytes), dir.string()).result, 3);
    EXPECT_EQ(Repair(Write("text.flv", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}), dir.string()).result, 2);
    EXPECT_EQ(Repair((dir / "missing.flv").string(), dir.string()).result, 1);
    EXPECT_EQ(Repair(dir.string(), dir.string()).result, 1);   // a folder
    // An output path that is the input itself is never opened for writing.
    FlvBuilder b;
    b.H263(0, true).Pcm(0, 40);
    const std::string input = Write("out.flv", b.bytes);
    EXPECT_EQ(Repair(input, dir.string()).result, 4);
    std::ifstream in(input, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}), b.bytes);
}

// The recording is cut short while the repair writes it (a recorder still
// at work on it): the repair ends with an error, not a fault of its own, and
// never says the input gave a clean file.
TEST_F(RepairFiles, InputCutShortWhileWrittenEndsWithAnError) {
    FlvBuilder b;
    for (int i = 0; i < 200; ++i) b.H263(uint32_t(i * 40), i % 25 == 0).Pcm(uint32_t(i * 40), 40);
    struct Cut {
        std::string input, output;
    } cut{Write("growing.flv", b.bytes), (dir / "out.flv").string()};
    FLVRepairHandle r = FLVRepair_Create();
    // The write pass asks for its output's name once the plan is done.
    FLVRepair_SetPathCallBack(
        r,
        [](void* user, int32_t, char* path, uint32_t size) -> int32_t {
            const auto* c = static_cast<Cut*>(user);
            if (truncate(c->input.c_str(), 4096) != 0) return 0;
            std::snprintf(path, size, "%s", c->output.c_str());
            return 1;
        },
        &cut);
    const int32_t result = FLVRepair_Run(r, cut.input.c_str());
    FLVRepair_Delete(r);
    EXPECT_TRUE(result == 4 || result == 6) << result;
}

// Every input a fuzz target ever tripped on, repaired: no crash, a known result.
TEST_F(RepairFiles, FuzzRegressionsStayHarmless) {
    for (const auto& entry : fs::directory_iterator(FUZZ_REGRESSIONS_DIR)) {
        if (entry.path().filename() == "README.md") continue;
        SCOPED_TRACE(entry.path().string());
        const RepairRun run = Repair(entry.path().string(), dir.string());
        EXPECT_GE(run.result, 0);
        EXPECT_LE(run.result, 7);
        for (const auto& p : run.paths) fs::remove(p);
    }
}
