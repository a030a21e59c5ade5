// A file opened for binary reading with 64-bit positions. Reads go through
// pread so that ReadAt and Read never disturb each other.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <algorithm>
#include <atomic>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileHandles.h"

namespace tagio {

int64_t ReadFullyAt(int fd, int64_t position, void* buffer, uint32_t count) {
    auto* out = static_cast<char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, out + done, count - done, position + done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;   // end of file
        done += static_cast<uint32_t>(n);
    }
    return done;
}

Mapping::~Mapping() {
    if (base && !read && !within) ::munmap(const_cast<uint8_t*>(base), length);
}

const Mapping* MapFile(TagioFileReadAble* h) {
    if (h->mapTried) return h->map.get();
    h->mapTried = true;
    if (h->size <= 0 || uint64_t(h->size) > SIZE_MAX) return nullptr;
    void* p = ::mmap(nullptr, size_t(h->size), PROT_READ, MAP_PRIVATE, h->fd, 0);
    if (p == MAP_FAILED) return nullptr;
    ::madvise(p, size_t(h->size), MADV_SEQUENTIAL);
    auto m = std::make_shared<Mapping>();
    m->base = static_cast<const uint8_t*>(p);
    m->length = size_t(h->size);
    h->map = std::move(m);
    return h->map.get();
}

// The whole file mapped once for views readied ahead of the walk; false
// (views are mapped one by one) when it cannot be.
static bool MapWhole(TagioFileReadAble* h) {
    if (h->whole) return true;
    // Only where the address space dwarfs any file: a whole file mapped in
    // 32 bits would leave too little room for anything else.
    void* p = sizeof(void*) < 8 || uint64_t(h->size) > SIZE_MAX
                  ? MAP_FAILED
                  : ::mmap(nullptr, size_t(h->size), PROT_READ, MAP_SHARED, h->fd, 0);
    if (p == MAP_FAILED) {
        h->viewAheadWanted = false;
        return false;
    }
    auto m = std::make_shared<Mapping>();
    m->base = static_cast<const uint8_t*>(p);
    m->length = size_t(h->size);
    try {
        h->viewAhead = std::make_unique<ViewAhead>(m->base, m->length, m->released);
    } catch (...) {
        // No thread to spare, and nothing would let go of the pages behind
        // the walk: views are mapped one by one instead (m unmaps the file).
        h->viewAheadWanted = false;
        return false;
    }
    h->whole = std::move(m);
    return true;
}

int64_t ViewMapped(TagioFileReadAble* h, int64_t position, uint32_t count, uint32_t ahead,
                   const uint8_t** bytes) {
    static const uint8_t kNothing = 0;
    if (position >= h->size) {
        *bytes = &kNothing;
        return 0;
    }
    const Mapping* v = h->view.get();
    const bool holds = v && position >= v->start &&
                       (position + count <= v->start + int64_t(v->length) ||
                        v->start + int64_t(v->length) >= h->size);
    if (!holds) {
        static const int64_t kPage = ::sysconf(_SC_PAGESIZE);
        const int64_t start = position - position % kPage;
        const int64_t want = std::max<int64_t>({count, ahead, kViewBytes});
        const int64_t end = std::min(h->size, position + want);
        if (uint64_t(end - start) > SIZE_MAX) return kNotMapped;
        auto m = std::make_shared<Mapping>();
        if (h->viewAheadWanted && MapWhole(h)) {
            // A stretch of the whole mapping, readied ahead of the walk.
            m->base = h->whole->base + start;
            m->within = h->whole;
            h->viewAhead->WalkAt(size_t(start), size_t(end));
        } else {
            void* p = ::mmap(nullptr, size_t(end - start), PROT_READ, MAP_SHARED, h->fd, start);
            if (p == MAP_FAILED) return kNotMapped;
            m->base = static_cast<const uint8_t*>(p);
        }
        m->length = size_t(end - start);
        m->start = start;
        // The old view is unmapped here unless a writer still holds it.
        h->view = std::move(m);
        v = h->view.get();
    }
    *bytes = v->base + (position - v->start);
    return v->start + int64_t(v->length) - position;
}

