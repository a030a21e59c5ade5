// The flat interface: names, parameters, begin arguments, null handles, and
// failures reported as 0.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "EffectHarness.h"

namespace pixfilter_test {
namespace {

const char* const kNames[] = {"BlackAndWhite", "Blur",   "Coloryawp", "Emboss",  "Engrave",
                              "Exposal",       "InvertColor", "Mirror", "Purple", "Rotate",
                              "Saltyawp",      "Sharpen", "Spooky"};

TEST(CreateEffect, EveryRegisteredNameGivesAHandle) {
    for (const char* name : kNames) {
        eil_handle effect = eil_create_image_effect(name);
        EXPECT_NE(effect, nullptr) << name;
        EXPECT_TRUE(eil_close_effect(effect)) << name;
    }
}

TEST(CreateEffect, NamesMatchExactly) {
    for (const char* name : {"blur", "BLUR", "Blur ", "Blu", "", "Mirror\t", "Effect"})
        EXPECT_EQ(eil_create_image_effect(name), nullptr) << '"' << name << '"';
    EXPECT_EQ(eil_create_image_effect(nullptr), nullptr);
    const std::string longName(200, 'B');
    EXPECT_EQ(eil_create_image_effect(longName.c_str()), nullptr);
}

TEST(NullHandle, EveryExportAnswersFalse) {
    uint32_t pixel = 0;
    uint8_t value = 1;
    void* out = nullptr;
    EXPECT_FALSE(eil_set_parameter(nullptr, "MirrorDirection", &value, 1));
    EXPECT_FALSE(eil_begin_process_image(nullptr, 1, 4, 1, 1, 0));
    EXPECT_FALSE(eil_process_image(nullptr, &pixel));
    EXPECT_FALSE(eil_process_image2(nullptr, &pixel, &out));
    EXPECT_FALSE(eil_end_process_image(nullptr));
    EXPECT_FALSE(eil_close_effect(nullptr));
}

struct ParameterCase {
    const char* effect;
    const char* name;
    int32_t value;
    int32_t size;
    bool taken;
};

TEST(SetParameter, NameSizeAndValueRules) {
    const ParameterCase cases[] = {
        {"Mirror", "MirrorDirection", 1, 1, true},
        {"Mirror", "MirrorDirection", 1, 4, false},
        {"Mirror", "mirrorDirection", 1, 1, false},
        {"Mirror", "MirrorDirection ", 1, 1, false},
        {"Mirror", "MirrorDirectio", 1, 1, false},
        {"Rotate", "RotateAngle", 90, 4, true},
        {"Rotate", "RotateAngle", -270, 4, true},
        {"Rotate", "RotateAngle", 45, 4, false},
        {"Rotate", "RotateAngle", 90, 1, false},
        {"Emboss", "Emboss_Number", 0, 1, true},
        {"Emboss", "Engrave_Number", 10, 1, false},
        {"Engrave", "Engrave_Number", 255, 1, true},
        {"Coloryawp", "Coloryawp_Number", 200, 1, true},
        {"Coloryawp", "Coloryawp_Number", 0, 1, false},
        {"Saltyawp", "Saltyawp_Number", 0, 1, false},
        {"Saltyawp", "Saltyawp_Number", 16, 2, false},
        {"Blur", "Blur_Number", 1, 1, false},
        {"BlackAndWhite", "MirrorDirection", 1, 1, false},
    };
    for (const ParameterCase& c : cases) {
        Effect effect(c.effect);
        EXPECT_EQ(effect.Set({c.name, c.value, c.size}), c.taken)
            << c.effect << " " << c.name << " = " << c.value << " (" << c.size << " bytes)";
    }
}

TEST(SetParameter, MissingNameOrValueIsRefused) {
    Effect effect("Mirror");
    const uint8_t one = 1;
    EXPECT_FALSE(eil_set_parameter(effect.Get(), nullptr, &one, 1));
    EXPECT_FALSE(eil_set_parameter(effect.Get(), "MirrorDirection", nullptr, 1));
}

TEST(SetParameter, RefusedAngleKeepsTheAngleInForce) {
    Effect effect("Rotate", Parameter{"RotateAngle", 180, 4});
    EXPECT_FALSE(effect.Set({"RotateAngle", 45, 4}));
    std::vector<uint32_t> pixels = {Bgra(1, 1, 1, 0), Bgra(2, 2, 2, 0)};
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, 8, 2, 1, 0));
    ASSERT_TRUE(eil_process_image(effect.Get(), pixels.data()));
    EXPECT_EQ(pixels, (std::vector<uint32_t>{Bgra(2, 2, 2, 0), Bgra(1, 1, 1, 0)}));
}

