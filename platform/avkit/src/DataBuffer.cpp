// DB2_*: a growable ring of bytes. The mutex form takes its lock in every
// call so one thread may push while another reads.
#include "avkit/avkit.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>

struct AvkDataBuffer {
    uint8_t* ring = nullptr;
    size_t capacity = 0;   // a power of two, or 0
    size_t head = 0;       // read index
    size_t size = 0;
    std::optional<std::mutex> lock;

    ~AvkDataBuffer() { std::free(ring); }

    bool Reserve(size_t need) {
        if (need <= capacity) return true;
        size_t cap = capacity ? capacity : 4096;
        while (cap < need) cap *= 2;
        auto* fresh = static_cast<uint8_t*>(std::malloc(cap));
        if (!fresh) return false;
        Copy(fresh, size);   // unwrap into the new block
        std::free(ring);
        ring = fresh;
        capacity = cap;
        head = 0;
        return true;
    }

    // Copies the first n held bytes to dst without consuming them.
    void Copy(uint8_t* dst, size_t n) const {
        const size_t first = std::min(n, capacity - head);
        if (first) std::memcpy(dst, ring + head, first);
        if (n > first) std::memcpy(dst + first, ring, n - first);
    }

    int Push(const uint8_t* data, size_t n) {
        if (size + n > static_cast<size_t>(INT32_MAX) || !Reserve(size + n)) return 0;
        const size_t tail = (head + size) & (capacity - 1);
        const size_t first = std::min(n, capacity - tail);
        std::memcpy(ring + tail, data, first);
        if (n > first) std::memcpy(ring, data + first, n - first);
        size += n;
        return static_cast<int>(n);
    }

    int Read(uint8_t* dst, size_t n) {
        n = std::min(n, size);
        if (n == 0) return 0;
        Copy(dst, n);
        head = (head + n) & (capacity - 1);
        size -= n;
        return static_cast<int>(n);
    }
};

namespace {

template <class F>
auto Locked(AvkDataBuffer* h, F&& f) {
    if (h->lock) {
        std::lock_guard<std::mutex> guard(*h->lock);
        return f();
    }
    return f();
}

}  // namespace

extern "C" AVKIT_API AvkDataBuffer* DB2_Create(void) { return new (std::nothrow) AvkDataBuffer; }

extern "C" AVKIT_API AvkDataBuffer* DB2_CreateWithMutex(void) {
    auto* h = new (std::nothrow) AvkDataBuffer;
    if (h) h->lock.emplace();
    return h;
}

extern "C" AVKIT_API int DB2_Push(AvkDataBuffer* h, const void* data, int bytes) {
    if (!h || !data || bytes <= 0) return 0;
    return Locked(h, [&] { return h->Push(static_cast<const uint8_t*>(data), bytes); });
}

extern "C" AVKIT_API int DB2_Read(AvkDataBuffer* h, void* dst, int bytes) {
    if (!h || !dst || bytes <= 0) return 0;
    return Locked(h, [&] { return h->Read(static_cast<uint8_t*>(dst), bytes); });
}

extern "C" AVKIT_API int DB2_GetDataSize(AvkDataBuffer* h) {
    if (!h) return 0;
    return Locked(h, [&] { return static_cast<int>(h->size); });
}

extern "C" AVKIT_API void DB2_Clear(AvkDataBuffer* h) {
    if (!h) return;
    Locked(h, [&] {
        h->head = 0;
        h->size = 0;
    });
}

extern "C" AVKIT_API void DB2_Delete(AvkDataBuffer* h) { delete h; }