bool ReadForCopy(TagioFileReadAble* h, int64_t position, uint32_t count) {
    const Mapping* c = h->copied.get();
    if (c && position >= c->start && position + count <= c->start + int64_t(c->length)) return true;
    if (position < 0 || position + count > h->size) return false;
    // The buffer a writer still holds is left to it; the other one is free
    // again once the writer has let go of it.
    std::shared_ptr<Mapping> next;
    if (h->copied && h->copied.use_count() == 1) next = std::move(h->copied);
    else if (h->spareCopied && h->spareCopied.use_count() == 1) next = std::move(h->spareCopied);
    else next = std::make_shared<Mapping>();
    if (h->copied) h->spareCopied = std::move(h->copied);
    const int64_t want = std::min<int64_t>(std::max<int64_t>(count, kAheadBytes), h->size - position);
    if (next->capacity < size_t(want)) {
        // Nothing of the old buffer stays described: without a buffer, a
        // Mapping with a base is taken for a mapping and unmapped.
        next->base = nullptr;
        next->length = 0;
        next->read.reset(new (std::nothrow) uint8_t[size_t(want)]);
        next->capacity = next->read ? size_t(want) : 0;
        if (!next->read) return false;
    }
    const int64_t got = ReadFullyAt(h->fd, position, next->read.get(), uint32_t(want));
    if (got < int64_t(count)) return false;
    next->base = next->read.get();
    next->length = size_t(got);
    next->start = position;
    h->copied = std::move(next);
    return true;
}

// Fills the window with the bytes from pos on: kAheadBytes, or `bytes`
// when more (the window then grows and stays that large). What the window
// already holds from pos on is kept, not read again.
static bool Refill(TagioFileReadAble* h, int64_t pos, uint32_t bytes = kAheadBytes) {
    const uint32_t want = std::max(bytes, kAheadBytes);
    uint32_t kept = 0;
    const uint8_t* from = nullptr;
    if (h->ahead && pos >= h->aheadStart && pos < h->aheadStart + h->aheadLength) {
        from = h->ahead.get() + (pos - h->aheadStart);
        kept = uint32_t(h->aheadStart + h->aheadLength - pos);
    }
    if (h->aheadCapacity < want) {
        std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[want]);
        if (!grown) return false;
        if (kept) std::memcpy(grown.get(), from, kept);
        h->ahead = std::move(grown);
        h->aheadCapacity = want;
    } else if (kept) {
        std::memmove(h->ahead.get(), from, kept);
    }
    h->aheadStart = pos;
    h->aheadLength = kept;
    const int64_t n = ReadFullyAt(h->fd, pos + kept, h->ahead.get() + kept, h->aheadCapacity - kept);
    if (n < 0) return false;
    h->aheadLength = kept + static_cast<uint32_t>(n);
    return true;
}

int64_t ReadSequential(TagioFileReadAble* h, void* out, uint32_t count) {
    auto* dst = static_cast<uint8_t*>(out);
    if (h->position < 0) return -1;
    uint32_t done = 0;
    while (done < count) {
        const int64_t pos = h->position;
        if (h->ahead && pos >= h->aheadStart && pos < h->aheadStart + h->aheadLength) {
            const uint32_t at = static_cast<uint32_t>(pos - h->aheadStart);
            const uint32_t n = std::min(count - done, h->aheadLength - at);
            std::memcpy(dst + done, h->ahead.get() + at, n);
            done += n;
            h->position += n;
            continue;
        }
        const uint32_t left = count - done;
        if (left >= kAheadBytes) {   // large reads skip the window
            const int64_t n = ReadFullyAt(h->fd, pos, dst + done, left);
            if (n < 0) return -1;
            done += static_cast<uint32_t>(n);
            h->position += n;
            break;
        }
        if (!Refill(h, pos)) return -1;
        if (h->aheadLength == 0) break;   // end of file
    }
    return done;
}

bool CopyFromWindow(const TagioFileReadAble* h, int64_t position, void* out, uint32_t count) {
    if (!h->ahead || position < h->aheadStart || position - h->aheadStart > h->aheadLength ||
        count > h->aheadLength - uint32_t(position - h->aheadStart))
        return false;
    std::memcpy(out, h->ahead.get() + (position - h->aheadStart), count);
    return true;
}

bool HoldInWindow(TagioFileReadAble* h, int64_t position, uint32_t count) {
    if (count > std::max(kAheadBytes, h->aheadCapacity) || (h->ahead && position >= h->aheadStart &&
                                position + count <= h->aheadStart + h->aheadLength))
        return true;
    return Refill(h, position);
}

}  // namespace tagio

using tagio::ReadFullyAt;

