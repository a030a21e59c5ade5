#include "avkit/Deinterlacer.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr int64_t kMaxPixels = 16384LL * 16384LL;
// A pixel whose colour changed by more than this since the previous frame
// counts as moving.
constexpr int kMotionThreshold = 12;

inline int Diff(const uint8_t* a, const uint8_t* b) {
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

}  // namespace

struct AvkDeinterlacer {
    int width;
    int height;
    std::vector<uint8_t> previous;  // the last input frame, top row first
    std::vector<uint8_t> row;       // the rebuilt line
    bool hasPrevious = false;

    // Whether the picture moved at column x of line y, or of the lines around it.
    bool Moving(const uint8_t* above, const uint8_t* line, const uint8_t* below, int y, int yBelow, int x) const {
        if (!hasPrevious) return true;
        const size_t w4 = static_cast<size_t>(width) * 4;
        const size_t off = static_cast<size_t>(x) * 4;
        const uint8_t* p = previous.data() + static_cast<size_t>(y) * w4 + off;
        const uint8_t* pAbove = previous.data() + static_cast<size_t>(y - 1) * w4 + off;
        const uint8_t* pBelow = previous.data() + static_cast<size_t>(yBelow) * w4 + off;
        const int t = kMotionThreshold;
        return std::abs(line[off] - p[0]) > t || std::abs(line[off + 1] - p[1]) > t ||
               std::abs(line[off + 2] - p[2]) > t || std::abs(above[off + 1] - pAbove[1]) > t ||
               std::abs(below[off + 1] - pBelow[1]) > t;
    }

    // Rebuilds line y from the lines above and below (both of the kept field).
    void Rebuild(const uint8_t* above, const uint8_t* line, const uint8_t* below, int y, int yBelow) {
        uint8_t* out = row.data();
        for (int x = 0; x < width; ++x) {
            const size_t o = static_cast<size_t>(x) * 4;
            if (!Moving(above, line, below, y, yBelow, x)) {
                std::memcpy(out + o, line + o, 4);
                continue;
            }
            // Edge-directed: follow whichever of the three directions through
            // the missing pixel joins the most similar pixels.
            int best = Diff(above + o, below + o);
            const uint8_t* a = above + o;
            const uint8_t* b = below + o;
            if (x > 0 && x + 1 < width) {
                const int left = Diff(above + o - 4, below + o + 4);
                const int right = Diff(above + o + 4, below + o - 4);
                if (left < best) {
                    best = left;
                    a = above + o - 4;
                    b = below + o + 4;
                }
                if (right < best) {
                    a = above + o + 4;
                    b = below + o - 4;
                }
            }
            out[o] = static_cast<uint8_t>((a[0] + b[0] + 1) >> 1);
            out[o + 1] = static_cast<uint8_t>((a[1] + b[1] + 1) >> 1);
            out[o + 2] = static_cast<uint8_t>((a[2] + b[2] + 1) >> 1);
            out[o + 3] = line[o + 3];
        }
    }
};

extern "C" {

AVKIT_API AvkDeinterlacer* IMD_Create(int width, int height) {
    if (width <= 0 || height <= 0 || static_cast<int64_t>(width) * height > kMaxPixels) return nullptr;
    auto* d = new (std::nothrow) AvkDeinterlacer{width, height, {}, {}, false};
    if (!d) return nullptr;
    try {
        d->previous.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        d->row.resize(static_cast<size_t>(width) * 4);
    } catch (...) {
        delete d;
        return nullptr;
    }
    return d;
}

AVKIT_API int IMD_Deinterlace(AvkDeinterlacer* h, uint8_t* const planes[4], const int linesizes[4], int format) {
    if (!h || !planes || !linesizes || !planes[0] || format != AVK_IMAGE_BGRA32) return 0;
    const std::ptrdiff_t stride = linesizes[0];
    const size_t w4 = static_cast<size_t>(h->width) * 4;
    if (static_cast<size_t>(std::abs(stride)) < w4) return 0;
    auto rowAt = [&](int y) { return planes[0] + stride * y; };

    // The first field (even lines, counting from the top) is kept; every odd
    // line is rebuilt from its neighbours, which are never changed, so the
    // work can happen in place.
    for (int y = 1; y < h->height; y += 2) {
        uint8_t* line = rowAt(y);
        const uint8_t* above = rowAt(y - 1);
        const int yBelow = y + 1 < h->height ? y + 1 : y - 1;  // the last line has nothing below
        const uint8_t* below = rowAt(yBelow);
        h->Rebuild(above, line, below, y, yBelow);
        std::memcpy(h->previous.data() + static_cast<size_t>(y) * w4, line, w4);
        std::memcpy(line, h->row.data(), w4);
    }
    for (int y = 0; y < h->height; y += 2) std::memcpy(h->previous.data() + static_cast<size_t>(y) * w4, rowAt(y), w4);
    h->hasPrevious = true;
    return 1;
}

AVKIT_API void IMD_Free(AvkDeinterlacer* h) { delete h; }

}
