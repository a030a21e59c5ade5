#include "RemuxOutput.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

namespace {

// Bytes copied aside: the muxer's own writes between packets are small; a
// larger write of its own (a cluster) goes out at once instead.
constexpr size_t kSideBytes = 256 << 10;
constexpr size_t kCopiedUpTo = 64 << 10;
// A gathered write once this much waits (or the kernel's limit on pieces).
constexpr size_t kGatherBytes = 4 << 20;
constexpr size_t kMaxPieces = IOV_MAX;

}  // namespace

CRemuxOutput::CRemuxOutput() { pieces_.reserve(kMaxPieces); }

CRemuxOutput::~CRemuxOutput() { Drop(); }

int CRemuxOutput::Open(const std::string& path) {
    side_.reset(new (std::nothrow) uint8_t[kSideBytes]);
    if (!side_) return AVERROR(ENOMEM);
    // An empty file (the job's temporary one) is not truncated again: ext4
    // would then write the whole file out to disk at its close.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return AVERROR(errno);
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || (st.st_size != 0 && ::ftruncate(fd_, 0) != 0)) {
        const int err = AVERROR(errno);
        ::close(fd_);
        fd_ = -1;
        return err;
    }
    return 0;
}

void CRemuxOutput::Add(const uint8_t* data, size_t size) {
    iovec* last = pieces_.empty() ? nullptr : &pieces_.back();
    if (last && static_cast<uint8_t*>(last->iov_base) + last->iov_len == data) {
        last->iov_len += size;   // packets that lay side by side, or side bytes added to
    } else {
        pieces_.push_back({const_cast<uint8_t*>(data), size});
    }
    waiting_ += size;
}

int CRemuxOutput::Write(const uint8_t* data, int size) {
    if (error_) return error_;
    if (size <= 0) return 0;
    const auto n = size_t(size);
    const bool lent = data >= lentBegin_ && data + n <= lentEnd_;
    if (lent || n > kCopiedUpTo) {
        if (pieces_.size() == kMaxPieces && Release() < 0) return error_;
        Add(data, n);
        // Bytes that are not lent are gone when the call returns.
        if ((!lent || waiting_ >= kGatherBytes) && Release() < 0) return error_;
        return size;
    }
    if ((sideUsed_ + n > kSideBytes || pieces_.size() == kMaxPieces) && Release() < 0) return error_;
    std::memcpy(side_.get() + sideUsed_, data, n);
    Add(side_.get() + sideUsed_, n);
    sideUsed_ += n;
    return size;
}

int CRemuxOutput::Release() {
    if (error_) return error_;
    size_t first = 0;
    while (first < pieces_.size()) {
        const int count = int(std::min(pieces_.size() - first, kMaxPieces));
        const ssize_t n = ::writev(fd_, pieces_.data() + first, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            // EFAULT: lent bytes of a file cut short under its mapping.
            error_ = AVERROR(errno);
            return error_;
        }
        // A short write: on from the first byte not written.
        auto left = size_t(n);
        while (first < pieces_.size() && left >= pieces_[first].iov_len) left -= pieces_[first++].iov_len;
        if (left) {
            pieces_[first].iov_base = static_cast<uint8_t*>(pieces_[first].iov_base) + left;
            pieces_[first].iov_len -= left;
        }
    }
    pieces_.clear();
    waiting_ = 0;
    sideUsed_ = 0;
    return 0;
}

int64_t CRemuxOutput::Seek(int64_t offset, int whence) {
    // Positions and the size are the file's once what waits is in it.
    if (Release() < 0) return error_;
    if (whence & AVSEEK_SIZE) {
        struct stat st {};
        return ::fstat(fd_, &st) == 0 ? int64_t(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd_, offset, whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : int64_t(at);
}

int CRemuxOutput::Close() {
    int err = Release();
    if (fd_ >= 0 && ::close(fd_) != 0 && err >= 0) err = AVERROR(errno);
    fd_ = -1;
    return err < 0 ? err : 0;
}

void CRemuxOutput::Drop() {
    pieces_.clear();
    waiting_ = 0;
    sideUsed_ = 0;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}
