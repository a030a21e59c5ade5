#include "WaterMarkTestSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "projcore/MessageIds.h"

namespace wmtest {

void Recorder::OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) {
    Item it{id, p2, {}, {}};
    if (id == msg::kNotifyWaterMarkPlace && p1) it.place = *reinterpret_cast<const WaterMarkPlace*>(p1);
    if (id == msg::kNotifyWaterMarkMoved && p1) it.move = *reinterpret_cast<const WaterMarkMove*>(p1);
    items.push_back(it);
}

std::vector<int32_t> Recorder::Ids() const {
    std::vector<int32_t> ids;
    for (const Item& it : items) ids.push_back(it.id);
    return ids;
}

Frame::Frame(int w, int h) : width(w), height(h), px(static_cast<size_t>(w) * h * 4, 0) {}

Frame Background(int width, int height) {
    Frame f(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = f.at(x, y);
            p[0] = static_cast<uint8_t>(70 + 140 * x / width);
            p[1] = static_cast<uint8_t>(50 + 110 * y / height);
            p[2] = static_cast<uint8_t>(((x / 10 + y / 10) % 2) ? 100 : 60);
            p[3] = 255;
        }
    return f;
}

bool WritePng(const std::string& path, const Frame& f) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, f.width, f.height);
    cairo_surface_flush(s);
    uint8_t* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const uint8_t* p = f.px.data() + (static_cast<size_t>(y) * f.width + x) * 4;
            uint8_t* q = data + y * stride + x * 4;
            for (int c = 0; c < 3; ++c) q[c] = static_cast<uint8_t>((p[c] * p[3] + 127) / 255);  // premultiplied
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
    const bool hasAlpha = cairo_image_surface_get_format(s) == CAIRO_FORMAT_ARGB32;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const uint8_t* q = data + y * stride + x * 4;
            uint8_t* p = f.at(x, y);
            const int a = hasAlpha ? q[3] : 255;
            for (int c = 0; c < 3; ++c) p[c] = a ? static_cast<uint8_t>(std::min(255, (q[c] * 255 + a / 2) / a)) : 0;
            p[3] = static_cast<uint8_t>(a);
        }
    cairo_surface_destroy(s);
    return true;
}

void ExpectGolden(const std::string& name, const Frame& f, int tolerance) {
    const std::string golden = std::string(WM_GOLDEN_DIR) + "/" + name + ".png";
    const char* update = std::getenv("VELTRANO_UPDATE_GOLDEN");
    if (update && std::strcmp(update, "1") == 0) {
        ASSERT_TRUE(WritePng(golden, f)) << golden;
        return;
    }
    Frame expected;
    ASSERT_TRUE(ReadPng(golden, expected)) << "missing golden " << golden << " (VELTRANO_UPDATE_GOLDEN=1 makes it)";
    ASSERT_EQ(expected.width, f.width);
    ASSERT_EQ(expected.height, f.height);
    int worst = 0, bad = 0;
    for (size_t i = 0; i < f.px.size(); ++i) {
        const int diff = std::abs(int(f.px[i]) - int(expected.px[i]));
        worst = std::max(worst, diff);
        if (diff > tolerance) ++bad;
    }
    if (bad) {
        const auto actual = std::filesystem::temp_directory_path() / (name + ".actual.png");
        WritePng(actual.string(), f);
        ADD_FAILURE() << name << ": " << bad << " channel values differ by more than " << tolerance << " (worst "
                      << worst << "); see " << actual.string();
    }
}

std::string Fixture(const char* name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

}  // namespace wmtest
