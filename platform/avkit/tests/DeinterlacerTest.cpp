#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "avkit/Deinterlacer.h"

namespace {

constexpr int W = 64, H = 48;

// A bright vertical bar on black whose two fields were taken at different
// moments: even lines show it at x = barEven, odd lines at x = barOdd.
std::vector<uint8_t> Interlaced(int barEven, int barOdd) {
    std::vector<uint8_t> f(W * H * 4, 0);
    for (int y = 0; y < H; ++y) {
        const int bar = y % 2 ? barOdd : barEven;
        for (int x = bar; x < bar + 8; ++x)
            for (int c = 0; c < 3; ++c) f[(y * W + x) * 4 + c] = 240;
        for (int x = 0; x < W; ++x) f[(y * W + x) * 4 + 3] = 255;
    }
    return f;
}

// How much neighbouring lines differ: the comb of an interlaced picture.
long Comb(const std::vector<uint8_t>& f) {
    long sum = 0;
    for (int y = 0; y + 1 < H; ++y)
        for (int x = 0; x < W * 4; ++x) sum += std::abs(f[y * W * 4 + x] - f[(y + 1) * W * 4 + x]);
    return sum;
}

int Deinterlace(AvkDeinterlacer* d, std::vector<uint8_t>& f, bool bottomUp = false) {
    uint8_t* planes[4] = {bottomUp ? f.data() + (H - 1) * W * 4 : f.data(), nullptr, nullptr, nullptr};
    const int lines[4] = {bottomUp ? -W * 4 : W * 4, 0, 0, 0};
    return IMD_Deinterlace(d, planes, lines, AVK_IMAGE_BGRA32);
}

TEST(Deinterlacer, RemovesTheCombOfAMovingPicture) {
    AvkDeinterlacer* d = IMD_Create(W, H);
    ASSERT_NE(d, nullptr);
    for (bool bottomUp : {false, true}) {
        for (int frame = 0; frame < 3; ++frame) {  // the bar moves every frame
            auto f = Interlaced(10 + frame * 12, 16 + frame * 12);
            const long before = Comb(f);
            ASSERT_EQ(Deinterlace(d, f, bottomUp), 1);
            EXPECT_LT(Comb(f) * 4, before) << "frame " << frame;
            EXPECT_EQ(f[3], 255);  // alpha kept
            // The kept field (the picture's first line and every second one
            // after it) is untouched.
            const auto original = Interlaced(10 + frame * 12, 16 + frame * 12);
            const int kept = bottomUp ? H - 1 : 0;
            for (int x = 0; x < W * 4; ++x) ASSERT_EQ(f[kept * W * 4 + x], original[kept * W * 4 + x]);
        }
    }
    IMD_Free(d);
}

TEST(Deinterlacer, KeepsStillPicturesSharp) {
    // Fine horizontal stripes that do not move are detail, not a comb.
    std::vector<uint8_t> stripes(W * H * 4, 255);
    for (int y = 0; y < H; y += 2)
        for (int x = 0; x < W * 4; ++x)
            if (x % 4 != 3) stripes[y * W * 4 + x] = 30;
    AvkDeinterlacer* d = IMD_Create(W, H);
    auto first = stripes;
    Deinterlace(d, first);
    auto second = stripes;
    Deinterlace(d, second);
    EXPECT_EQ(second, stripes);
    IMD_Free(d);
}

TEST(Deinterlacer, RefusesWhatItCannotWorkOn) {
    EXPECT_EQ(IMD_Create(0, 10), nullptr);
    EXPECT_EQ(IMD_Create(10, -1), nullptr);
    EXPECT_EQ(IMD_Create(100000, 100000), nullptr);
    AvkDeinterlacer* d = IMD_Create(W, H);
    std::vector<uint8_t> f(W * H * 4);
    uint8_t* planes[4] = {f.data(), nullptr, nullptr, nullptr};
    int narrow[4] = {W * 4 - 4, 0, 0, 0};
    EXPECT_EQ(IMD_Deinterlace(d, planes, narrow, AVK_IMAGE_BGRA32), 0);
    int lines[4] = {W * 4, 0, 0, 0};
    EXPECT_EQ(IMD_Deinterlace(d, planes, lines, AVK_IMAGE_ALPHA8), 0);
    EXPECT_EQ(IMD_Deinterlace(nullptr, planes, lines, AVK_IMAGE_BGRA32), 0);
    IMD_Free(d);
    IMD_Free(nullptr);
}

}  // namespace
