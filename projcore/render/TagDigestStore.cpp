#include "render/TagDigestStore.h"

#include <sys/stat.h>

namespace {

// Room for the walks of about 4 million tags (some hours of recordings of
// small tags): files examined beyond it are read again by a join instead.
constexpr int64_t kSharedBytes = 64ll << 20;

struct DigestDeleter {
    void operator()(const TagioTagDigest* d) const { Flv_DigestDelete(const_cast<TagioTagDigest*>(d)); }
};

}  // namespace

CTagDigestStore& CTagDigestStore::Shared() {
    static CTagDigestStore store(kSharedBytes);
    return store;
}

CTagDigestStore::Stamp CTagDigestStore::StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return {int64_t(st.st_size),       int64_t(st.st_mtim.tv_sec), int64_t(st.st_mtim.tv_nsec),
            int64_t(st.st_ctim.tv_sec), int64_t(st.st_ctim.tv_nsec), uint64_t(st.st_dev),
            uint64_t(st.st_ino)};
}

void CTagDigestStore::Keep(const std::string& path, const Stamp& stamp, TagioTagDigest* digest) {
    Digest owned(digest, DigestDeleter());
    const int64_t bytes = Flv_DigestMemory(digest);
    if (!digest || stamp.size < 0 || bytes > maxBytes_) return;
    std::lock_guard guard(lock_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->path != path) continue;
        bytes_ -= it->bytes;
        entries_.erase(it);
        break;
    }
    while (!entries_.empty() && bytes_ + bytes > maxBytes_) {
        bytes_ -= entries_.back().bytes;
        entries_.pop_back();
    }
    entries_.push_front({path, stamp, std::move(owned), bytes});
    bytes_ += bytes;
}

CTagDigestStore::Digest CTagDigestStore::Find(const std::string& path) {
    const Stamp now = StampOf(path);
    std::lock_guard guard(lock_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->path != path) continue;
        if (it->stamp == now) return it->digest;
        bytes_ -= it->bytes;   // the file changed: its walk is of no use any more
        entries_.erase(it);
        return nullptr;
    }
    return nullptr;
}
