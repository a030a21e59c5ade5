#pragma once

// The shell's side of the engine's message bus: to the engine a listener
// (GetListener), to the windows a table of handlers per message identifier.
// Handlers run in registration order on the thread that delivered the
// message; those that can arrive on engine threads must only copy their data
// and post it to the window thread (WindowMessages.h).

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "projcore/Listener.h"

using MessageHandlerCode = void (*)(void* target, void* sender, uint32_t id, intptr_t p1, intptr_t p2);

// A bound method: the code identifies the handler, the target is its object.
struct MessageHandler {
    MessageHandlerCode code = nullptr;
    void* target = nullptr;
};

// Binds a member `void T::Method(void* sender, uint32_t id, intptr_t p1, intptr_t p2)`.
// Every method gets its own code pointer, which is what duplicate checks compare.
template <auto Method, class T>
MessageHandler BindHandler(T* target) {
    return {[](void* t, void* sender, uint32_t id, intptr_t p1, intptr_t p2) {
                (static_cast<T*>(t)->*Method)(sender, id, p1, p2);
            },
            target};
}

class TListenerWrapper {
public:
    static constexpr size_t kBucketCount = 128;

    TListenerWrapper();
    ~TListenerWrapper();
    TListenerWrapper(const TListenerWrapper&) = delete;
    TListenerWrapper& operator=(const TListenerWrapper&) = delete;

    // False (and nothing changes) when a handler with the same code is
    // already registered for the identifier; the target is not compared.
    bool AddHandler(uint32_t id, MessageHandler handler);
    // Removes the first handler with that code; false when there is none.
    // When it returns, no other thread is still running a handler of this
    // wrapper, so the handler's object may be destroyed.
    bool RemoveHandler(uint32_t id, MessageHandler handler);

    CBaseListener* GetListener() { return &face_; }

private:
    struct MessageHandlerEntry {
        uint32_t id;
        std::vector<MessageHandler> handlers;
    };
    using MessageHandlerEntryArr = std::vector<MessageHandlerEntry>;

    class Face : public CBaseListener {
    public:
        explicit Face(TListenerWrapper& owner) : owner_(owner) {}
        void OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) override;

    private:
        TListenerWrapper& owner_;
    };

    void Dispatch(void* sender, uint32_t id, intptr_t p1, intptr_t p2);
    MessageHandlerEntry* Find(uint32_t id);
    // Waits until every dispatch running on another thread has finished.
    void WaitForOtherDispatches(std::unique_lock<std::mutex>& lock);

    std::array<MessageHandlerEntryArr, kBucketCount> buckets_;
    std::mutex mutex_;
    std::condition_variable idle_;
    int inFlight_ = 0;  // dispatches running, on any thread
    Face face_;
};
