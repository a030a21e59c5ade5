// The grain effects: a random pattern within the number's span, clamped,
// fixed for every frame between two begins.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "EffectHarness.h"

namespace pixfilter_test {
namespace {

constexpr int kW = 32;
constexpr int kH = 24;

std::vector<uint32_t> Flat(uint32_t pixel) {
    return std::vector<uint32_t>(static_cast<std::size_t>(kW) * kH, pixel);
}

uint32_t Channel(uint32_t p, int c) { return (p >> (8 * c)) & 0xFFu; }

struct GrainCase {
    const char* effect;
    const char* parameter;
    bool sameForAllChannels;
};

class Grain : public ::testing::TestWithParam<GrainCase> {};

// With the default number 128 the noise lies in -64 .. 63.
TEST_P(Grain, DefaultSpanAroundTheValueAndAlphaKept) {
    const GrainCase& c = GetParam();
    Effect effect(c.effect);
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, kW * 4, kW, kH, 0));
    std::vector<uint32_t> frame = Flat(Bgra(128, 128, 128, 0x3C));
    ASSERT_TRUE(eil_process_image(effect.Get(), frame.data()));
    uint32_t low = 255, high = 0;
    for (uint32_t p : frame) {
        ASSERT_EQ(p >> 24, 0x3Cu);
        for (int ch = 0; ch < 3; ++ch) {
            low = std::min(low, Channel(p, ch));
            high = std::max(high, Channel(p, ch));
        }
        if (c.sameForAllChannels) {
            ASSERT_EQ(Channel(p, 0), Channel(p, 1));
            ASSERT_EQ(Channel(p, 0), Channel(p, 2));
        }
    }
    EXPECT_GE(low, 64u);
    EXPECT_LE(high, 191u);
    EXPECT_LT(low, high) << "no noise at all";
}

// Bytes saturate instead of wrapping: white can only get darker, black lighter.
TEST_P(Grain, ClampsAtBothEnds) {
    const GrainCase& c = GetParam();
    Effect effect(c.effect, Parameter{c.parameter, 255});
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, kW * 4, kW, kH, 0));
    std::vector<uint32_t> white = Flat(Bgra(255, 255, 255, 0));
    std::vector<uint32_t> black = Flat(Bgra(0, 0, 0, 0));
    ASSERT_TRUE(eil_process_image(effect.Get(), white.data()));
    ASSERT_TRUE(eil_process_image(effect.Get(), black.data()));
    for (std::size_t i = 0; i < white.size(); ++i)
        for (int ch = 0; ch < 3; ++ch) {
            ASSERT_GE(Channel(white[i], ch), 128u);
            ASSERT_LE(Channel(black[i], ch), 127u);
        }
}

TEST_P(Grain, SamePatternOnEveryFrameInPlaceOrBuffered) {
    const GrainCase& c = GetParam();
    Effect effect(c.effect);
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, kW * 4, kW, kH, 1));
    const Picture source = BusyPicture(kW, kH, 11);
    std::vector<uint32_t> first = source.pixels, second = source.pixels;
    ASSERT_TRUE(eil_process_image(effect.Get(), first.data()));
    ASSERT_TRUE(eil_process_image(effect.Get(), second.data()));
    EXPECT_EQ(first, second);
    void* out = nullptr;
    ASSERT_TRUE(eil_process_image2(effect.Get(), source.pixels.data(), &out));
    EXPECT_EQ(std::vector<uint32_t>(static_cast<const uint32_t*>(out),
                                    static_cast<const uint32_t*>(out) + first.size()),
              first);
}

// The number builds the pattern at begin: a change shows from the next begin.
TEST_P(Grain, NumberTakesEffectAtTheNextBegin) {
    const GrainCase& c = GetParam();
    Effect effect(c.effect);
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, kW * 4, kW, kH, 0));
    const std::vector<uint32_t> grey = Flat(Bgra(100, 100, 100, 0));
    std::vector<uint32_t> before = grey;
    ASSERT_TRUE(eil_process_image(effect.Get(), before.data()));
    ASSERT_NE(before, grey);

    ASSERT_TRUE(effect.Set({c.parameter, 1}));  // a span of one value: no noise
    std::vector<uint32_t> frame = grey;
    ASSERT_TRUE(eil_process_image(effect.Get(), frame.data()));
    EXPECT_EQ(frame, before);

    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, kW * 4, kW, kH, 0));
    frame = grey;
    ASSERT_TRUE(eil_process_image(effect.Get(), frame.data()));
    EXPECT_EQ(frame, grey);
}

// Number 2: r mod 2 - 1, so each byte loses 0 or 1.
TEST_P(Grain, NumberTwoTakesAtMostOne) {
    const GrainCase& c = GetParam();
    Effect effect(c.effect, Parameter{c.parameter, 2});
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, kW * 4, kW, kH, 0));
    std::vector<uint32_t> frame = Flat(Bgra(100, 100, 100, 0));
    ASSERT_TRUE(eil_process_image(effect.Get(), frame.data()));
    bool sawBoth[2] = {false, false};
    for (uint32_t p : frame)
        for (int ch = 0; ch < 3; ++ch) {
            const uint32_t v = Channel(p, ch);
            ASSERT_TRUE(v == 99 || v == 100) << v;
            sawBoth[v - 99] = true;
        }
    EXPECT_TRUE(sawBoth[0] && sawBoth[1]);
}

INSTANTIATE_TEST_SUITE_P(Effects, Grain,
                         ::testing::Values(GrainCase{"Coloryawp", "Coloryawp_Number", false},
                                           GrainCase{"Saltyawp", "Saltyawp_Number", true}),
                         [](const auto& info) { return std::string(info.param.effect); });

}  // namespace
}  // namespace pixfilter_test
