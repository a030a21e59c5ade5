// Watermarks drawn on frames, compared with committed golden pictures that
// were looked at when they were made (VELTRANO_UPDATE_GOLDEN=1 remakes them).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "TempDir.h"
#include "WaterMarkTestSupport.h"
#include "edit/WaterMarkMgr.h"
#include "projcore/MessageIds.h"

using wmtest::Background;
using wmtest::ExpectGolden;
using wmtest::Fixture;
using wmtest::Frame;

namespace {

constexpr int kW = 160, kH = 120;

// A 40 x 30 picture on a magenta ground: a green disc, a ring of
// almost-magenta (within a tolerance of 30) and a half-transparent white bar.
std::string WriteKeyedPicture(const TempDir& dir) {
    Frame f(40, 30);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            uint8_t* p = f.at(x, y);
            const double r = std::hypot(x - 19.5, y - 12.5);
            const uint8_t magenta[4] = {255, 0, 255, 255}, green[4] = {40, 200, 40, 255},
                          nearly[4] = {235, 20, 240, 255}, bar[4] = {255, 255, 255, 128};
            std::memcpy(p, r < 8 ? green : r < 11 ? nearly : magenta, 4);
            if (y >= 24 && x >= 4 && x < 36) std::memcpy(p, bar, 4);
        }
    const std::string path = dir.File("keyed.png");
    EXPECT_TRUE(wmtest::WritePng(path, f));
    return path;
}

void Place(CWaterMarkMgr& mgr, uint32_t i, int16_t origin, int16_t x, int16_t y) {
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{i, origin, 0, 0, 0}));
    ASSERT_TRUE(mgr.SetPosition(WaterMarkPosition{i, origin, x, y, 0}));
}

TEST(WaterMarkRender, PictureWithAlphaAndSeeThroughColour) {
    TempDir dir;
    const std::string keyed = WriteKeyedPicture(dir);
    CWaterMarkMgr mgr;
    mgr.SetFrameSize(Rect{0, 0, kW, kH});
    // Left: the magenta ground and the ring go, the disc and the bar stay.
    ASSERT_TRUE(mgr.AddImageWatermark(0, keyed.c_str()));
    ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 80, 60, 0, {}}));
    Place(mgr, 0, 3, 4, 0);
    ASSERT_TRUE(mgr.SetTransparency(WaterMarkTransparency{0, 255, {0xFF, 0x00, 0xFF, 0x00}, 30, {}}));
    // Right: the whole picture at a watermark alpha of 160.
    ASSERT_TRUE(mgr.AddImageWatermark(1, keyed.c_str()));
    ASSERT_TRUE(mgr.SetSize(WaterMarkSize{1, 60, 45, 0, {}}));
    Place(mgr, 1, 5, -6, 0);
    ASSERT_TRUE(mgr.SetTransparency(WaterMarkTransparency{1, 160, {0xFF, 0x00, 0xFF, 0xFF}, 30, {}}));

    Frame f = Background(kW, kH);
    mgr.DrawOverlays(f.data(), kW, kH, f.stride(), 0);
    ExpectGolden("wm_picture_alpha_see_through", f);
}

TEST(WaterMarkRender, TextFadingIn) {
    CWaterMarkMgr mgr;
    mgr.SetFrameSize(Rect{0, 0, kW, kH});
    mgr.SetFrameRate(10);
    mgr.SetTimeRange(0, 5000);
    ASSERT_TRUE(mgr.AddTextWatermark(0, "Veltrano ✓"));
    WaterMarkTextStyle style{};
    style.index = 0;
    std::strcpy(style.font, "DejaVu Sans");
    style.textSize = 14;
    style.textColor[0] = 255, style.textColor[1] = 230, style.textColor[2] = 0;  // yellow
    style.fontStyle = 2;                                                          // bold
    ASSERT_TRUE(mgr.SetTextStyle(style));
    Place(mgr, 0, 7, 0, -8);
    ASSERT_TRUE(mgr.SetTiming(WaterMarkTiming{0, 0, 5000, 1.0f, 0}));  // ten frames of fade-in

    const Frame ground = Background(kW, kH);
    const auto drawnAt = [&](int64_t seconds100ns) {
        Frame f = ground;
        mgr.DrawOverlays(f.data(), kW, kH, f.stride(), seconds100ns);
        return f;
    };
    const auto strongest = [&](const Frame& f) {
        int d = 0;
        for (size_t i = 0; i < f.px.size(); ++i) d = std::max(d, std::abs(int(f.px[i]) - int(ground.px[i])));
        return d;
    };
    EXPECT_EQ(strongest(drawnAt(0)), 0);  // the fade starts from nothing
    const Frame half = drawnAt(5'000'000);  // 0.5 s: frame 5 of 10
    EXPECT_LT(strongest(half), strongest(drawnAt(20'000'000)));
    ExpectGolden("wm_text_fade_in", half);
}

