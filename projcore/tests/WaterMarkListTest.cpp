// The watermark list: adding, changing, ordering, selecting, copying, and
// the notifications each operation sends.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <thread>

#include "WaterMarkTestSupport.h"
#include "edit/WaterMarkGeometry.h"
#include "edit/WaterMarkMgr.h"
#include "projcore/MessageIds.h"

using wmtest::Fixture;
using wmtest::Recorder;

namespace {

// A manager for a 320 x 240 clip of 8 seconds, with a recorder listening.
struct ListFixture : ::testing::Test {
    CWaterMarkMgr mgr;
    Recorder heard;
    void SetUp() override {
        mgr.SetFrameSize(Rect{0, 0, 320, 240});
        mgr.SetTimeRange(0, 8000);
        mgr.SetNewRange(0, 8000);
        mgr.AddListener(&heard);
    }
    void TearDown() override { mgr.RemoveListener(&heard); }
    std::string TextOf(uint32_t i) {
        char buf[256];
        EXPECT_TRUE(mgr.GetText(WaterMarkTextBuffer{i, buf, sizeof buf}));
        return buf;
    }
    CWaterMark Mark(uint32_t i) {
        CWaterMark m;
        EXPECT_TRUE(mgr.GetWaterMark(i, m));
        return m;
    }
};

TEST_F(ListFixture, AddPutsTheWatermarkAndItsSlotAtTheIndex) {
    ASSERT_TRUE(mgr.AddTextWatermark(0, "first"));
    ASSERT_TRUE(mgr.AddTextWatermark(1, "second"));
    heard.Clear();
    EXPECT_FALSE(mgr.AddTextWatermark(3, "beyond"));  // count + 1
    EXPECT_TRUE(heard.items.empty());

    ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_160x120.png").c_str()));
    ASSERT_EQ(heard.items.size(), 1u);
    EXPECT_EQ(heard.items[0].id, msg::kNotifyWaterMarkAdded);
    EXPECT_EQ(heard.items[0].p2, 0);
    EXPECT_EQ(mgr.GetWatermarkCount(), 3u);
    EXPECT_EQ(mgr.GetWatermarkType(0), 0u);
    EXPECT_EQ(mgr.GetWatermarkType(1), 1u);
    EXPECT_EQ(mgr.GetWatermarkType(3), 0xFFFFFFFFu);
    EXPECT_EQ(TextOf(1), "first");
    // The picture's overlay is the first slot, the texts follow in order.
    ASSERT_EQ(mgr.GetOverlayCount(), 3);
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(0, info));
    EXPECT_EQ(info.kind, 1);
    ASSERT_TRUE(mgr.GetOverlayInfo(1, info));
    EXPECT_EQ(info.kind, 2);
    // New watermarks span the clip.
    EXPECT_EQ(Mark(0).startTime, 0u);
    EXPECT_EQ(Mark(0).endTime, 8000u);
}

TEST_F(ListFixture, NewPictureSizes) {
    struct Case {
        const char* file;
        uint16_t width, height;
        uint8_t orgScale;
    } cases[] = {
        {"still_160x120.png", 160, 120, 1},  // fits in a quarter of 320 x 240
        {"still_64x48.bmp", 64, 48, 1},
        {"no_such_picture.png", 160, 120, 0},  // unreadable: half the picture each way
    };
    CWaterMarkMgr small;
    small.SetFrameSize(Rect{0, 0, 200, 100});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture(c.file).c_str()));
        const CWaterMark m = Mark(0);
        EXPECT_EQ(m.width, c.width);
        EXPECT_EQ(m.height, c.height);
        EXPECT_EQ(m.isOrgScale, c.orgScale);
    }
    // On a 200 x 100 frame the 160 x 120 picture is shrunk into 100 x 50.
    ASSERT_TRUE(small.AddImageWatermark(0, Fixture("still_160x120.png").c_str()));
    CWaterMark m;
    ASSERT_TRUE(small.GetWaterMark(0, m));
    EXPECT_EQ(m.width, 66);
    EXPECT_EQ(m.height, 50);

    // The unreadable picture still has its (empty) slot, so later slots stay in step.
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(0, info));
    EXPECT_EQ(info.kind, 0);
    EXPECT_EQ(mgr.GetOverlayCount(), 3);
    EXPECT_FALSE(mgr.AddImageWatermark(0, nullptr));
    EXPECT_FALSE(mgr.AddImageWatermark(0, std::string(kPathBufferSize, 'a').c_str()));  // would not come back whole
}

