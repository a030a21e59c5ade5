// The selection helpers: darken a picture around a rectangle, then frame the
// rectangle with a (dashed) outline and eight handles. Whatever rectangle,
// line width or dash length they are given, they write only inside the picture.
#include <algorithm>
#include <cstdint>

#include "PixelAccess.h"
#include "pixfilter/pixfilter.h"

using namespace pixfilter;

namespace {

struct SPicture {
    Px* pixels;
    int64_t width;
    int64_t height;

    Px* Row(int64_t r) const { return pixels + r * width; }
};

// Subtracts each byte of gloom from the matching byte of p, stopping at 0.
inline uint32_t Darken(uint32_t p, uint32_t gloom) {
    uint32_t result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const uint32_t a = (p >> shift) & 0xFFu;
        const uint32_t b = (gloom >> shift) & 0xFFu;
        result |= (a > b ? a - b : 0u) << shift;
    }
    return result;
}

void DarkenSpan(Px* row, int64_t from, int64_t to, uint32_t gloom) {
    for (int64_t c = from; c < to; ++c) row[c] = Darken(row[c], gloom);
}

struct SRows {
    int64_t a;  // the larger row index
    int64_t b;  // the smaller
};

// Counting rows from the other end of the buffer turns rowA and rowB around.
SRows ResolveRows(int64_t height, int32_t rowA, int32_t rowB, int32_t flipRows) {
    if (flipRows == 0) return {rowA, rowB};
    return {height - rowA - 1, height - rowB - 1};
}

// "Inside" is decided on unsigned 32-bit values: a negative bound counts as huge.
void Gloom(const SPicture& pic, const SRows& rows, int32_t left, int32_t right, uint32_t gloom) {
    if (gloom == 0) return;
    const uint32_t rowLow = static_cast<uint32_t>(rows.b);
    const uint32_t rowHigh = static_cast<uint32_t>(rows.a);
    const uint32_t colLow = static_cast<uint32_t>(left);
    const uint32_t colHigh = static_cast<uint32_t>(right);
    // The inside columns of the picture, as a half-open span (empty when none).
    const int64_t insideFrom = std::min<int64_t>(colLow, pic.width);
    const int64_t insideTo = colLow <= colHigh ? std::min<int64_t>(int64_t{colHigh} + 1, pic.width)
                                               : insideFrom;
    for (int64_t r = 0; r < pic.height; ++r) {
        Px* row = pic.Row(r);
        const uint32_t ur = static_cast<uint32_t>(r);
        if (ur < rowLow || ur > rowHigh || insideFrom >= insideTo) {
            DarkenSpan(row, 0, pic.width, gloom);
        } else {
            DarkenSpan(row, 0, insideFrom, gloom);
            DarkenSpan(row, insideTo, pic.width, gloom);
        }
    }
}

// Pixel k of a line (k counted from the line's low end) is drawn when k mod 2D < D;
// D <= 0 draws the line solid.
inline bool DashOn(int64_t k, int64_t dash) { return dash <= 0 || k % (2 * dash) < dash; }

// Row r, columns c0..c1 (inclusive), clipped.
void HorizontalLine(const SPicture& pic, int64_t r, int64_t c0, int64_t c1, int64_t dash,
                    uint32_t colour) {
    if (r < 0 || r >= pic.height) return;
    Px* row = pic.Row(r);
    const int64_t from = std::max<int64_t>(c0, 0);
    const int64_t to = std::min<int64_t>(c1, pic.width - 1);
    for (int64_t c = from; c <= to; ++c)
        if (DashOn(c - c0, dash)) row[c] = colour;
}

// Column c, rows r0..r1 (inclusive), clipped.
void VerticalLine(const SPicture& pic, int64_t c, int64_t r0, int64_t r1, int64_t dash,
                  uint32_t colour) {
    if (c < 0 || c >= pic.width) return;
    const int64_t from = std::max<int64_t>(r0, 0);
    const int64_t to = std::min<int64_t>(r1, pic.height - 1);
    for (int64_t r = from; r <= to; ++r)
        if (DashOn(r - r0, dash)) pic.Row(r)[c] = colour;
}

