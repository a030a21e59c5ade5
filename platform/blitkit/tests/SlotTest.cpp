// The slot list: what each operation does to the order, and which slots
// draw at which frame.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "DrawerHandle.h"
#include "TestImages.h"

using namespace bktest;

namespace {

// Appends a 1 x 1 opaque pixel overlay at (0, 0); its start frame tags it.
int AppendTagged(BkDrawer* d, int tag, uint32_t bgra = 0xffffffff, int count = -1) {
    Frame px(1, 1, bgra);
    BkBitmap b = px.bitmap();
    return BK_AppendBitmap(d, &b, 0, 0, -1, tag, count);
}

std::vector<int> Tags(BkDrawer* d) {
    std::vector<int> tags;
    const int n = BK_GetOverlayCount(d);
    for (int i = 0; i < n; ++i) {
        BkOverlayInfo info{};
        EXPECT_EQ(BK_GetOverlayInfo(d, i, &info), BK_OK);
        tags.push_back(info.start);
    }
    return tags;
}

struct SlotCase {
    const char* name;
    std::function<int(BkDrawer*)> op;  // acts on slots tagged 1, 2, 3
    int result;
    std::vector<int> after;
};

class SlotOperations : public ::testing::TestWithParam<SlotCase> {};

TEST_P(SlotOperations, LeaveTheSlotsInOrder) {
    const SlotCase& c = GetParam();
    auto d = NewDrawer();
    for (int tag = 1; tag <= 3; ++tag) ASSERT_EQ(AppendTagged(d.get(), tag), tag - 1);
    EXPECT_EQ(c.op(d.get()), c.result);
    EXPECT_EQ(Tags(d.get()), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Drawer, SlotOperations,
    ::testing::Values(
        SlotCase{"AppendGoesLast", [](BkDrawer* d) { return AppendTagged(d, 4); }, 3, {1, 2, 3, 4}},
        SlotCase{"RemoveMiddleMovesLaterDown", [](BkDrawer* d) { return BK_RemoveOverlay(d, 1); }, BK_OK, {1, 3}},
        SlotCase{"RemoveFirst", [](BkDrawer* d) { return BK_RemoveOverlay(d, 0); }, BK_OK, {2, 3}},
        SlotCase{"RemoveLast", [](BkDrawer* d) { return BK_RemoveOverlay(d, 2); }, BK_OK, {1, 2}},
        SlotCase{"MoveForward", [](BkDrawer* d) { return BK_MoveSlot(d, 0, 2); }, BK_OK, {2, 3, 1}},
        SlotCase{"MoveBackward", [](BkDrawer* d) { return BK_MoveSlot(d, 2, 0); }, BK_OK, {3, 1, 2}},
        SlotCase{"MoveToItself", [](BkDrawer* d) { return BK_MoveSlot(d, 1, 1); }, BK_OK, {1, 2, 3}},
        SlotCase{"PlaceAppendedAtItsListPosition",
                 [](BkDrawer* d) {
                     AppendTagged(d, 4);
                     return BK_PlaceAppended(d, 3, 1);
                 },
                 BK_OK, {1, 4, 2, 3}},
        SlotCase{"PlaceAppendedOnlyFromTheLastSlot", [](BkDrawer* d) { return BK_PlaceAppended(d, 1, 0); },
                 BK_ERR_SLOT, {1, 2, 3}},
        SlotCase{"ReplaceKeepsThePosition",
                 [](BkDrawer* d) {
                     FontPtr font(BK_CreateFont("DejaVu Sans", 10, 0));
                     return BK_ReplaceText(d, 1, "x", 0, 0, 0, font.get(), 7, 1);
                 },
                 BK_OK, {1, 7, 3}},
        SlotCase{"Clear", [](BkDrawer* d) { return BK_ClearOverlays(d); }, BK_OK, {}},
        SlotCase{"RemoveBeyondTheEnd", [](BkDrawer* d) { return BK_RemoveOverlay(d, 3); }, BK_ERR_SLOT, {1, 2, 3}},
        SlotCase{"MoveToBeyondTheEnd", [](BkDrawer* d) { return BK_MoveSlot(d, 0, 3); }, BK_ERR_SLOT, {1, 2, 3}}),
    [](const ::testing::TestParamInfo<SlotCase>& info) { return std::string(info.param.name); });

// Three opaque pixels on one spot: red frames 0-9, green 5-9, blue from 8 on.
// The pixel shows the last slot that is active.
class WhichSlotsDraw : public ::testing::Test {
protected:
    void SetUp() override {
        d = NewDrawer();
        ASSERT_EQ(AppendTagged(d.get(), 0, 0xffff0000, 10), 0);  // bytes B, G, R, A read as 0xAARRGGBB
        ASSERT_EQ(AppendTagged(d.get(), 0, 0xff00ff00, 1), 1);
        ASSERT_EQ(BK_SetSpan(d.get(), 1, 5, 5), BK_OK);
        ASSERT_EQ(AppendTagged(d.get(), 8, 0xff0000ff, -1), 2);
    }
    uint32_t PixelAt(int frame) {
        Frame f(1, 1, 0xff000000);
        BK_SetFrameIndex(d.get(), frame);
        EXPECT_EQ(BK_BlendFrame(d.get(), f.data(), 1, 1, 4), BK_OK);
        uint32_t v;
        std::memcpy(&v, f.at(0, 0), 4);
        return v;
    }
    DrawerPtr d;
};

TEST_F(WhichSlotsDraw, FollowTheirSpansInSlotOrder) {
    const struct {
        int frame;
        uint32_t pixel;
    } cases[] = {{-1, 0xff000000}, {0, 0xffff0000}, {4, 0xffff0000}, {5, 0xff00ff00},
                 {7, 0xff00ff00},  {8, 0xff0000ff}, {10, 0xff0000ff}, {1 << 30, 0xff0000ff}};
    for (const auto& c : cases) EXPECT_EQ(PixelAt(c.frame), c.pixel) << "frame " << c.frame;
}

TEST_F(WhichSlotsDraw, MovedSlotDrawsInItsNewPlace) {
    ASSERT_EQ(BK_MoveSlot(d.get(), 2, 0), BK_OK);  // blue now below red and green
    EXPECT_EQ(PixelAt(8), 0xff00ff00u);
    EXPECT_EQ(PixelAt(12), 0xff0000ffu);
}

TEST_F(WhichSlotsDraw, WithoutTimelineEverySlotDraws) {
    ASSERT_EQ(BK_SetTimeline(d.get(), 0), BK_OK);
    EXPECT_EQ(PixelAt(-100), 0xff0000ffu);
    ASSERT_EQ(BK_RemoveOverlay(d.get(), 2), BK_OK);
    EXPECT_EQ(PixelAt(1000), 0xff00ff00u);
}

// A white pixel over black shows the strength the overlay is drawn with.
TEST(Fades, RampTheAlphaLinearly) {
    const struct {
        int alpha, frame, expected;
    } cases[] = {
        {255, 9, 0},   {255, 10, 0},  {255, 11, 64}, {255, 12, 128}, {255, 14, 255},  // fade-in over 4 frames
        {255, 25, 255}, {255, 26, 204}, {255, 29, 51}, {255, 30, 0},                  // fade-out over the last 5
        {128, 12, 64},  {128, 20, 128},
    };
    for (const auto& c : cases) {
        auto d = NewDrawer();
        BK_SetNextAlpha(d.get(), c.alpha);
        ASSERT_EQ(AppendTagged(d.get(), 10, 0xffffffff, 20), 0);
        ASSERT_EQ(BK_SetFades(d.get(), 0, 4, 5), BK_OK);
        Frame f(1, 1, 0xff000000);
        BK_SetFrameIndex(d.get(), c.frame);
        ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), 1, 1, 4), BK_OK);
        EXPECT_NEAR(f.at(0, 0)[1], c.expected, 1) << "alpha " << c.alpha << " frame " << c.frame;
        EXPECT_EQ(f.at(0, 0)[3], 255);
    }
}

