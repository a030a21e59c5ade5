// Helpers shared by the watermark tests: a listener that records what the
// manager announces, frames, and golden pictures.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "projcore/Listener.h"
#include "projcore/Records.h"

namespace wmtest {

// Every notification with its p2, and the record p1 pointed to for 4361 and 4366.
struct Recorder : CBaseListener {
    struct Item {
        int32_t id;
        intptr_t p2;
        WaterMarkPlace place;
        WaterMarkMove move;
    };
    std::vector<Item> items;
    void OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) override;
    std::vector<int32_t> Ids() const;
    void Clear() { items.clear(); }
};

// A straight BGRA frame, top row first, width * 4 bytes per row.
struct Frame {
    int width = 0, height = 0;
    std::vector<uint8_t> px;
    Frame() = default;
    Frame(int w, int h);
    uint8_t* data() { return px.data(); }
    int stride() const { return width * 4; }
    uint8_t* at(int x, int y) { return px.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

// An opaque frame with soft gradients and a faint checker, so blending shows.
Frame Background(int width, int height);
bool WritePng(const std::string& path, const Frame& f);
bool ReadPng(const std::string& path, Frame& f);
// Compares with projcore/tests/golden/<name>.png, each channel within
// tolerance; VELTRANO_UPDATE_GOLDEN=1 writes the golden instead.
void ExpectGolden(const std::string& name, const Frame& f, int tolerance = 2);

std::string Fixture(const char* name);

}  // namespace wmtest
