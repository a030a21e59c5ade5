// The drawer behind BkDrawer: its slots, its settings and its lock.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "Overlay.h"

struct BkDrawer {
    mutable std::mutex lock;
    std::vector<std::unique_ptr<blitkit::Overlay>> slots;
    std::unique_ptr<blitkit::Overlay> background;
    bool timeline = false;
    double fps = 25.0;
    int frame = 0;
    // Taken by each overlay registered after they are set.
    int nextAlpha = 255;
    int nextTolerance = 0;
    int fill = BK_FILL_PLACE;
};

namespace blitkit {

// Draws what the drawer shows at its current frame (the background first
// when withBackground). The caller holds the drawer's lock.
void DrawLocked(const BkDrawer& d, const FrameView& frame, bool withBackground);

}  // namespace blitkit