TEST(Fades, OpenEndedSpanHasNoFadeOut) {
    auto d = NewDrawer();
    ASSERT_EQ(AppendTagged(d.get(), 0, 0xffffffff, -1), 0);
    ASSERT_EQ(BK_SetFades(d.get(), 0, 0, 50), BK_OK);
    Frame f(1, 1, 0xff000000);
    BK_SetFrameIndex(d.get(), 1 << 30);
    ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), 1, 1, 4), BK_OK);
    EXPECT_EQ(f.at(0, 0)[0], 255);
}

TEST(Overlays, MoveKeepsTheSizeAndReplaceKeepsTheFades) {
    auto d = NewDrawer();
    const BkRect r{10, 20, 50, 50};
    ASSERT_EQ(BK_AppendPicture(d.get(), Fixture("still_64x48.bmp").c_str(), &r, -1, 0, 100), 0);
    ASSERT_EQ(BK_SetFades(d.get(), 0, 3, 4), BK_OK);
    ASSERT_EQ(BK_MoveOverlay(d.get(), 0, -5, 7), BK_OK);
    BkOverlayInfo info{};
    ASSERT_EQ(BK_GetOverlayInfo(d.get(), 0, &info), BK_OK);
    EXPECT_EQ(info.kind, 1);
    EXPECT_EQ(info.place.left, -5);
    EXPECT_EQ(info.place.top, 7);
    EXPECT_EQ(info.place.right, 35);
    EXPECT_EQ(info.place.bottom, 37);
    BK_SetNextAlpha(d.get(), 99);
    ASSERT_EQ(BK_ReplacePicture(d.get(), 0, Fixture("still_160x120.jpg").c_str(), &r, -1, 5, 6), BK_OK);
    ASSERT_EQ(BK_GetOverlayInfo(d.get(), 0, &info), BK_OK);
    EXPECT_EQ(info.alpha, 99);
    EXPECT_EQ(info.start, 5);
    EXPECT_EQ(info.count, 6);
    EXPECT_EQ(info.fadeIn, 3);
    EXPECT_EQ(info.fadeOut, 4);
    EXPECT_EQ(info.place.left, 10);
}

