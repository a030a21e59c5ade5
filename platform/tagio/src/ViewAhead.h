// Readies a mapped file for a forward walk on a thread of its own: the
// pages just ahead of the walk are mapped in while the walk is still
// busy behind them, and those well behind it are let go again. The walk then
// takes no page faults and unmaps nothing itself, and the process keeps
// only a few views' worth of the file mapped whatever its size.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

namespace tagio {

class ViewAhead {
public:
    // base, length: a read-only shared mapping of the whole file, which
    // outlives this object; released: its mark of the pages let go (below
    // it), which writers read too.
    ViewAhead(const uint8_t* base, size_t length, std::atomic<size_t>& released);
    ~ViewAhead();
    ViewAhead(const ViewAhead&) = delete;
    ViewAhead& operator=(const ViewAhead&) = delete;

    // The walk now reads [from, to): what follows it is readied, what lies
    // well before it is let go. Never waits for the work it asks for.
    void WalkAt(size_t from, size_t to);

private:
    void Run();
    // Lets go of the pages before `to` not let go yet, on whichever thread
    // gets there first.
    void Release(size_t to);

    const uint8_t* const base_;
    const size_t length_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool asked_ = false;
    size_t walkFrom_ = 0, walkTo_ = 0;   // the latest view the walk asked for
    std::atomic<size_t>& released_;   // pages below this were let go
    std::thread thread_;
};

}  // namespace tagio
