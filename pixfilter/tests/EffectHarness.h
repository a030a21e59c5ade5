// Small pictures and a way to run an effect on them through the exported
// functions, in place (with any stride) or into the output buffer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pixfilter/pixfilter.h"

namespace pixfilter_test {

constexpr uint32_t Bgra(uint32_t b, uint32_t g, uint32_t r, uint32_t a) {
    return b | (g << 8) | (r << 16) | (a << 24);
}

// Packed pixels, first row in memory first.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// A picture whose bytes all differ from their neighbours, alpha included.
Picture BusyPicture(int width, int height, uint32_t seed = 1);

// One parameter for eil_set_parameter: a 1-byte or a 4-byte value.
struct Parameter {
    std::string name;
    int32_t value = 0;
    int32_t size = 1;
};

// Owns an effect handle.
class Effect {
public:
    explicit Effect(const char* name, std::optional<Parameter> parameter = std::nullopt);
    ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    eil_handle Get() const { return m_handle; }
    bool Set(const Parameter& parameter);

private:
    eil_handle m_handle = nullptr;
};

struct Layout {
    int padPixels = 0;       // extra pixels at the end of each row
    bool negative = false;   // stride given with a minus sign
};

// Runs begin + one in-place frame with the layout and answers the packed
// picture; fails the test when padding bytes change or a call is refused.
Picture RunInPlace(const char* effect, const std::optional<Parameter>& parameter,
                   const Picture& input, Layout layout = {});

// Runs begin (with output) + one frame into the output buffer; fails the test
// when the source changes or a call is refused.
Picture RunToBuffer(const char* effect, const std::optional<Parameter>& parameter,
                    const Picture& input, Layout layout = {});

// Prints pixels as hex words in failure messages.
std::string Describe(const Picture& picture);

}  // namespace pixfilter_test
