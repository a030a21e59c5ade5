// Blending arithmetic: no dark fringes, the frame's alpha, both row orders.
#include <gtest/gtest.h>

#include <cstring>

#include "DrawerHandle.h"
#include "TestImages.h"

using namespace bktest;

namespace {

// Anti-aliased white text on a white frame must stay white: a premultiplied
// edge blended as if it were straight would darken the rim of every glyph.
TEST(Blend, WhiteTextOnWhiteLeavesNoFringe) {
    auto d = NewDrawer();
    FontPtr font(BK_CreateFont("DejaVu Sans", 20, BK_FONT_ITALIC));
    ASSERT_EQ(BK_AppendText(d.get(), "Swirl &", 3, 3, 0x00ffffff, font.get(), 0, -1), 0);
    BK_SetNextAlpha(d.get(), 100);
    ASSERT_EQ(BK_AppendText(d.get(), "Swirl &", 5, 9, 0x00ffffff, font.get(), 0, -1), 1);
    Frame f(120, 40, 0xffffffff);
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), f.width, f.height, f.stride()), BK_OK);
    for (size_t i = 0; i < f.px.size(); ++i) ASSERT_GE(f.px[i], 254) << "byte " << i;
}

// Text coverage over black gives the text colour times coverage: the
// brightest pixel is the full colour, and no pixel is brighter than it.
TEST(Blend, TextColourReachesFullStrengthInsideGlyphs) {
    auto d = NewDrawer();
    FontPtr font(BK_CreateFont("DejaVu Sans", 24, BK_FONT_BOLD));
    ASSERT_EQ(BK_AppendText(d.get(), "H", 0, 0, 0x00204080, font.get(), 0, -1), 0);  // R 0x80, G 0x40, B 0x20
    Frame f(40, 40, 0xff000000);
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), f.width, f.height, f.stride()), BK_OK);
    int maxR = 0;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const uint8_t* p = f.at(x, y);
            maxR = std::max<int>(maxR, p[2]);
            EXPECT_LE(p[0], 0x20);
            EXPECT_LE(p[1], 0x40);
            EXPECT_EQ(p[3], 255);
        }
    EXPECT_EQ(maxR, 0x80);
}

struct AlphaCase {
    uint32_t dst, src;  // bytes B, G, R, A read as little-endian words
    int alpha;
    uint8_t expected[4];
};

TEST(Blend, OverKeepsColourAndCombinesAlpha) {
    const AlphaCase cases[] = {
        // Opaque frame: a linear mix, alpha stays 255.
        {0xff0000ff, 0xffff0000, 128, {127, 0, 128, 255}},
        // Transparent bitmap: a half-transparent red stays pure red, half alpha.
        {0x00000000, 0x80ff0000, 255, {0, 0, 255, 128}},
        // Half-transparent blue under half-transparent red: alpha 0.75,
        // colour one third blue, two thirds red.
        {0x800000ff, 0x80ff0000, 255, {85, 0, 170, 192}},
        // A see-through source leaves the frame as it was.
        {0x40102030, 0x00ffffff, 255, {0x30, 0x20, 0x10, 0x40}},
    };
    for (const auto& c : cases) {
        auto d = NewDrawer();
        BK_SetNextAlpha(d.get(), c.alpha);
        Frame src(1, 1, c.src);
        BkBitmap b = src.bitmap();
        ASSERT_EQ(BK_AppendBitmap(d.get(), &b, 0, 0, -1, 0, -1), 0);
        Frame f(1, 1, c.dst);
        ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), 1, 1, 4), BK_OK);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(f.at(0, 0)[i], c.expected[i], 1) << std::hex << "dst " << c.dst << " src " << c.src << " byte " << i;
    }
}

// A negative stride means the rows are stored bottom-up: the overlay must
// land on the same picture rows either way.
TEST(Blend, BottomUpFramesGetTheSamePicture) {
    auto d = NewDrawer();
    const BkRect r{-10, 5, 70, 45};
    ASSERT_EQ(BK_AppendPicture(d.get(), Fixture("still_160x120.png").c_str(), &r, -1, 0, -1), 0);
    FontPtr font(BK_CreateFont("DejaVu Sans", 9, 0));
    ASSERT_EQ(BK_AppendText(d.get(), "up", 60, 50, 0x00ffffff, font.get(), 0, -1), 1);
    Frame topDown = GradientFrame(96, 64);
    Frame bottomUp = Flipped(topDown);
    ASSERT_EQ(BK_BlendFrame(d.get(), topDown.data(), 96, 64, topDown.stride()), BK_OK);
    ASSERT_EQ(BK_BlendFrame(d.get(), bottomUp.data(), 96, 64, -bottomUp.stride()), BK_OK);
    EXPECT_TRUE(Flipped(bottomUp).px == topDown.px);
    Frame adjustedDown = topDown, adjustedUp = Flipped(topDown);
    ASSERT_EQ(BK_AdjustPicture(d.get(), adjustedDown.data(), 96, 64, 384, 0.1f, 0.3f), BK_OK);
    ASSERT_EQ(BK_AdjustPicture(d.get(), adjustedUp.data(), 96, 64, -384, 0.1f, 0.3f), BK_OK);
    EXPECT_TRUE(Flipped(adjustedUp).px == adjustedDown.px);
    const BkRect crop{10, 5, 60, 50};
    ASSERT_EQ(BK_DrawCropFrame(adjustedDown.data(), 96, 64, 384, &crop, 0xff111111), BK_OK);
    ASSERT_EQ(BK_DrawCropFrame(adjustedUp.data(), 96, 64, -384, &crop, 0xff111111), BK_OK);
    EXPECT_TRUE(Flipped(adjustedUp).px == adjustedDown.px);
}

TEST(Adjust, ExtremesAndNeutral) {
    auto d = NewDrawer(false);
    const struct {
        float brightness, contrast;
        uint8_t in, out;
    } cases[] = {
        {0, 0, 77, 77},    {1, 0, 10, 255},    {-1, 0, 250, 0},  {0, -1, 10, 128},
        {0, -1, 240, 128}, {0, 1, 120, 0},     {0, 1, 136, 255}, {0.5f, 0, 100, 228},
        {2, 0, 0, 255},  // out of range values are held to -1 ... 1
    };
    for (const auto& c : cases) {
        Frame f(2, 1, 0x40000000u | c.in | (c.in << 8) | (c.in << 16));
        ASSERT_EQ(BK_AdjustPicture(d.get(), f.data(), 2, 1, 8, c.brightness, c.contrast), BK_OK);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(f.at(1, 0)[i], c.out, 1) << c.brightness << " " << c.contrast << " in " << int(c.in);
        EXPECT_EQ(f.at(1, 0)[3], 0x40);  // alpha untouched
    }
}

}  // namespace
