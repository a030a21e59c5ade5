// A file opened for binary reading with 64-bit positions. Reads go through
// pread so that ReadAt and Read never disturb each other.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <algorithm>
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
    if (base) ::munmap(const_cast<uint8_t*>(base), length);
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

// A mapped window: moved to pos, covering `bytes` or kMappedWindowBytes,
// whichever is more (less at the end of the file). Moving on, it gives back
// the pages it passed; they are read again from the page cache if touched.
static bool MoveMappedWindow(TagioFileReadAble* h, int64_t pos, uint32_t bytes) {
    const Mapping* map = h->map.get();
    const int64_t at = std::min(pos, h->size);
    const int64_t oldStart = h->aheadStart;
    h->aheadStart = pos;
    h->aheadLength = uint32_t(std::min<int64_t>(h->size - at, std::max(bytes, kMappedWindowBytes)));
    h->window = map->base + at;   // past the end: holds nothing
    const int64_t page = ::sysconf(_SC_PAGESIZE);
    const int64_t from = oldStart / page * page, to = at / page * page;
    if (to > from) ::madvise(const_cast<uint8_t*>(map->base) + from, size_t(to - from), MADV_DONTNEED);
    return true;
}

// Fills the window with the bytes from pos on: kAheadBytes, or `bytes`
// when more (the window then grows and stays that large). What the window
// already holds from pos on is kept, not read again.
static bool Refill(TagioFileReadAble* h, int64_t pos, uint32_t bytes = kAheadBytes) {
    if (h->mapped) return MoveMappedWindow(h, pos, bytes);
    const uint32_t want = std::max(bytes, kAheadBytes);
    uint32_t kept = 0;
    const uint8_t* from = nullptr;
    if (h->window && pos >= h->aheadStart && pos < h->aheadStart + h->aheadLength) {
        from = h->window + (pos - h->aheadStart);
        kept = uint32_t(h->aheadStart + h->aheadLength - pos);
    }
    if (h->aheadCapacity < want) {
        std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[want]);
        if (!grown) return false;
        if (kept) std::memcpy(grown.get(), from, kept);
        h->ahead = std::move(grown);
        h->window = h->ahead.get();
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
        if (h->window && pos >= h->aheadStart && pos < h->aheadStart + h->aheadLength) {
            const uint32_t at = static_cast<uint32_t>(pos - h->aheadStart);
            const uint32_t n = std::min(count - done, h->aheadLength - at);
            std::memcpy(dst + done, h->window + at, n);
            done += n;
            h->position += n;
            continue;
        }
        const uint32_t left = count - done;
        if (left >= kAheadBytes && !h->mapped) {   // large reads skip the window
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
    if (!h->window || position < h->aheadStart || position - h->aheadStart > h->aheadLength ||
        count > h->aheadLength - uint32_t(position - h->aheadStart))
        return false;
    std::memcpy(out, h->window + (position - h->aheadStart), count);
    return true;
}

bool HoldInWindow(TagioFileReadAble* h, int64_t position, uint32_t count) {
    if ((!h->mapped && count > std::max(kAheadBytes, h->aheadCapacity)) ||
        (h->window && position >= h->aheadStart && position + count <= h->aheadStart + h->aheadLength))
        return true;
    if (h->mapped) return MoveMappedWindow(h, position, count);
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
    h->fd = fd;
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
    const bool holds = h->window && position >= h->aheadStart &&
                       position - h->aheadStart <= int64_t(h->aheadLength) &&
                       (position + count <= h->aheadStart + h->aheadLength ||
                        h->aheadStart + h->aheadLength >= h->size);
    if (!holds && !tagio::Refill(h, position, std::max(count, ahead))) return -1;
    *bytes = h->window + (position - h->aheadStart);
    return h->aheadStart + h->aheadLength - position;
}

extern "C" TAGIO_API int64_t FileReadAble_ReadAt(TagioFileReadAble* h, int64_t position,
                                                 void* buffer, uint32_t count) {
    if (!h || position < 0 || (!buffer && count)) return -1;
    // Callers look back at the tag just walked (its first data bytes, a
    // sound block's length): the window holds it, so no system call.
    if (count && tagio::CopyFromWindow(h, position, buffer, count)) return count;
    if (h->mapped) {   // a look back behind the window: the mapping has it
        const int64_t n = position < h->size ? std::min<int64_t>(count, h->size - position) : 0;
        if (n > 0) std::memcpy(buffer, h->map->base + position, size_t(n));
        return n;
    }
    return ReadFullyAt(h->fd, position, buffer, count);
}

extern "C" TAGIO_API int FileReadAble_MapWindow(TagioFileReadAble* h) {
    if (!h) return 0;
    if (h->mapped) return 1;
    if (!tagio::MapFile(h)) return 0;
    // The window is the mapping's from here on; what was read ahead is let go.
    h->ahead.reset();
    h->aheadCapacity = 0;
    h->aheadStart = 0;
    h->aheadLength = 0;
    h->window = nullptr;
    h->mapped = true;
    return 1;
}
