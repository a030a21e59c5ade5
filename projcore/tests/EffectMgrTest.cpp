#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "avkit/Deinterlacer.h"
#include "blitkit/blitkit.h"
#include "bus/BaseException.h"
#include "edit/EffectMgr.h"
#include "model/XMLSerialStream.h"
#include "pixfilter/pixfilter.h"
#include "projcore/MessageIds.h"

namespace {

struct Heard : CBaseListener {
    struct Item {
        int32_t id;
        intptr_t p2;
        std::string text;
    };
    std::vector<Item> items;
    void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
        items.push_back({id, p2, id == msg::kNotifyEffectName ? reinterpret_cast<const char*>(p1) : ""});
    }
};

constexpr int W = 32, H = 24;

std::vector<uint8_t> TestFrame() {
    std::vector<uint8_t> f(W * H * 4);
    for (size_t i = 0; i < f.size(); ++i) f[i] = static_cast<uint8_t>((i * 37 + i / (W * 4) * 11) & 0xFF);
    return f;
}

// What pixfilter does to the frame on its own.
std::vector<uint8_t> Direct(const char* effect, int mirrorDirection = -1) {
    auto f = TestFrame();
    eil_handle e = eil_create_image_effect(effect);
    if (mirrorDirection >= 0) {
        const uint8_t d = static_cast<uint8_t>(mirrorDirection);
        eil_set_parameter(e, "MirrorDirection", &d, 1);
    }
    eil_begin_process_image(e, 1, W * 4, W, H, false);
    eil_process_image(e, f.data());
    eil_end_process_image(e);
    eil_close_effect(e);
    return f;
}

