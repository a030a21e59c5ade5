#include "convert/PvxPicturePool.h"

CPvxPicturePool::CPvxPicturePool(int count) : buffers_(static_cast<size_t>(count)) {}

CPvxPicturePool::Buffer* CPvxPicturePool::Take(size_t bytes) {
    Buffer* taken = nullptr;
    {
        std::unique_lock g(lock_);
        while (!taken) {
            if (stopped_) return nullptr;
            for (Buffer& b : buffers_) {
                if (b.refs == 0) {
                    b.refs = 1;
                    taken = &b;
                    break;
                }
            }
            if (!taken) freed_.wait(g);
        }
    }
    try {
        if (taken->bytes.size() < bytes) taken->bytes.resize(bytes);
    } catch (...) {
        Release(taken);
        throw;
    }
    return taken;
}

void CPvxPicturePool::AddRef(Buffer* b) {
    std::lock_guard g(lock_);
    ++b->refs;
}

void CPvxPicturePool::Release(Buffer* b) {
    if (!b) return;
    {
        std::lock_guard g(lock_);
        if (--b->refs > 0) return;
    }
    freed_.notify_all();
}

void CPvxPicturePool::Stop() {
    {
        std::lock_guard g(lock_);
        stopped_ = true;
    }
    freed_.notify_all();
}

bool CPvxPicturePool::Stopped() const {
    std::lock_guard g(lock_);
    return stopped_;
}
