// Pictures of what the drawer makes, compared with committed goldens that
// were looked at by eye when they were made.
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>

#include "DrawerHandle.h"
#include "TestImages.h"

using namespace bktest;

namespace {

constexpr int kW = 160, kH = 120;
constexpr int32_t kNoKey = -1;

// A 40 x 40 picture on a magenta ground: a green disc, a ring of almost-magenta
// (within a tolerance of 40) and a bar of darker magenta (outside it).
std::string WriteKeyedPicture() {
    Frame f(40, 40, 0xffff00ff);  // bytes B, G, R, A: magenta
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            const double r = std::hypot(x - 19.5, y - 19.5);
            uint8_t* p = f.at(x, y);
            if (r < 11) {
                p[0] = 40, p[1] = 200, p[2] = 40;
            } else if (r < 15) {
                p[0] = 230, p[1] = 25, p[2] = 235;
            }
            if (y >= 34) p[0] = 190, p[1] = 0, p[2] = 190;
        }
    const std::string path = ScratchPath("keyed.png");
    EXPECT_TRUE(WritePng(path, f));
    return path;
}

}  // namespace

TEST(Golden, PictureWithAlphaScaledAndClippedAtTheFrameEdge) {
    auto d = NewDrawer();
    BK_SetNextAlpha(d.get(), 170);
    const BkRect half{10, 10, 90, 70};  // the 160 x 120 picture at half size
    ASSERT_EQ(BK_AppendPicture(d.get(), Fixture("still_160x120.png").c_str(), &half, kNoKey, 0, -1), 0);
    BK_SetNextAlpha(d.get(), 255);
    const BkRect overEdge{110, 70, 190, 130};  // reaches past the right and bottom edges
    ASSERT_EQ(BK_AppendPicture(d.get(), Fixture("still_160x120.png").c_str(), &overEdge, kNoKey, 0, -1), 1);
    Frame f = GradientFrame(kW, kH);
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), kW, kH, f.stride()), BK_OK);
    ExpectMatchesGolden("picture_alpha", f);
}

TEST(Golden, SeeThroughColourWithTolerance) {
    auto d = NewDrawer();
    const std::string path = WriteKeyedPicture();
    const int32_t magenta = 0x00ff00ff;  // 0x00BBGGRR
    BK_SetNextTolerance(d.get(), 40);
    const BkRect big{10, 10, 90, 90};  // enlarged twice: the keyed edge must stay clean
    ASSERT_EQ(BK_AppendPicture(d.get(), path.c_str(), &big, magenta, 0, -1), 0);
    BK_SetNextTolerance(d.get(), 0);
    const BkRect exact{105, 40, 145, 80};  // tolerance 0: only exact magenta goes
    ASSERT_EQ(BK_AppendPicture(d.get(), path.c_str(), &exact, magenta, 0, -1), 1);
    Frame f = GradientFrame(kW, kH);
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), kW, kH, f.stride()), BK_OK);
    ExpectMatchesGolden("see_through", f);
}

TEST(Golden, TextsInTheirColourStyleAndAlpha) {
    auto d = NewDrawer();
    FontPtr bold(BK_CreateFont("DejaVu Sans", 14, BK_FONT_BOLD));
    FontPtr styled(BK_CreateFont("DejaVu Sans", 10, BK_FONT_ITALIC | BK_FONT_UNDERLINE | BK_FONT_STRIKEOUT));
    ASSERT_TRUE(bold && styled);
    ASSERT_EQ(BK_AppendText(d.get(), "Veltrano", 8, 8, 0x00ffffff, bold.get(), 0, -1), 0);
    BK_SetNextAlpha(d.get(), 140);
    ASSERT_EQ(BK_AppendText(d.get(), "two lines\ncentred", 30, 50, 0x000040ff, styled.get(), 0, -1), 1);
    BK_SetNextAlpha(d.get(), 255);
    ASSERT_EQ(BK_AppendText(d.get(), "edge", 135, 95, 0x0000ffff, bold.get(), 0, -1), 2);
    Frame f = GradientFrame(kW, kH);
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), kW, kH, f.stride()), BK_OK);
    ExpectMatchesGolden("text", f);
}

TEST(Golden, FadeInHalfway) {
    auto d = NewDrawer();
    const BkRect r{20, 15, 140, 105};
    ASSERT_EQ(BK_AppendPicture(d.get(), Fixture("still_160x120.png").c_str(), &r, kNoKey, 10, 50), 0);
    ASSERT_EQ(BK_SetFades(d.get(), 0, 10, 10), BK_OK);
    BK_SetFrameIndex(d.get(), 15);  // five of the ten fade-in frames gone
    Frame f = GradientFrame(kW, kH);
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), kW, kH, f.stride()), BK_OK);
    ExpectMatchesGolden("fade_in", f);
}

TEST(Golden, BrightnessAndContrastInFourPanels) {
    auto d = NewDrawer(false);
    Frame f = GradientFrame(kW, kH);
    // Each panel is a window into the frame: same stride, narrower width.
    const float settings[4][2] = {{0, 0}, {0.3f, 0}, {0, 0.5f}, {-0.2f, -0.5f}};
    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(BK_AdjustPicture(d.get(), f.at(i * 40, 0), 40, kH, f.stride(), settings[i][0], settings[i][1]),
                  BK_OK);
    ExpectMatchesGolden("brightness_contrast", f);
}

TEST(Golden, CropFrame) {
    Frame f = GradientFrame(kW, kH);
    const BkRect r{30, 20, 130, 100};
    ASSERT_EQ(BK_DrawCropFrame(f.data(), kW, kH, f.stride(), &r, 0xff111111), BK_OK);
    ExpectMatchesGolden("crop_frame", f);
}