TEST(WaterMarkSizeRule, NewPictureSize) {
    struct Case {
        int pw, ph, W, H, width, height;
        bool keeps;
    } cases[] = {
        {1000, 500, 640, 480, 320, 160, true},
        {100, 50, 640, 480, 100, 50, true},
        {300, 1000, 640, 480, 72, 240, true},  // too tall: the height leads
        {0, 0, 640, 480, 320, 240, false},
    };
    for (const Case& c : cases) {
        bool keeps = false;
        const wmgeo::Size s = wmgeo::NewPictureSize(c.pw, c.ph, c.W, c.H, keeps);
        EXPECT_EQ(s, (wmgeo::Size{c.width, c.height})) << c.pw << "x" << c.ph;
        EXPECT_EQ(keeps, c.keeps);
    }
}

TEST_F(ListFixture, SetSizeKeepsThePictureRatioWhenAsked) {
    ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_160x120.png").c_str()));
    ASSERT_TRUE(mgr.AddImageWatermark(1, Fixture("no_such_picture.png").c_str()));
    ASSERT_TRUE(mgr.AddTextWatermark(2, "text"));
    struct Case {
        uint32_t index;
        uint16_t c, d;
        uint8_t keep;
        uint16_t width, height;
    } cases[] = {
        {0, 80, 999, 1, 80, 60},   // the width changed: it leads
        {0, 80, 30, 1, 40, 30},    // only the height changed: it leads
        {0, 50, 20, 0, 50, 20},    // free
        {0, 0, 0, 0, 1, 1},        // 0 counts as 1
        {1, 70, 10, 1, 160, 120},  // no picture, no ratio: the size stays
        {1, 70, 10, 0, 70, 10},
    };
    for (const Case& c : cases) {
        heard.Clear();
        ASSERT_TRUE(mgr.SetSize(WaterMarkSize{c.index, c.c, c.d, c.keep, {}}));
        WaterMarkSize got{c.index, 0, 0, 0, {}};
        ASSERT_TRUE(mgr.GetSize(got));
        EXPECT_EQ(got.width, c.width) << c.c << "x" << c.d;
        EXPECT_EQ(got.height, c.height) << c.c << "x" << c.d;
        EXPECT_EQ(got.isOrgScale, c.keep);
        ASSERT_EQ(heard.items.size(), 1u);
        EXPECT_EQ(heard.items[0].id, msg::kNotifyWaterMarkPlace);
        EXPECT_EQ(heard.items[0].place.width, c.width);
    }
    WaterMarkSize text{2, 10, 10, 0, {}};
    EXPECT_FALSE(mgr.SetSize(text));
    EXPECT_FALSE(mgr.GetSize(text));
}

TEST_F(ListFixture, SetPositionWithANewOriginStartsFromTheAnchor) {
    ASSERT_TRUE(mgr.AddTextWatermark(0, "x"));
    heard.Clear();
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 8, 5, 7, 0}));
    WaterMarkPosition p{0, 0, 0, 0, 0};
    ASSERT_TRUE(mgr.GetPosition(p));
    EXPECT_EQ(p.origin, 8);
    EXPECT_EQ(p.xOffset, 0);
    EXPECT_EQ(p.yOffset, 0);
    ASSERT_EQ(heard.items.size(), 1u);
    EXPECT_EQ(heard.items[0].place.xOffset, 0);
    EXPECT_EQ(heard.items[0].place.width, Mark(0).width);

    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 8, -5, 7, 0}));  // same origin: offsets taken, signed
    ASSERT_TRUE(mgr.GetPosition(p));
    EXPECT_EQ(p.xOffset, -5);
    EXPECT_EQ(p.yOffset, 7);
    heard.Clear();
    EXPECT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 8, -5, 7, 0}));  // nothing changes: nothing sent
    EXPECT_TRUE(heard.items.empty());
    EXPECT_FALSE(mgr.SetPosition(WaterMarkPosition{0, 9, 0, 0, 0}));
    EXPECT_FALSE(mgr.SetPosition(WaterMarkPosition{0, -1, 0, 0, 0}));
    EXPECT_FALSE(mgr.SetPosition(WaterMarkPosition{1, 0, 0, 0, 0}));
}