// The same picture anchored to the top-right corner of the cropped picture,
// drawn on the whole frame (with the crop frame shown), and on the cropped
// picture as the player shows it at twice the size.
struct CroppedFixture : ::testing::Test {
    CWaterMarkMgr mgr;
    void SetUp() override {
        mgr.SetFrameSize(Rect{0, 0, kW, kH});
        ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("still_160x120.png").c_str()));
        ASSERT_TRUE(mgr.SetSize(WaterMarkSize{0, 40, 30, 1, {}}));
        Place(mgr, 0, 2, -4, 4);
        Rect margins{20, 10, 30, 15};
        mgr.OnMessage(nullptr, msg::kNotifyCropMargins, reinterpret_cast<intptr_t>(&margins), sizeof margins);
    }
};

TEST_F(CroppedFixture, FollowsTheCrop) {
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(0, info));
    EXPECT_EQ(info.place.left, 20 + 110 - 40 - 4);
    EXPECT_EQ(info.place.top, 10 + 4);
    Frame f = Background(kW, kH);
    mgr.DrawOverlays(f.data(), kW, kH, f.stride(), 0);
    const BkRect visible{20, 10, 130, 105};
    ASSERT_EQ(BK_DrawCropFrame(f.data(), kW, kH, f.stride(), &visible, 0x80111111u), BK_OK);
    ExpectGolden("wm_crop", f);
}

TEST_F(CroppedFixture, InAViewOfAnotherSize) {
    // The cropped 110 x 95 picture shown at 220 x 190.
    const Rect view{0, 0, 220, 190};
    mgr.SetViewRects(view, view, view);
    const Frame whole = Background(kW, kH);
    Frame f(220, 190);
    for (int y = 0; y < 190; ++y)
        for (int x = 0; x < 220; ++x) std::memcpy(f.at(x, y), whole.px.data() + ((10 + y / 2) * kW + 20 + x / 2) * 4, 4);
    mgr.DrawOverlays(f.data(), f.width, f.height, f.stride(), 0);
    BkOverlayInfo info{};
    ASSERT_TRUE(mgr.GetOverlayInfo(0, info));
    EXPECT_EQ(info.place.left, 220 - 80 - 8);
    EXPECT_EQ(info.place.top, 8);
    EXPECT_EQ(info.place.right - info.place.left, 80);
    ExpectGolden("wm_crop_view_2x", f);
    // The stored watermark did not change for the view.
    WaterMarkSize size{0, 0, 0, 0, {}};
    ASSERT_TRUE(mgr.GetSize(size));
    EXPECT_EQ(size.width, 40);
}

TEST(WaterMarkRender, AnUnreadablePictureDrawsNothingAndKeepsTheOthers) {
    CWaterMarkMgr mgr;
    mgr.SetFrameSize(Rect{0, 0, kW, kH});
    ASSERT_TRUE(mgr.AddImageWatermark(0, Fixture("no_such_picture.png").c_str()));
    ASSERT_TRUE(mgr.AddImageWatermark(1, Fixture("still_64x48.bmp").c_str()));
    ASSERT_TRUE(mgr.SetImageFile(1, "/dev/null"));  // a file, but no picture
    Frame f = Background(kW, kH);
    mgr.DrawOverlays(f.data(), kW, kH, f.stride(), 0);
    EXPECT_EQ(f.px, Background(kW, kH).px);
    ASSERT_TRUE(mgr.SetImageFile(1, Fixture("still_64x48.bmp").c_str()));
    mgr.DrawOverlays(f.data(), kW, kH, f.stride(), 0);
    EXPECT_NE(f.px, Background(kW, kH).px);
}

}  // namespace
