#pragma once

#include <sys/types.h>

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <string>

#include "tagio/tagio.h"

// The tag walks (tagio's digests) the examination of FLV files kept, so that
// a later walk over the same file (the join's plan) reads nothing: the
// examination has just read every tag header. A digest is handed out only
// while its file is the one examined (same size, times of modification and
// of status change, device and inode: a rewrite that puts the modification
// time back still moves the status change time);
// the store keeps the walks of the files examined last, within a bound on
// their memory.
class CTagDigestStore {
public:
    struct Stamp {
        int64_t size = -1, seconds = 0, nanoseconds = 0;
        int64_t changedSeconds = 0, changedNanoseconds = 0;
        uint64_t device = 0, inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    using Digest = std::shared_ptr<const TagioTagDigest>;

    explicit CTagDigestStore(int64_t maxBytes) : maxBytes_(maxBytes) {}
    CTagDigestStore(const CTagDigestStore&) = delete;
    CTagDigestStore& operator=(const CTagDigestStore&) = delete;

    // The engine's store.
    static CTagDigestStore& Shared();
    // size -1 when the file cannot be looked at.
    static Stamp StampOf(const std::string& path);

    // Takes the digest of path, whose stamp was taken before it was read.
    void Keep(const std::string& path, const Stamp& stamp, TagioTagDigest* digest);
    // The digest of path when the file is still what was examined; null otherwise.
    Digest Find(const std::string& path);
    int64_t Bytes() const { return bytes_; }

private:
    struct Entry {
        std::string path;
        Stamp stamp;
        Digest digest;
        int64_t bytes;
    };
    std::mutex lock_;
    std::list<Entry> entries_;   // the latest first
    int64_t bytes_ = 0;
    int64_t maxBytes_;
};
