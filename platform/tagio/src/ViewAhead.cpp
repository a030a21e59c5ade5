#include "ViewAhead.h"

#include <algorithm>
#include <sys/mman.h>
#include <unistd.h>

#ifndef MADV_POPULATE_READ
#define MADV_POPULATE_READ 22   // Linux 5.14; older kernels refuse it, and the walk faults as usual
#endif

namespace tagio {

namespace {

// How far ahead of the view being walked pages are mapped in, and how far
// behind it they are kept for writes still gathered from them. A stretch is
// mapped in a piece at a time, so that a walk that catches up is not left
// waiting for more than one piece.
constexpr size_t kAhead = 4u << 20;
constexpr size_t kBehind = 4u << 20;
constexpr size_t kPiece = 1u << 20;
// A thread held up on a busy machine must not leave the whole file mapped
// behind a walk that went on: past this lag the walk lets go itself.
constexpr size_t kLagLimit = 4 * kBehind;

size_t PageDown(size_t n) {
    static const size_t kPage = size_t(::sysconf(_SC_PAGESIZE));
    return n - n % kPage;
}

}  // namespace

ViewAhead::ViewAhead(const uint8_t* base, size_t length, std::atomic<size_t>& released)
    : base_(base), length_(length), released_(released) {
    thread_ = std::thread([this] { Run(); });
}

ViewAhead::~ViewAhead() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void ViewAhead::Release(size_t to) {
    size_t from = released_.load(std::memory_order_relaxed);
    while (from < to && !released_.compare_exchange_weak(from, to, std::memory_order_relaxed)) {
    }
    // Dropping the pages of the mapping leaves the file's cached pages
    // alone; a write still gathered from them faults them back in.
    if (from < to) ::madvise(const_cast<uint8_t*>(base_ + from), to - from, MADV_DONTNEED);
}

void ViewAhead::WalkAt(size_t from, size_t to) {
    if (from > released_.load(std::memory_order_relaxed) + kLagLimit) Release(PageDown(from - kBehind));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        walkFrom_ = from;
        walkTo_ = to;
        asked_ = true;
    }
    wake_.notify_one();
}

void ViewAhead::Run() {
    size_t readied = 0;    // pages below this were mapped in (or passed by the walk)
    bool canReady = true;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || asked_; });
        if (stop_) return;
        asked_ = false;
        const size_t from = walkFrom_, to = walkTo_;
        lock.unlock();
        Release(PageDown(from > kBehind ? from - kBehind : 0));
        // Mapping in fails, never faults, on pages past a file cut short
        // since it was mapped: the walk's own guarded reads find the cut.
        readied = std::max({readied, PageDown(from), released_.load(std::memory_order_relaxed)});
        // Pieces start on page boundaries; the last may end with the file.
        const size_t goal = std::min(length_, PageDown(to + kAhead));
        while (canReady && readied < goal) {
            const size_t end = std::min(goal, readied + kPiece);
            if (::madvise(const_cast<uint8_t*>(base_ + readied), end - readied, MADV_POPULATE_READ) != 0)
                canReady = false;   // a cut file, or a kernel without it: the walk faults as usual
            // A walk that outran this thread may have let go of the piece
            // while it was being mapped in: nothing would let go of it again.
            const size_t released = released_.load(std::memory_order_relaxed);
            if (released > readied)
                ::madvise(const_cast<uint8_t*>(base_ + readied), std::min(end, released) - readied, MADV_DONTNEED);
            readied = end;
            lock.lock();
            const bool moved = asked_ || stop_;
            lock.unlock();
            if (moved) break;   // a newer view: start again from where the walk now is
        }
        lock.lock();
    }
}

}  // namespace tagio
