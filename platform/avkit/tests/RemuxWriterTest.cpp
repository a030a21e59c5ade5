// The remux writer: packets given as they are, the index before the media
// (moved there, or written into room kept for it), chapters and tags, and
// the codecs a container cannot hold refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ProbeTool.h"
#include "avkit/Remux.h"

using namespace avkit_test;

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

// Two seconds of 16-bit mono PCM at 8 kHz in 20 ms blocks (which MOV
// readers regroup by chunk), two chapters.
bool WritePcm(AvkRemux* w) {
    if (ARMX_AddAudio(w, 65536, 8000, 1, 16, nullptr, 0) != 0) return false;
    ARMX_SetTag(w, "title", "Remuxed");
    ARMX_AddChapter(w, "first");
    ARMX_AddChapter(w, "second");
    ARMX_SetChapterTime(w, 0, 0, 1000);
    ARMX_SetChapterTime(w, 1, 1000, 2000);
    if (!ARMX_Begin(w)) return false;
    std::vector<uint8_t> block(320);
    for (int i = 0; i < 100; ++i) {
        for (size_t k = 0; k < block.size(); ++k) block[k] = uint8_t(i + k);
        if (!ARMX_Write(w, 0, block.data(), int(block.size()), i * 20, i * 20, 1)) return false;
    }
    return ARMX_End(w) != 0;
}

}  // namespace

TEST(RemuxWriter, TheIndexComesFirstMovedOrIntoItsRoom) {
    for (const int64_t room : {int64_t{0}, int64_t{64} << 10}) {
        SCOPED_TRACE(room);
        const std::string path = TempPath("mov");
        AvkRemux* w = ARMX_Create("mov", path.c_str());
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(ARMX_SetIndexRoom(w, room));
        EXPECT_TRUE(WritePcm(w)) << ARMX_Error(w);
        ARMX_Delete(w);
        const std::string bytes = Bytes(path);
        EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
        EXPECT_EQ(bytes.find("free") != std::string::npos && bytes.find("free") < bytes.find("mdat"), room > 0)
            << "the room left over is a free box before the media";
        const auto p = Probe(path);
        ASSERT_EQ(p.count("error"), 0u) << p.at("error");
        EXPECT_EQ(p.at("format.tags.title"), "Remuxed");
        EXPECT_EQ(p.at("streams.stream.0.codec_name"), "pcm_s16le");
        EXPECT_NEAR(std::stod(p.at("format.duration")), 2.0, 0.05);
        std::remove(path.c_str());
    }
}

// Lent packets are written as they were lent, up to the release that lets
// them go; packets given to ARMX_Write as they were at the call, however
// soon their buffer is used again.
TEST(RemuxWriter, LentBytesAreWrittenUntilReleasedOthersAreCopied) {
    const std::string path = TempPath("mov");
    AvkRemux* w = ARMX_Create("mov", path.c_str());
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(ARMX_AddAudio(w, 65536, 8000, 1, 16, nullptr, 0), 0);
    ASSERT_TRUE(ARMX_Begin(w));
    constexpr int kBlock = 320, kBlocks = 100;
    std::vector<uint8_t> lent(size_t(kBlock) * kBlocks), reused(kBlock);
    std::string want;
    for (int i = 0; i < kBlocks; ++i) {
        const bool lend = i % 2 == 0;
        uint8_t* block = lend ? lent.data() + i * kBlock : reused.data();
        for (int k = 0; k < kBlock; ++k) block[k] = uint8_t(i * 7 + k);
        want.append(reinterpret_cast<const char*>(block), kBlock);
        ASSERT_TRUE(lend ? ARMX_WriteLent(w, 0, block, kBlock, i * 20, i * 20, 1)
                         : ARMX_Write(w, 0, block, kBlock, i * 20, i * 20, 1))
            << ARMX_Error(w);
        std::fill(reused.begin(), reused.end(), 0xEE);
        if (i == kBlocks / 2) {
            ASSERT_TRUE(ARMX_Release(w));
            std::fill(lent.begin(), lent.begin() + (i + 1) * kBlock, 0xEE);
        }
    }
    ASSERT_TRUE(ARMX_End(w)) << ARMX_Error(w);
    ARMX_Delete(w);
    const std::string bytes = Bytes(path);
    const size_t media = bytes.find("mdat");
    ASSERT_NE(media, std::string::npos);
    EXPECT_EQ(bytes.substr(media + 4, want.size()), want);
    EXPECT_EQ(Probe(path).count("error"), 0u);
    std::remove(path.c_str());
}

// Room too small for the index: the file fails at its end, saying so,
// rather than being written with a cut index.
TEST(RemuxWriter, TooLittleRoomForTheIndexFails) {
    const std::string path = TempPath("mp4");
    AvkRemux* w = ARMX_Create("mov", path.c_str());
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(ARMX_SetIndexRoom(w, 64));
    EXPECT_FALSE(WritePcm(w));
    EXPECT_STRNE(ARMX_Error(w), "");
    ARMX_Delete(w);
    std::remove(path.c_str());
}

TEST(RemuxWriter, ACodecTheContainerCannotHoldIsRefused) {
    const std::string path = TempPath("mp4");
    AvkRemux* w = ARMX_Create("mp4", path.c_str());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(ARMX_AddVideo(w, 22, 0, 160, 120, nullptr, 0), -1);   // Sorenson H.263
    EXPECT_NE(std::string(ARMX_Error(w)).find("cannot hold the video codec 22"), std::string::npos);
    EXPECT_GE(ARMX_AddAudio(w, 86017, 44100, 2, 16, nullptr, 0), 0);   // MP3
    ARMX_Delete(w);
    EXPECT_EQ(ARMX_Create("avi", path.c_str()), nullptr);
    std::remove(path.c_str());
}

// The file goes out through the writer's own buffer, in large writes: a
// device that takes nothing fails the file at its end, saying so, for every
// container (the last bytes reach the file only there).
TEST(RemuxWriter, AWriteThatFailsFailsTheFile) {
    for (const char* container : {"mp4", "matroska"}) {
        SCOPED_TRACE(container);
        AvkRemux* w = ARMX_Create(container, "/dev/full");
        ASSERT_NE(w, nullptr);
        EXPECT_FALSE(WritePcm(w));
        EXPECT_STRNE(ARMX_Error(w), "");
        ARMX_Delete(w);
    }
}
