#include "TestImages.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace bktest {

Frame::Frame(int w, int h, uint32_t bgra) : width(w), height(h), px(static_cast<size_t>(w) * h * 4) {
    for (size_t i = 0; i < px.size(); i += 4) std::memcpy(&px[i], &bgra, 4);
}

Frame GradientFrame(int width, int height) {
    Frame f(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = f.at(x, y);
            p[0] = static_cast<uint8_t>(60 + 150 * x / width);          // blue grows to the right
            p[1] = static_cast<uint8_t>(40 + 120 * y / height);         // green grows downwards
            p[2] = static_cast<uint8_t>(((x / 16 + y / 16) % 2) ? 90 : 50);  // a faint checker
            p[3] = 255;
        }
    return f;
}

Frame Flipped(const Frame& f) {
    Frame out = f;
    for (int y = 0; y < f.height; ++y)
        std::memcpy(out.at(0, f.height - 1 - y), f.at(0, y), static_cast<size_t>(f.width) * 4);
    return out;
}

bool WritePng(const std::string& path, const Frame& f) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, f.width, f.height);
    cairo_surface_flush(s);
    uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const uint8_t* p = f.at(x, y);
            uint8_t* q = data + y * stride + x * 4;
            for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>((p[c] * p[3] + 127) / 255);  // Cairo is premultiplied
            q[3] = p[3];
        }
    cairo_surface_mark_dirty(s);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

bool ReadPng(const std::string& path, Frame& f) {
    cairo_surface_t* s = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return false;
    }
    cairo_surface_flush(s);
    f = Frame(cairo_image_surface_get_width(s), cairo_image_surface_get_height(s));
    const uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    const cairo_format_t format = cairo_image_surface_get_format(s);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const uint8_t* q = data + y * stride + x * 4;
            uint8_t* p = f.at(x, y);
            const int a = format == CAIRO_FORMAT_ARGB32 ? q[3] : 255;
            for (int c = 0; c < 3; ++c) p[c] = a ? static_cast<uint8_t>(std::min(255, (q[c] * 255 + a / 2) / a)) : 0;
            p[3] = static_cast<uint8_t>(a);
        }
    cairo_surface_destroy(s);
    return true;
}

namespace {

bool keepScratch = false;  // set when a mismatch picture was left there for a look

std::filesystem::path ScratchDir() {
    return std::filesystem::temp_directory_path() / ("blitkit_tests_" + std::to_string(getpid()));
}

class ScratchCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        std::error_code ignored;
        if (!keepScratch) std::filesystem::remove_all(ScratchDir(), ignored);
    }
};

[[maybe_unused]] auto* const scratchCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

}  // namespace

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

std::string ScratchPath(const std::string& name) {
    const auto dir = ScratchDir();
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

void ExpectMatchesGolden(const std::string& name, const Frame& f, int tolerance) {
    const std::string golden = std::string(BLITKIT_GOLDEN_DIR) + "/" + name + ".png";
    const char* update = std::getenv("BLITKIT_UPDATE_GOLDEN");
    if (update && std::strcmp(update, "1") == 0) {
        ASSERT_TRUE(WritePng(golden, f)) << golden;
        return;
    }
    Frame expected;
    ASSERT_TRUE(ReadPng(golden, expected)) << "missing golden " << golden << " (BLITKIT_UPDATE_GOLDEN=1 makes it)";
    ASSERT_EQ(expected.width, f.width);
    ASSERT_EQ(expected.height, f.height);
    int worst = 0, bad = 0;
    for (size_t i = 0; i < f.px.size(); ++i) {
        const int diff = std::abs(int(f.px[i]) - int(expected.px[i]));
        worst = std::max(worst, diff);
        if (diff > tolerance) ++bad;
    }
    if (bad) {
        const std::string actual = ScratchPath(name + ".actual.png");
        keepScratch = true;
        WritePng(actual, f);
        ADD_FAILURE() << name << ": " << bad << " channel values differ by more than " << tolerance
                      << " (worst " << worst << "); see " << actual;
    }
}

}  // namespace bktest
