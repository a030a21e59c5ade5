#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <vector>

#include "bus/BaseException.h"
#include "edit/CropMgr.h"
#include "edit/CropRect.h"
#include "edit/TrimMgr.h"
#include "model/XMLSerialStream.h"
#include "projcore/MessageIds.h"

namespace {

// Records what a settings manager announces, with the value p1 points to.
struct Heard : CBaseListener {
    struct Item {
        int32_t id;
        uint32_t value;  // *p1 for trim messages
        Rect rect;       // *p1 for crop margins
        intptr_t p2;
    };
    std::vector<Item> items;
    void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
        Item it{id, 0, {}, p2};
        if (id == msg::kNotifyCropMargins) it.rect = *reinterpret_cast<const Rect*>(p1);
        else if (p1) it.value = *reinterpret_cast<const uint32_t*>(p1);
        items.push_back(it);
    }
};

std::unique_ptr<CTrimMgr> Trim(uint32_t duration, uint32_t start, uint32_t end) {
    auto t = std::make_unique<CTrimMgr>();
    t->SetDuration(duration);
    t->SetEnd(end);
    t->SetStart(start);
    return t;
}

// A trim group as a project file holds it, values taken as they stand.
void PutTrim(CXMLSerialStream& s, uint32_t duration, uint32_t start, uint32_t end) {
    s.BeginGroup("TrimMgr");
    s.PutUInt("Duration", duration);
    s.PutUInt("Start", start);
    s.PutUInt("End", end);
    s.EndGroup();
}

TEST(Trim, SettersKeepTheInvariants) {
    CTrimMgr& t = *Trim(10000, 2000, 8000).release();
    Heard h;
    t.AddListener(&h);
    EXPECT_TRUE(t.SetStart(8000));  // an empty range is allowed
    EXPECT_FALSE(t.SetStart(8001));
    EXPECT_TRUE(t.SetEnd(20000));  // clamped to the duration
    EXPECT_EQ(t.End(), 10000u);
    EXPECT_FALSE(t.SetEnd(7999));
    EXPECT_TRUE(t.SetStart(9999));
    EXPECT_FALSE(t.SetStart(10000));  // the start must lie inside the clip
    ASSERT_EQ(h.items.size(), 3u);
    EXPECT_EQ(h.items[0].id, msg::kNotifyTrimStart);
    EXPECT_EQ(h.items[1].id, msg::kNotifyTrimEnd);
    EXPECT_EQ(h.items[1].value, 10000u);
    EXPECT_EQ(h.items[2].value, 9999u);
    t.RemoveListener(&h);
    delete &t;

    CTrimMgr unknown;
    EXPECT_TRUE(unknown.SetEnd(123456));  // no duration yet: any end at or after the start
    EXPECT_EQ(unknown.End(), 123456u);
}

TEST(Trim, DurationChanges) {
    auto owner = Trim(10000, 2000, 8000);
    CTrimMgr& t = *owner;
    t.SetDuration(0);
    EXPECT_EQ(t.End(), 8000u);
    t.SetDuration(12000);
    EXPECT_EQ(t.End(), 12000u);  // the trim end goes back to the full length
    EXPECT_EQ(t.Start(), 2000u);

    Heard h;
    t.AddListener(&h);
    t.SetDuration(12000);  // unchanged: nothing
    EXPECT_TRUE(h.items.empty());
    t.SetDuration(1500);  // below the start: the start moves inside
    EXPECT_EQ(t.Start(), 0u);
    EXPECT_EQ(t.End(), 1500u);
    EXPECT_EQ(t.PlayLength(), 1500u);
    ASSERT_EQ(h.items.size(), 2u);
    EXPECT_EQ(h.items[0].id, msg::kNotifyTrimStart);
    EXPECT_EQ(h.items[1].id, msg::kNotifyTrimDuration);
    EXPECT_EQ(h.items[1].value, 1500u);
    t.RemoveListener(&h);
}

