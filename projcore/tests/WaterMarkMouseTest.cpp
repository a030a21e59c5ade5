// Moving and resizing watermarks with the mouse on the preview.
#include <gtest/gtest.h>

#include "WaterMarkTestSupport.h"
#include "edit/WaterMarkMgr.h"
#include "projcore/MessageIds.h"

using wmtest::Fixture;
using wmtest::Recorder;

namespace {

TEST(WaterMarkMouse, DraggingAPictureByItsCorner) {
    struct Case {
        const char* what;
        Rect display;
        uint8_t keepRatio;
        int fromX, fromY, toX, toY;
        WaterMarkPlace expected;
    } cases[] = {
        // Twice the frame: (10, 10, 80 x 60) shows at (20, 20) - (180, 140).
        {"free", {0, 0, 640, 480}, 0, 180, 140, 260, 160, {10, 10, 120, 70}},
        {"keeping the ratio", {0, 0, 640, 480}, 1, 180, 140, 260, 160, {10, 10, 120, 90}},
        // 1.25 times: the corner not dragged keeps its exact place.
        {"keeping the ratio at 1.25", {0, 0, 400, 300}, 1, 112, 87, 162, 100, {10, 10, 120, 89}},
        // Dragged by the top-left corner, in a display area away from the window's corner.
        {"top-left corner", {100, 50, 740, 530}, 0, 120, 70, 110, 66, {5, 8, 85, 62}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaterMarkMgr mgr;
        mgr.SetFrameSize(Rect{0, 0, 320, 240});
        mgr.SetDisplayRect(c.display);
        ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_160x120.png").c_str()));
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 0, 0, 0}));
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 10, 10, 0}));
        ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 80, 60, c.keepRatio, {}}));
        ASSERT_TRUE(mgr.SelectWatermark(0));
        Recorder heard;
        mgr.AddListener(&heard);
        mgr.OnMouseMove(c.fromX, c.fromY);
        mgr.OnMouseDown();
        mgr.OnMouseMove((c.fromX + c.toX) / 2, (c.fromY + c.toY) / 2);
        mgr.OnMouseMove(c.toX, c.toY);
        mgr.OnMouseUp();
        mgr.RemoveListener(&heard);

        WaterMarkSize size{0, 0, 0, 0, {}};
        ASSERT_TRUE(mgr.GetSize(size));
        WaterMarkPosition pos{0, 0, 0, 0, 0};
        ASSERT_TRUE(mgr.GetPosition(pos));
        EXPECT_EQ(pos.xOffset, c.expected.xOffset);
        EXPECT_EQ(pos.yOffset, c.expected.yOffset);
        EXPECT_EQ(size.width, c.expected.width);
        EXPECT_EQ(size.height, c.expected.height);
        // The last place announced is the stored one; the corner handle was reported.
        const Recorder::Item* place = nullptr;
        bool handleReported = false;
        for (const auto& it : heard.items) {
            if (it.id == msg::kNotifyWaterMarkPlace) place = &it;
            if (it.id == msg::kNotifyWaterMarkHandle && (it.p2 == 8 || it.p2 == 2)) handleReported = true;
        }
        ASSERT_NE(place, nullptr);
        EXPECT_EQ(place->place.width, c.expected.width);
        EXPECT_EQ(place->place.height, c.expected.height);
        EXPECT_TRUE(handleReported);
        EXPECT_TRUE(mgr.IsModified());
        // The overlay in the frame follows.
        BkOverlayInfo info{};
        ASSERT_TRUE(mgr.GetOverlayInfo(0, info));
        EXPECT_EQ(info.place.right - info.place.left, c.expected.width);
        EXPECT_EQ(info.place.left, c.expected.xOffset);
    }
}

