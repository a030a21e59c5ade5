// One overlay slot: what it shows, where, and when.
#pragma once

#include <cstdint>

#include "PictureSource.h"
#include "blitkit/blitkit.h"

namespace blitkit {

enum class OverlayKind { Empty = 0, Picture = 1, Text = 2 };

struct Overlay {
    OverlayKind kind = OverlayKind::Empty;
    Picture picture;  // texts are a picture of one frame
    BkRect place{0, 0, 0, 0};
    int alpha = 255;
    int fill = BK_FILL_PLACE;
    int start = 0;
    int count = -1;  // < 0: no end
    int fadeIn = 0;
    int fadeOut = 0;
};

// How strongly the overlay shows at a frame, 0 ... 255: its alpha, scaled by
// the fades. With the timeline off every overlay shows at its alpha.
int OverlayStrength(const Overlay& overlay, int frame, bool timeline);

// The frame of an animated picture shown at a video frame (frames counted
// from the overlay's start at fps frames per second; the animation loops).
const Image& AnimationFrame(const Overlay& overlay, int frame, double fps, bool timeline);

}  // namespace blitkit
