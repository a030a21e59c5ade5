#include "RepairTimeline.h"

#include <algorithm>
#include <cstdlib>

namespace {
constexpr int64_t kDefaultStep[2] = {23, 40};   // an AAC block at 44.1 kHz, a picture at 25 fps
constexpr int64_t kMaxTime = 0xFFFFFFFFll;
}  // namespace

CRepairTimeline::Mapped CRepairTimeline::Map(Stream s, uint32_t raw, int64_t blockMs) {
    State& me = st_[s];
    State& other = st_[1 - s];
    const int64_t r = raw;
    const bool nearOther = other.has && std::llabs(r - other.lastRaw) <= kJumpMs;
    Mapped m;
    ++ticks_;
    if (!me.has) {
        // The first tag of a stream starts with the other stream when it is
        // near it, else where the output stands (0 for the first of all).
        if (nearOther) me.offset = other.offset;
        else me.offset = (other.has ? other.lastOut : 0) - r;
    } else {
        const int64_t d = r - me.lastRaw;
        const int64_t step = me.step > 0 ? me.step : kDefaultStep[s];
        if (d > std::max(kJumpMs, 4 * step) || d < -kJumpMs) {
            m.event = kJump;
            m.amount = d;
            const int64_t continuous = me.lastOut + step - r;
            const bool otherCrossed = other.jumpTick > me.tick;
            if (nearOther && s == kAudio && otherCrossed) {
                me.offset = continuous;
                other.offset = continuous;   // the pictures follow the sound
            } else if (nearOther) {
                me.offset = other.offset;
            } else {
                me.offset = continuous;
            }
            me.jumpTick = ticks_;
        } else if (d > 0) {
            me.step = s == kAudio && blockMs > 0 ? blockMs : d;
        }
    }
    int64_t out = r + me.offset;
    if (out < 0) out = 0;
    if (me.has && out <= me.lastOut) {
        const int64_t held = me.lastOut + 1 - out;
        if (m.event == kNone) {
            m.event = kStepBack;
            m.amount = held;
        }
        out = me.lastOut + 1;
    }
    out = std::min(out, kMaxTime);
    if (s == kAudio && blockMs > 0 && me.step <= 0) me.step = blockMs;
    me.has = true;
    me.lastRaw = r;
    me.lastOut = out;
    me.tick = ticks_;
    now_ = std::max(now_, out);
    m.time = uint32_t(out);
    return m;
}

int64_t CRepairTimeline::End() const {
    int64_t end = 0;
    for (int s = 0; s < 2; ++s)
        if (st_[s].has) end = std::max(end, st_[s].lastOut + (st_[s].step > 0 ? st_[s].step : kDefaultStep[s]));
    return end;
}
