#include "OutputFiles.h"

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool Stat(const std::string& path, long long& mtime, long long& size) {
    struct stat st{};
    if (::lstat(path.c_str(), &st) != 0) return false;
    mtime = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    size = static_cast<long long>(st.st_size);
    return true;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

std::string OutputStem(const std::string& destinationName) {
    const auto slash = destinationName.find_last_of('/');
    return slash == std::string::npos ? destinationName : destinationName.substr(slash + 1);
}

void OutputFiles::Remember(const std::string& folder) {
    if (before_.count(folder)) return;
    auto& listing = before_[folder];
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        Seen s{};
        if (Stat(entry.path().string(), s.mtime, s.size)) listing[entry.path().filename().string()] = s;
    }
}

std::string OutputFiles::Claim(const std::string& folder, const std::string& name, const std::string& ext,
                               bool pictures) {
    const auto listing = before_.find(folder);
    if (listing == before_.end() || name.empty()) return "";
    // The plain name first, then name_0, name_1 ... as the engine tries them.
    for (int n = -1; n < 1000; ++n) {
        const std::string stem = n < 0 ? name : name + "_" + std::to_string(n);
        const std::string entry = pictures ? stem : stem + "." + ext;
        const std::string path = Join(folder, entry);
        long long mtime = 0, size = 0;
        const bool exists = Stat(path, mtime, size);
        const auto old = listing->second.find(entry);
        const bool wasThere = old != listing->second.end();
        if (!exists && !wasThere) break;   // the engine stops at the first free name
        // Pictures always go into a folder of their own; a file may also
        // have been overwritten in place.
        const bool ours = !wasThere || (!pictures && (old->second.mtime != mtime || old->second.size != size));
        if (exists && ours && !claimed_.count(path)) {
            claimed_.insert(path);
            return path;
        }
    }
    return "";
}

bool OutputFiles::Remove(const std::string& path) {
    if (!claimed_.count(path)) return false;   // only what this batch wrote
    std::error_code ec;
    return fs::remove_all(path, ec) > 0 && !ec;
}
