#include "PosixFile.h"

#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace mp4label {

PosixFile& PosixFile::operator=(PosixFile&& other) noexcept {
    if (this != &other) {
        Close();
        m_fd = other.Release();
    }
    return *this;
}

bool PosixFile::Open(const std::string& path, bool readWrite) {
    Close();
    // O_NONBLOCK keeps a FIFO from blocking the open; it is refused below
    // and the flag means nothing for regular files.
    const int fd = ::open(path.c_str(), (readWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

void PosixFile::Close() {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = -1;
}

int PosixFile::Release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool PosixFile::Length(uint64_t& out) const {
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || st.st_size < 0) return false;
    out = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FileSource::ReadAt(uint64_t pos, void* dst, size_t len) const {
    if (pos > m_size || len > m_size - pos) return false;
    return ReadFully(m_fd, pos, dst, len);
}

namespace {
constexpr uint64_t kMaxOffset = static_cast<uint64_t>(std::numeric_limits<off_t>::max());
}

bool ReadFully(int fd, uint64_t pos, void* dst, size_t len) {
    auto* p = static_cast<uint8_t*>(dst);
    while (len > 0) {
        if (pos > kMaxOffset) return false;
        const ssize_t n = ::pread(fd, p, len, static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // an error, or the file is shorter than it was
        p += n;
        pos += static_cast<uint64_t>(n);
        len -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteFully(int fd, uint64_t pos, const void* src, size_t len) {
    auto* p = static_cast<const uint8_t*>(src);
    while (len > 0) {
        if (pos > kMaxOffset) return false;
        const ssize_t n = ::pwrite(fd, p, len, static_cast<off_t>(pos));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        pos += static_cast<uint64_t>(n);
        len -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace mp4label
