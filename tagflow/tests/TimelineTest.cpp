// Time lines that lie and files that end in nothing: the length of a file
// comes from a consistent time line, and bytes that are no tags cost nothing.
#include <gtest/gtest.h>

#include <fstream>

#include <chrono>
#include <filesystem>
#include <memory>
#include <unistd.h>

#include "FLVAVTagReader.h"
#include "TestSupport.h"

namespace {

struct ReaderDeleter {
    void operator()(CFLVAVTagReader* r) const { FLVAVTagReader_Delete(r); }
};
using Reader = std::unique_ptr<CFLVAVTagReader, ReaderDeleter>;

struct Facts {
    uint32_t end = 0;        // ms, the larger of the audio and video ends
    double seconds = 0;      // the extended record's duration
    uint32_t latestTag = 0;  // the latest time of any tag read
    int tags = 0;
    int lastResult = 0;
};

Facts Examine(CFLVAVTagReader* r) {
    Facts f;
    uint32_t audioEnd = 0, videoEnd = 0;
    FLVAVTagReader_GetDuration(r, &audioEnd, &videoEnd);
    f.end = std::max(audioEnd, videoEnd);
    FLVInfo info{};
    FLVAVTagReader_GetFLVInfoEx(r, &info);
    f.seconds = info.duration;
    FLVTag* tag = nullptr;
    uint32_t d = 0;
    while ((f.lastResult = FLVAVTagReader_ReadTag(r, 1, 0, &tag, &d)) == 0) {
        f.latestTag = std::max(f.latestTag, tag->timestamp);
        ++f.tags;
    }
    return f;
}

}  // namespace

// One stamp far from the rest is damage; a count that wraps at 2^32 ms goes
// on. Either way the file is as long as its sound and pictures.
TEST(Timeline, LoneOrWrappedStampsGiveNoLength) {
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint32_t minEndMs, maxEndMs;   // the time line goes on to the end
    };
    std::vector<Case> cases;
    for (uint32_t stray : {0xFFFFFFFFu, 0x80000000u}) {
        std::vector<uint8_t> sound(55, 0x80);
        sound[0] = 0x3C;   // 8-bit mono PCM at 44100 Hz
        FlvBuilder b;
        b.H263(0, true).Tag(8, stray, sound);
        EXPECT_EQ(b.bytes.size(), 107u);
        cases.push_back({stray == 0xFFFFFFFFu ? "sound at 0xFFFFFFFF beside a picture at 0"
                                              : "sound at 0x80000000 beside a picture at 0",
                         b.bytes, 0, 1000});
    }
    {
        FlvBuilder b;   // a stray picture in the middle of 2 s
        for (uint32_t t = 0; t < 2000; t += 40) {
            b.H263(t == 1000 ? 0x80000000u : t, t % 1000 == 0).Pcm(t, 40);
        }
        cases.push_back({"one picture at 2^31 ms among 2 s", b.bytes, 1950, 2100});
    }
    {
        FlvBuilder b;   // 2 s before the wrap and 2 s after it
        for (uint32_t i = 0; i < 100; ++i) {
            const uint32_t t = 0xFFFFFFFFu - 1999 + i * 40;   // wraps after 50 pictures
            b.H263(t, i % 25 == 0).Pcm(t, 40);
        }
        cases.push_back({"stamps that wrap at 2^32 ms", b.bytes, 3950, 4100});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFile f(c.bytes);
        Reader r(FLVAVTagReader_Create());
        ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
        const Facts facts = Examine(r.get());
        EXPECT_GE(facts.end, c.minEndMs);
        EXPECT_LE(facts.end, c.maxEndMs);
        EXPECT_LE(facts.seconds * 1000, c.maxEndMs);
        EXPECT_LE(facts.latestTag, c.maxEndMs);
        EXPECT_EQ(facts.lastResult, 1);
    }
}

