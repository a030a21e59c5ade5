// Bad arguments get a clear result, and nothing is ever written outside the
// caller's pixels, wherever an overlay or the crop rectangle lies.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "DrawerHandle.h"
#include "TestImages.h"

using namespace bktest;

namespace {

TEST(Arguments, NullDrawerIsRefusedByEveryCall) {
    Frame f(4, 4);
    BkRect r{0, 0, 2, 2};
    BkBitmap b = f.bitmap();
    FontPtr font(BK_CreateFont("DejaVu Sans", 10, 0));
    BkOverlayInfo info{};
    const std::vector<std::function<int()>> calls = {
        [] { return BK_SetTimeline(nullptr, 1); },
        [] { return BK_SetFrameRate(nullptr, 25); },
        [] { return BK_SetNextAlpha(nullptr, 1); },
        [] { return BK_SetNextTolerance(nullptr, 1); },
        [] { return BK_SetFillMode(nullptr, 0); },
        [&] { return BK_AppendPicture(nullptr, "x.png", &r, -1, 0, 1); },
        [&] { return BK_ReplacePicture(nullptr, 0, "x.png", &r, -1, 0, 1); },
        [&] { return BK_AppendPictureAt(nullptr, "x.png", 0, 0, -1, 0, 1); },
        [&] { return BK_AppendBitmap(nullptr, &b, 0, 0, -1, 0, 1); },
        [&] { return BK_AppendText(nullptr, "a", 0, 0, 0, font.get(), 0, 1); },
        [&] { return BK_ReplaceText(nullptr, 0, "a", 0, 0, 0, font.get(), 0, 1); },
        [] { return BK_SetFades(nullptr, 0, 1, 1); },
        [] { return BK_SetSpan(nullptr, 0, 1, 1); },
        [] { return BK_MoveOverlay(nullptr, 0, 1, 1); },
        [] { return BK_RemoveOverlay(nullptr, 0); },
        [] { return BK_MoveSlot(nullptr, 0, 0); },
        [] { return BK_PlaceAppended(nullptr, 0, 0); },
        [] { return BK_ClearOverlays(nullptr); },
        [] { return BK_GetOverlayCount(nullptr); },
        [&] { return BK_GetOverlayInfo(nullptr, 0, &info); },
        [] { return BK_SetFrameIndex(nullptr, 0); },
        [&] { return BK_BlendFrame(nullptr, f.data(), 4, 4, 16); },
        [&] { return BK_SetBackground(nullptr, &b); },
        [&] { return BK_AdjustPicture(nullptr, f.data(), 4, 4, 16, 0.5f, 0); },
    };
    for (size_t i = 0; i < calls.size(); ++i) EXPECT_EQ(calls[i](), BK_ERR_ARGUMENT) << "call " << i;
    EXPECT_EQ(BK_Compose(nullptr, &b), nullptr);
    BK_DeleteDrawer(nullptr);
    BK_DeleteFont(nullptr);
}

TEST(Arguments, OutOfRangeValuesAreRefused) {
    auto d = NewDrawer();
    EXPECT_EQ(BK_SetNextAlpha(d.get(), 256), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_SetNextAlpha(d.get(), -1), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_SetNextTolerance(d.get(), 256), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_SetFillMode(d.get(), 2), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_SetFrameRate(d.get(), 0), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_SetFrameRate(d.get(), NAN), BK_ERR_ARGUMENT);
    Frame f(2, 2);
    EXPECT_EQ(BK_AdjustPicture(d.get(), f.data(), 2, 2, 8, NAN, 0), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_CreateFont(nullptr, 10, 0), nullptr);
    EXPECT_EQ(BK_CreateFont("DejaVu Sans", 0, 0), nullptr);
    EXPECT_EQ(BK_CreateFont("DejaVu Sans", 10, 64), nullptr);
    int32_t w = 0, h = 0;
    EXPECT_EQ(BK_MeasureText(nullptr, "a", &w, &h), BK_ERR_ARGUMENT);
    FontPtr font(BK_CreateFont("DejaVu Sans", 10, 0));
    EXPECT_EQ(BK_MeasureText(font.get(), "\xff\xfe", &w, &h), BK_ERR_TEXT);  // not UTF-8
    EXPECT_EQ(BK_AppendText(d.get(), nullptr, 0, 0, 0, font.get(), 0, 1), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_AppendText(d.get(), "a", 0, 0, 0, nullptr, 0, 1), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_GetOverlayCount(d.get()), 0);
}

TEST(Arguments, BadSlotsChangeNothing) {
    auto d = NewDrawer();
    FontPtr font(BK_CreateFont("DejaVu Sans", 10, 0));
    ASSERT_EQ(BK_AppendText(d.get(), "a", 0, 0, 0, font.get(), 3, 4), 0);
    const BkRect r{0, 0, 8, 8};
    BkOverlayInfo info{};
    for (int slot : {-1, 1, INT_MAX, INT_MIN}) {
        EXPECT_EQ(BK_ReplacePicture(d.get(), slot, Fixture("still_64x48.bmp").c_str(), &r, -1, 0, 1), BK_ERR_SLOT);
        EXPECT_EQ(BK_ReplaceText(d.get(), slot, "b", 0, 0, 0, font.get(), 0, 1), BK_ERR_SLOT);
        EXPECT_EQ(BK_SetFades(d.get(), slot, 1, 1), BK_ERR_SLOT);
        EXPECT_EQ(BK_SetSpan(d.get(), slot, 1, 1), BK_ERR_SLOT);
        EXPECT_EQ(BK_MoveOverlay(d.get(), slot, 1, 1), BK_ERR_SLOT);
        EXPECT_EQ(BK_RemoveOverlay(d.get(), slot), BK_ERR_SLOT);
        EXPECT_EQ(BK_MoveSlot(d.get(), slot, 0), BK_ERR_SLOT);
        EXPECT_EQ(BK_MoveSlot(d.get(), 0, slot), BK_ERR_SLOT);
        EXPECT_EQ(BK_PlaceAppended(d.get(), slot, 0), BK_ERR_SLOT);
        EXPECT_EQ(BK_GetOverlayInfo(d.get(), slot, &info), BK_ERR_SLOT);
    }
    ASSERT_EQ(BK_GetOverlayCount(d.get()), 1);
    ASSERT_EQ(BK_GetOverlayInfo(d.get(), 0, &info), BK_OK);
    EXPECT_EQ(info.kind, 2);
    EXPECT_EQ(info.start, 3);
    EXPECT_EQ(info.count, 4);
    EXPECT_EQ(info.place.left, 0);
}

TEST(Arguments, BadSizesAreRefused) {
    auto d = NewDrawer();
    Frame f(8, 8);
    const struct {
        int w, h, stride;
    } frames[] = {{0, 8, 32},     {8, 0, 32},    {-8, 8, 32},       {8, 8, 31},         {8, 8, -31},
                  {8, 8, 0},      {8, 8, INT_MIN},  {8, 8, INT_MAX}, {BK_MAX_FRAME_SIDE + 1, 1, INT_MAX}, {1, BK_MAX_FRAME_SIDE + 1, 4}};
    for (const auto& c : frames) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " stride " << c.stride);
        EXPECT_EQ(BK_BlendFrame(d.get(), f.data(), c.w, c.h, c.stride), BK_ERR_SIZE);
        EXPECT_EQ(BK_AdjustPicture(d.get(), f.data(), c.w, c.h, c.stride, 0.5f, 0), BK_ERR_SIZE);
        const BkRect r{1, 1, 4, 4};
        EXPECT_EQ(BK_DrawCropFrame(f.data(), c.w, c.h, c.stride, &r, 0xff111111), BK_ERR_SIZE);
        BkBitmap b{c.w, c.h, c.stride, f.data()};
        EXPECT_EQ(BK_AppendBitmap(d.get(), &b, 0, 0, -1, 0, 1), BK_ERR_SIZE);
        EXPECT_EQ(BK_SetBackground(d.get(), &b), BK_ERR_SIZE);
        EXPECT_EQ(BK_Compose(d.get(), &b), nullptr);
    }
    EXPECT_EQ(BK_BlendFrame(d.get(), nullptr, 8, 8, 32), BK_ERR_ARGUMENT);

    const BkRect rects[] = {{0, 0, 0, 10},
                            {0, 0, 10, 0},
                            {10, 10, 5, 20},
                            {0, 0, BK_MAX_OVERLAY_SIDE + 1, 10},
                            {INT_MIN, 0, INT_MAX, 10}};
    for (const BkRect& r : rects)
        EXPECT_EQ(BK_AppendPicture(d.get(), Fixture("still_64x48.bmp").c_str(), &r, -1, 0, 1), BK_ERR_SIZE);
    EXPECT_EQ(BK_AppendPicture(d.get(), Fixture("still_64x48.bmp").c_str(), nullptr, -1, 0, 1), BK_ERR_ARGUMENT);
    const BkRect empty{5, 5, 5, 9};
    EXPECT_EQ(BK_DrawCropFrame(f.data(), 8, 8, 32, &empty, 0xff111111), BK_ERR_SIZE);
    EXPECT_EQ(BK_DrawCropFrame(f.data(), 8, 8, 32, nullptr, 0xff111111), BK_ERR_ARGUMENT);
    EXPECT_EQ(BK_GetOverlayCount(d.get()), 0);
}