TEST_F(ListFixture, SetTimingClampsAndAnnouncesWhatChanged) {
    ASSERT_TRUE(mgr.AddTextWatermark(0, "x"));
    mgr.SetFrameRate(25);
    struct Case {
        uint32_t start, end;
        float fadeIn, fadeOut;
        bool accepted;
        std::vector<int32_t> ids;
        uint32_t storedStart, storedEnd;
    } cases[] = {
        {500, 200, 0, 0, false, {}, 0, 8000},
        {1000, 3000, 0, 0, true, {msg::kNotifyWaterMarkStart, msg::kNotifyWaterMarkEnd}, 1000, 3000},
        {1000, 3000, 0.5f, 0, true, {msg::kNotifyWaterMarkFadeIn}, 1000, 3000},
        {1000, 20000, 0.5f, 0, true, {msg::kNotifyWaterMarkEnd}, 1000, 8000},  // the clip's end
        {1000, 3000, NAN, 0, false, {}, 1000, 8000},
        {1000, 3000, 0.5f, -1, false, {}, 1000, 8000},
        {9000, 20000, 0.5f, 0, false, {}, 1000, 8000},  // starts after the clip
    };
    for (const Case& c : cases) {
        heard.Clear();
        EXPECT_EQ(mgr.SetTiming(WaterMarkTiming{0, c.start, c.end, c.fadeIn, c.fadeOut}), c.accepted)
            << c.start << " " << c.end;
        EXPECT_EQ(heard.Ids(), c.ids) << c.start << " " << c.end;
        WaterMarkTiming t{0, 0, 0, 0, 0};
        ASSERT_TRUE(mgr.GetTiming(t));
        EXPECT_EQ(t.startTime, c.storedStart);
        EXPECT_EQ(t.endTime, c.storedEnd);
    }
    // At 25 frames per second: from frame 25 for 175 frames, a 12-frame fade-in.
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(0, info));
    EXPECT_EQ(info.start, 25);
    EXPECT_EQ(info.count, 175);
    EXPECT_EQ(info.fadeIn, 12);
    EXPECT_FALSE(mgr.SetTiming(WaterMarkTiming{1, 0, 100, 0, 0}));
}

TEST(WaterMarkFrames, SpanFadeAndIndex) {
    const wmgeo::Span s = wmgeo::FrameSpan(1000, 3000, 25);
    EXPECT_EQ(s.start, 25);
    EXPECT_EQ(s.count, 50);
    EXPECT_EQ(wmgeo::FadeFrames(0.5f, 25), 12);
    EXPECT_EQ(wmgeo::FadeFrames(-1, 25), 0);
    EXPECT_EQ(wmgeo::FrameIndex(39'999'999, 25), 99);  // 100-ns units, truncated
    EXPECT_EQ(wmgeo::FrameIndex(40'000'000, 25), 100);
}

TEST_F(ListFixture, FrameStepsOfTheSelectedWatermark) {
    ASSERT_TRUE(mgr.AddTextWatermark(0, "x"));
    EXPECT_FALSE(mgr.StepSelectedTime(false, true, 25));  // nothing selected
    ASSERT_TRUE(mgr.SelectWatermark(0));
    ASSERT_TRUE(mgr.StepSelectedTime(false, true, 30));  // ceil(1000 / 30) = 34
    EXPECT_EQ(Mark(0).startTime, 34u);
    ASSERT_TRUE(mgr.StepSelectedTime(false, false, 30));  // floor(-1000 / 30) = -34
    EXPECT_EQ(Mark(0).startTime, 0u);
    ASSERT_TRUE(mgr.StepSelectedTime(false, false, 30));  // below 0 stays 0
    EXPECT_EQ(Mark(0).startTime, 0u);
    ASSERT_TRUE(mgr.StepSelectedTime(true, false, 25));
    EXPECT_EQ(Mark(0).endTime, 7960u);
}

