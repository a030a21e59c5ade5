#include "convert/PartFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

constexpr char kPrefix[] = ".veltrano-part-";
constexpr size_t kLongestKeptExtension = 16;
// A writer locks its entry right after making it; an unlocked entry younger
// than this may be between the two steps and is left alone.
constexpr time_t kSettleSeconds = 10;
constexpr int kMostOtherNames = 100000;

std::atomic<unsigned> partCounter{0};

std::string SystemError(const std::string& what, int error) { return what + ": " + std::strerror(error); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The target's extension with its dot, "" when it has none worth keeping.
std::string ExtensionOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > kLongestKeptExtension) return {};
    return name.substr(dot);
}

std::string PartName(const std::string& extension) {
    unsigned random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != sizeof random)
        random = static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(reinterpret_cast<uintptr_t>(&random));
    char text[64];
    std::snprintf(text, sizeof text, "%s%ld-%u-%08x", kPrefix, static_cast<long>(::getpid()), ++partCounter, random);
    return text + extension;
}

// name, then stem_0.ext, stem_1.ext ... (the extension of a folder is part of its name).
std::string Candidate(const std::string& target, bool folder, int n) {
    if (n < 0) return target;
    const std::string dir = FolderOf(target), name = NameOf(target);
    const size_t dot = folder ? std::string::npos : name.rfind('.');
    const bool hasExt = dot != std::string::npos && dot > 0;
    const std::string stem = hasExt ? name.substr(0, dot) : name, ext = hasExt ? name.substr(dot) : "";
    return Join(dir, stem + "_" + std::to_string(n) + ext);
}

// Moves from onto to unless to exists. 0, or the error (EEXIST when taken).
int MoveNoReplace(const std::string& from, const std::string& to, bool folder) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
    // A file system without the flag: a hard link (or a new folder) claims the name.
    if (folder) {
        if (::mkdir(to.c_str(), 0755) != 0) return errno;
        if (::rename(from.c_str(), to.c_str()) == 0) return 0;   // onto the empty folder just made
        const int error = errno;
        ::rmdir(to.c_str());
        return error;
    }
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    ::unlink(from.c_str());
    return 0;
}

}  // namespace

bool IsPartName(const std::string& name) { return name.rfind(kPrefix, 0) == 0; }

CPartFile::~CPartFile() { Discard(); }

void CPartFile::Unlock() {
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

bool CPartFile::Create(const std::string& target, Kind kind, std::string& why) {
    Discard();
    kind_ = kind;
    claimed_ = false;
    const std::string folder = FolderOf(target), name = NameOf(target);
    if (name.empty()) {
        why = "the output has no file name: " + target;
        return false;
    }
    const long longest = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    // The longest name this output may get: the target or a numbered one.
    if (longest > 0 && name.size() + 7 > static_cast<size_t>(longest)) {
        why = SystemError("cannot write " + target, ENAMETOOLONG);
        return false;
    }
    if (target.size() + 7 >= PATH_MAX) {
        why = SystemError("cannot write " + target, ENAMETOOLONG);
        return false;
    }
    const std::string path = Join(folder, PartName(kind == kFile ? ExtensionOf(name) : ""));
    int fd;
    if (kind == kFile) {
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    } else {
        fd = ::mkdir(path.c_str(), 0755) == 0 ? ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    }
    if (fd < 0) {
        why = SystemError("cannot create a file in " + folder, errno);
        if (kind == kFolder) ::rmdir(path.c_str());
        return false;
    }
    ::flock(fd, LOCK_EX | LOCK_NB);   // ours alone: the name is new
    path_ = path;
    lockFd_ = fd;
    return true;
}

bool CPartFile::Claim(const std::string& target, bool overwrite, std::string& finalPath, std::string& why,
                      const std::string& numbered) {
    if (path_.empty() || claimed_) {
        why = "no output was written for " + target;
        return false;
    }
    const bool folder = kind_ == kFolder;
    if (overwrite && !folder) {
        if (::rename(path_.c_str(), target.c_str()) != 0) {
            why = SystemError("cannot write " + target, errno);
            return false;
        }
        finalPath = target;
    } else {
        int error = EEXIST;
        int n = -1;
        const std::string& base = numbered.empty() ? target : numbered;
        for (; error == EEXIST && n < kMostOtherNames; ++n) {
            finalPath = n < 0 ? target : Candidate(base, folder, n);
            if (n >= 0 && finalPath == target) continue;   // tried first
            error = MoveNoReplace(path_, finalPath, folder);
        }
        if (error != 0) {
            why = SystemError("cannot write " + finalPath, error);
            finalPath.clear();
            return false;
        }
    }
    claimed_ = true;
    Unlock();
    path_.clear();
    return true;
}

void CPartFile::Discard() {
    if (!path_.empty() && !claimed_) {
        std::error_code ignored;
        if (kind_ == kFolder) {
            fs::remove_all(path_, ignored);
        } else {
            fs::remove(path_, ignored);
        }
    }
    Unlock();
    path_.clear();
}

int RemoveAbandonedParts(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    int removed = 0;
    const time_t now = std::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsPartName(name)) continue;
        const std::string path = Join(folder, name);
        struct stat st{};
        if (::lstat(path.c_str(), &st) != 0 || !(S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))) continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        // A running writer holds the lock, whatever machine it runs on.
        const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
        bool abandoned = free && now - st.st_mtime >= kSettleSeconds;
        if (free && !abandoned) {
            // A young entry whose writer is gone from this machine is abandoned too.
            long pid = 0;
            if (std::sscanf(name.c_str() + sizeof kPrefix - 1, "%ld-", &pid) == 1 && pid > 0 &&
                ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                abandoned = true;
        }
        if (abandoned) {
            std::error_code error;
            if (S_ISDIR(st.st_mode)) {
                fs::remove_all(path, error);
            } else {
                fs::remove(path, error);
            }
            if (!error) ++removed;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

bool IsOneOf(const std::string& path, const std::vector<std::string>& others) {
    struct stat target{};
    if (::stat(path.c_str(), &target) != 0) return false;
    for (const std::string& other : others) {
        struct stat st{};
        if (::stat(other.c_str(), &st) == 0 && st.st_dev == target.st_dev && st.st_ino == target.st_ino) return true;
    }
    return false;
}