void Outline(const SPicture& pic, int64_t r0, int64_t r1, int64_t c0, int64_t c1, int64_t dash,
             uint32_t colour) {
    HorizontalLine(pic, r0, c0, c1, dash, colour);
    HorizontalLine(pic, r1, c0, c1, dash, colour);
    VerticalLine(pic, c0, r0, r1, dash, colour);
    VerticalLine(pic, c1, r0, r1, dash, colour);
}

// Ring i of the frame is the outline of rows b + i .. a - i and columns
// left + i .. right - i. Only rings with a side inside the picture are drawn,
// so a huge line width costs no more than the picture's size.
void Frame(const SPicture& pic, const SRows& rows, int64_t left, int64_t right, int64_t dash,
           uint32_t colour, int64_t lineWidth) {
    if (rows.a < rows.b || right < left || lineWidth < 1) return;
    // Rings exist while both spans stay non-empty.
    const int64_t rings =
        std::min({lineWidth, (rows.a - rows.b) / 2 + 1, (right - left) / 2 + 1});
    // The ring indices whose low side (at low + i) or high side (at high - i)
    // lies in 0 .. size - 1.
    const auto sideRange = [rings](int64_t low, int64_t high, int64_t size, bool lowSide) {
        int64_t from = lowSide ? -low : high - (size - 1);
        int64_t to = lowSide ? size - 1 - low : high;
        return std::pair<int64_t, int64_t>{std::max<int64_t>(from, 0), std::min(to, rings - 1)};
    };
    for (int side = 0; side < 4; ++side) {
        const bool horizontal = side < 2;
        const bool lowSide = side % 2 == 0;
        const auto [from, to] = horizontal ? sideRange(rows.b, rows.a, pic.height, lowSide)
                                           : sideRange(left, right, pic.width, lowSide);
        for (int64_t i = from; i <= to; ++i) {
            if (horizontal)
                HorizontalLine(pic, lowSide ? rows.b + i : rows.a - i, left + i, right - i, dash,
                               colour);
            else
                VerticalLine(pic, lowSide ? left + i : right - i, rows.b + i, rows.a - i, dash,
                             colour);
        }
    }
}

// A hollow 7 x 7 square around (c, r), its sides pulled in to the picture's edges.
void Handle(const SPicture& pic, int64_t c, int64_t r, uint32_t colour) {
    const int64_t c0 = std::max<int64_t>(c - 3, 0);
    const int64_t c1 = std::min<int64_t>(c + 3, pic.width - 1);
    const int64_t r0 = std::max<int64_t>(r - 3, 0);
    const int64_t r1 = std::min<int64_t>(r + 3, pic.height - 1);
    if (c0 > c1 || r0 > r1) return;
    Outline(pic, r0, r1, c0, c1, 0, colour);
}

}  // namespace

extern "C" {

PIXFILTER_API void GloomExcludeRect(void* pixels, int32_t width, int32_t height, int32_t rowA,
                                    int32_t rowB, int32_t left, int32_t right,
                                    uint32_t gloomColour, int32_t flipRows) {
    if (pixels == nullptr || width <= 0 || height <= 0) return;
    const SPicture pic{static_cast<Px*>(pixels), width, height};
    Gloom(pic, ResolveRows(height, rowA, rowB, flipRows), left, right, gloomColour);
}

PIXFILTER_API void DrawRect(void* pixels, int32_t width, int32_t height, int32_t rowA,
                            int32_t rowB, int32_t left, int32_t right, int32_t dashLength,
                            int32_t flipRows, uint32_t gloomColour, uint32_t lineColour,
                            int32_t lineWidth) {
    if (pixels == nullptr || width <= 0 || height <= 0) return;
    const SPicture pic{static_cast<Px*>(pixels), width, height};
    const SRows rows = ResolveRows(height, rowA, rowB, flipRows);
    Gloom(pic, rows, left, right, gloomColour);
    Frame(pic, rows, left, right, dashLength, lineColour, lineWidth);

    const int64_t midColumn = (int64_t{left} + right) >> 1;
    const int64_t midRow = (rows.a + rows.b) >> 1;
    const int64_t handleRows[3] = {rows.b, midRow, rows.a};
    const int64_t handleColumns[3] = {left, midColumn, right};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (i != 1 || j != 1) Handle(pic, handleColumns[j], handleRows[i], lineColour);
}

}  // extern "C"