TEST_F(ListFixture, TextStaysUtf8) {
    const std::string greeting = "Grüße ✓";
    ASSERT_TRUE(mgr.AddTextWatermark(0, greeting.c_str()));
    EXPECT_EQ(TextOf(0), greeting);
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(0, info));
    EXPECT_EQ(info.kind, 2);  // laid out and drawn
    char small[5];
    ASSERT_TRUE(mgr.GetText(WaterMarkTextBuffer{0, small, sizeof small}));
    EXPECT_STREQ(small, "Gr\xC3\xBC");  // cut before the "ß", never inside it
    ASSERT_TRUE(mgr.GetText(WaterMarkTextBuffer{0, small, 4}));
    EXPECT_STREQ(small, "Gr");

    EXPECT_TRUE(mgr.SetText(0, ""));
    EXPECT_EQ(TextOf(0), " ");
    EXPECT_FALSE(mgr.SetText(0, "bad \xFF byte"));
    EXPECT_FALSE(mgr.SetText(0, "cut \xE2\x9C"));
    EXPECT_FALSE(mgr.AddTextWatermark(1, "\xC0\xAF"));  // an overlong "/"
    EXPECT_EQ(TextOf(0), " ");

    // The style comes back as it went in; a bigger font measures bigger.
    const uint16_t before = Mark(0).height;
    WaterMarkTextStyle style{};
    style.index = 0;
    std::strcpy(style.font, "DejaVu Sans");
    style.textSize = 30;
    style.textColor[0] = 0x10, style.textColor[1] = 0x20, style.textColor[2] = 0x30;
    style.fontStyle = 3;
    style.isStrikeOut = 7;  // any non-zero value means on
    style.isUnderLine = 1;
    ASSERT_TRUE(mgr.SetTextStyle(style));
    WaterMarkTextStyle got{};
    got.index = 0;
    ASSERT_TRUE(mgr.GetTextStyle(got));
    EXPECT_STREQ(got.font, "DejaVu Sans");
    EXPECT_EQ(got.textSize, 30);
    EXPECT_EQ(got.textColor[2], 0x30);
    EXPECT_EQ(got.fontStyle, 3u);
    EXPECT_EQ(got.isStrikeOut, 1);
    EXPECT_EQ(got.isUnderLine, 1);
    EXPECT_GT(Mark(0).height, before);
}

TEST_F(ListFixture, RemovingKeepsTheSelectionOnItsWatermark) {
    for (uint32_t i = 0; i < 4; ++i) ASSERT_TRUE(mgr.AddTextWatermark(i, ("t" + std::to_string(i)).c_str()));
    ASSERT_TRUE(mgr.SelectWatermark(2));
    heard.Clear();
    ASSERT_TRUE(mgr.RemoveWatermark(0));  // before the selection: it moves down with its watermark
    EXPECT_EQ(heard.Ids(), (std::vector<int32_t>{msg::kNotifyWaterMarkRemoving, msg::kNotifyWaterMarkSelected}));
    EXPECT_EQ(heard.items[0].p2, 0);
    EXPECT_EQ(heard.items[1].p2, 1);
    uint32_t sel = 99;
    ASSERT_TRUE(mgr.Selected(sel));
    EXPECT_EQ(sel, 1u);
    EXPECT_EQ(TextOf(sel), "t2");
    EXPECT_EQ(mgr.GetOverlayCount(), 3);

    heard.Clear();
    ASSERT_TRUE(mgr.RemoveWatermark(1));  // the selected one: the selection goes
    EXPECT_EQ(heard.Ids(), (std::vector<int32_t>{msg::kNotifyWaterMarkRemoving, msg::kNotifyWaterMarkDeselected}));
    EXPECT_FALSE(mgr.Selected(sel));
    EXPECT_FALSE(mgr.MoveWatermark(0));  // nothing selected to move
    Rect r{};
    EXPECT_FALSE(mgr.GetSelectedRect(r));

    heard.Clear();
    EXPECT_FALSE(mgr.RemoveWatermark(2));  // past the end
    EXPECT_TRUE(heard.items.empty());

    ASSERT_TRUE(mgr.SelectWatermark(1));
    heard.Clear();
    mgr.ClearWatermarks();
    EXPECT_EQ(heard.Ids(), (std::vector<int32_t>{msg::kNotifyWaterMarkDeselected, msg::kNotifyWaterMarksCleared}));
    EXPECT_FALSE(mgr.Selected(sel));
    EXPECT_EQ(mgr.GetOverlayCount(), 0);
    // A drag after the clear touches nothing.
    mgr.OnMouseMove(10, 10);
    mgr.OnMouseDown();
    mgr.OnMouseMove(50, 50);
    mgr.OnMouseUp();
    EXPECT_FALSE(mgr.SelectWatermark(0));
}