// A picture that cannot be read still takes its slot (empty), so that the
// slots of the overlays after it keep their numbers.
TEST(Arguments, UnreadablePictureTakesAnEmptySlot) {
    auto d = NewDrawer();
    const BkRect r{0, 0, 10, 10};
    const std::string notAPicture = Fixture("flv1_mp3_160x120.flv");
    EXPECT_EQ(BK_AppendPicture(d.get(), notAPicture.c_str(), &r, -1, 0, -1), BK_ERR_PICTURE);
    EXPECT_EQ(BK_AppendPictureAt(d.get(), "/nonexistent/x.png", 0, 0, -1, 0, -1), BK_ERR_PICTURE);
    EXPECT_EQ(BK_AppendPicture(d.get(), Fixture("still_64x48.bmp").c_str(), &r, -1, 0, -1), 2);
    EXPECT_EQ(BK_ReplacePicture(d.get(), 2, "", &r, -1, 0, -1), BK_ERR_PICTURE);
    BkOverlayInfo info{};
    for (int slot = 0; slot < 3; ++slot) {
        ASSERT_EQ(BK_GetOverlayInfo(d.get(), slot, &info), BK_OK);
        EXPECT_EQ(info.kind, 0) << slot;
    }
    Frame f = GradientFrame(16, 16), before = f;
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), 16, 16, f.stride()), BK_OK);
    EXPECT_TRUE(f.px == before.px);
}

