// Reading the pictures that overlays show, as premultiplied frames.
#pragma once

#include <cstdint>
#include <vector>

#include "Image.h"

namespace blitkit {

// A picture at its natural size; more than one frame for an animation.
struct Picture {
    std::vector<Image> frames;
    std::vector<int64_t> frameEndsMs;  // end of each frame, from the start of the animation
};

// See-through colour (0x00BBGGRR, or -1 for none) and how far each channel
// may be off it and still be see-through.
struct ColourKey {
    int32_t colour = -1;
    int tolerance = 0;
};

// Reads a picture file with avkit. Frames beyond what fits in the memory
// budget are dropped (the picture then shows its first frame only).
bool LoadPictureFile(const char* path, ColourKey key, Picture& out);
// Copies a caller's straight BGRA bitmap.
bool LoadBitmap(const FrameView& bitmap, ColourKey key, Picture& out);

// Turns straight BGRA into premultiplied BGRA, making key-coloured pixels transparent.
void KeyAndPremultiply(uint8_t* px, size_t pixelCount, ColourKey key);

// Scales every frame to width x height (premultiplied, so edges get no dark fringe).
bool ScalePicture(Picture& picture, int width, int height);

}  // namespace blitkit