TEST(Trim, FrameSteps) {
    struct Case {
        uint32_t ms;
        bool forward;
        double fps;
        uint32_t expected;
    };
    const Case cases[] = {
        {1000, true, 25.0, 1040}, {1000, false, 25.0, 960}, {1000, true, 30.0, 1034},
        {1000, false, 30.0, 966},  {20, false, 25.0, 0},     {1000, true, 0.0, 0},
        {1000, true, -5.0, 0},     {0, false, 29.97, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CTrimMgr::StepTime(c.ms, c.forward, c.fps), c.expected) << c.ms << " " << c.fps;

    auto owner = Trim(1000, 0, 1000);
    CTrimMgr& t = *owner;
    t.SetStart(980);
    EXPECT_FALSE(t.StepStart(true, 25.0));  // beyond the duration: dropped
    EXPECT_TRUE(t.StepEnd(true, 25.0));     // clamped to the duration
    EXPECT_EQ(t.End(), 1000u);
    EXPECT_TRUE(t.StepStart(false, 25.0));
    EXPECT_EQ(t.Start(), 940u);
}

TEST(Trim, CopyFitsTheSourceIntoThisClip) {
    struct Case {
        const char* name;
        std::unique_ptr<CTrimMgr> source;
        uint32_t duration;
        uint32_t start, end;
    };
    Case cases[] = {
        {"untrimmed source gives the whole clip", Trim(5000, 0, 5000), 8000, 0, 8000},
        {"trimmed source fits", Trim(5000, 1000, 3000), 8000, 1000, 3000},
        {"end cut to the duration", Trim(9000, 1000, 9000 - 1), 4000, 1000, 4000},
        {"start beyond the duration", Trim(9000, 6000, 8000), 4000, 0, 4000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CTrimMgr t;
        t.SetDuration(c.duration);
        t.CopyTrimFrom(*c.source);
        EXPECT_EQ(t.Start(), c.start);
        EXPECT_EQ(t.End(), c.end);
    }
}

TEST(Trim, FileFormAndDamagedValues) {
    struct Case {
        const char* name;
        uint32_t duration, start, end;
        uint32_t loadedStart, loadedEnd;
    };
    const Case cases[] = {
        {"as stored", 10000, 2000, 8000, 2000, 8000},
        {"start after end", 10000, 9000, 3000, 9000, 10000},
        {"end beyond duration", 10000, 2000, 15000, 2000, 10000},
        {"start beyond duration", 10000, 12000, 15000, 0, 10000},
        {"no duration, start after end", 0, 500, 100, 500, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXMLSerialStream s;
        PutTrim(s, c.duration, c.start, c.end);
        CTrimMgr t;
        ASSERT_TRUE(t.Deserial(&s));
        EXPECT_EQ(t.Duration(), c.duration);
        EXPECT_EQ(t.Start(), c.loadedStart);
        EXPECT_EQ(t.End(), c.loadedEnd);
        EXPECT_FALSE(t.IsModified());
        EXPECT_LE(t.Start(), t.End());
    }
    CXMLSerialStream out;
    ASSERT_TRUE(Trim(7000, 100, 6000)->Serial(&out));
    CTrimMgr back;
    ASSERT_TRUE(back.Deserial(&out));
    EXPECT_EQ(back.Start(), 100u);
    EXPECT_EQ(back.End(), 6000u);
    EXPECT_EQ(back.Duration(), 7000u);

    CXMLSerialStream missing;
    missing.BeginGroup("TrimMgr");
    missing.PutUInt("Duration", 5);
    missing.EndGroup();
    try {
        back.Deserial(&missing);
        FAIL() << "a trim without Start and End loaded";
    } catch (const CBaseException& e) {
        EXPECT_EQ(e.Code(), 10580016);
    }
}

// A rectangle 10,10 - 110,90 in a 320x240 area whose corner is at (100, 50).
CCropRect Tracked() {
    CCropRect r(Rect{100, 50, 420, 290});
    r.rect = Rect{10, 10, 110, 90};
    r.enabled = true;
    return r;
}

TEST(CropRect, HoverFindsTheHandleWithinFourPixels) {
    struct Case {
        int x, y;  // relative to the area
        bool hitTest;
        int handle;
    };
    const Case cases[] = {
        {10, 10, true, 2},  {13, 12, true, 2},  {110, 10, true, 4}, {10, 90, true, 6},  {110, 90, true, 8},
        {10, 50, true, 1},  {7, 50, true, 1},   {6, 50, true, 0},   {14, 50, true, 9},  {113, 50, true, 5},
        {114, 50, true, 0}, {60, 10, true, 3},  {60, 93, true, 7},  {60, 94, true, 0},  {14, 10, true, 3},
        {60, 50, true, 9},  {200, 200, true, 0}, {10, 50, false, 9}, {10, 10, false, 9}, {5, 50, false, 0},
    };
    for (const Case& c : cases) {
        CCropRect r = Tracked();
        r.Track(100 + c.x, 50 + c.y, c.hitTest, false);
        EXPECT_EQ(r.handle, c.handle) << c.x << "," << c.y << (c.hitTest ? "" : " no hit test");
        EXPECT_EQ(r.lastX, c.x);
    }
}

TEST(CropRect, DragsMoveAndResizeWithinTheArea) {
    struct Case {
        const char* name;
        int fromX, fromY, toX, toY;
        bool keepAspect;
        Rect expected;
    };
    const Case cases[] = {
        {"move", 60, 50, 80, 40, false, {30, 0, 130, 80}},
        {"move against the left border keeps the width", 60, 50, 10, 50, false, {0, 10, 100, 90}},
        {"move against the bottom right", 60, 50, 400, 400, false, {220, 160, 320, 240}},
        {"left edge stops 10 short of the right", 10, 50, 300, 50, false, {100, 10, 110, 90}},
        {"left edge stops at the border", 10, 50, -30, 50, false, {0, 10, 110, 90}},
        {"right edge stops at the border", 110, 50, 500, 50, false, {10, 10, 320, 90}},
        {"top edge", 60, 10, 60, 30, false, {10, 30, 110, 90}},
        {"bottom edge", 60, 90, 60, 300, false, {10, 10, 110, 240}},
        {"top-left corner", 10, 10, 0, 5, false, {0, 5, 110, 90}},
        {"top-right corner", 110, 10, 120, 0, false, {10, 0, 120, 90}},
        {"bottom-left corner", 10, 90, 20, 100, false, {20, 10, 110, 100}},
        {"bottom-right corner", 110, 90, 130, 100, false, {10, 10, 130, 100}},
        // 100 x 80: the ratio 5:4 bends the drag
        {"bottom-right keeping the ratio", 110, 90, 130, 90, true, {10, 10, 130, 106}},
        {"top-left keeping the ratio, left clamped", 10, 10, 5, 0, true, {0, 2, 110, 90}},
        {"top-left keeping the ratio at both borders", 10, 10, -20, 10, true, {0, 2, 110, 90}},
        {"top-left keeping the ratio inside", 10, 10, 30, 30, true, {30, 26, 110, 90}},
        {"bottom-right keeping the ratio at the border", 110, 90, 400, 90, true, {10, 10, 297, 240}},
        {"top edge keeping the ratio", 60, 10, 60, 0, true, {4, 0, 116, 90}},
        {"left edge keeping the ratio", 10, 50, 0, 50, true, {0, 6, 110, 94}},
        {"bottom edge keeping the ratio past the area", 60, 90, 60, 600, true, {0, 10, 286, 240}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCropRect r = Tracked();
        r.Track(100 + c.fromX, 50 + c.fromY, true, c.keepAspect);
        r.Press();
        ASSERT_TRUE(r.active);
        r.Track(100 + c.toX, 50 + c.toY, true, c.keepAspect);
        EXPECT_EQ(r.rect, c.expected) << r.rect.left << "," << r.rect.top << "," << r.rect.right << ","
                                      << r.rect.bottom;
        EXPECT_GE(r.rect.Width(), 10);
        EXPECT_GE(r.rect.Height(), 10);
        r.Release();
        EXPECT_FALSE(r.dragging);
    }
}

TEST(CropRect, PressingOutsideEveryHandleDeactivates) {
    CCropRect r = Tracked();
    r.Track(100 + 250, 50 + 200, true, false);
    r.Press();
    EXPECT_FALSE(r.active);
    r.Track(100 + 260, 50 + 210, true, false);  // hovering again, not dragging
    EXPECT_EQ(r.rect, (Rect{10, 10, 110, 90}));
}

struct CropFixture : ::testing::Test {
    void SetUp() override {
        crop.SetFrameRect(Rect{0, 0, 160, 120});
        crop.SetDisplayRect(Rect{0, 0, 320, 240});
        crop.AddListener(&heard);
    }
    void TearDown() override { crop.RemoveListener(&heard); }
    CCropMgr crop;
    Heard heard;
};

TEST_F(CropFixture, MarginsMustLeaveTenPixels) {
    struct Case {
        Rect margins;
        bool accepted;
    };
    const Case cases[] = {
        {{75, 0, 75, 0}, true},    {{75, 0, 76, 0}, false}, {{0, 55, 0, 55}, true},  {{0, 56, 0, 55}, false},
        {{-5, 0, 0, 0}, false},    {{0, 0, 0, -1}, false},  {{10, 20, 30, 40}, true}, {{10, 20, 30, 40}, false},
        // Margins summing past the int range must not wrap round into a picture.
        {{INT_MAX, 0, INT_MAX, 0}, false}, {{0, INT_MAX, 0, INT_MAX}, false}, {{INT_MAX, 0, 0, 0}, false},
    };
    Rect current{0, 0, 0, 0};
    for (const Case& c : cases) {
        heard.items.clear();
        const bool changed = !(c.margins == current);
        EXPECT_EQ(crop.SetCropMargins(c.margins), c.accepted);
        if (c.accepted) current = c.margins;
        EXPECT_EQ(crop.GetCropMargins(), current);
        if (c.accepted || !changed) {
            EXPECT_EQ(heard.items.size(), c.accepted ? 1u : 0u);  // the same margins twice: silence
        } else {
            ASSERT_EQ(heard.items.size(), 1u);  // refused: the old margins, so editors snap back
            EXPECT_EQ(heard.items[0].rect, current);
        }
        if (!heard.items.empty()) {
            EXPECT_EQ(heard.items[0].p2, 16);
        }
    }
    EXPECT_TRUE(crop.IsModified());
    // The frame on screen shows what survives, at twice the frame's size.
    EXPECT_EQ(crop.CropFrameOnScreen(), (Rect{20, 40, 260, 160}));
    EXPECT_EQ(crop.CropFrameInFramePixels(), (Rect{10, 20, 130, 80}));
}

TEST_F(CropFixture, DraggingAnEdgeChangesTheMargins) {
    crop.OnMouseMove(1, 100);  // over the left edge of the whole-frame crop
    ASSERT_EQ(heard.items.back().id, msg::kNotifyCropHandle);
    EXPECT_EQ(heard.items.back().p2, CCropRect::kLeft);
    crop.OnMouseDown();
    heard.items.clear();
    crop.OnMouseMove(41, 100);
    ASSERT_EQ(heard.items.size(), 2u);
    EXPECT_EQ(heard.items[0].id, msg::kNotifyCropMargins);
    EXPECT_EQ(heard.items[0].rect, (Rect{20, 0, 0, 0}));
    EXPECT_EQ(heard.items[1].p2, CCropRect::kLeft);
    crop.OnMouseUp();
    EXPECT_EQ(crop.GetCropMargins(), (Rect{20, 0, 0, 0}));
    EXPECT_TRUE(crop.IsModified());
}

TEST_F(CropFixture, EmptyRectanglesNeverReachTheMapping) {
    crop.SetCropMargins(Rect{10, 10, 10, 10});
    crop.SetDisplayRect(Rect{0, 0, 0, 0});
    crop.SetFrameRect(Rect{0, 0, 0, 0});
    crop.OnMouseMove(5, 5);
    EXPECT_FALSE(crop.SetCropMargins(Rect{0, 0, 0, 0}));  // nothing survives an empty frame
    crop.SetDisplayRect(Rect{0, 0, 320, 240});
    crop.SetFrameRect(Rect{0, 0, 160, 120});
    EXPECT_TRUE(crop.SetCropMargins(Rect{0, 0, 0, 0}));
    EXPECT_EQ(crop.CropFrameOnScreen(), (Rect{0, 0, 320, 240}));
}

TEST_F(CropFixture, TheCropFrameIsDrawnAroundWhatSurvives) {
    crop.SetCropMargins(Rect{40, 30, 40, 30});
    std::vector<uint8_t> frame(160 * 120 * 4, 200);
    crop.DrawCropFrame(frame.data(), 160, 120, 160 * 4);
    auto pixel = [&](int x, int y) { return frame[(static_cast<size_t>(y) * 160 + x) * 4]; };
    EXPECT_LT(pixel(5, 5), 200);    // dimmed outside
    EXPECT_EQ(pixel(80, 60), 200);  // untouched inside
}

TEST_F(CropFixture, FileForm) {
    crop.SetCropMargins(Rect{4, 8, 12, 16});
    CXMLSerialStream s;
    ASSERT_TRUE(crop.Serial(&s));
    EXPECT_NE(s.ToText().find("<Rect>BAAAAAgAAAAMAAAAEAAAAA==</Rect>"), std::string::npos);
    CCropMgr back;
    back.SetFrameRect(Rect{0, 0, 160, 120});
    ASSERT_TRUE(back.Deserial(&s));
    EXPECT_EQ(back.GetCropMargins(), (Rect{4, 8, 12, 16}));
    EXPECT_FALSE(back.IsModified());

    // A damaged file's margins are checked like any others.
    CXMLSerialStream huge;
    const Rect wrapping{INT_MAX, INT_MAX, INT_MAX, INT_MAX};
    huge.BeginGroup("CropMgr");
    huge.Put16("Rect", &wrapping);
    huge.EndGroup();
    ASSERT_TRUE(back.Deserial(&huge));
    EXPECT_EQ(back.GetCropMargins(), (Rect{4, 8, 12, 16}));

    CXMLSerialStream none;
    try {
        back.Deserial(&none);
        FAIL();
    } catch (const CBaseException& e) {
        EXPECT_EQ(e.Code(), 10580017);
    }
}

}  // namespace

// A loaded trim meets the file's real length: kept where it fits, cut where
// a hand-edited project claims more than the file holds.
TEST(Trim, ALoadedTrimIsFittedIntoTheRealLength) {
    struct Case {
        const char* name;
        uint32_t storedDuration, start, end, real;
        uint32_t fittedStart, fittedEnd;
    } cases[] = {
        {"claims 49 days", 4294967295u, 0, 4294967295u, 3000, 0, 3000},
        {"end past the file", 10000, 1000, 9000, 3000, 1000, 3000},
        {"start past the file", 10000, 5000, 9000, 3000, 0, 3000},
        {"fits", 3000, 500, 2500, 3000, 500, 2500},
        {"length unknown", 10000, 500, 9000, 0, 500, 9000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CXMLSerialStream s;
        PutTrim(s, c.storedDuration, c.start, c.end);
        CTrimMgr t;
        ASSERT_TRUE(t.Deserial(&s));
        t.FitDuration(c.real);
        EXPECT_EQ(t.Start(), c.fittedStart);
        EXPECT_EQ(t.End(), c.fittedEnd);
    }
}
