// Damaged and hostile files: the documented results, no crash, no read
// outside what the file holds (run under the sanitizer build as well).
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <unistd.h>

#include "TestSupport.h"

namespace {

struct ReaderDeleter {
    void operator()(CFLVAVTagReader* r) const { FLVAVTagReader_Delete(r); }
};
using Reader = std::unique_ptr<CFLVAVTagReader, ReaderDeleter>;

// Reads every tag; returns how many were read and the result that stopped it.
std::pair<int, int> ReadAll(CFLVAVTagReader* r) {
    FLVTag* tag = nullptr;
    uint32_t duration = 0;
    int n = 0, result;
    while ((result = FLVAVTagReader_ReadTag(r, 1, 0, &tag, &duration)) == 0) ++n;
    return {n, result};
}

TEST(DamagedFiles, FixturesGiveTheirDocumentedResults) {
    struct Case {
        const char* file;
        int open;
        int entries;   // indexed tags when it opens
    } cases[] = {
        {"bad_empty.flv", 0, 0},
        {"bad_signature.flv", 0, 0},
        {"bad_truncated_mid_tag.flv", 1, 10},   // the tags before the cut
        {"bad_size_past_end.flv", 1, 96},       // the tags before the oversized one
        {"bad_decreasing_ts.flv", 1, 193},
        {"no_such_file.flv", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        Reader r(FLVAVTagReader_Create());
        EXPECT_EQ(FLVAVTagReader_Open(r.get(), Fixture(c.file).c_str()), c.open);
        EXPECT_EQ(FLVAVTagReader_IsOpened(r.get()), c.open);
        if (!c.open) {
            EXPECT_EQ(ReadAll(r.get()).second, 3);
            continue;
        }
        const auto [n, result] = ReadAll(r.get());
        EXPECT_EQ(n, c.entries);
        EXPECT_EQ(result, 1) << "reading stops at the end of the index";
        int32_t interval = 0;
        FLVAVTagReader_GetMinIntervaledFrameTime(r.get(), &interval);
        EXPECT_GT(interval, 0) << "never zero or negative from a decreasing time";
        EXPECT_EQ(FLVAVTagReader_Close(r.get()), 1);
    }
}

TEST(DamagedFiles, DecreasingTimestampGivesOneMillisecondNotAWrappedDuration) {
    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), Fixture("bad_decreasing_ts.flv").c_str()), 1);
    FLVTag* tag = nullptr;
    uint32_t duration = 0;
    uint32_t longest = 0;
    while (FLVAVTagReader_ReadTag(r.get(), 0, 9, &tag, &duration) == 0)
        longest = std::max(longest, duration);
    EXPECT_LT(longest, 200u);
    FLVInfo info{};
    FLVAVTagReader_GetFLVInfo(r.get(), &info);
    EXPECT_GT(info.frameRate, 0.0);
}

TEST(DamagedFiles, HostileHeadersAndSizes) {
    std::vector<std::pair<const char*, std::vector<uint8_t>>> files;
    files.push_back({"header only", FlvBuilder().bytes});
    files.push_back({"DataOffset far past the end", FlvBuilder(5, 9).bytes});
    files.back().second[5] = 0xFF;   // DataOffset 0xFF000009
    files.push_back({"DataOffset below the header", FlvBuilder().bytes});
    files.back().second[8] = 3;
    {
        FlvBuilder b;
        b.Tag(9, 0, {}).Tag(8, 0, {}).Tag(9, 0, {0x15, 0, 0xFF, 0xFF, 0xFF, 1}).Tag(9, 40, {0x12})
            .Tag(18, 0, std::vector<uint8_t>(300, 0xFF)).Pcm(0, 10);
        files.push_back({"empty tags, a bad alpha offset, a one-byte H.263 key frame, junk script", b.bytes});
    }
    for (const auto& [what, bytes] : files) {
        SCOPED_TRACE(what);
        TempFile f(bytes);
        Reader r(FLVAVTagReader_Create());
        const int opened = FLVAVTagReader_Open(r.get(), f.path.c_str());
        if (bytes.size() > 100) {
            ASSERT_EQ(opened, 1);
            FLVInfo ex{};
            FLVAVTagReader_GetFLVInfoEx(r.get(), &ex);
            EXPECT_EQ(ex.width, 0);
            const auto [n, result] = ReadAll(r.get());
            EXPECT_EQ(result, 1);
            EXPECT_EQ(n, 7) << "the six tags and the synthetic audio entry";
        } else {
            EXPECT_EQ(opened, 0) << "no tags: nothing to open";
        }
    }
}

TEST(DamagedFiles, FileCutAfterOpeningGivesAReadError) {
    TempFile f(ReadFixture("flv1_mp3_160x120.flv"));
    Reader r(FLVAVTagReader_Create());
    ASSERT_EQ(FLVAVTagReader_Open(r.get(), f.path.c_str()), 1);
    ASSERT_EQ(truncate(f.path.c_str(), 20000), 0);
    const auto [n, result] = ReadAll(r.get());
    EXPECT_GT(n, 10);
    EXPECT_EQ(result, 4);
}

TEST(DamagedFiles, TooLongPathIsRefused) {
    Reader r(FLVAVTagReader_Create());
    const std::string longPath(5000, 'a');
    EXPECT_EQ(FLVAVTagReader_Open(r.get(), longPath.c_str()), 0);
    EXPECT_EQ(FLVAVTagReader_Open(r.get(), nullptr), 0);
    EXPECT_EQ(FLVAVTagReader_Open(nullptr, "x"), 0);
}

// Every input a fuzz target ever tripped on, through both entry points.
TEST(DamagedFiles, FuzzRegressionsStayHarmless) {
    for (const auto& entry : std::filesystem::directory_iterator(FUZZ_REGRESSIONS_DIR)) {
        if (entry.path().filename() == "README.md") continue;
        SCOPED_TRACE(entry.path().string());
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        ParserRun run;
        run.Run(bytes, 7, true);
        Reader r(FLVAVTagReader_Create());
        if (FLVAVTagReader_Open(r.get(), entry.path().c_str()) == 1) {
            EXPECT_EQ(ReadAll(r.get()).second, 1);
        }
    }
}

}  // namespace
