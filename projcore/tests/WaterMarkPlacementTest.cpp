// Where watermarks land: the anchor grid, the crop, the preview area and the
// player's view, all derived from the stored reference values.
#include <gtest/gtest.h>

#include "WaterMarkTestSupport.h"
#include "edit/WaterMarkGeometry.h"
#include "edit/WaterMarkMgr.h"
#include "projcore/MessageIds.h"

using wmtest::Fixture;

namespace {

TEST(WaterMarkPlace, AnchorGrid) {
    struct Case {
        int origin, xo, yo, W, H, w, h;
        wmgeo::Point at;
    } cases[] = {
        {0, 3, 4, 320, 240, 100, 100, {3, 4}},
        {8, 0, 0, 320, 240, 100, 100, {220, 140}},
        {4, 0, 0, 320, 240, 101, 100, {109, 70}},
        {4, 0, 0, 320, 240, 401, 100, {-40, 70}},  // halving truncates toward zero
        {5, -6, 2, 320, 240, 100, 50, {214, 97}},
        {7, 1, -1, 320, 240, 100, 50, {111, 189}},
        {9, 5, 5, 320, 240, 100, 100, {0, 0}},  // outside the grid
        {-1, 5, 5, 320, 240, 100, 100, {0, 0}},
    };
    for (const Case& c : cases) {
        const wmgeo::Point p = wmgeo::Place(c.origin, c.xo, c.yo, c.W, c.H, c.w, c.h);
        EXPECT_EQ(p, c.at) << "origin " << c.origin;
        if (wmgeo::ValidOrigin(c.origin)) {
            EXPECT_EQ(wmgeo::OffsetsFor(c.origin, p.x, p.y, c.W, c.H, c.w, c.h), (wmgeo::Point{c.xo, c.yo}));
        }
    }
}

struct PlaceFixture : ::testing::Test {
    CWaterMarkMgr mgr;
    void SetUp() override {
        mgr.SetFrameSize(Rect{0, 0, 320, 240});
        ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_64x48.bmp").c_str()));
        ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 100, 100, 0, {}}));
    }
    // Where the drawer puts the watermark in the drawn frames.
    Rect Placed() {
        BkOverlayInfo info{};
        EXPECT_TRUE(mgr.GetOverlayInfo(0, info));
        return Rect{info.place.left, info.place.top, info.place.right, info.place.bottom};
    }
    void Crop(Rect margins) { mgr.OnMessage(nullptr, msg::kNotifyCropMargins, reinterpret_cast<intptr_t>(&margins), 16); }
};

TEST_F(PlaceFixture, OverlaysLandWhereTheAnchorSays) {
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 8, 0, 0, 0}));
    EXPECT_EQ(Placed(), (Rect{220, 140, 320, 240}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 4, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 101, 100, 0, {}}));
    EXPECT_EQ(Placed().left, 109);
}

TEST_F(PlaceFixture, WatermarksFollowTheCrop) {
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 0, 0, 0}));
    Crop(Rect{10, 0, 0, 0});
    EXPECT_EQ(Placed(), (Rect{10, 0, 110, 100}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 8, 0, 0, 0}));
    Crop(Rect{10, 5, 20, 30});
    EXPECT_EQ(Placed(), (Rect{200, 110, 300, 210}));
    Crop(Rect{200, 0, 111, 0});  // would leave 9 pixels: not taken
    EXPECT_EQ(Placed(), (Rect{200, 110, 300, 210}));
    Crop(Rect{0, 0, 0, 0});
    EXPECT_EQ(Placed(), (Rect{220, 140, 320, 240}));
    // Offsets and size are measured from the cropped picture's anchor: unchanged.
    WaterMarkPosition p{0, 0, 0, 0, 0};
    ASSERT_TRUE(mgr.GetPosition(p));
    EXPECT_EQ(p.xOffset, 0);
}

