#include <gtest/gtest.h>

#include <string>

#include "edit/XImage.h"

namespace {

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

TEST(XImage, AnimationTimingCountsAZeroDelayAsATenth) {
    CXImage gif(Fixture("anim_1x1_delays_0_5_5.gif"));
    ASSERT_EQ(gif.FrameEnds().size(), 3u);
    EXPECT_DOUBLE_EQ(gif.FrameEnds()[0], 0.10);
    EXPECT_DOUBLE_EQ(gif.FrameEnds()[1], 0.15);
    EXPECT_DOUBLE_EQ(gif.FrameEnds()[2], 0.20);
    EXPECT_DOUBLE_EQ(gif.FrameRate(), 15.0);
    ImageInfo info;
    ASSERT_TRUE(gif.GetImageInfo(info));
    EXPECT_STREQ(info.typeName, "GIF");
    EXPECT_EQ(info.frameCount, 3);

    CXImage tenths(Fixture("anim_64x48_5x100ms.gif"));
    EXPECT_EQ(tenths.FrameCount(), 5);
    EXPECT_DOUBLE_EQ(tenths.FrameRate(), 10.0);
    EXPECT_DOUBLE_EQ(tenths.FrameEnds().back(), 0.5);
}

TEST(XImage, StillPicturesHaveOneFrameAndNoRate) {
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
        CXImage img(Fixture(c.file));
        ImageInfo info;
        ASSERT_TRUE(img.GetImageInfo(info)) << c.file;
        EXPECT_STREQ(info.typeName, c.type);
        EXPECT_EQ(info.frameCount, 1);
        EXPECT_EQ(info.width, c.width);
        EXPECT_EQ(info.height, c.height);
        EXPECT_EQ(info.frameRate, 0.0);
        EXPECT_TRUE(img.FrameEnds().empty());
        EXPECT_NE(img.FramePixels(0), nullptr);
    }
}

TEST(XImage, WhatIsNoPictureHasNoSize) {
    for (const char* file : {"flv1_mp3_160x120.flv", "missing.png", "README.md"}) {
        CXImage img(Fixture(file));
        ImageInfo info;
        info.width = 7;
        EXPECT_FALSE(img.GetImageInfo(info)) << file;
        EXPECT_EQ(info.width, 0);
        EXPECT_EQ(info.typeName[0], '\0');
        EXPECT_EQ(img.FramePixels(0), nullptr);
    }
}

}  // namespace
