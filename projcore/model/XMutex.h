#pragma once

#include <mutex>

// The engine's lock for state that the window thread changes while a player or
// conversion thread reads it. Its owner may take it again (recursive), as the
// engine's nested calls expect.
class CXMutex {
public:
    CXMutex() = default;
    CXMutex(const CXMutex&) = delete;
    CXMutex& operator=(const CXMutex&) = delete;
    virtual ~CXMutex() = default;

    void lock() { mutex_.lock(); }
    bool try_lock() { return mutex_.try_lock(); }
    void unlock() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};
