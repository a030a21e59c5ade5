// What holds for every effect: the stride's sign and any padding between rows
// change nothing, processing allocates nothing, and buffers follow begin/end.
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "AllocationCounter.h"
#include "EffectHarness.h"

namespace pixfilter_test {
namespace {

struct EffectCase {
    const char* label;
    const char* effect;
    std::optional<Parameter> parameter;
    bool packedRun;        // works on width * height pixels in one run, whatever the stride
    bool sameRuleBuffered; // into the buffer gives exactly the in-place result
    bool hasBuffered;      // false: no output buffer exists
};

void PrintTo(const EffectCase& c, std::ostream* os) { *os << c.label; }

// The grain effects' pattern is random, so their cases here use a number that
// leaves a single possible pattern; NoiseEffectTest covers the real pattern.
const EffectCase kEffects[] = {
    {"BlackAndWhite", "BlackAndWhite", std::nullopt, false, false, true},
    {"Blur", "Blur", std::nullopt, false, false, true},
    {"Coloryawp", "Coloryawp", Parameter{"Coloryawp_Number", 1}, true, true, true},
    {"Emboss", "Emboss", std::nullopt, false, true, true},
    {"Engrave", "Engrave", std::nullopt, false, true, true},
    {"Exposal", "Exposal", std::nullopt, false, true, true},
    {"InvertColor", "InvertColor", std::nullopt, false, true, true},
    {"MirrorHorizontal", "Mirror", std::nullopt, false, true, true},
    {"MirrorVertical", "Mirror", Parameter{"MirrorDirection", 1}, false, true, true},
    {"Purple", "Purple", std::nullopt, false, false, true},
    {"Rotate90", "Rotate", Parameter{"RotateAngle", 90, 4}, true, false, false},
    {"Rotate180", "Rotate", Parameter{"RotateAngle", 180, 4}, false, false, false},
    {"Rotate270", "Rotate", Parameter{"RotateAngle", 270, 4}, true, false, false},
    {"Saltyawp", "Saltyawp", Parameter{"Saltyawp_Number", 1}, true, true, true},
    {"Sharpen", "Sharpen", std::nullopt, false, false, true},
    {"Spooky", "Spooky", std::nullopt, false, true, true},
};

class EveryEffect : public ::testing::TestWithParam<EffectCase> {};

TEST_P(EveryEffect, NegativeStrideGivesTheSameBytes) {
    const EffectCase& c = GetParam();
    const Picture input = BusyPicture(7, 5);
    EXPECT_EQ(RunInPlace(c.effect, c.parameter, input, {0, true}).pixels,
              RunInPlace(c.effect, c.parameter, input).pixels);
    if (c.hasBuffered) {
        EXPECT_EQ(RunToBuffer(c.effect, c.parameter, input, {0, true}).pixels,
                  RunToBuffer(c.effect, c.parameter, input).pixels);
    }
}

// Effects that walk rows (the others work on one packed run of pixels).
class RowEffect : public EveryEffect {};

TEST_P(RowEffect, PaddingBetweenRowsIsSkippedAndKept) {
    const EffectCase& c = GetParam();
    const Picture input = BusyPicture(6, 5, 7);
    // RunInPlace and RunToBuffer also check that the padding stays as it was.
    EXPECT_EQ(RunInPlace(c.effect, c.parameter, input, {3, true}).pixels,
              RunInPlace(c.effect, c.parameter, input).pixels);
    if (c.hasBuffered) {
        EXPECT_EQ(RunToBuffer(c.effect, c.parameter, input, {3, false}).pixels,
                  RunToBuffer(c.effect, c.parameter, input).pixels);
    }
}

// Effects whose buffered rule is their in-place rule.
class SameRuleEffect : public EveryEffect {};

TEST_P(SameRuleEffect, InPlaceAndIntoBufferAgree) {
    const EffectCase& c = GetParam();
    const Picture input = BusyPicture(9, 4, 3);
    EXPECT_EQ(RunToBuffer(c.effect, c.parameter, input).pixels,
              RunInPlace(c.effect, c.parameter, input).pixels);
}

// Work buffers are made at begin for the frame size; frames, and a repeated
// begin for the same size, allocate nothing.
TEST_P(EveryEffect, BuffersAreMadeOncePerSize) {
    const EffectCase& c = GetParam();
    Effect effect(c.effect, c.parameter);
    Picture frame = BusyPicture(64, 32, 5);
    const int wantOutput = c.hasBuffered ? 1 : 0;
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, 64 * 4, 64, 32, wantOutput));

    const long before = AllocationCount();
    void* out = nullptr;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(eil_process_image(effect.Get(), frame.pixels.data()));
        if (c.hasBuffered) {
            ASSERT_TRUE(eil_process_image2(effect.Get(), frame.pixels.data(), &out));
        }
    }
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, 64 * 4, 64, 32, wantOutput));
    ASSERT_TRUE(eil_process_image(effect.Get(), frame.pixels.data()));
    EXPECT_EQ(AllocationCount(), before);

    // A new size allocates (which also shows the counter sees the library's
    // allocations), but its frames again do not.
    Picture larger = BusyPicture(80, 40, 6);
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, 80 * 4, 80, 40, wantOutput));
    const long afterBegin = AllocationCount();
    EXPECT_GT(afterBegin, before);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(eil_process_image(effect.Get(), larger.pixels.data()));
    EXPECT_EQ(AllocationCount(), afterBegin);
}

TEST_P(EveryEffect, NoOutputBufferWithoutAskingOrAfterEnd) {
    const EffectCase& c = GetParam();
    Effect effect(c.effect, c.parameter);
    Picture frame = BusyPicture(4, 4);
    void* out = nullptr;
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, 16, 4, 4, 0));
    EXPECT_FALSE(eil_process_image2(effect.Get(), frame.pixels.data(), &out));
    // wantOutput is tested as a byte: 0x100 does not ask for a buffer.
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, 16, 4, 4, 0x100));
    EXPECT_FALSE(eil_process_image2(effect.Get(), frame.pixels.data(), &out));
    if (c.hasBuffered) {
        ASSERT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, 16, 4, 4, 1));
        EXPECT_TRUE(eil_process_image2(effect.Get(), frame.pixels.data(), &out));
        EXPECT_NE(out, nullptr);
        EXPECT_TRUE(eil_end_process_image(effect.Get()));
        EXPECT_FALSE(eil_process_image2(effect.Get(), frame.pixels.data(), &out));
    } else {
        EXPECT_FALSE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, 16, 4, 4, 1));
    }
    EXPECT_EQ(out == nullptr, !c.hasBuffered);
}

std::vector<EffectCase> Select(bool (*keep)(const EffectCase&)) {
    std::vector<EffectCase> chosen;
    for (const EffectCase& c : kEffects)
        if (keep(c)) chosen.push_back(c);
    return chosen;
}

const auto kLabel = [](const auto& info) { return std::string(info.param.label); };

INSTANTIATE_TEST_SUITE_P(Effects, EveryEffect, ::testing::ValuesIn(kEffects), kLabel);
INSTANTIATE_TEST_SUITE_P(Effects, RowEffect,
                         ::testing::ValuesIn(Select([](const EffectCase& c) { return !c.packedRun; })),
                         kLabel);
INSTANTIATE_TEST_SUITE_P(Effects, SameRuleEffect,
                         ::testing::ValuesIn(Select([](const EffectCase& c) {
                             return c.sameRuleBuffered;
                         })),
                         kLabel);

}  // namespace
}  // namespace pixfilter_test