// A header, 20 tags and 4 GB of holes: the zeros are no tags, so the index
// holds the 20 (and the leading audio entry) and opening takes no time.
TEST(Timeline, ZeroFilledTailIsNoTags) {
    FlvBuilder b;
    for (uint32_t i = 0; i < 10; ++i) b.H263(i * 40, i == 0).Pcm(i * 40, 40);
    TempFile f(b.bytes);
    ASSERT_EQ(truncate(f.path.c_str(), off_t(b.bytes.size()) + (off_t(4) << 30)), 0);
    const auto start = std::chrono::steady_clock::now();
    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LE(r->EntryCount(), 21u);
    EXPECT_LT(seconds, 2.0) << "zeros must not be walked as tags";
    const Facts facts = Examine(r.get());
    EXPECT_EQ(facts.tags, 21) << "the 20 and the leading audio entry";
    EXPECT_LE(facts.end, 500u);
}

// Damage in the middle: reading goes on at the next tag whose size and
// PreviousTagSize agree, however far on, as the repair does: a short run of
// zeros, a hole of 48 MiB never written (passed over unread), and 8 MiB of
// garbage.
TEST(Timeline, ReadingGoesOnAfterDamage) {
    FlvBuilder first, second;
    for (uint32_t i = 0; i < 5; ++i) first.H263(i * 40, i == 0).Pcm(i * 40, 40);
    for (uint32_t i = 5; i < 10; ++i) second.H263(i * 40, i == 5).Pcm(i * 40, 40);
    const std::vector<uint8_t> rest(second.bytes.begin() + 13, second.bytes.end());
    for (const int kind : {0, 1, 2}) {
        SCOPED_TRACE(kind == 0 ? "zeros" : kind == 1 ? "a hole" : "garbage");
        std::vector<uint8_t> bytes = first.bytes;
        if (kind == 0) bytes.insert(bytes.end(), 70000, 0);
        if (kind == 2) {
            uint32_t seed = 3;
            for (int k = 0; k < (8 << 20); ++k) bytes.push_back(uint8_t((seed = seed * 1103515245 + 12345) >> 16));
        }
        TempFile f(bytes);
        if (kind == 1) {
            std::ofstream out(f.path, std::ios::binary | std::ios::in);
            out.seekp(std::streamoff(bytes.size()) + (std::streamoff(48) << 20));
            out.write(reinterpret_cast<const char*>(rest.data()), std::streamsize(rest.size()));
        } else {
            std::ofstream(f.path, std::ios::binary | std::ios::app)
                .write(reinterpret_cast<const char*>(rest.data()), std::streamsize(rest.size()));
        }
        Reader r(FLVAVTagReader_Create());
        ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
        const Facts facts = Examine(r.get());
        EXPECT_EQ(facts.tags, 21) << "the 20 and the leading audio entry";
        EXPECT_EQ(facts.lastResult, 1);
    }
}

// The hostile files of make-damaged.py: they open or are refused, and then
// read, seek and report a sane length without crash, hang or growth.
TEST(Timeline, HostileFixturesStayHarmless) {
    int seen = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VELTRANO_FIXTURES_DIR)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("hostile_", 0) != 0) continue;
        SCOPED_TRACE(name);
        ++seen;
        Reader r(FLVAVTagReader_Create());
        if (FLVAVTagReader_Open(r.get(), entry.path().c_str()) != 1) continue;
        EXPECT_LE(r->EntryCount(), 1000u);
        FLVInfo info{};
        FLVAVTagReader_GetFLVInfoEx(r.get(), &info);
        EXPECT_GE(info.frameRate, 0.0);
        EXPECT_LE(info.frameRate, 1000.0);
        const Facts facts = Examine(r.get());
        EXPECT_LE(facts.end, 60000u) << "no file here lasts a minute";
        EXPECT_LE(facts.seconds, 60.0);
        EXPECT_EQ(facts.lastResult, 1);
        uint32_t ts = 0;
        FLVAVTagReader_SeekEx(r.get(), 8, facts.end / 2, &ts);
        FLVAVTagReader_SeekEx(r.get(), 9, facts.end / 2, &ts);
        FLVTag* tag = nullptr;
        uint32_t d = 0;
        while (FLVAVTagReader_ReadTag(r.get(), 1, 0, &tag, &d) == 0) {
        }
    }
    EXPECT_GE(seen, 8) << "run tests/fixtures/make-damaged.py";
}
