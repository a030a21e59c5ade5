// A file created for writing through a large buffer: a tag costs a copy, and
// tags larger than the buffer go straight to the file. Any failed write is
// remembered and reported when the file is closed.
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <algorithm>
#include <climits>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "BigEndian.h"
#include "FileHandles.h"

namespace {

bool WriteAll(int fd, const uint8_t* data, size_t count) {
    while (count) {
        const ssize_t n = ::write(fd, data, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

// Opens the file for writing, made or emptied. A file that is empty already
// (the temporary file a job made for its output) is not truncated: ext4 takes
// a truncation to nothing for a file being replaced and writes all that
// follows out to disk at the close, which keeps the writer waiting there.
int OpenEmptied(const char* path) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || (st.st_size != 0 && ::ftruncate(fd, 0) != 0))) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool Flush(TagioFileWriteAble* h) {
    if (h->used && !h->failed && !WriteAll(h->fd, h->buffer.get(), h->used)) h->failed = true;
    h->used = 0;
    return !h->failed;
}

}  // namespace

namespace tagio {

bool FlushBuffer(TagioFileWriteAble* h) { return Flush(h); }

// Pieces gathered from a view readied ahead may lie where the walk has
// already let go of the pages: the write takes them back in, and nothing
// else would let go of them again. [low, high) spans the written pieces
// that lie in the view.
static void ReleaseWritten(const Mapping& view, const uint8_t* low, const uint8_t* high) {
    const Mapping& whole = *view.within;
    static const size_t kPage = size_t(::sysconf(_SC_PAGESIZE));
    const size_t from = size_t(low - whole.base) / kPage * kPage;
    const size_t to = std::min((size_t(high - whole.base) + kPage - 1) / kPage * kPage,
                               whole.released.load(std::memory_order_relaxed));
    if (from < to) ::madvise(const_cast<uint8_t*>(whole.base + from), to - from, MADV_DONTNEED);
}

bool FlushPending(TagioFileWriteAble* h) {
    const uint8_t *low = nullptr, *high = nullptr;
    if (h->pinned && h->pinned->within) {
        const uint8_t* const begin = h->pinned->base;
        const uint8_t* const end = begin + h->pinned->length;
        for (const iovec& v : h->pending) {
            const auto* p = static_cast<const uint8_t*>(v.iov_base);
            if (p < begin || p >= end) continue;   // a header or trailing size of the side buffer
            if (!low || p < low) low = p;
            if (!high || p + v.iov_len > high) high = p + v.iov_len;
        }
    }
    size_t at = 0;
    while (at < h->pending.size() && !h->failed) {
        const int n = int(std::min<size_t>(h->pending.size() - at, IOV_MAX));
        ssize_t w = ::writev(h->fd, h->pending.data() + at, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            h->failed = true;
            break;
        }
        // Skip what was written, trimming a piece written in part.
        while (w > 0 && at < h->pending.size()) {
            iovec& v = h->pending[at];
            if (size_t(w) >= v.iov_len) {
                w -= ssize_t(v.iov_len);
                ++at;
            } else {
                v.iov_base = static_cast<uint8_t*>(v.iov_base) + w;
                v.iov_len -= size_t(w);
                w = 0;
            }
        }
    }
    if (low) ReleaseWritten(*h->pinned, low, high);
    h->pending.clear();
    h->sideUsed = 0;
    h->pinned.reset();
    return !h->failed;
}

bool CopyRange(int in, int out, int64_t start, int64_t end, std::vector<uint8_t>& buffer) {
    off_t from = start;
    while (from < end) {
        const ssize_t n = ::copy_file_range(in, &from, out, nullptr, size_t(end - from), 0);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        // 0 (some file systems copy nothing this way; a short read below tells
        // a file that got shorter) or no copy inside the kernel between these
        // files (other file systems, an output opened to append, a file
        // system that forbids it): read and write the rest.
        if (n < 0 && errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL &&
            errno != EBADF && errno != EPERM)
            return false;
        // Fall back for the rest.
        if (buffer.empty()) buffer.resize(kWriteBytes);
        while (from < end) {
            const uint32_t want = uint32_t(std::min<int64_t>(end - from, int64_t(buffer.size())));
            const int64_t got = ReadFullyAt(in, from, buffer.data(), want);
            if (got != want || !WriteAll(out, buffer.data(), want)) return false;
            from += want;
        }
    }
    return true;
}

uint8_t* ClearedBuffer(TagioFileWriteAble* h) {
    if (!h->pending.empty()) FlushPending(h);
    return Flush(h) ? h->buffer.get() : nullptr;
}

bool WriteStraight(TagioFileWriteAble* h, const uint8_t* data, size_t count) {
    if (h->failed || h->used || !h->pending.empty()) return false;
    if (!WriteAll(h->fd, data, count)) {
        h->failed = true;
        return false;
    }
    h->written += int64_t(count);
    return true;
}

bool FlushRange(TagioFileWriteAble* h) {
    if (h->rangeLength > 0 && !h->failed &&
        !CopyRange(h->rangeFd, h->fd, h->rangeStart, h->rangeStart + h->rangeLength, h->rangeScratch))
        h->failed = true;   // a read or write error, or the file ends before the run
    h->rangeLength = 0;
    return !h->failed;
}

bool AddRange(TagioFileWriteAble* h, const TagioFileReadAble* from, int64_t position, int64_t count) {
    if (h->rangeLength > 0 && (h->rangeReader != from->serial || h->rangeStart + h->rangeLength != position))
        FlushRange(h);
    if (h->failed) return false;
    if (h->rangeReader != from->serial) {
        // A descriptor of its own: the reader may be closed before the run is copied.
        if (h->rangeFd >= 0) ::close(h->rangeFd);
        h->rangeFd = ::fcntl(from->fd, F_DUPFD_CLOEXEC, 0);
        h->rangeReader = from->serial;
        if (h->rangeFd < 0) {
            h->rangeReader = 0;
            h->failed = true;
            return false;
        }
    }
    if (h->rangeLength == 0) h->rangeStart = position;
    h->rangeLength += count;
    h->written += count;
    return true;
}

void AppendPending(TagioFileWriteAble* h, const uint8_t* bytes, size_t count) {
    if (!count) return;
    if (!h->pending.empty()) {
        iovec& last = h->pending.back();
        if (static_cast<const uint8_t*>(last.iov_base) + last.iov_len == bytes) {
            last.iov_len += count;
            return;
        }
    }
    h->pending.push_back({const_cast<uint8_t*>(bytes), count});
}

bool QueueTag(TagioFileWriteAble* h, const std::shared_ptr<Mapping>& pin, const uint8_t* head, uint32_t time,
              const uint8_t* data, uint32_t rest, bool trailerIncluded) {
    if ((h->pinned && h->pinned != pin) || h->pending.size() + 3 > kPendingTags * 3 ||
        h->sideUsed + 15 > kPendingTags * 15)
        if (!FlushPending(h)) return false;
    uint8_t* side = h->side.get() + h->sideUsed;
    std::memcpy(side, head, 11);
    side[4] = uint8_t(time >> 16);
    side[5] = uint8_t(time >> 8);
    side[6] = uint8_t(time);
    side[7] = uint8_t(time >> 24);
    AppendPending(h, side, 11);
    AppendPending(h, data, rest);
    if (!trailerIncluded) {
        PutBe32(side + 11, Be24(head + 1) + 11);
        AppendPending(h, side + 11, 4);
    }
    h->sideUsed += 15;
    h->pinned = pin;
    h->written += 15 + Be24(head + 1);
    return true;
}

bool WriteBytes(TagioFileWriteAble* h, const void* data, uint32_t count) {
    if (!h->pending.empty()) FlushPending(h);
    if (h->rangeLength > 0) FlushRange(h);
    if (h->failed) return false;
    const auto* src = static_cast<const uint8_t*>(data);
    if (count > tagio::kWriteBytes - h->used) {
        if (!Flush(h)) return false;
        if (count >= tagio::kWriteBytes) {
            if (!WriteAll(h->fd, src, count)) {
                h->failed = true;
                return false;
            }
            h->written += count;
            return true;
        }
    }
    std::memcpy(h->buffer.get() + h->used, src, count);
    h->used += count;
    h->written += count;
    return true;
}

}  // namespace tagio

extern "C" TAGIO_API TagioFileWriteAble* CreateFileWriteAble(const char* path) {
    if (!path || !*path) return nullptr;
    auto* h = new (std::nothrow) TagioFileWriteAble;
    if (!h) return nullptr;
    h->buffer.reset(new (std::nothrow) uint8_t[tagio::kWriteBytes]);
    h->side.reset(new (std::nothrow) uint8_t[tagio::kPendingTags * 15]);
    if (!h->buffer || !h->side) {
        delete h;
        return nullptr;
    }
    try {
        h->pending.reserve(tagio::kPendingTags * 3);
    } catch (const std::bad_alloc&) {
        delete h;
        return nullptr;
    }
    h->fd = OpenEmptied(path);
    if (h->fd < 0) {
        delete h;
        return nullptr;
    }
    return h;
}

extern "C" TAGIO_API int DeleteFileWritable(TagioFileWriteAble* h) {
    if (!h) return 0;
    tagio::FlushPending(h);
    tagio::FlushRange(h);
    bool ok = Flush(h);
    if (h->rangeFd >= 0) ::close(h->rangeFd);
    if (::close(h->fd) != 0) ok = false;
    delete h;
    return ok ? 1 : 0;
}

extern "C" TAGIO_API int FileWriteAble_CopyFrom(TagioFileWriteAble* h, TagioFileReadAble* from, int64_t start,
                                               int64_t end) {
    if (!h || !from || start < 0 || end < start || end > from->size || !tagio::ClearedBuffer(h)) return 0;
    if (!tagio::CopyRange(from->fd, h->fd, start, end, h->scratch)) {
        h->failed = true;
        return 0;
    }
    h->written += end - start;
    return 1;
}

extern "C" TAGIO_API int64_t FileWriteAble_GetSize(TagioFileWriteAble* h) {
    return h ? h->written : 0;
}
