#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "avkit/PictureFile.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

// Bytes of this process in memory now, and at most so far.
int64_t ResidentBytes() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<int64_t>(resident) * sysconf(_SC_PAGESIZE);
}
int64_t PeakResidentBytes() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<int64_t>(u.ru_maxrss) * 1024;
}

constexpr int64_t MiB = 1024 * 1024;

struct Bytes : std::vector<uint8_t> {
    Bytes& Raw(const char* text) {
        insert(end(), text, text + std::strlen(text));
        return *this;
    }
    Bytes& Le(uint32_t v, int n) {
        for (int i = 0; i < n; ++i) push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& Be(uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) push_back(static_cast<uint8_t>(v >> (8 * i)));
        return *this;
    }
    Bytes& Add(std::initializer_list<uint8_t> b) {
        insert(end(), b);
        return *this;
    }
    Bytes& PngChunk(const char* type, const Bytes& data) {
        Be(static_cast<uint32_t>(data.size()), 4);
        const size_t from = size();
        Raw(type).insert(end(), data.begin(), data.end());
        uint32_t crc = 0xFFFFFFFFu;
        for (size_t i = from; i < size(); ++i) {
            crc ^= (*this)[i];
            for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
        return Be(crc ^ 0xFFFFFFFFu, 4);
    }
    void WriteTo(const std::string& path) const {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data()), std::streamsize(size()));
    }
};