TEST_F(PlaceFixture, PreviewAndViewSizesAreDerivedWithoutDrift) {
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 4, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 4, 7, -5, 0}));
    ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 33, 21, 0, {}}));
    Crop(Rect{3, 1, 4, 2});
    mgr.SetDisplayRect(Rect{0, 0, 626, 474});  // twice the 313 x 237 visible picture
    Rect shown{};
    ASSERT_TRUE(mgr.GetDisplayRect(0, shown));
    EXPECT_EQ(shown, (Rect{2 * (7 + 140), 2 * (-5 + 108), 2 * (7 + 140 + 33), 2 * (-5 + 108 + 21)}));
    const Rect placed = Placed();
    CWaterMark before;
    ASSERT_TRUE(mgr.GetWaterMark(0, before));

    // Odd sizes that each truncate, again and again.
    for (int round = 0; round < 5; ++round) {
        mgr.SetDisplayRect(Rect{10, 10, 10 + 97 + round, 10 + 61});
        mgr.SetDisplayRect(Rect{0, 0, 333, 251 + round});
        mgr.SetViewRects(Rect{0, 0, 107, 80}, Rect{0, 0, 107, 80}, Rect{0, 0, 107, 80});
        mgr.SetViewRects(Rect{0, 0, 641, 479}, Rect{0, 0, 601, 455}, Rect{20, 12, 621, 467});
        mgr.ClearViewRects();
    }
    mgr.SetDisplayRect(Rect{0, 0, 626, 474});
    CWaterMark after;
    ASSERT_TRUE(mgr.GetWaterMark(0, after));
    EXPECT_EQ(after.xOffset, before.xOffset);
    EXPECT_EQ(after.yOffset, before.yOffset);
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
    Rect again{};
    ASSERT_TRUE(mgr.GetDisplayRect(0, again));
    EXPECT_EQ(again, shown);
    EXPECT_EQ(Placed(), placed);
}

TEST_F(PlaceFixture, AViewScalesPlaceAndSize) {
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 2, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 2, -10, 6, 0}));
    ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 40, 30, 0, {}}));
    EXPECT_EQ(Placed(), (Rect{270, 6, 310, 36}));
    // The whole picture shown at twice its size, inside a letterboxed frame.
    mgr.SetViewRects(Rect{0, 0, 640, 520}, Rect{0, 0, 640, 480}, Rect{0, 20, 640, 500});
    EXPECT_EQ(Placed(), (Rect{540, 32, 620, 92}));
    // A frame that does not hold the visible rectangle: the whole frame is the picture.
    mgr.SetViewRects(Rect{0, 0, 160, 120}, Rect{0, 0, 160, 120}, Rect{0, 0, 161, 120});
    EXPECT_EQ(Placed(), (Rect{135, 3, 155, 18}));
    mgr.SetViewRects(Rect{0, 0, 0, 120}, Rect{0, 0, 160, 120}, Rect{0, 0, 160, 120});  // empty: not taken
    EXPECT_EQ(Placed(), (Rect{135, 3, 155, 18}));
    mgr.ClearViewRects();
    EXPECT_EQ(Placed(), (Rect{270, 6, 310, 36}));
}

TEST(WaterMarkFrameSize, WatermarksMadeBeforeTheFrameWasKnownAreScaledOnce) {
    CWaterMarkMgr mgr;  // frame not known yet: 400 x 400 stands in
    ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("no_such_picture.png").c_str()));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 40, 20, 0}));
    mgr.SetFrameSize(Rect{0, 0, 0, 100});  // empty: not taken
    mgr.SetFrameSize(Rect{0, 0, 200, 100});
    mgr.SetFrameSize(Rect{0, 0, 200, 100});
    CWaterMark m;
    ASSERT_TRUE(mgr.GetWaterMark(0, m));
    EXPECT_EQ(m.xOffset, 20);
    EXPECT_EQ(m.yOffset, 5);
    EXPECT_EQ(m.width, 100);  // half of 400, scaled to 200
    EXPECT_EQ(m.height, 50);
}

}  // namespace
