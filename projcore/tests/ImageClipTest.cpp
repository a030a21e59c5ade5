// A picture clip's time: what follows it (trim, watermark times) and how it
// survives a save and a load.
#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/ImageClip.h"
#include "model/XMLSerialStream.h"

namespace {

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

WaterMarkTiming TimingOf(CBaseClip& clip, uint32_t index) {
    WaterMarkTiming t{index, 0, 0, 0, 0};
    EXPECT_TRUE(clip.WaterMarks().GetTiming(t));
    return t;
}

// The clip written as the project file holds it.
std::string Saved(CImageClip& clip, const TempDir& dir, const std::string& name) {
    CXMLSerialStream out;
    EXPECT_TRUE(clip.Serial(&out));
    const std::string file = dir.File(name);
    EXPECT_TRUE(out.SaveToFile(file.c_str()));
    return file;
}

TEST(ImageClip, WatermarksReachTheEndOfALongerPicture) {
    CImageClip clip;
    clip.SetFilePath(Fixture("still_160x120.png"));
    clip.SetImageTime(8000);
    ASSERT_EQ(clip.Time(), 8000u);
    ASSERT_TRUE(clip.WaterMarks().AddTextWatermark(0, "mark"));
    EXPECT_EQ(TimingOf(clip, 0).endTime, 8000u);  // a new watermark spans the picture's time
    ASSERT_TRUE(clip.WaterMarks().SetTiming(WaterMarkTiming{0, 1000, 8000, 0, 0}));
    EXPECT_EQ(TimingOf(clip, 0).endTime, 8000u);
    ASSERT_TRUE(clip.WaterMarks().AddTextWatermark(1, "whole"));

    // Save, load, save: the second file is the first.
    TempDir dir;
    const std::string first = Saved(clip, dir, "first.xml");
    CXMLSerialStream in;
    ASSERT_TRUE(in.LoadFromFile(first.c_str()));
    CImageClip loaded;
    ASSERT_TRUE(loaded.Deserial(&in));
    EXPECT_EQ(loaded.Time(), 8000u);
    EXPECT_EQ(loaded.Trim().Duration(), 8000u);
    EXPECT_EQ(loaded.Trim().End(), 8000u);
    const WaterMarkTiming t = TimingOf(loaded, 0);
    EXPECT_EQ(t.startTime, 1000u);
    EXPECT_EQ(t.endTime, 8000u);
    EXPECT_EQ(TimingOf(loaded, 1).endTime, 8000u);
    EXPECT_FALSE(loaded.IsModified());
    EXPECT_EQ(ReadFile(Saved(loaded, dir, "second.xml")), ReadFile(first));

    // A shorter time limits what is set from now on.
    loaded.SetImageTime(3000);
    ASSERT_TRUE(loaded.WaterMarks().SetTiming(WaterMarkTiming{0, 0, 8000, 0, 0}));
    EXPECT_EQ(TimingOf(loaded, 0).endTime, 3000u);
}

// The clip does not tell the watermarks a rate: they count frames at the 25 a
// second the preview shows a still picture at.
TEST(ImageClip, WatermarkFramesAreCountedAtTheStillPictureRate) {
    CImageClip clip;
    clip.SetFilePath(Fixture("still_160x120.png"));
    ASSERT_TRUE(clip.WaterMarks().AddTextWatermark(0, "mark"));
    ASSERT_TRUE(clip.WaterMarks().SetTiming(WaterMarkTiming{0, 1000, 3000, 0.5f, 0}));
    BkOverlayInfo info{};
    ASSERT_TRUE(clip.WaterMarks().GetOverlayInfo(0, info));
    EXPECT_EQ(info.start, 25);
    EXPECT_EQ(info.count, 50);
    EXPECT_EQ(info.fadeIn, 12);
}

}  // namespace