extern "C" TAGIO_API TagioFileReadAble* CreateFileReadAble(const char* path) {
    if (!path || !*path) return nullptr;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto* h = new (std::nothrow) TagioFileReadAble;
    if (!h) {
        ::close(fd);
        return nullptr;
    }
    static std::atomic<uint64_t> serials{0};
    h->fd = fd;
    h->serial = ++serials;
    h->size = S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
    return h;
}

extern "C" TAGIO_API void DeleteFileReadAble(TagioFileReadAble* h) {
    if (!h) return;
    ::close(h->fd);
    delete h;
}

extern "C" TAGIO_API int64_t FileReadAble_GetSize(TagioFileReadAble* h) { return h ? h->size : 0; }

extern "C" TAGIO_API int64_t FileReadAble_GetPosition(TagioFileReadAble* h) {
    return h ? h->position : 0;
}

extern "C" TAGIO_API int64_t FileReadAble_Seek(TagioFileReadAble* h, int64_t offset, int origin) {
    if (!h) return -1;
    int64_t base;
    switch (origin) {
        case 0: base = 0; break;
        case 1: base = h->position; break;
        case 2: base = h->size; break;
        default: return -1;
    }
    if (offset < -base || (offset > 0 && base > INT64_MAX - offset)) return -1;
    h->position = base + offset;
    return h->position;
}

extern "C" TAGIO_API int64_t FileReadAble_Read(TagioFileReadAble* h, void* buffer, uint32_t count) {
    if (!h || (!buffer && count)) return -1;
    const int64_t n = ReadFullyAt(h->fd, h->position, buffer, count);
    if (n > 0) h->position += n;
    return n;
}

extern "C" TAGIO_API int64_t FileReadAble_View(TagioFileReadAble* h, int64_t position, uint32_t count,
                                               uint32_t ahead, const uint8_t** bytes) {
    if (!h || !bytes || position < 0) return -1;
    if (!h->viewUnmapped && h->size > 0) {   // a pipe or a device is read
        const int64_t held = tagio::ViewMapped(h, position, count, ahead, bytes);
        if (held != tagio::kNotMapped) return held;
        h->viewUnmapped = true;   // read into the window from now on
    }
    const bool holds = h->ahead && position >= h->aheadStart &&
                       position - h->aheadStart <= int64_t(h->aheadLength) &&
                       (position + count <= h->aheadStart + h->aheadLength ||
                        h->aheadStart + h->aheadLength >= h->size);
    if (!holds && !tagio::Refill(h, position, std::max(count, ahead))) return -1;
    *bytes = h->ahead.get() + (position - h->aheadStart);
    return h->aheadStart + h->aheadLength - position;
}

extern "C" TAGIO_API void FileReadAble_ReadViews(TagioFileReadAble* h) {
    if (h) h->viewUnmapped = true;
}

extern "C" TAGIO_API void FileReadAble_ViewAhead(TagioFileReadAble* h) {
    if (h && !h->view) h->viewAheadWanted = true;
}

extern "C" TAGIO_API void FileReadAble_DropView(TagioFileReadAble* h) {
    if (!h) return;
    h->view.reset();
    // The walk is over: its thread stops, and what it mapped in goes.
    h->viewAhead.reset();
    h->whole.reset();
}

extern "C" TAGIO_API int64_t FileReadAble_NextData(TagioFileReadAble* h, int64_t position) {
    if (!h || position < 0 || position >= h->size) return position;
    // Reads never use the descriptor's own offset, so moving it is harmless.
    const off_t data = ::lseek(h->fd, off_t(position), SEEK_DATA);
    if (data >= 0) return std::min<int64_t>(std::max<int64_t>(data, position), h->size);
    if (errno != ENXIO) return position;
    // Only holes follow, or the file was cut short since it was opened: a
    // read from position then finds the cut, as a read of data would.
    struct stat st {};
    return ::fstat(h->fd, &st) == 0 && st.st_size < h->size ? position : h->size;
}

extern "C" TAGIO_API int64_t FileReadAble_ReadAt(TagioFileReadAble* h, int64_t position,
                                                 void* buffer, uint32_t count) {
    if (!h || position < 0 || (!buffer && count)) return -1;
    // Callers look back at the tag just walked (its first data bytes, a
    // sound block's length): the window holds it, so no system call.
    if (count && tagio::CopyFromWindow(h, position, buffer, count)) return count;
    return ReadFullyAt(h->fd, position, buffer, count);
}
