#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <type_traits>

#include "projcore/Listener.h"

// A listener with a handler table: per message id, an ordered set of
// {context object, member handler} pairs. Handlers are registered once in the
// owning manager's constructor and never removed, so dispatching needs no lock.
class CListenerImpl : public CBaseListener {
public:
    // Calls every handler registered for id, in (context, handler) order.
    // A failure a handler lets escape is swallowed here so it never unwinds
    // into the sender (the shell, or a worker thread's broadcast loop).
    void OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) override;
    ~CListenerImpl() override = default;

    template <class T>
    using Handler = void (T::*)(void* sender, int32_t id, intptr_t p1, intptr_t p2);

    // Adds {context, handler} under id; a pair registered twice is kept once.
    // Ignored when context or handler is null.
    template <class T>
    void Register(T* context, int32_t id, Handler<T> handler) {
        if (!context || !handler) return;
        Entry e{};
        e.context = context;
        static_assert(sizeof(handler) <= sizeof(e.handler));
        std::memcpy(e.handler, &handler, sizeof(handler));
        e.invoke = [](void* ctx, const unsigned char* raw, void* s, int32_t i, intptr_t a, intptr_t b) {
            Handler<T> h;
            std::memcpy(&h, raw, sizeof(h));
            (static_cast<T*>(ctx)->*h)(s, i, a, b);
        };
        table_[id].insert(e);
    }

private:
    struct Entry {
        void* context;
        // The member pointer's bytes: they order the set and identify the pair.
        unsigned char handler[2 * sizeof(void*)];
        void (*invoke)(void*, const unsigned char*, void*, int32_t, intptr_t, intptr_t);

        bool operator<(const Entry& o) const {
            if (context != o.context) return std::less<void*>()(context, o.context);
            return std::memcmp(handler, o.handler, sizeof(handler)) < 0;
        }
    };
    std::map<int32_t, std::set<Entry>> table_;
};

// The free form the engine's managers use in their constructors.
template <class T>
void RegisterMessageHandler(T* context, CListenerImpl* listener, int32_t id,
                            CListenerImpl::Handler<T> handler) {
    if (listener) listener->Register(context, id, handler);
}
