#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "projcore/Listener.h"

// A broadcaster: an ordered set of listeners (by address) that each message is
// handed to. It does not own its listeners.
//
// Worker threads broadcast while the window thread subscribes and
// unsubscribes, so the set is guarded. The lock is not held while a listener
// runs (a listener may post to another thread or change the set itself);
// instead the walk re-finds its place by address after every call, so a
// listener removed during a broadcast is not called afterwards, and
// RemoveListener waits until no other thread is still inside the removed
// listener, so its owner may destroy it as soon as the call returns.
class CBaseBrocaster {
public:
    virtual void Notify(int32_t id, intptr_t p1, intptr_t p2) { Broadcast(this, id, p1, p2); }
    virtual void Broadcast(void* sender, int32_t id, intptr_t p1, intptr_t p2);
    virtual bool AddListener(CBaseListener* listener);
    virtual bool RemoveListener(CBaseListener* listener);
    virtual void RemoveAllListeners();
    virtual ~CBaseBrocaster() = default;

private:
    // Whether another thread is inside `listener` (any listener when null).
    bool CalledElsewhere(const CBaseListener* listener) const;

    mutable std::mutex mutex_;
    std::condition_variable callDone_;
    std::set<CBaseListener*> listeners_;
    std::vector<std::pair<std::thread::id, CBaseListener*>> inFlight_;
};
