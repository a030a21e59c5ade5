#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// How late this machine wakes a sleeping thread while a check runs: a thread
// of its own sleeps in short steps and keeps the worst overshoot. A check of
// real time allows that much beside its own tolerance, so that a busy machine
// (other builds, other tests) does not fail it, while a player that drifts or
// waits on the wrong clock, which is late on a quiet machine too, still does.
class WakeLateness {
public:
    WakeLateness() : probe_([this] { Run(); }) {}
    ~WakeLateness() { Stop(); }
    WakeLateness(const WakeLateness&) = delete;
    WakeLateness& operator=(const WakeLateness&) = delete;

    // The worst overshoot seen so far, in ms.
    int64_t WorstMs() const { return worstUs_ / 1000; }
    void Stop() {
        stop_ = true;
        if (probe_.joinable()) probe_.join();
    }

private:
    void Run() {
        using namespace std::chrono;
        constexpr auto kStep = milliseconds(2);
        while (!stop_) {
            const auto asked = steady_clock::now() + kStep;
            std::this_thread::sleep_until(asked);
            const int64_t late = duration_cast<microseconds>(steady_clock::now() - asked).count();
            worstUs_ = std::max<int64_t>(worstUs_, late);
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<int64_t> worstUs_{0};
    std::thread probe_;
};

// Frames shown against the sound clock when each was drawn, (frame ms, clock
// ms): empty when they follow it, or what is wrong. A player that drifts or
// follows the wrong clock is off for run after run of frames; a machine busy
// with other work delays a few on their own (the drawing thread kept from
// running between deciding to draw and drawing, which a probe's short sleeps
// need not see). So at most one frame in ten may be off by more than the
// tolerance, and none by more than 250 ms beyond it.
inline std::string FramesOffTheClock(const std::vector<std::pair<int64_t, int64_t>>& shown, int64_t tolerance) {
    size_t off = 0;
    std::string frames;
    for (const auto& [frame, clock] : shown) {
        const int64_t by = std::abs(frame - clock);
        if (by > tolerance + 250) return "frame " + std::to_string(frame) + " shown at " + std::to_string(clock);
        if (by > tolerance) {
            ++off;
            frames += " " + std::to_string(frame) + "@" + std::to_string(clock);
        }
    }
    if (off > shown.size() / 10)
        return std::to_string(off) + " of " + std::to_string(shown.size()) + " frames off by more than " +
               std::to_string(tolerance) + " ms:" + frames;
    return {};
}
