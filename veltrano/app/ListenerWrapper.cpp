#include "app/ListenerWrapper.h"

#include <algorithm>
#include <cstdio>

namespace {
// The wrappers this thread is dispatching for, innermost last: a handler may
// remove handlers of its own wrapper without waiting for itself.
thread_local std::vector<const TListenerWrapper*> t_dispatching;
}  // namespace

TListenerWrapper::TListenerWrapper() : face_(*this) {}

TListenerWrapper::~TListenerWrapper() {
    std::unique_lock lock(mutex_);
    WaitForOtherDispatches(lock);
    for (auto& bucket : buckets_) bucket.clear();
}

void TListenerWrapper::Face::OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) {
    owner_.Dispatch(sender, static_cast<uint32_t>(id), p1, p2);
}

TListenerWrapper::MessageHandlerEntry* TListenerWrapper::Find(uint32_t id) {
    for (auto& entry : buckets_[id & (kBucketCount - 1)])
        if (entry.id == id) return &entry;
    return nullptr;
}

bool TListenerWrapper::AddHandler(uint32_t id, MessageHandler handler) {
    if (!handler.code) return false;
    std::lock_guard lock(mutex_);
    MessageHandlerEntry* entry = Find(id);
    if (!entry) entry = &buckets_[id & (kBucketCount - 1)].emplace_back(MessageHandlerEntry{id, {}});
    for (const auto& h : entry->handlers)
        if (h.code == handler.code) return false;
    entry->handlers.push_back(handler);
    return true;
}

bool TListenerWrapper::RemoveHandler(uint32_t id, MessageHandler handler) {
    std::unique_lock lock(mutex_);
    MessageHandlerEntry* entry = Find(id);
    if (!entry) return false;
    auto it = std::find_if(entry->handlers.begin(), entry->handlers.end(),
                           [&](const MessageHandler& h) { return h.code == handler.code; });
    if (it == entry->handlers.end()) return false;
    entry->handlers.erase(it);  // an emptied entry stays in its bucket
    // A dispatch on an engine thread may hold a copy that still names the
    // handler: wait it out so the caller may free the handler's object.
    WaitForOtherDispatches(lock);
    return true;
}

void TListenerWrapper::WaitForOtherDispatches(std::unique_lock<std::mutex>& lock) {
    const int mine = static_cast<int>(std::count(t_dispatching.begin(), t_dispatching.end(), this));
    idle_.wait(lock, [&] { return inFlight_ == mine; });
}

void TListenerWrapper::Dispatch(void* sender, uint32_t id, intptr_t p1, intptr_t p2) {
    std::vector<MessageHandler> handlers;
    {
        std::lock_guard lock(mutex_);
        MessageHandlerEntry* entry = Find(id);
        if (!entry || entry->handlers.empty()) return;
        // A copy, so a handler may add or remove handlers while the loop runs.
        handlers = entry->handlers;
        ++inFlight_;
    }
    t_dispatching.push_back(this);
    for (const auto& h : handlers) {
        try {
            h.code(h.target, sender, id, p1, p2);
        } catch (...) {
            // Nothing may unwind into the engine; the window shows its own errors.
            std::fprintf(stderr, "veltrano: handler of message %u failed\n", id);
        }
    }
    t_dispatching.pop_back();
    {
        std::lock_guard lock(mutex_);
        --inFlight_;
    }
    idle_.notify_all();
}