TEST_F(ListFixture, MoveTakesTheSelectedWatermarkAndItsSlot) {
    ASSERT_TRUE(mgr.AddTextWatermark(0, "a"));
    ASSERT_TRUE(mgr.AddImageWatermark(1, Fixture("still_64x48.bmp").c_str()));
    ASSERT_TRUE(mgr.AddTextWatermark(2, "c"));
    EXPECT_FALSE(mgr.MoveWatermark(1));  // nothing selected
    ASSERT_TRUE(mgr.SelectWatermark(1));
    heard.Clear();
    EXPECT_FALSE(mgr.MoveWatermark(1));  // where it already is: nothing sent
    EXPECT_FALSE(mgr.MoveWatermark(3));
    EXPECT_TRUE(heard.items.empty());

    ASSERT_TRUE(mgr.MoveWatermark(2));
    ASSERT_EQ(heard.items.size(), 1u);
    EXPECT_EQ(heard.items[0].id, msg::kNotifyWaterMarkMoved);
    EXPECT_EQ(heard.items[0].move.from, 1u);
    EXPECT_EQ(heard.items[0].move.to, 2u);
    EXPECT_EQ(mgr.GetWatermarkType(2), 0u);
    EXPECT_EQ(TextOf(1), "c");
    uint32_t sel = 0;
    ASSERT_TRUE(mgr.Selected(sel));
    EXPECT_EQ(sel, 2u);
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(2, info));
    EXPECT_EQ(info.kind, 1);  // the picture's overlay moved with it
}

TEST_F(ListFixture, CopyFitsTheTimesIntoTheTargetClip) {
    ASSERT_TRUE(mgr.AddTextWatermark(0, "whole"));  // 0 ... 8000: the source's whole span
    ASSERT_TRUE(mgr.AddTextWatermark(1, "part"));
    ASSERT_TRUE(mgr.SetTiming(WaterMarkTiming{1, 2000, 6000, 0, 0}));
    ASSERT_TRUE(mgr.AddTextWatermark(2, "late"));
    ASSERT_TRUE(mgr.SetTiming(WaterMarkTiming{2, 7000, 8000, 0, 0}));

    CWaterMarkMgr shorter;
    shorter.SetFrameSize(Rect{0, 0, 320, 240});
    shorter.SetTimeRange(0, 5000);
    ASSERT_TRUE(shorter.AddTextWatermark(0, "old"));
    ASSERT_TRUE(shorter.SelectWatermark(0));
    Recorder other;
    shorter.AddListener(&other);
    shorter.CopyWatermarksFrom(mgr);
    shorter.RemoveListener(&other);
    EXPECT_EQ(other.Ids(), std::vector<int32_t>{msg::kNotifyWaterMarkDeselected});
    ASSERT_EQ(shorter.GetWatermarkCount(), 3u);
    EXPECT_EQ(shorter.GetOverlayCount(), 3);
    struct Span {
        uint32_t start, end;
    } expected[] = {{0, 5000}, {2000, 5000}, {7000, 7000}};
    for (uint32_t i = 0; i < 3; ++i) {
        CWaterMark m;
        ASSERT_TRUE(shorter.GetWaterMark(i, m));
        EXPECT_EQ(m.startTime, expected[i].start) << i;
        EXPECT_EQ(m.endTime, expected[i].end) << i;
    }
    heard.Clear();
    mgr.CopyWatermarksFrom(mgr);  // itself: nothing
    EXPECT_EQ(mgr.GetWatermarkCount(), 3u);
    EXPECT_TRUE(heard.items.empty());
}

