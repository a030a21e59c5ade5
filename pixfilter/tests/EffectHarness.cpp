#include "EffectHarness.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace pixfilter_test {

namespace {
constexpr uint32_t kPadding = 0xA5C3E1F7u;

// The picture laid out in rows of width + pad pixels, padding filled with kPadding.
std::vector<uint32_t> Spread(const Picture& picture, int pad) {
    const int rowPixels = picture.width + pad;
    std::vector<uint32_t> memory(static_cast<std::size_t>(rowPixels) * picture.height, kPadding);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            memory[static_cast<std::size_t>(y) * rowPixels + x] =
                picture.pixels[static_cast<std::size_t>(y) * picture.width + x];
    return memory;
}

int32_t StrideOf(const Picture& picture, Layout layout) {
    const int32_t stride = (picture.width + layout.padPixels) * 4;
    return layout.negative ? -stride : stride;
}
}  // namespace

Picture BusyPicture(int width, int height, uint32_t seed) {
    Picture picture{width, height, std::vector<uint32_t>(static_cast<std::size_t>(width) * height)};
    uint32_t state = seed * 2654435761u + 1;
    for (uint32_t& p : picture.pixels) {
        state = state * 1664525u + 1013904223u;
        p = state;
    }
    return picture;
}

Effect::Effect(const char* name, std::optional<Parameter> parameter)
    : m_handle(eil_create_image_effect(name)) {
    EXPECT_NE(m_handle, nullptr) << name;
    if (parameter) {
        EXPECT_TRUE(Set(*parameter)) << parameter->name;
    }
}

Effect::~Effect() {
    if (m_handle != nullptr) eil_close_effect(m_handle);
}

bool Effect::Set(const Parameter& parameter) {
    if (parameter.size == 1) {
        const uint8_t byte = static_cast<uint8_t>(parameter.value);
        return eil_set_parameter(m_handle, parameter.name.c_str(), &byte, 1);
    }
    return eil_set_parameter(m_handle, parameter.name.c_str(), &parameter.value, parameter.size);
}

Picture RunInPlace(const char* name, const std::optional<Parameter>& parameter,
                   const Picture& input, Layout layout) {
    Effect effect(name, parameter);
    std::vector<uint32_t> memory = Spread(input, layout.padPixels);
    EXPECT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, StrideOf(input, layout),
                                        input.width, input.height, 0));
    EXPECT_TRUE(eil_process_image(effect.Get(), memory.data()));
    EXPECT_TRUE(eil_end_process_image(effect.Get()));

    Picture result{input.width, input.height, {}};
    const int rowPixels = input.width + layout.padPixels;
    for (int y = 0; y < input.height; ++y)
        for (int x = 0; x < rowPixels; ++x) {
            const uint32_t p = memory[static_cast<std::size_t>(y) * rowPixels + x];
            if (x < input.width)
                result.pixels.push_back(p);
            else
                EXPECT_EQ(p, kPadding) << "padding changed in row " << y;
        }
    return result;
}

Picture RunToBuffer(const char* name, const std::optional<Parameter>& parameter,
                    const Picture& input, Layout layout) {
    Effect effect(name, parameter);
    const std::vector<uint32_t> memory = Spread(input, layout.padPixels);
    const std::vector<uint32_t> before = memory;
    EXPECT_TRUE(eil_begin_process_image(effect.Get(), EIL_FORMAT_BGRA32, StrideOf(input, layout),
                                        input.width, input.height, 1));
    void* out = nullptr;
    Picture result{input.width, input.height, {}};
    if (!eil_process_image2(effect.Get(), memory.data(), &out) || out == nullptr) {
        ADD_FAILURE() << name << ": eil_process_image2 refused";
        return result;
    }
    const uint32_t* words = static_cast<const uint32_t*>(out);
    result.pixels.assign(words, words + static_cast<std::size_t>(input.width) * input.height);
    EXPECT_EQ(memory, before) << name << ": the source changed";
    EXPECT_TRUE(eil_end_process_image(effect.Get()));
    return result;
}

std::string Describe(const Picture& picture) {
    std::string text;
    char word[16];
    for (int y = 0; y < picture.height; ++y) {
        text += "\n  ";
        for (int x = 0; x < picture.width; ++x) {
            std::snprintf(word, sizeof word, "%08X ",
                          picture.pixels[static_cast<std::size_t>(y) * picture.width + x]);
            text += word;
        }
    }
    return text;
}

}  // namespace pixfilter_test
