// Speed of every pixfilter effect on a 1280 x 720 frame, in megapixels per
// second on one core, in place and into the output buffer.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "pixfilter/pixfilter.h"

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;

// A busy frame: every byte different from its neighbours, so no effect meets
// long runs of equal values.
std::vector<uint8_t> MakeFrame() {
    std::vector<uint8_t> frame(static_cast<std::size_t>(kWidth) * kHeight * 4);
    uint32_t state = 12345;
    for (uint8_t& byte : frame) {
        state = state * 1664525u + 1013904223u;
        byte = static_cast<uint8_t>(state >> 24);
    }
    return frame;
}

struct SEffectSetup {
    const char* name;
    const char* parameter;  // null: none
    int32_t value;
    int32_t size;
};

eil_handle Prepare(benchmark::State& state, const SEffectSetup& setup, bool toBuffer) {
    eil_handle effect = eil_create_image_effect(setup.name);
    if (effect == nullptr) {
        state.SkipWithError("unknown effect");
        return nullptr;
    }
    if (setup.parameter != nullptr &&
        !eil_set_parameter(effect, setup.parameter, &setup.value, setup.size)) {
        state.SkipWithError("parameter refused");
    }
    if (!eil_begin_process_image(effect, EIL_FORMAT_BGRA32, kWidth * 4, kWidth, kHeight,
                                 toBuffer ? 1 : 0)) {
        state.SkipWithError("begin refused");
    }
    return effect;
}

void Finish(benchmark::State& state, eil_handle effect) {
    eil_end_process_image(effect);
    eil_close_effect(effect);
    state.counters["px/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight,
                                                benchmark::Counter::kIsIterationInvariantRate);
}

void InPlace(benchmark::State& state, SEffectSetup setup) {
    std::vector<uint8_t> frame = MakeFrame();
    eil_handle effect = Prepare(state, setup, false);
    for (auto _ : state) {
        if (!eil_process_image(effect, frame.data())) state.SkipWithError("process failed");
        benchmark::ClobberMemory();
    }
    Finish(state, effect);
}

void ToBuffer(benchmark::State& state, SEffectSetup setup) {
    const std::vector<uint8_t> frame = MakeFrame();
    eil_handle effect = Prepare(state, setup, true);
    void* out = nullptr;
    for (auto _ : state) {
        if (!eil_process_image2(effect, frame.data(), &out)) state.SkipWithError("process failed");
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    Finish(state, effect);
}

const SEffectSetup kSetups[] = {
    {"BlackAndWhite", nullptr, 0, 0},
    {"Blur", nullptr, 0, 0},
    {"Coloryawp", nullptr, 0, 0},
    {"Emboss", nullptr, 0, 0},
    {"Engrave", nullptr, 0, 0},
    {"Exposal", nullptr, 0, 0},
    {"InvertColor", nullptr, 0, 0},
    {"Mirror", "MirrorDirection", 0, 1},
    {"Mirror", "MirrorDirection", 1, 1},
    {"Purple", nullptr, 0, 0},
    {"Rotate", "RotateAngle", 90, 4},
    {"Rotate", "RotateAngle", 180, 4},
    {"Saltyawp", nullptr, 0, 0},
    {"Sharpen", nullptr, 0, 0},
    {"Spooky", nullptr, 0, 0},
};

std::string LabelOf(const SEffectSetup& setup) {
    std::string label = setup.name;
    if (setup.parameter != nullptr) label += "/" + std::to_string(setup.value);
    return label;
}

[[maybe_unused]] const bool kRegistered = [] {
    for (const SEffectSetup& setup : kSetups) {
        const std::string label = LabelOf(setup);
        benchmark::RegisterBenchmark(("InPlace/" + label).c_str(), InPlace, setup)
            ->Unit(benchmark::kMillisecond);
        if (std::strcmp(setup.name, "Rotate") != 0)  // a turned picture has no output buffer
            benchmark::RegisterBenchmark(("ToBuffer/" + label).c_str(), ToBuffer, setup)
                ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