TEST(EffectMgr, FramesComeOutAsTheLibrariesMakeThem) {
    struct Case {
        const char* name;
        std::string effect;
        int32_t flip;
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        {"Blur", "Blur", 0, Direct("Blur")},
        {"InvertColor", "InvertColor", 0, Direct("InvertColor")},
        {"upside down", "", 1, Direct("Mirror", 1)},
        {"left-right", "", 2, Direct("Mirror", 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CEffectMgr mgr;
        if (!c.effect.empty()) {
            EXPECT_TRUE(mgr.SetEffectName(c.effect));
        }
        if (c.flip) {
            EXPECT_TRUE(mgr.SetFlip(c.flip));
        }
        for (int frame = 0; frame < 2; ++frame) {  // the first frame of a size is not skipped
            auto f = TestFrame();
            mgr.ApplyFrameEffects(f.data(), W, H, W * 4);
            EXPECT_EQ(f, c.expected) << "frame " << frame;
        }
    }

    CEffectMgr adjusted;
    adjusted.SetBrightness(200);
    adjusted.SetContrast(60);
    auto f = TestFrame();
    adjusted.ApplyFrameEffects(f.data(), W, H, W * 4);
    auto direct = TestFrame();
    BkDrawer* d = BK_CreateDrawer();
    BK_AdjustPicture(d, direct.data(), W, H, W * 4, (200 - 127) / 128.0f, (60 - 127) / 128.0f);
    BK_DeleteDrawer(d);
    EXPECT_EQ(f, direct);

    CEffectMgr neutral;  // 127 and 127: the picture is not touched
    auto same = TestFrame();
    neutral.ApplyFrameEffects(same.data(), W, H, W * 4);
    EXPECT_EQ(same, TestFrame());
}

TEST(EffectMgr, AFlipFollowsTheFrameSize) {
    CEffectMgr mgr;
    auto small = TestFrame();
    mgr.ApplyFrameEffects(small.data(), W, H, W * 4);
    ASSERT_TRUE(mgr.SetFlip(1));
    // A frame of a new size is flipped too.
    std::vector<uint8_t> big(W * 2 * H * 2 * 4, 0);
    for (int x = 0; x < W * 2 * 4; ++x) big[x] = 99;  // top row
    mgr.ApplyFrameEffects(big.data(), W * 2, H * 2, W * 2 * 4);
    EXPECT_EQ(big[(H * 2 - 1) * W * 2 * 4], 99);
    EXPECT_EQ(big[0], 0);
}

// A picture placed letterboxed inside a wider frame: rows `pitch` bytes apart,
// starting `left` pixels in. Outside the picture the bytes are a fixed marker.
struct Framed {
    int pitch, left;
    std::vector<uint8_t> bytes;
    explicit Framed(int frameWidth)
        : pitch(frameWidth * 4), left((frameWidth - W) / 2), bytes(size_t(pitch) * H, 0xA5) {
        const auto f = TestFrame();
        for (int y = 0; y < H; ++y) std::copy_n(f.data() + y * W * 4, W * 4, Origin() + y * pitch);
    }
    uint8_t* Origin() { return bytes.data() + left * 4; }
};

// What one manager makes of a picture at that pitch when it has seen nothing else.
std::vector<uint8_t> Fresh(const char* effect, int32_t flip, int frameWidth) {
    CEffectMgr mgr;
    if (*effect) mgr.SetEffectName(effect);
    if (flip) mgr.SetFlip(flip);
    Framed f(frameWidth);
    mgr.ApplyFrameEffects(f.Origin(), W, H, f.pitch);
    return f.bytes;
}

// A clip converted letterboxed and then previewed (or the other way round)
// hands the same picture size with another row pitch: the effects must begin
// again for it, or they walk the old pitch past the end of a packed frame.
TEST(EffectMgr, ANewRowPitchBeginsTheEffectsAgain) {
    struct Case {
        const char* effect;
        int32_t flip;
    };
    const Case cases[] = {{"Blur", 0}, {"InvertColor", 0}, {"", 1}, {"Emboss", 2}};
    const int letterboxed = W + 16, packed = W;
    for (const Case& c : cases) {
        for (const auto& order : {std::pair{letterboxed, packed}, std::pair{packed, letterboxed}}) {
            SCOPED_TRACE(std::string(c.effect) + " flip " + std::to_string(c.flip) + ", frame width " +
                         std::to_string(order.first) + " then " + std::to_string(order.second));
            CEffectMgr mgr;
            if (*c.effect) {
                ASSERT_TRUE(mgr.SetEffectName(c.effect));
            }
            if (c.flip) {
                ASSERT_TRUE(mgr.SetFlip(c.flip));
            }
            Framed first(order.first);
            mgr.ApplyFrameEffects(first.Origin(), W, H, first.pitch);
            EXPECT_EQ(first.bytes, Fresh(c.effect, c.flip, order.first));
            // Exactly sized, so a walk at the old pitch leaves the vector.
            Framed second(order.second);
            mgr.ApplyFrameEffects(second.Origin(), W, H, second.pitch);
            EXPECT_EQ(second.bytes, Fresh(c.effect, c.flip, order.second));
        }
    }
    // A setting changed between frames begins at the pitch last seen.
    CEffectMgr mgr;
    Framed wide(letterboxed);
    mgr.ApplyFrameEffects(wide.Origin(), W, H, wide.pitch);
    ASSERT_TRUE(mgr.SetEffectName("Blur"));
    ASSERT_TRUE(mgr.SetFlip(1));
    Framed again(letterboxed);
    mgr.ApplyFrameEffects(again.Origin(), W, H, again.pitch);
    EXPECT_EQ(again.bytes, Fresh("Blur", 1, letterboxed));
}

TEST(EffectMgr, DeinterlacingRemovesTheComb) {
    // Even lines show a bar at x 4..11, odd lines at x 14..21: a moving
    // object caught by two fields.
    std::vector<uint8_t> f(W * H * 4, 0);
    for (int y = 0; y < H; ++y)
        for (int x = (y % 2 ? 14 : 4); x < (y % 2 ? 22 : 12); ++x)
            for (int c = 0; c < 3; ++c) f[(y * W + x) * 4 + c] = 250;
    auto comb = [&](const std::vector<uint8_t>& p) {
        long sum = 0;
        for (int y = 0; y + 1 < H; ++y)
            for (int x = 0; x < W * 4; ++x) sum += std::abs(p[y * W * 4 + x] - p[(y + 1) * W * 4 + x]);
        return sum;
    };
    CEffectMgr mgr;
    ASSERT_TRUE(mgr.SetDeinterlace(1));
    auto out = f;
    mgr.ApplyFrameEffects(out.data(), W, H, W * 4);
    EXPECT_LT(comb(out) * 4, comb(f));
}

TEST(EffectMgr, VolumeScalesAndSaturates) {
    std::vector<int16_t> sine(441);
    for (size_t i = 0; i < sine.size(); ++i)
        sine[i] = static_cast<int16_t>(std::lround(32767 * std::sin(i * 2 * M_PI / 44.1)));
    for (uint32_t volume : {0u, 100u, 150u, 400u}) {
        auto s = sine;
        CEffectMgr::ApplyVolume(volume, s.data(), s.size() * 2);
        const int gain = static_cast<int>(volume / 100.0 * 256.0);
        for (size_t i = 0; i < s.size(); ++i) {
            const int expected = std::clamp((sine[i] * gain) >> 8, -32768, 32767);
            ASSERT_EQ(s[i], volume == 100 ? sine[i] : expected) << volume << " at " << i;
            if (volume == 400 && std::abs(sine[i]) > 10000) {
                ASSERT_EQ(s[i], sine[i] > 0 ? 32767 : -32768);  // clamped, never wrapped
            }
            if (volume == 0) {
                ASSERT_EQ(s[i], 0);
            }
        }
    }
    CEffectMgr mgr;
    mgr.SetVolume(200);
    int16_t pair[2] = {20000, -100};
    mgr.ApplyVolume(pair, sizeof pair);
    EXPECT_EQ(pair[0], 32767);
    EXPECT_EQ(pair[1], -200);
}

TEST(EffectMgr, SettersRefuseWhatIsOutOfRangeAndAnnounceWhatIsStored) {
    CEffectMgr mgr;
    Heard h;
    mgr.AddListener(&h);
    EXPECT_FALSE(mgr.SetBrightness(256));
    EXPECT_TRUE(mgr.SetBrightness(255));
    EXPECT_TRUE(mgr.SetBrightness(255));  // the same value: silent
    EXPECT_FALSE(mgr.SetContrast(300));
    EXPECT_TRUE(mgr.SetVolume(400));
    EXPECT_FALSE(mgr.SetVolume(401));
    EXPECT_FALSE(mgr.SetDeinterlace(2));
    EXPECT_TRUE(mgr.SetDeinterlace(1));
    ASSERT_EQ(h.items.size(), 3u);
    EXPECT_EQ(h.items[0].id, msg::kNotifyBrightness);
    EXPECT_EQ(h.items[0].p2, 255);
    EXPECT_EQ(h.items[1].id, msg::kNotifyVolume);
    EXPECT_EQ(h.items[2].id, msg::kNotifyDeinterlace);
    h.items.clear();

    EXPECT_TRUE(mgr.SetFlip(1));
    EXPECT_TRUE(mgr.SetFlip(2));
    EXPECT_TRUE(mgr.SetFlip(0));  // off is a change like any other
    EXPECT_FALSE(mgr.SetFlip(5));  // not a flip: stays off
    ASSERT_EQ(h.items.size(), 4u);
    EXPECT_EQ(h.items[0].p2, 1);
    EXPECT_EQ(h.items[1].p2, 2);
    EXPECT_EQ(h.items[2].p2, 0);
    EXPECT_EQ(h.items[3].p2, 0);
    EXPECT_EQ(mgr.FlipIndex(), 0);
    h.items.clear();

    EXPECT_TRUE(mgr.SetEffectName("Sharpen"));
    EXPECT_FALSE(mgr.SetEffectName("Sharpen"));
    EXPECT_FALSE(mgr.SetEffectName("sharpen"));  // names are exact
    EXPECT_EQ(mgr.EffectName(), "");
    ASSERT_EQ(h.items.size(), 2u);
    EXPECT_EQ(h.items[0].text, "Sharpen");
    EXPECT_EQ(h.items[1].text, "");  // what is stored now
    EXPECT_EQ(h.items[1].p2, 10);
    EXPECT_TRUE(mgr.IsModified());
    mgr.RemoveListener(&h);
}

TEST(EffectMgr, FileFormRoundTripsAndRefusesBadValues) {
    CEffectMgr mgr;
    mgr.SetEffectName("Emboss");
    mgr.SetFlip(2);
    mgr.SetDeinterlace(1);
    mgr.SetVolume(250);
    mgr.SetContrast(10);
    mgr.SetBrightness(240);
    CXMLSerialStream s;
    ASSERT_TRUE(mgr.Serial(&s));
    EXPECT_TRUE(mgr.IsModified());  // only a written file makes the settings saved
    CEffectMgr back;
    ASSERT_TRUE(back.Deserial(&s));
    EXPECT_EQ(back.EffectName(), "Emboss");
    EXPECT_EQ(back.FlipIndex(), 2);
    EXPECT_EQ(back.DeinterlaceIndex(), 1);
    EXPECT_EQ(back.Volume(), 250u);
    EXPECT_EQ(back.Contrast(), 10u);
    EXPECT_EQ(back.Brightness(), 240u);
    EXPECT_FALSE(back.IsModified());

    CXMLSerialStream bad;
    bad.BeginGroup("EffectMgr");
    bad.PutUInt("FlipIndex", 9);
    bad.PutUInt("DeinterlaceIndex", 0);
    bad.PutUInt("Volume", 500);
    bad.PutUInt("Contrast", 127);
    bad.PutUInt("Brightness", 127);
    bad.PutString("EffectName", "NoSuchEffect");
    bad.EndGroup();
    CEffectMgr loaded;
    ASSERT_TRUE(loaded.Deserial(&bad));
    EXPECT_EQ(loaded.Volume(), 100u);
    EXPECT_EQ(loaded.FlipIndex(), 0);
    EXPECT_EQ(loaded.EffectName(), "");

    CXMLSerialStream missing;
    missing.BeginGroup("EffectMgr");
    missing.PutUInt("FlipIndex", 0);
    missing.EndGroup();
    try {
        loaded.Deserial(&missing);
        FAIL();
    } catch (const CBaseException& e) {
        EXPECT_EQ(e.Code(), 10580014);
    }
}

TEST(EffectMgr, CopyTakesEverySetting) {
    CEffectMgr source, target;
    source.SetEffectName("Purple");
    source.SetFlip(1);
    source.SetVolume(50);
    source.SetBrightness(0);
    target.CopyEffectsFrom(source);
    EXPECT_EQ(target.EffectName(), "Purple");
    EXPECT_EQ(target.FlipIndex(), 1);
    EXPECT_EQ(target.Volume(), 50u);
    EXPECT_EQ(target.Brightness(), 0u);
    EXPECT_EQ(target.Contrast(), 127u);
}

}  // namespace
