#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

// Picture buffers shared by the conversion's stages (decoder, picture work,
// encoder), made once per job: a stage takes a free buffer, waiting while all
// are in use (which is what bounds the stages' queues), and each holder gives
// its reference back. A buffer may be held by several queued pieces of work
// at once (a picture repeated over frame slots), so buffers are counted.
// Stop wakes every waiter for good (a cancel or a failed write).
class CPvxPicturePool {
public:
    struct Buffer {
        std::vector<uint8_t> bytes;
        int format = 0;   // what the bytes hold: an avkit image format
        int refs = 0;     // under the pool's lock
    };

    explicit CPvxPicturePool(int count);
    // A free buffer of at least bytes with one reference, or null once
    // stopped. A buffer grows to the largest size asked of it, once.
    Buffer* Take(size_t bytes);
    void AddRef(Buffer* b);
    void Release(Buffer* b);
    void Stop();
    bool Stopped() const;

private:
    std::vector<Buffer> buffers_;
    mutable std::mutex lock_;
    std::condition_variable freed_;
    bool stopped_ = false;
};

// A bounded first-in first-out queue between two stages: the producer waits
// while it is full and the consumer while it is empty, on a condition.
template <typename T>
class CPvxStageQueue {
public:
    explicit CPvxStageQueue(size_t capacity) : items_(capacity) {}
    // False when closed (the item stays the caller's).
    bool Push(const T& item) {
        {
            std::unique_lock g(lock_);
            changed_.wait(g, [&] { return count_ < items_.size() || closed_; });
            if (closed_) return false;
            items_[(first_ + count_) % items_.size()] = item;
            ++count_;
        }
        changed_.notify_all();
        return true;
    }
    // Waits until an item would be taken without waiting; false when closed.
    // A single producer that waits here first never waits in Push, so it
    // holds nothing of its own while the consumer is busy.
    bool WaitForRoom() {
        std::unique_lock g(lock_);
        changed_.wait(g, [&] { return count_ < items_.size() || closed_; });
        return !closed_;
    }
    // Waits for an item; false once closed and empty.
    bool Pop(T& item) {
        std::unique_lock g(lock_);
        changed_.wait(g, [&] { return count_ > 0 || closed_; });
        if (count_ == 0) return false;
        item = items_[first_];
        first_ = (first_ + 1) % items_.size();
        --count_;
        busy_ = true;
        g.unlock();
        changed_.notify_all();   // room for a waiting producer
        return true;
    }
    // The consumer has finished the item it popped last.
    void Done() {
        {
            std::lock_guard g(lock_);
            busy_ = false;
        }
        changed_.notify_all();
    }
    // Waits until everything pushed so far has been consumed.
    void WaitIdle() {
        std::unique_lock g(lock_);
        changed_.wait(g, [&] { return (count_ == 0 && !busy_) || closed_; });
    }
    // Takes everything still queued (a cancel); the consumer goes on.
    template <typename F>
    void Drop(F release) {
        {
            std::lock_guard g(lock_);
            for (; count_ > 0; --count_, first_ = (first_ + 1) % items_.size()) release(items_[first_]);
        }
        changed_.notify_all();
    }
    void Close() {
        {
            std::lock_guard g(lock_);
            closed_ = true;
        }
        changed_.notify_all();
    }

private:
    std::vector<T> items_;
    size_t first_ = 0, count_ = 0;
    bool busy_ = false, closed_ = false;
    std::mutex lock_;
    std::condition_variable changed_;
};