// The engine sizes a text watermark by measuring it; the overlay must take
// exactly that size, whatever the style, and the font may go at once.
TEST(Overlays, TextTakesItsMeasuredSize) {
    auto d = NewDrawer();
    const char* texts[] = {"Wg", "two\nlines", "\xc3\x84pfel \xe2\x82\xac"};
    for (int style : {0, BK_FONT_BOLD | BK_FONT_ITALIC | BK_FONT_UNDERLINE}) {
        for (const char* text : texts) {
            FontPtr font(BK_CreateFont("DejaVu Sans", 13, style));
            int32_t w = 0, h = 0;
            ASSERT_EQ(BK_MeasureText(font.get(), text, &w, &h), BK_OK);
            EXPECT_GT(w, 0);
            EXPECT_GT(h, 0);
            const int slot = BK_AppendText(d.get(), text, 4, 6, 0xffffff, font.get(), 0, -1);
            ASSERT_GE(slot, 0);
            font.reset();
            BkOverlayInfo info{};
            ASSERT_EQ(BK_GetOverlayInfo(d.get(), slot, &info), BK_OK);
            EXPECT_EQ(info.place.right - info.place.left, w) << text;
            EXPECT_EQ(info.place.bottom - info.place.top, h) << text;
        }
    }
    Frame f = GradientFrame(120, 60);
    EXPECT_EQ(BK_BlendFrame(d.get(), f.data(), 120, 60, f.stride()), BK_OK);
}

}  // namespace
