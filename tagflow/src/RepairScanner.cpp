#include "RepairScanner.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kHeaderBytes = 11;
// A tag is walked by its header and the size after its data; the data stays
// in the file (the writer hands it on from there). A view reaches kTagRead
// on at least; a tag up to kHoldBytes is held in one view with its
// neighbour's header.
constexpr uint32_t kTagRead = 1u << 20;
constexpr uint32_t kHoldBytes = 4u << 20;
constexpr uint32_t kScanRead = 1u << 20;
// The data bytes every tag comes with: codec byte, packet type, composition time.
constexpr uint32_t kHeadBytes = 16;
// A search through a damaged region pauses this often (bytes passed over),
// so that a long one shows progress and can be stopped.
constexpr int64_t kSearchSlice = 16 << 20;

// The first byte in [p, end) a tag may start with; runs of zeros (lost
// data) are passed over eight bytes at a time.
const uint8_t* NextTagStart(const uint8_t* p, const uint8_t* end) {
    while (p < end) {
        uint64_t word;
        if (end - p >= 8) {
            std::memcpy(&word, p, 8);
            if (word == 0) {
                p += 8;
                continue;
            }
        }
        if (*p == 8 || *p == 9 || *p == 18) return p;
        ++p;
    }
    return end;
}

uint32_t Be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }
uint32_t Be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | Be24(p + 1); }

}  // namespace

CRepairScanner::~CRepairScanner() {
    if (file_) DeleteFileReadAble(file_);
}

bool CRepairScanner::Open(const char* path) {
    file_ = CreateFileReadAble(path);
    if (!file_) return false;
    FileReadAble_ViewAhead(file_);
    copy_.resize(kHeaderBytes + kHeadBytes);
    size_ = FileReadAble_GetSize(file_);
    // Read, not viewed: a file cut to nothing here would fault a mapped view
    // outside any guarded walk.
    uint8_t h[9];
    if (FileReadAble_ReadAt(file_, 0, h, sizeof h) != int64_t(sizeof h)) return false;
    if (std::memcmp(h, "FLV", 3) != 0) return false;
    header_.version = h[3];
    header_.flags = h[4];
    header_.dataOffset = Be32(h + 5);
    // A header that points somewhere odd is not trusted: the tags follow the
    // nine bytes and PreviousTagSize0 in every file a recorder writes.
    const uint32_t offset = header_.dataOffset >= 9 && header_.dataOffset <= 1024 ? header_.dataOffset : 9;
    next_ = int64_t(offset) + 4;
    return true;
}

bool CRepairScanner::NewView(int64_t position, uint32_t count, uint32_t ahead) {
    if (position < 0 || position + count > size_) return false;
    // A new view of the file: the walk comes here once per view (8 MiB).
    const uint32_t want = uint32_t(std::min<int64_t>(std::max(count, ahead), size_ - position));
    const uint8_t* bytes = nullptr;
    const int64_t got = FileReadAble_View(file_, position, want, want, &bytes);
    if (got < 0) {
        readFailed_ = true;
        window_ = nullptr;
        windowBytes_ = 0;
        size_ = position;   // nothing past a read error is trusted
        return false;
    }
    window_ = bytes;
    windowStart_ = position;
    windowBytes_ = uint32_t(std::min<int64_t>(got, size_ - position));
    if (got < want) size_ = position + windowBytes_;   // the file shrank while read
    return count <= windowBytes_;
}

bool CRepairScanner::Load(Tag& tag) {
    if (tag.loaded == tag.dataSize) return true;
    // Grown here, never inside the guarded read: only for a larger tag
    // loaded whole (a setup or script data).
    if (copy_.size() < kHeaderBytes + tag.dataSize) copy_.resize(kHeaderBytes + tag.dataSize);
    struct Call {
        CRepairScanner* self;
        Tag& tag;
    } call{this, tag};
    const int r = FileReadAble_Guarded(
        file_, [](void* u) { auto* c = static_cast<Call*>(u); return c->self->LoadInView(c->tag) ? 1 : 0; },
        &call);
    if (r < 0) CutShort();
    return r > 0;
}

