// Frames for the tests, PNG reading and writing, and golden comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "blitkit/blitkit.h"

namespace bktest {

// A straight BGRA frame, top-down, width * 4 bytes per row.
struct Frame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> px;

    Frame() = default;
    Frame(int w, int h, uint32_t bgra = 0xff000000);
    uint8_t* data() { return px.data(); }
    int stride() const { return width * 4; }
    uint8_t* at(int x, int y) { return px.data() + (static_cast<size_t>(y) * width + x) * 4; }
    const uint8_t* at(int x, int y) const { return px.data() + (static_cast<size_t>(y) * width + x) * 4; }
    BkBitmap bitmap() { return BkBitmap{width, height, stride(), px.data()}; }
};

// An opaque frame with soft colour gradients, so that blending shows.
Frame GradientFrame(int width, int height);
// The same frame with its rows in the opposite order.
Frame Flipped(const Frame& f);

bool WritePng(const std::string& path, const Frame& f);
bool ReadPng(const std::string& path, Frame& f);

// A fixture picture path, and a scratch directory for files a test makes.
std::string Fixture(const char* name);
std::string ScratchPath(const std::string& name);

// Compares with the committed golden picture, each channel within tolerance.
// BLITKIT_UPDATE_GOLDEN=1 writes the golden instead. On a mismatch the frame
// is written to the scratch directory for a look.
void ExpectMatchesGolden(const std::string& name, const Frame& f, int tolerance = 2);

}  // namespace bktest