// The frame sits inside a larger buffer: rows are padded and guarded above
// and below. Overlays and crop rectangles anywhere must leave the guard
// bytes alone, with the rows in either order.
class GuardedFrame : public ::testing::TestWithParam<bool> {
protected:
    static constexpr int kW = 20, kH = 12, kPad = 16, kStride = kW * 4 + kPad, kGuard = 256;
    static constexpr uint8_t kCanary = 0xA5;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kGuard * 2 + static_cast<size_t>(kStride) * kH, kCanary);
    uint8_t* pixels() { return buffer.data() + kGuard; }
    int stride() const { return GetParam() ? -kStride : kStride; }
    void PaintFrame() {
        for (int y = 0; y < kH; ++y) std::memset(pixels() + y * kStride, 0x10, kW * 4);
    }
    void ExpectGuardsIntact() {
        for (size_t i = 0; i < buffer.size(); ++i) {
            const size_t inFrame = i - kGuard;
            const bool guard = i < kGuard || i >= kGuard + static_cast<size_t>(kStride) * kH ||
                               inFrame % kStride >= static_cast<size_t>(kW) * 4;
            if (guard) {
                ASSERT_EQ(buffer[i], kCanary) << "byte " << i;
            }
        }
    }
};

TEST_P(GuardedFrame, OverlaysAnywhereAreClipped) {
    auto d = NewDrawer();
    FontPtr font(BK_CreateFont("DejaVu Sans", 30, BK_FONT_BOLD));
    const BkRect rects[] = {{-30, -30, 10, 10},  {15, 8, 60, 40},   {-100, 2, 200, 6},
                            {kW, 0, kW + 5, 5},  {0, kH, 5, kH + 5}, {INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX},
                            {INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 10}};
    for (const BkRect& r : rects)
        ASSERT_GE(BK_AppendPicture(d.get(), Fixture("still_160x120.png").c_str(), &r, -1, 0, -1), 0);
    const int points[][2] = {{-5, -5}, {10, 3}, {INT_MAX, INT_MAX}, {INT_MIN, 0}, {kW - 1, kH - 1}};
    for (const auto& p : points) ASSERT_GE(BK_AppendText(d.get(), "Wide W", p[0], p[1], 0xffffff, font.get(), 0, -1), 0);
    ASSERT_EQ(BK_MoveOverlay(d.get(), 0, INT_MAX, INT_MIN), BK_OK);
    PaintFrame();
    ASSERT_EQ(BK_BlendFrame(d.get(), pixels(), kW, kH, stride()), BK_OK);
    ExpectGuardsIntact();
    // The fill modes draw relative to the frame; tiles and centred pictures
    // larger than the frame must clip the same way.
    for (int mode : {BK_FILL_CENTER, BK_FILL_TILE}) {
        ASSERT_EQ(BK_SetFillMode(d.get(), mode), BK_OK);
        ASSERT_GE(BK_AppendPictureAt(d.get(), Fixture("still_64x48.bmp").c_str(), 0, 0, -1, 0, -1), 0);
    }
    ASSERT_EQ(BK_BlendFrame(d.get(), pixels(), kW, kH, stride()), BK_OK);
    ExpectGuardsIntact();
}