struct TwoMarks : ::testing::Test {
    CWaterMarkMgr mgr;
    Recorder heard;
    CWaterMark text;
    void SetUp() override {
        mgr.SetFrameSize(Rect{0, 0, 320, 240});
        mgr.SetDisplayRect(Rect{0, 0, 640, 480});
        ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_64x48.bmp").c_str()));
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 0, 0, 0}));
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 10, 10, 0}));  // shows at (20, 20) - (148, 116)
        ASSERT_TRUE(mgr.AddTextWatermark(1, "moved only"));
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{1, 0, 0, 0, 0}));
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{1, 0, 50, 100, 0}));  // shows from (100, 200)
        ASSERT_TRUE(mgr.GetWaterMark(1, text));
        mgr.AddListener(&heard);
    }
    void TearDown() override { mgr.RemoveListener(&heard); }
};

// The preview outlines the selected watermark on the frame, in the picture's
// pixels, wherever the crop has put the visible part.
TEST(WaterMarkMouse, TheSelectedRectangleInThePicturesPixels) {
    struct Case {
        const char* what;
        Rect display, margins, expected;
    } cases[] = {{"twice the frame", {0, 0, 640, 480}, {0, 0, 0, 0}, {10, 10, 90, 70}},
                 {"cropped, twice the visible part", {0, 0, 560, 440}, {40, 20, 0, 0}, {50, 30, 130, 90}},
                 {"away from the window's corner", {100, 50, 420, 290}, {0, 0, 0, 0}, {10, 10, 90, 70}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CWaterMarkMgr mgr;
        mgr.SetFrameSize(Rect{0, 0, 320, 240});
        mgr.OnCropChanged(c.margins);
        mgr.SetDisplayRect(c.display);
        ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_160x120.png").c_str()));
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 0, 0, 0}));  // a new origin drops the offsets
        ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 10, 10, 0}));
        ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 80, 60, 0, {}}));
        Rect r{};
        EXPECT_FALSE(mgr.GetSelectedRectInPicture(r));  // nothing selected
        ASSERT_TRUE(mgr.SelectWatermark(0));
        ASSERT_TRUE(mgr.GetSelectedRectInPicture(r));
        EXPECT_EQ(r, c.expected);
    }
}

TEST_F(TwoMarks, ATextIsMovedNotResizedAndAPressSelectsIt) {
    mgr.OnMouseMove(100, 200);  // its corner: a text has no resize handles
    mgr.OnMouseDown();
    EXPECT_EQ(heard.Ids(), (std::vector<int32_t>{msg::kNotifyWaterMarkSelected, msg::kNotifyWaterMarkHandle}));
    EXPECT_EQ(heard.items[0].p2, 1);
    EXPECT_EQ(heard.items[1].p2, 9);  // move
    mgr.OnMouseMove(140, 180);
    mgr.OnMouseUp();
    CWaterMark after;
    ASSERT_TRUE(mgr.GetWaterMark(1, after));
    EXPECT_EQ(after.xOffset, 70);
    EXPECT_EQ(after.yOffset, 90);
    EXPECT_EQ(after.width, text.width);
    EXPECT_EQ(after.height, text.height);
    Rect shown{};
    ASSERT_TRUE(mgr.GetSelectedRect(shown));
    EXPECT_EQ(shown.left, 140);
    EXPECT_EQ(shown.top, 180);
    CWaterMark picture;
    ASSERT_TRUE(mgr.GetWaterMark(0, picture));
    EXPECT_EQ(picture.xOffset, 10);  // the other watermark did not move
}

TEST_F(TwoMarks, APressBesideEveryWatermarkClearsTheSelection) {
    ASSERT_TRUE(mgr.SelectWatermark(0));
    heard.Clear();
    mgr.OnMouseMove(600, 450);
    mgr.OnMouseDown();
    mgr.OnMouseUp();
    // The selected rectangle reports no handle under the pointer, then the selection goes.
    EXPECT_EQ(heard.Ids(), (std::vector<int32_t>{msg::kNotifyWaterMarkHandle, msg::kNotifyWaterMarkDeselected}));
    EXPECT_EQ(heard.items[0].p2, 0);
    uint32_t sel = 0;
    EXPECT_FALSE(mgr.Selected(sel));
    // Dragging now changes nothing.
    mgr.OnMouseMove(60, 60);
    mgr.OnMouseMove(90, 90);
    CWaterMark picture;
    ASSERT_TRUE(mgr.GetWaterMark(0, picture));
    EXPECT_EQ(picture.xOffset, 10);
}

}  // namespace
