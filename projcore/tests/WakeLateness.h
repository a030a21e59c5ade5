#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

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
