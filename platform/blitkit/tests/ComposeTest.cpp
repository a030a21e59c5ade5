// What the transparent-colour dialog does with a drawer: a keyed picture at
// its natural size over a tiled background, composed onto a bitmap.
#include <gtest/gtest.h>

#include <cstring>

#include "DrawerHandle.h"
#include "TestImages.h"
#include "avkit/PictureFile.h"

using namespace bktest;

namespace {

// A 4 x 4 checker of two greys, as dialogs show transparency.
Frame Checker() {
    Frame f(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            const uint8_t v = ((x / 2 + y / 2) % 2) ? 0xcc : 0x66;
            uint8_t* p = f.at(x, y);
            p[0] = p[1] = p[2] = v;
            p[3] = 255;
        }
    return f;
}

// Builds the dialog's composition of picture over the checker.
Frame Compose(BkDrawer* d, int width, int height) {
    BK_SetNextTolerance(d, 0);
    BK_SetNextAlpha(d, 255);
    BK_SetFillMode(d, BK_FILL_TILE);
    Frame checker = Checker();
    BkBitmap bg = checker.bitmap();
    EXPECT_EQ(BK_SetBackground(d, &bg), BK_OK);
    Frame out(width, height, 0x12345678);
    BkBitmap target = out.bitmap();
    EXPECT_EQ(BK_Compose(d, &target), &target);
    return out;
}

TEST(Compose, KeyedBitmapOverTiledBackground) {
    auto d = NewDrawer(false);
    // Left half pure white (keyed away), right half dark red.
    Frame picture(8, 4, 0xffffffff);
    for (int y = 0; y < 4; ++y)
        for (int x = 4; x < 8; ++x) std::memcpy(picture.at(x, y), "\x00\x00\x80\xff", 4);
    BK_SetNextTolerance(d.get(), 10);
    BK_SetNextAlpha(d.get(), 255);
    BK_SetFillMode(d.get(), BK_FILL_PLACE);
    BkBitmap b = picture.bitmap();
    ASSERT_EQ(BK_AppendBitmap(d.get(), &b, 0, 0, 0x00f8f8f8, 0, -1), 0);  // within 10 of white
    Frame out = Compose(d.get(), 8, 4);
    const Frame checker = Checker();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint8_t* p = out.at(x, y);
            if (x < 4) {
                EXPECT_EQ(0, std::memcmp(p, checker.at(x % 4, y), 4)) << x << "," << y;
            } else {
                EXPECT_EQ(p[2], 0x80);
                EXPECT_EQ(p[0], 0);
                EXPECT_EQ(p[3], 255);
            }
        }
}

TEST(Compose, PictureFromPathWithAlphaAndNoBackgroundStaysTranslucent) {
    auto d = NewDrawer(false);
    BK_SetNextAlpha(d.get(), 128);
    ASSERT_EQ(BK_AppendPictureAt(d.get(), Fixture("still_64x48.bmp").c_str(), 0, 0, -1, 0, -1), 0);
    Frame out(64, 48, 0xffffffff);
    BkBitmap target = out.bitmap();
    ASSERT_EQ(BK_Compose(d.get(), &target), &target);  // the target is cleared first

    AvkPictureFile* file = APF_Open(Fixture("still_64x48.bmp").c_str());
    ASSERT_NE(file, nullptr);
    const uint8_t* expected = APF_FrameBGRA(file, 0);
    ASSERT_NE(expected, nullptr);
    for (int i = 0; i < 64 * 48; ++i) {
        for (int c = 0; c < 3; ++c) ASSERT_NEAR(out.px[i * 4 + c], expected[i * 4 + c], 2) << "pixel " << i;
        ASSERT_EQ(out.px[i * 4 + 3], 128);
    }
    APF_Close(file);
}

TEST(Compose, CentredPictureAndRemovedBackground) {
    auto d = NewDrawer(false);
    BK_SetFillMode(d.get(), BK_FILL_CENTER);
    Frame red(2, 2, 0xffff0000);
    BkBitmap b = red.bitmap();
    ASSERT_EQ(BK_AppendBitmap(d.get(), &b, 0, 0, -1, 0, -1), 0);
    Frame bgFrame = Checker();
    BkBitmap bg = bgFrame.bitmap();
    ASSERT_EQ(BK_SetBackground(d.get(), &bg), BK_OK);
    ASSERT_EQ(BK_SetBackground(d.get(), nullptr), BK_OK);
    Frame out(6, 4);
    BkBitmap target = out.bitmap();
    ASSERT_EQ(BK_Compose(d.get(), &target), &target);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool inside = x >= 2 && x < 4 && y >= 1 && y < 3;
            EXPECT_EQ(out.at(x, y)[3], inside ? 255 : 0) << x << "," << y;
        }
}

// The GIF fixture has five frames of 100 ms: at 10 frames per second each
// video frame after the overlay's start shows the next one, looping.
TEST(Animation, GifFramesFollowTheFrameRate) {
    const std::string gif = Fixture("anim_64x48_5x100ms.gif");
    AvkPictureFile* file = APF_Open(gif.c_str());
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(APF_FrameCount(file), 5);
    std::vector<std::vector<uint8_t>> frames;
    for (int i = 0; i < 5; ++i) {
        const uint8_t* px = APF_FrameBGRA(file, i);
        ASSERT_NE(px, nullptr);
        frames.emplace_back(px, px + 64 * 48 * 4);
    }
    APF_Close(file);

    auto d = NewDrawer();
    ASSERT_EQ(BK_SetFrameRate(d.get(), 10.0), BK_OK);
    ASSERT_EQ(BK_AppendPictureAt(d.get(), gif.c_str(), 0, 0, -1, 100, -1), 0);
    for (int frame : {100, 101, 104, 105, 108}) {
        Frame f(64, 48, 0xff000000);
        BK_SetFrameIndex(d.get(), frame);
        ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), 64, 48, f.stride()), BK_OK);
        const auto& expected = frames[(frame - 100) % 5];
        int worst = 0;
        for (size_t i = 0; i < f.px.size(); ++i) worst = std::max(worst, std::abs(f.px[i] - expected[i]));
        EXPECT_LE(worst, 1) << "frame " << frame;
    }
}

}  // namespace