TEST(PictureFile, StillPicturesReportTypeSizeAndOneFrame) {
    struct Case {
        const char* file;
        const char* type;
        int width, height;
    };
    const Case cases[] = {
        {"still_160x120.jpg", "JPEG", 160, 120},
        {"still_160x120.png", "PNG", 160, 120},
        {"still_64x48.bmp", "BMP", 64, 48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        AvkPictureFile* p = APF_Open(Fixture(c.file).c_str());
        ASSERT_NE(p, nullptr);
        EXPECT_STREQ(APF_TypeName(p), c.type);
        EXPECT_EQ(APF_Width(p), c.width);
        EXPECT_EQ(APF_Height(p), c.height);
        EXPECT_EQ(APF_FrameCount(p), 1);
        EXPECT_FALSE(APF_HasFrameDelays(p));
        EXPECT_EQ(APF_FrameDelay(p, 0), -1);
        const uint8_t* px = APF_FrameBGRA(p, 0);
        ASSERT_NE(px, nullptr);
        EXPECT_EQ(px[3], 255);  // opaque pictures come out opaque
        EXPECT_EQ(APF_FrameBGRA(p, 1), nullptr);
        APF_Close(p);
    }
}

TEST(PictureFile, AnimatedGifKeepsEveryStoredDelay) {
    AvkPictureFile* p = APF_Open(Fixture("anim_1x1_delays_0_5_5.gif").c_str());
    ASSERT_NE(p, nullptr);
    EXPECT_STREQ(APF_TypeName(p), "GIF");
    ASSERT_EQ(APF_FrameCount(p), 3);
    EXPECT_TRUE(APF_HasFrameDelays(p));
    EXPECT_EQ(APF_FrameDelay(p, 0), 0);
    EXPECT_EQ(APF_FrameDelay(p, 1), 5);
    EXPECT_EQ(APF_FrameDelay(p, 2), 5);

    // Frames decode in any order: red, blue, red.
    const uint8_t red[4] = {0x00, 0x00, 0xFF, 0xFF}, blue[4] = {0xFF, 0x00, 0x00, 0xFF};
    for (int index : {1, 0, 2, 1}) {
        const uint8_t* px = APF_FrameBGRA(p, index);
        ASSERT_NE(px, nullptr) << index;
        EXPECT_EQ(0, std::memcmp(px, index % 2 ? blue : red, 4)) << index;
    }
    APF_Close(p);

    AvkPictureFile* fixture = APF_Open(Fixture("anim_64x48_5x100ms.gif").c_str());
    ASSERT_NE(fixture, nullptr);
    EXPECT_EQ(APF_FrameCount(fixture), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(APF_FrameDelay(fixture, i), 10);
    APF_Close(fixture);
}

TEST(PictureFile, OpeningAsksNoFrameBuffer) {
    // 2 KB of file, 64 MiB of pixels once decoded.
    const int64_t before = ResidentBytes();
    AvkPictureFile* p = APF_Open(Fixture("still_4096x4096_1bit.png").c_str());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(APF_Width(p), 4096);
    EXPECT_EQ(APF_Height(p), 4096);
    EXPECT_LT(ResidentBytes() - before, 24 * MiB);
    const uint8_t* px = APF_FrameBGRA(p, 0);
    ASSERT_NE(px, nullptr);
    EXPECT_GE(ResidentBytes() - before, 48 * MiB);  // the measure sees the frame
    const size_t last = (size_t(4096) * 4096 - 1) * 4;
    EXPECT_EQ(px[last], 0);
    EXPECT_EQ(px[last + 3], 255);
    EXPECT_EQ(APF_FrameBGRA(p, 0), px);  // the same frame again: no new work
    APF_Close(p);
}

// Headers of a few dozen bytes claiming 16000 x 16000 pictures (1 GiB as BGRA).
TEST(PictureFile, ASizeTheFileCannotHoldIsRefusedBeforeAnythingIsAllocated) {
    constexpr uint32_t N = 16000;
    Bytes gif;  // the logical screen is huge, the one image 1 x 1
    gif.Raw("GIF89a").Le(N, 2).Le(N, 2).Add({0x80, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF});
    gif.Add({0x2C}).Le(0, 2).Le(0, 2).Le(1, 2).Le(1, 2).Add({0, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B});
    Bytes ihdr, idat, png;
    ihdr.Be(N, 4).Be(N, 4).Add({8, 6, 0, 0, 0});
    idat.Add({0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01});  // an empty zlib stream
    png.Add({0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}).PngChunk("IHDR", ihdr).PngChunk("IDAT", idat);
    png.PngChunk("IEND", Bytes{});
    Bytes bmp;  // 24-bit, uncompressed, with 64 bytes of its 768 MB of rows
    bmp.Raw("BM").Le(54 + N * N * 3, 4).Le(0, 4).Le(54, 4).Le(40, 4).Le(N, 4).Le(N, 4).Le(1, 2).Le(24, 2);
    bmp.Le(0, 4).Le(N * N * 3, 4).Le(2835, 4).Le(2835, 4).Le(0, 4).Le(0, 4).insert(bmp.end(), 64, 0);

    const int64_t peak = PeakResidentBytes();
    const std::pair<const char*, Bytes> files[] = {{"huge.gif", gif}, {"huge.png", png}, {"huge.bmp", bmp}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string path = ::testing::TempDir() + "/" + name;
        bytes.WriteTo(path);
        AvkPictureFile* p = APF_Open(path.c_str());
        EXPECT_EQ(p, nullptr);
        APF_Close(p);
        EXPECT_LT(PeakResidentBytes() - peak, 256 * MiB);
        std::remove(path.c_str());
    }
}

TEST(PictureFile, WhatIsNoPictureIsRefused) {
    EXPECT_EQ(APF_Open(Fixture("flv1_mp3_160x120.flv").c_str()), nullptr);
    EXPECT_EQ(APF_Open(Fixture("no-such-file.png").c_str()), nullptr);
    EXPECT_EQ(APF_Open(Fixture("README.md").c_str()), nullptr);
    EXPECT_EQ(APF_Open(""), nullptr);
    EXPECT_EQ(APF_Open(nullptr), nullptr);
    EXPECT_EQ(APF_FrameBGRA(nullptr, 0), nullptr);
    EXPECT_EQ(APF_Width(nullptr), 0);
}

}  // namespace