// A number read on every frame takes effect at once.
TEST(SetParameter, ReliefNumberTakesEffectOnTheNextFrame) {
    Effect effect("Emboss");
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, 8, 2, 2, 0));
    std::vector<uint32_t> frame(4, Bgra(50, 50, 50, 0));
    ASSERT_TRUE(eil_process_image(effect.Get(), frame.data()));
    EXPECT_EQ(frame[0], Bgra(128, 128, 128, 0));
    ASSERT_TRUE(effect.Set({"Emboss_Number", 7}));
    frame.assign(4, Bgra(50, 50, 50, 0));
    ASSERT_TRUE(eil_process_image(effect.Get(), frame.data()));
    EXPECT_EQ(frame[0], Bgra(7, 7, 7, 0));
}

struct BeginCase {
    const char* label;
    int32_t format, stride, width, height;
};

TEST(BeginProcess, BadArgumentsAreRefused) {
    const BeginCase cases[] = {
        {"format 2", 2, 16, 4, 4},
        {"format 0", 0, 16, 4, 4},
        {"zero stride", 1, 0, 4, 4},
        {"zero width", 1, 16, 0, 4},
        {"zero height", 1, 16, 4, 0},
        {"negative width", 1, 16, -4, 4},
        {"negative height", 1, 16, 4, -4},
        {"rows overlap", 1, 12, 4, 4},
        {"rows overlap, negative stride", 1, -12, 4, 4},
        {"huge picture", 1, INT32_MIN, INT32_MAX / 4, INT32_MAX},
        {"huge height", 1, 4, 1, INT32_MAX},
    };
    for (const char* name : kNames) {
        Effect effect(name);
        for (const BeginCase& c : cases)
            EXPECT_FALSE(eil_begin_process_image(effect.Get(), c.format, c.stride, c.width, c.height, 0))
                << name << ": " << c.label;
    }
}

// A failed frame is reported as 0 rather than counted as done.
TEST(ProcessImage, FailureIsReported) {
    uint32_t pixels[4] = {};
    {
        Effect rotate("Rotate", Parameter{"RotateAngle", 90, 4});
        EXPECT_FALSE(eil_process_image(rotate.Get(), pixels)) << "no begin";
    }
    {
        Effect mirror("Mirror", Parameter{"MirrorDirection", 1});
        EXPECT_FALSE(eil_process_image(mirror.Get(), pixels)) << "no begin";
        ASSERT_TRUE(eil_begin_process_image(mirror.Get(), 1, 8, 2, 2, 0));
        EXPECT_FALSE(eil_process_image(mirror.Get(), nullptr));
        EXPECT_TRUE(eil_process_image(mirror.Get(), pixels));
        EXPECT_TRUE(eil_end_process_image(mirror.Get()));
        EXPECT_FALSE(eil_process_image(mirror.Get(), pixels)) << "after end";
    }
    {
        Effect invert("InvertColor");
        ASSERT_TRUE(eil_begin_process_image(invert.Get(), 1, 8, 2, 2, 1));
        void* out = nullptr;
        EXPECT_FALSE(eil_process_image2(invert.Get(), nullptr, &out));
        EXPECT_FALSE(eil_process_image2(invert.Get(), pixels, nullptr));
    }
}

// A refused begin leaves nothing bound: the previous size's buffers are gone.
TEST(BeginProcess, RefusalUnbindsThePreviousSize) {
    Effect effect("Mirror", Parameter{"MirrorDirection", 1});
    uint32_t pixels[4] = {};
    ASSERT_TRUE(eil_begin_process_image(effect.Get(), 1, 8, 2, 2, 0));
    ASSERT_TRUE(eil_process_image(effect.Get(), pixels));
    EXPECT_FALSE(eil_begin_process_image(effect.Get(), 2, 8, 2, 2, 0));
    EXPECT_FALSE(eil_process_image(effect.Get(), pixels));
}

}  // namespace
}  // namespace pixfilter_test