TEST_P(GuardedFrame, CropFrameAnywhereIsClipped) {
    const BkRect rects[] = {{2, 2, 18, 10},       {-5, -5, 30, 30}, {0, 0, kW, kH}, {-50, 3, -40, 8},
                            {kW - 1, kH - 1, kW + 4, kH + 4}, {INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {0, 0, 1, 1}};
    for (const BkRect& r : rects) {
        PaintFrame();
        ASSERT_EQ(BK_DrawCropFrame(pixels(), kW, kH, stride(), &r, 0xff111111), BK_OK);
        ExpectGuardsIntact();
    }
    auto d = NewDrawer(false);
    ASSERT_EQ(BK_AdjustPicture(d.get(), pixels(), kW, kH, stride(), 0.7f, 0.7f), BK_OK);
    ExpectGuardsIntact();
}

INSTANTIATE_TEST_SUITE_P(RowOrder, GuardedFrame, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "BottomUp" : "TopDown"; });

TEST(Arguments, HugeTextIsRefusedButTakesItsSlot) {
    auto d = NewDrawer();
    FontPtr font(BK_CreateFont("DejaVu Sans", 1000, 0));
    const std::string text(20, 'W');  // some 20 000 pixels wide
    EXPECT_EQ(BK_AppendText(d.get(), text.c_str(), 0, 0, 0, font.get(), 0, -1), BK_ERR_TEXT);
    EXPECT_EQ(BK_GetOverlayCount(d.get()), 1);
}

}  // namespace
