#include "convert/PvxPicturePool.h"

CPvxPicturePool::CPvxPicturePool(int count, size_t bytes) : buffers_(static_cast<size_t>(count)) {
    for (Buffer& b : buffers_) b.bytes.assign(bytes, 0);
}

CPvxPicturePool::Buffer* CPvxPicturePool::Take() {
    std::unique_lock g(lock_);
    for (;;) {
        if (stopped_) return nullptr;
        for (Buffer& b : buffers_) {
            if (b.refs == 0) {
                b.refs = 1;
                return &b;
            }
        }
        freed_.wait(g);
    }
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