bool CRepairScanner::LoadInView(Tag& tag) {
    if (!Ensure(tag.position, kHeaderBytes + tag.dataSize, kHeaderBytes + tag.dataSize)) return false;
    tag.bytes = CopyOut(tag.position, kHeaderBytes + tag.dataSize);
    tag.loaded = tag.dataSize;
    return true;
}

const uint8_t* CRepairScanner::CopyOut(int64_t position, uint32_t count) {
    std::memcpy(copy_.data(), At(position), count);
    return copy_.data();
}

void CRepairScanner::CutShort() {
    readFailed_ = true;
    window_ = nullptr;
    windowBytes_ = 0;
    size_ = std::min(size_, next_);
}

bool CRepairScanner::Plausible(int64_t position, uint32_t& dataSize, bool hold) {
    if (!Ensure(position, kHeaderBytes + 1, kTagRead)) return false;
    const uint8_t* h = At(position);
    const uint32_t type = h[0];
    if (type != 8 && type != 9 && type != 18) return false;   // also: no filter, no reserved bits
    if (h[8] || h[9] || h[10]) return false;                    // StreamID is always 0
    dataSize = Be24(h + 1);
    if (dataSize == 0 || position + kHeaderBytes + dataSize > size_) return false;
    const uint8_t codec = h[11];
    if (type == 9) {
        // The extended header: bit 7, the frame type, a packet type (0-7).
        const bool extended = codec & 0x80;
        const uint32_t frame = (codec >> 4) & 7, id = codec & 0x0F;
        if (frame < 1 || frame > 5) return false;
        if (!extended && (id < 1 || id > 7) && id != 12) return false;   // 12: HEVC by CodecID
        if (extended && id > 7) return false;
    } else if (type == 8) {
        // Sound format 9 opens the extended header: packet types 0-2, 4, 5 and 7.
        if ((codec >> 4) == 9 && ((codec & 0x0F) > 7 || (codec & 0x0F) == 3 || (codec & 0x0F) == 6)) return false;
    } else if (codec != 2) {
        return false;   // script data opens with an AMF0 string
    }
    // The tag, its trailing size and the next header in one window when they
    // fit, so that the checks and the copy that follow read nothing again.
    const uint64_t whole = 2 * kHeaderBytes + uint64_t(dataSize) + 4 + 1;
    if (hold && whole <= kHoldBytes) Ensure(position, uint32_t(std::min<int64_t>(whole, size_ - position)), kTagRead);
    return true;
}

bool CRepairScanner::BackPointerAgrees(int64_t position, uint32_t dataSize) {
    const int64_t at = position + kHeaderBytes + dataSize;
    return Ensure(at, 4, kTagRead) && Be32(At(at)) == dataSize + kHeaderBytes;
}

bool CRepairScanner::Acceptable(int64_t position, bool resync, uint32_t& dataSize) {
    if (!Plausible(position, dataSize, true)) return false;
    const int64_t after = position + kHeaderBytes + dataSize + 4;
    const bool agrees = BackPointerAgrees(position, dataSize);
    lastAgrees_ = agrees;
    // The last tag's data is whole: its trailing size may be wrong or missing.
    if (after >= size_) return agrees || !resync;
    if (agrees && !resync) {
        // The common case: the next tag is looked at when it is taken. Its
        // trailing size is the walk's next read from memory not yet touched:
        // asked for now, it arrives while this tag is handled.
        if (after + kHeaderBytes <= windowStart_ + windowBytes_) {
            const int64_t nextTrailer = after + kHeaderBytes + Be24(At(after) + 1);
            if (nextTrailer + 4 <= windowStart_ + windowBytes_) __builtin_prefetch(At(nextTrailer));
        }
        return true;
    }
    uint32_t nextSize = 0;
    const bool nextPlausible = Plausible(after, nextSize);
    // The next tag's trailing size is the walk's next read from memory not
    // yet touched: asked for now, it arrives while this tag is handled.
    const int64_t nextTrailer = after + kHeaderBytes + nextSize;
    if (nextPlausible && nextTrailer + 4 <= windowStart_ + windowBytes_) __builtin_prefetch(At(nextTrailer));
    return resync ? agrees && nextPlausible : agrees || nextPlausible;
}

