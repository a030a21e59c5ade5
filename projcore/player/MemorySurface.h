#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "projcore/DrawSurface.h"

// A drawing surface in memory: it keeps the last frame presented (as given,
// top row first) and when each frame came, for tests and benchmarks.
class CMemorySurface : public CDrawSurface {
public:
    struct Presented {
        std::chrono::steady_clock::time_point when;
        Rect src, dst;
    };

    void PresentFrame(const uint8_t* bits, int width, int height, bool bottomUp, const Rect& src,
                      const Rect& dst) override {
        std::lock_guard guard(mutex_);
        const size_t row = static_cast<size_t>(width) * 4;
        last_.resize(row * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y) {
            const uint8_t* from = bits + row * static_cast<size_t>(bottomUp ? height - 1 - y : y);
            std::copy(from, from + row, last_.begin() + static_cast<std::ptrdiff_t>(row * static_cast<size_t>(y)));
        }
        lastWidth_ = width;
        lastHeight_ = height;
        presented_.push_back(Presented{std::chrono::steady_clock::now(), src, dst});
    }
    void FillRect(const Rect& r, uint32_t bgra) override {
        std::lock_guard guard(mutex_);
        fills_.push_back({r, bgra});
    }

    std::vector<Presented> PresentedFrames() {
        std::lock_guard guard(mutex_);
        return presented_;
    }
    std::vector<uint8_t> LastFrame(int& width, int& height) {
        std::lock_guard guard(mutex_);
        width = lastWidth_;
        height = lastHeight_;
        return last_;
    }
    size_t FillCount() {
        std::lock_guard guard(mutex_);
        return fills_.size();
    }

private:
    struct Fill {
        Rect r;
        uint32_t bgra;
    };
    std::mutex mutex_;
    std::vector<uint8_t> last_;
    int lastWidth_ = 0, lastHeight_ = 0;
    std::vector<Presented> presented_;
    std::vector<Fill> fills_;
};
