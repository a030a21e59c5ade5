#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "avkit/PictureFile.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

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
