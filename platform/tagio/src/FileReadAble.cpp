// A file opened for binary reading with 64-bit positions. Reads go through
// pread so that ReadAt and Read never disturb each other.
#include "tagio/tagio.h"

#include <cerrno>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

struct TagioFileReadAble {
    int fd = -1;
    int64_t size = 0;
    int64_t position = 0;
};

namespace {

int64_t ReadFully(int fd, int64_t position, void* buffer, uint32_t count) {
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

}  // namespace

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
    const int64_t n = ReadFully(h->fd, h->position, buffer, count);
    if (n > 0) h->position += n;
    return n;
}

extern "C" TAGIO_API int64_t FileReadAble_ReadAt(TagioFileReadAble* h, int64_t position,
                                                 void* buffer, uint32_t count) {
    if (!h || position < 0 || (!buffer && count)) return -1;
    return ReadFully(h->fd, position, buffer, count);
}