bool CRepairScanner::Next(Tag& tag, Skip& skip) {
    skip = Skip{};
    if (!file_ || stopped_) return false;
    struct Call {
        CRepairScanner* self;
        Tag& tag;
        Skip& skip;
    } call{this, tag, skip};
    for (;;) {
        const int r = FileReadAble_Guarded(
            file_, [](void* u) { auto* c = static_cast<Call*>(u); return c->self->NextInView(c->tag, c->skip); },
            &call);
        if (r == kSearchPaused) {
            if (searchHook_ && searchHook_(searchHookUser_, searchAt_)) {
                stopped_ = true;
                searchFrom_ = -1;
                return false;
            }
            continue;
        }
        if (r >= 0) return r > 0;
        break;
    }
    // Cut short under the reading: the file ends at the last whole tag, and
    // the change is caught when the repair compares the file with how it began.
    CutShort();
    searchFrom_ = -1;
    skip = Skip{};
    return false;
}

CRepairScanner::Search CRepairScanner::SearchOn(uint32_t& dataSize) {
    const int64_t sliceEnd = searchAt_ + kSearchSlice;
    int64_t at = searchAt_;
    while (at + kHeaderBytes < size_) {
        if (at >= sliceEnd) {
            searchAt_ = at;
            return Search::kPaused;
        }
        if (!window_ || at < windowStart_ || at >= windowStart_ + windowBytes_) {
            // A stretch never written holds no tag: it is passed over unread.
            at = std::max(at, FileReadAble_NextData(file_, at));
            if (at + kHeaderBytes >= size_) break;
            if (at >= sliceEnd) {   // a hole past this stretch: passed a stretch at a time, as told
                searchAt_ = sliceEnd;
                return Search::kPaused;
            }
            if (!Ensure(at, 1, kScanRead)) break;
        }
        const int64_t stop = std::min({windowStart_ + int64_t(windowBytes_), size_ - int64_t(kHeaderBytes), sliceEnd});
        at = windowStart_ + (NextTagStart(At(at), At(stop)) - window_);
        if (at == stop) continue;
        if (Acceptable(at, true, dataSize)) {
            searchAt_ = at;
            return Search::kFound;
        }
        ++at;
    }
    searchAt_ = at;
    return Search::kNone;
}

int CRepairScanner::NextInView(Tag& tag, Skip& skip) {
    uint32_t dataSize = 0;
    int64_t at = next_;
    if (searchFrom_ < 0 && !Acceptable(at, false, dataSize)) {
        // Damage: look for the next tag all of whose parts agree.
        searchFrom_ = at;
        searchAt_ = at + 1;
    }
    if (searchFrom_ >= 0) {
        const Search found = SearchOn(dataSize);
        if (found == Search::kPaused) return kSearchPaused;
        const int64_t from = searchFrom_;
        searchFrom_ = -1;
        at = searchAt_;
        skip.from = from;
        skip.bytes = (found == Search::kFound ? at : std::max(size_, from)) - from;
        if (found != Search::kFound) {
            skip.tail = skip.bytes > 0;
            next_ = size_;
            return 0;
        }
    }
    const uint32_t head = std::min(dataSize, kHeadBytes);
    if (!Ensure(at, kHeaderBytes + head, kTagRead)) return 0;
    const uint8_t* h = At(at);
    tag.position = at;
    tag.type = h[0];
    tag.dataSize = dataSize;
    tag.timestamp = Be24(h + 4) | uint32_t(h[7]) << 24;
    tag.bytes = CopyOut(at, kHeaderBytes + head);
    tag.loaded = head;
    tag.trailerAgrees = lastAgrees_;
    next_ = at + kHeaderBytes + dataSize + 4;
    return 1;
}
