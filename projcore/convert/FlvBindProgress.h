#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// The fields a conversion job shares with its watcher while the FLV binding
// runs: position and total in 100 ns units, and the state (0 running,
// 1 paused, 2 finished, 3 cancel asked). A paused binding waits on a
// condition, woken by SetState, instead of polling.
class CFlvBindProgress {
public:
    enum State : int32_t { kRunning = 0, kPaused = 1, kFinished = 2, kCancel = 3 };

    std::atomic<int64_t> position{0};
    std::atomic<int64_t> total{0};

    int32_t State() const { return state_.load(); }
    void SetState(int32_t s) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            state_ = s;
        }
        changed_.notify_all();
    }
    // Replaces the state unless it is finished; returns the old state.
    int32_t ChangeUnlessFinished(int32_t s) {
        int32_t old;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            old = state_.load();
            if (old != kFinished) state_ = s;
        }
        changed_.notify_all();
        return old;
    }
    // Returns at once unless paused; otherwise when the state changes.
    int32_t WaitWhilePaused() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return state_.load() != kPaused; });
        return state_.load();
    }

private:
    std::atomic<int32_t> state_{kRunning};
    std::mutex mutex_;
    std::condition_variable changed_;
};