// A cloned clip's manager copies before it learns its frame size; learning it
// then must not scale the copies as if they had been made on another frame.
TEST_F(ListFixture, ACloneKeepsItsWatermarksWhenItsFrameArrives) {
    ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_64x48.bmp").c_str()));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{0, 0, 30, 20, 0}));
    CWaterMarkMgr clone;
    clone.CopyWatermarksFrom(mgr);
    clone.SetFrameSize(Rect{0, 0, 320, 240});
    CWaterMark m;
    ASSERT_TRUE(clone.GetWaterMark(0, m));
    EXPECT_EQ(m.xOffset, 30);
    EXPECT_EQ(m.yOffset, 20);
    EXPECT_EQ(m.width, 64);
    EXPECT_EQ(m.height, 48);
}

TEST_F(ListFixture, ModifiedFollowsChangesAndSaves) {
    EXPECT_FALSE(mgr.IsModified());
    ASSERT_TRUE(mgr.AddTextWatermark(0, "x"));
    EXPECT_TRUE(mgr.IsModified());
    mgr.MarkSaved();
    EXPECT_FALSE(mgr.IsModified());
    WaterMarkTransparency t{0, 100, {1, 2, 3, 0}, 9, {}};
    ASSERT_TRUE(mgr.SetTransparency(t));
    EXPECT_TRUE(mgr.IsModified());
    WaterMarkTransparency got{};
    ASSERT_TRUE(mgr.GetTransparency(got));
    EXPECT_EQ(got.alpha, 100);
    EXPECT_EQ(got.transparent[2], 3);
    EXPECT_EQ(got.tolerance, 9);
    mgr.MarkSaved();
    EXPECT_TRUE(mgr.SetTransparency(t));  // the same values: not a change
    EXPECT_FALSE(mgr.IsModified());
    mgr.ClearWatermarks();
    EXPECT_TRUE(mgr.IsModified());
}

// The window thread changes the list (and makes the drawer anew) while
// another thread draws: the one lock keeps every frame whole.
TEST(WaterMarkThreads, EditingWhileAnotherThreadDraws) {
    CWaterMarkMgr mgr, source;
    mgr.SetFrameSize(Rect{0, 0, 160, 120});
    source.SetFrameSize(Rect{0, 0, 160, 120});
    ASSERT_TRUE(source.AddImageWatermark(0, Fixture("still_64x48.bmp").c_str()));
    ASSERT_TRUE(source.AddTextWatermark(1, "copy"));
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread drawer([&] {
        wmtest::Frame f(160, 120);
        while (!stop) {
            mgr.DrawOverlays(f.data(), f.width, f.height, f.stride(), frames * 400'000LL);
            ++frames;
        }
    });
    for (int round = 0; round < 40; ++round) {
        ASSERT_TRUE(mgr.AddTextWatermark(0, "a"));
        ASSERT_TRUE(mgr.AddImageWatermark(1, Fixture("still_64x48.bmp").c_str()));
        ASSERT_TRUE(mgr.SelectWatermark(1));
        ASSERT_TRUE(mgr.MoveWatermark(0));
        mgr.OnCropChanged(Rect{round % 7, 0, 0, round % 5});
        ASSERT_TRUE(mgr.RemoveWatermark(1));
        mgr.CopyWatermarksFrom(source);
        EXPECT_EQ(mgr.GetOverlayCount(), static_cast<int>(mgr.GetWatermarkCount()));
        if (round % 3 == 0) mgr.ClearWatermarks();
    }
    stop = true;
    drawer.join();
    EXPECT_GT(frames.load(), 0);
}

}  // namespace
