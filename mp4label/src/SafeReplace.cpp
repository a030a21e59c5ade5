#include "SafeReplace.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace mp4label {
namespace {

// Copies len bytes from in at inPos to out at outPos. The kernel copy avoids
// passing the media data through user space; where it is not offered (other
// file systems, older kernels) plain reads and writes do the same.
bool CopyRange(int in, uint64_t inPos, int out, uint64_t outPos, uint64_t len) {
    while (len > 0) {
        off_t inOff = static_cast<off_t>(inPos), outOff = static_cast<off_t>(outPos);
        const ssize_t n = ::copy_file_range(in, &inOff, out, &outOff, len, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == ENOSYS || errno == EXDEV || errno == EINVAL ||
                      errno == EOPNOTSUPP))
            break;
        if (n <= 0) return false;  // a write error, or the source ended early
        inPos += static_cast<uint64_t>(n);
        outPos += static_cast<uint64_t>(n);
        len -= static_cast<uint64_t>(n);
    }
    std::vector<uint8_t> buf(len > 0 ? size_t{1} << 20 : 0);
    while (len > 0) {
        const size_t chunk = len < buf.size() ? static_cast<size_t>(len) : buf.size();
        if (!ReadFully(in, inPos, buf.data(), chunk) || !WriteFully(out, outPos, buf.data(), chunk))
            return false;
        inPos += chunk;
        outPos += chunk;
        len -= chunk;
    }
    return true;
}

std::string ResolvedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Makes the rename itself durable; a failure here does not undo the save.
void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

bool ReplaceFileRange(const PosixFile& original, uint64_t length, const std::string& path,
                      uint64_t cutStart, uint64_t cutEnd, std::span<const uint8_t> insert,
                      PosixFile& replaced) {
    if (cutStart > cutEnd || cutEnd > length) return false;
    struct stat st;
    if (::fstat(original.Fd(), &st) != 0) return false;

    const std::string target = ResolvedPath(path);
    const std::string folder = FolderOf(target);
    std::string tmpName = folder + "/.mp4label-XXXXXX";
    PosixFile tmp(::mkostemp(tmpName.data(), O_CLOEXEC));
    if (!tmp.IsOpen()) return false;

    // Best effort: only a privileged caller may hand the file back to its
    // owner, and the save must not fail for want of that.
    [[maybe_unused]] const int chowned = ::fchown(tmp.Fd(), st.st_uid, st.st_gid);

    const uint64_t tailLen = length - cutEnd;
    const bool written =
        ::fchmod(tmp.Fd(), st.st_mode & 07777) == 0 &&
        CopyRange(original.Fd(), 0, tmp.Fd(), 0, cutStart) &&
        WriteFully(tmp.Fd(), cutStart, insert.data(), insert.size()) &&
        CopyRange(original.Fd(), cutEnd, tmp.Fd(), cutStart + insert.size(), tailLen) &&
        ::fsync(tmp.Fd()) == 0 && ::rename(tmpName.c_str(), target.c_str()) == 0;
    if (!written) {
        tmp.Close();
        ::unlink(tmpName.c_str());
        return false;
    }
    SyncFolder(folder);
    replaced = std::move(tmp);
    return true;
}

}  // namespace mp4label
