// The time line of one repaired output: each stream's timestamps mapped so
// they run on at the stream's own pace. A step of a stream by more than a
// jump (forward or back, a restart from zero among them) is closed up; the
// two streams cross one jump at slightly different tags, so a stream that
// jumps to where the other already is takes the other's mapping, and sound
// is the clock: when the pictures crossed first, they are moved to the
// sound's mapping. A small step back is smoothed by holding the stream's
// time; packets are never reordered.
#pragma once

#include <cstdint>

class CRepairTimeline {
public:
    enum Stream { kAudio = 0, kVideo = 1 };
    enum Event { kNone, kJump, kStepBack };
    // A step of more than this (or of more than a few of the stream's own
    // steps, for slow streams) is a jump; a step back of up to it is smoothed.
    static constexpr int64_t kJumpMs = 1000;

    struct Mapped {
        uint32_t time = 0;     // ms in the output
        Event event = kNone;
        int64_t amount = 0;    // kJump: the raw step closed up; kStepBack: ms held
    };

    // raw: the tag's timestamp; blockMs: an audio block's own length when
    // known (else 0).
    Mapped Map(Stream s, uint32_t raw, int64_t blockMs);
    // ms after the last mapped tag of any stream.
    uint32_t Now() const { return uint32_t(now_); }
    // Where the last tag of each stream ends (its time plus its own step).
    int64_t End() const;

private:
    struct State {
        bool has = false;
        int64_t lastRaw = 0, lastOut = 0;
        int64_t step = 0;        // the stream's usual step, ms
        int64_t offset = 0;      // out = raw + offset
        int64_t tick = 0;        // when the stream last mapped a tag
        int64_t jumpTick = -1;   // when it last crossed a jump
    };
    State st_[2];
    int64_t ticks_ = 0;
    int64_t now_ = 0;
};
