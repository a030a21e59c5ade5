#include "Overlay.h"

#include <algorithm>
#include <cmath>

namespace blitkit {

int OverlayStrength(const Overlay& o, int frame, bool timeline) {
    if (o.kind == OverlayKind::Empty || o.alpha <= 0) return 0;
    if (!timeline) return o.alpha;
    // 64 bits: start + count may pass INT_MAX.
    const int64_t f = frame;
    const int64_t start = o.start;
    if (f < start) return 0;
    const bool bounded = o.count >= 0;
    const int64_t end = start + o.count;  // exclusive
    if (bounded && f >= end) return 0;
    // The fade-in ramps up from nothing at the start frame; the fade-out
    // ramps down so that the frame after the last one would show nothing.
    double factor = 1.0;
    if (o.fadeIn > 0 && f - start < o.fadeIn) factor = static_cast<double>(f - start) / o.fadeIn;
    if (bounded && o.fadeOut > 0 && end - f < o.fadeOut)
        factor = std::min(factor, static_cast<double>(end - f) / o.fadeOut);
    return static_cast<int>(std::lround(o.alpha * factor));
}

const Image& AnimationFrame(const Overlay& o, int frame, double fps, bool timeline) {
    const Picture& p = o.picture;
    if (p.frames.size() < 2 || fps <= 0 || !timeline) return p.frames.front();
    const int64_t loopMs = p.frameEndsMs.back();
    const int64_t elapsed = static_cast<int64_t>(frame) - o.start;
    if (elapsed < 0 || loopMs <= 0) return p.frames.front();
    const auto ms = static_cast<int64_t>(std::floor(static_cast<double>(elapsed) * 1000.0 / fps)) % loopMs;
    for (size_t i = 0; i < p.frames.size(); ++i)
        if (ms < p.frameEndsMs[i]) return p.frames[i];
    return p.frames.back();
}

}  // namespace blitkit
