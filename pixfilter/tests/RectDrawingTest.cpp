// The selection helpers: gloom outside the rectangle, the dashed frame, the
// handles, and no write outside the picture whatever the arguments.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <vector>

#include "EffectHarness.h"

namespace pixfilter_test {
namespace {

constexpr uint32_t kLine = 0xFF00FF00u;
constexpr uint32_t kGuard = 0xDEADBEEFu;
constexpr int kGuardWords = 64;

// A picture with guard words before and after it.
class Canvas {
public:
    Canvas(int width, int height, uint32_t fill)
        : m_width(width), m_height(height),
          m_words(static_cast<std::size_t>(width) * height + 2 * kGuardWords, kGuard) {
        for (int i = 0; i < width * height; ++i) Pixels()[i] = fill;
    }
    uint32_t* Pixels() { return m_words.data() + kGuardWords; }
    uint32_t& At(int column, int row) { return Pixels()[row * m_width + column]; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool GuardsIntact() const {
        for (int i = 0; i < kGuardWords; ++i)
            if (m_words[i] != kGuard || m_words[m_words.size() - 1 - i] != kGuard) return false;
        return true;
    }

private:
    int m_width, m_height;
    std::vector<uint32_t> m_words;
};

TEST(GloomExcludeRect, ZeroGloomChangesNothing) {
    Canvas canvas(8, 6, 0);
    const Picture busy = BusyPicture(8, 6);
    std::copy(busy.pixels.begin(), busy.pixels.end(), canvas.Pixels());
    GloomExcludeRect(canvas.Pixels(), 8, 6, 3, 1, 2, 5, 0, 0);
    EXPECT_TRUE(std::equal(busy.pixels.begin(), busy.pixels.end(), canvas.Pixels()));
}

TEST(GloomExcludeRect, FullGloomBlackensOutsideAlphaIncluded) {
    const Picture busy = BusyPicture(8, 6, 2);
    Canvas canvas(8, 6, 0);
    std::copy(busy.pixels.begin(), busy.pixels.end(), canvas.Pixels());
    GloomExcludeRect(canvas.Pixels(), 8, 6, /*rowA*/ 3, /*rowB*/ 1, /*left*/ 2, /*right*/ 5,
                     0xFFFFFFFFu, 0);
    for (int r = 0; r < 6; ++r)
        for (int c = 0; c < 8; ++c) {
            const bool inside = r >= 1 && r <= 3 && c >= 2 && c <= 5;
            EXPECT_EQ(canvas.At(c, r), inside ? busy.pixels[r * 8 + c] : 0u) << c << "," << r;
        }
    EXPECT_TRUE(canvas.GuardsIntact());
}

TEST(GloomExcludeRect, SubtractsEachByteDownToZero) {
    Canvas canvas(1, 1, 0x80402010u);
    GloomExcludeRect(canvas.Pixels(), 1, 1, 0, 0, 5, 6, 0x20202020u, 0);
    EXPECT_EQ(canvas.At(0, 0), 0x60200000u);
}

struct BoundsCase {
    const char* label;
    int32_t rowA, rowB, left, right, flip;
    int insideRowLow, insideRowHigh, insideColumnLow, insideColumnHigh;  // low > high: none
};

// Bounds compare as unsigned numbers; flipping counts rows from the buffer's end.
TEST(GloomExcludeRect, WhichPixelsAreInside) {
    const BoundsCase cases[] = {
        {"plain", 4, 2, 1, 3, 0, 2, 4, 1, 3},
        {"negative left is huge", 4, 2, -1, 3, 0, 1, 0, 1, 0},
        {"negative rowB is huge", 4, -1, 1, 3, 0, 1, 0, 1, 0},
        {"right beyond the picture", 4, 2, 5, 100, 0, 2, 4, 5, 7},
        {"flipped rows", 1, 3, 1, 3, 1, 2, 4, 1, 3},
        {"inverted rows", 1, 4, 1, 3, 0, 1, 0, 1, 0},
    };
    for (const BoundsCase& c : cases) {
        Canvas canvas(8, 6, 0x10101010u);
        GloomExcludeRect(canvas.Pixels(), 8, 6, c.rowA, c.rowB, c.left, c.right, 0x10101010u, c.flip);
        for (int r = 0; r < 6; ++r)
            for (int col = 0; col < 8; ++col) {
                const bool inside = r >= c.insideRowLow && r <= c.insideRowHigh &&
                                    col >= c.insideColumnLow && col <= c.insideColumnHigh;
                EXPECT_EQ(canvas.At(col, r), inside ? 0x10101010u : 0u)
                    << c.label << " at " << col << "," << r;
            }
    }
}

// Rectangle columns 2..61, rows 4..11: the handles touch row 4 only at columns
// 5, 28, 34 and 58, so columns 6..27 show the dash pattern alone.
TEST(DrawRect, DashesStartAtTheLowCorner) {
    Canvas canvas(64, 16, 0);
    DrawRect(canvas.Pixels(), 64, 16, 11, 4, 2, 61, /*dash*/ 3, 0, 0, kLine, 1);
    for (int c : {2, 3, 4}) EXPECT_EQ(canvas.At(c, 4), kLine) << c;
    for (int c = 6; c <= 27; ++c) {
        const int k = c - 2;
        EXPECT_EQ(canvas.At(c, 4), k % 6 < 3 ? kLine : 0u) << "column " << c;
        EXPECT_EQ(canvas.At(c, 11), k % 6 < 3 ? kLine : 0u) << "column " << c;
    }
    // Down the left column the count starts at row 4 too; rows 5 and 6 are dash,
    // row 7 is a gap (rows 7 and 8 also hold handle edges elsewhere, not here).
    EXPECT_EQ(canvas.At(2, 5), kLine);
    EXPECT_EQ(canvas.At(2, 6), kLine);
    EXPECT_TRUE(canvas.GuardsIntact());
}

TEST(DrawRect, SolidFrameOfTwoLinesAndGloomOutside) {
    Canvas canvas(64, 16, 0x40404040u);
    DrawRect(canvas.Pixels(), 64, 16, 11, 4, 2, 61, 0, 0, 0x10101010u, kLine, 2);
    for (int c = 6; c <= 27; ++c) {
        EXPECT_EQ(canvas.At(c, 4), kLine) << c;
        EXPECT_EQ(canvas.At(c, 5), kLine) << c;
        EXPECT_EQ(canvas.At(c, 6), 0x40404040u) << c;
        EXPECT_EQ(canvas.At(c, 2), 0x30303030u) << c;
    }
    EXPECT_EQ(canvas.At(3, 6), kLine);  // second line of the left side
    EXPECT_EQ(canvas.At(60, 6), kLine);
    EXPECT_EQ(canvas.At(59, 6), 0x40404040u);
}

TEST(DrawRect, HollowHandlesAtCornersAndMidpoints) {
    Canvas canvas(40, 40, 0x40404040u);
    DrawRect(canvas.Pixels(), 40, 40, 30, 10, 10, 30, 0, 0, 0x10101010u, kLine, 1);
    // Corner (10, 10): square 7..13.
    EXPECT_EQ(canvas.At(7, 7), kLine);
    EXPECT_EQ(canvas.At(13, 7), kLine);
    EXPECT_EQ(canvas.At(7, 10), kLine);
    EXPECT_EQ(canvas.At(8, 8), 0x30303030u);   // hollow, outside the rectangle: gloomed
    EXPECT_EQ(canvas.At(12, 12), 0x40404040u); // hollow, inside: untouched
    // Midpoint of the top edge (20, 10) and of the right edge (30, 20).
    EXPECT_EQ(canvas.At(17, 7), kLine);
    EXPECT_EQ(canvas.At(33, 23), kLine);
    EXPECT_EQ(canvas.At(20, 20), 0x40404040u);  // no handle in the middle
}

TEST(DrawRect, HandlesAtThePictureEdgeArePulledIn) {
    Canvas canvas(40, 30, 0);
    DrawRect(canvas.Pixels(), 40, 30, 29, 0, 0, 39, 0, 0, 0, kLine, 1);
    EXPECT_EQ(canvas.At(3, 3), kLine);   // square 0..3 around (0, 0)
    EXPECT_EQ(canvas.At(2, 2), 0u);
    EXPECT_EQ(canvas.At(36, 26), kLine); // square 36..39 x 26..29 around (39, 29)
    EXPECT_EQ(canvas.At(37, 27), 0u);
    EXPECT_TRUE(canvas.GuardsIntact());
}

// The visible parts of a rectangle that sticks out are drawn; nothing else is.
TEST(DrawRect, PartlyOutsideDrawsTheVisiblePart) {
    Canvas canvas(16, 12, 0);
    DrawRect(canvas.Pixels(), 16, 12, 8, -3, -5, 10, 0, 0, 0, kLine, 1);
    EXPECT_EQ(canvas.At(10, 4), kLine);  // right side
    EXPECT_EQ(canvas.At(3, 8), kLine);   // bottom side
    EXPECT_EQ(canvas.At(0, 4), 0u);      // the left side lies at column -5
    EXPECT_TRUE(canvas.GuardsIntact());
}

struct ClipCase {
    const char* label;
    int32_t rowA, rowB, left, right, dash, flip, lineWidth;
};

TEST(DrawRect, NeverWritesOutsideThePicture) {
    const ClipCase cases[] = {
        {"entirely right and below", 80, 50, 100, 200, 0, 0, 3},
        {"entirely left and above", -20, -50, -100, -30, 0, 0, 3},
        {"over every edge", 15, -3, -5, 20, 2, 0, 4},
        {"over every edge, flipped", -3, 15, -5, 20, 0, 1, 4},
        {"extreme bounds and line width", INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, 0, 0,
         INT32_MAX},
        {"extreme bounds flipped", INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, 1, 1, 5},
        {"extreme dashes", 10, 1, 1, 14, INT32_MAX, 0, 2},
        {"negative dash", 10, 1, 1, 14, -7, 0, 2},
        {"inverted rectangle", 1, 10, 14, 1, 0, 0, 2},
        {"no line width", 10, 1, 1, 14, 0, 0, 0},
        {"negative line width", 10, 1, 1, 14, 0, 0, -3},
        {"line width beyond the rectangle", 10, 1, 1, 14, 0, 0, 1000},
        {"rectangle of one pixel at the far corner", 11, 11, 15, 15, 0, 0, 1},
    };
    for (const ClipCase& c : cases) {
        Canvas canvas(16, 12, 0x80808080u);
        DrawRect(canvas.Pixels(), 16, 12, c.rowA, c.rowB, c.left, c.right, c.dash, c.flip,
                 0x01010101u, kLine, c.lineWidth);
        EXPECT_TRUE(canvas.GuardsIntact()) << c.label;
    }
}

TEST(DrawRect, EmptyPictureIsIgnored) {
    Canvas canvas(4, 4, 0);
    DrawRect(nullptr, 4, 4, 2, 1, 1, 2, 0, 0, 0xFFFFFFFFu, kLine, 1);
    DrawRect(canvas.Pixels(), 0, 4, 2, 1, 1, 2, 0, 0, 0xFFFFFFFFu, kLine, 1);
    DrawRect(canvas.Pixels(), 4, -4, 2, 1, 1, 2, 0, 0, 0xFFFFFFFFu, kLine, 1);
    GloomExcludeRect(canvas.Pixels(), -4, 4, 2, 1, 1, 2, 0xFFFFFFFFu, 0);
    EXPECT_TRUE(canvas.GuardsIntact());
    EXPECT_EQ(canvas.At(0, 0), 0u);
}

}  // namespace
}  // namespace pixfilter_test
