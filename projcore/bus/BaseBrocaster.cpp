#include "bus/BaseBrocaster.h"

#include <algorithm>
#include <cstdio>

void CBaseBrocaster::Broadcast(void* sender, int32_t id, intptr_t p1, intptr_t p2) {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    auto it = listeners_.begin();
    while (it != listeners_.end()) {
        CBaseListener* listener = *it;
        inFlight_.emplace_back(self, listener);
        lock.unlock();
        try {
            listener->OnMessage(sender, id, p1, p2);
        } catch (...) {
            // A subscriber's failure must not stop the others or unwind the
            // broadcasting thread.
            std::fprintf(stderr, "projcore: a listener failed on message %d\n", id);
        }
        lock.lock();
        auto mine = std::find(inFlight_.begin(), inFlight_.end(), std::make_pair(self, listener));
        inFlight_.erase(mine);
        callDone_.notify_all();
        it = listeners_.upper_bound(listener);
    }
}

bool CBaseBrocaster::AddListener(CBaseListener* listener) {
    if (!listener) return false;
    std::lock_guard lock(mutex_);
    return listeners_.insert(listener).second;
}

bool CBaseBrocaster::RemoveListener(CBaseListener* listener) {
    if (!listener) return false;
    std::unique_lock lock(mutex_);
    if (listeners_.erase(listener) == 0) return false;
    callDone_.wait(lock, [&] { return !CalledElsewhere(listener); });
    return true;
}

void CBaseBrocaster::RemoveAllListeners() {
    std::unique_lock lock(mutex_);
    listeners_.clear();
    callDone_.wait(lock, [&] { return !CalledElsewhere(nullptr); });
}

bool CBaseBrocaster::CalledElsewhere(const CBaseListener* listener) const {
    const auto self = std::this_thread::get_id();
    return std::any_of(inFlight_.begin(), inFlight_.end(), [&](const auto& call) {
        return call.first != self && (!listener || call.second == listener);
    });
}
