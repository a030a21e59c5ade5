// Reads the tags of a possibly damaged FLV file in one forward pass through a
// bounded window, by their headers and trailing sizes only. A tag is taken when its header is plausible and either its
// back-pointer agrees or the next tag's header is plausible too (some writers
// get every back-pointer wrong). Anything else is a damaged region: the
// scanner moves on byte by byte to the next tag whose header, size and
// back-pointer all agree, and says how much it skipped.
#pragma once

#include <cstdint>
#include <vector>

#include "tagio/tagio.h"

class CRepairScanner {
public:
    struct Tag {
        int64_t position = 0;        // file offset of the tag header
        uint32_t type = 0;
        uint32_t timestamp = 0;      // ms, extended byte included
        uint32_t dataSize = 0;
        // 11 header bytes, then `loaded` bytes of the data (at least the
        // first 16, all of it after Load): the scanner's copy, valid until
        // the next call.
        const uint8_t* bytes = nullptr;
        uint32_t loaded = 0;
        bool trailerAgrees = false;  // the PreviousTagSize after it is right
    };
    // A run of bytes that held no tag, before the tag Next returns (or before the end).
    struct Skip {
        int64_t from = 0;
        int64_t bytes = 0;
        bool tail = false;           // it ran to the end of the file: a cut-off or lost tail
    };

    CRepairScanner() = default;
    ~CRepairScanner();
    CRepairScanner(const CRepairScanner&) = delete;
    CRepairScanner& operator=(const CRepairScanner&) = delete;

    // Opens the file and reads its header. False when it cannot be opened or
    // does not start with an FLV signature.
    bool Open(const char* path);
    const TagioFlvHeader& Header() const { return header_; }
    int64_t FileSize() const { return size_; }
    // The next whole tag; false at the end. skip: the bytes passed over before
    // it (bytes 0 when none); at the end, those left over after the last tag.
    // A read error ends the file like a cut.
    bool Next(Tag& tag, Skip& skip);
    bool ReadFailed() const { return readFailed_; }
    // Called about every 16 MiB a search through a damaged region passes
    // over (holes included), with the position it reached, outside any read
    // of the file: true stops the search, Next then returning false with
    // Stopped() true and no skip.
    void SetSearchHook(bool (*stop)(void* user, int64_t position), void* user) {
        searchHook_ = stop;
        searchHookUser_ = user;
    }
    bool Stopped() const { return stopped_; }
    // Makes the whole data of the tag Next returned readable at tag.bytes.
    bool Load(Tag& tag);
    // The file, for copying tags straight from it.
    TagioFileReadAble* File() const { return file_; }

private:
    // Next and Load, run guarded: the file's bytes are read from the
    // reader's view only in here, and what the caller keeps is copied out.
    // NextInView: 1 a tag, 0 the end, kSearchPaused when a search of a
    // damaged region goes on from searchAt_.
    static constexpr int kSearchPaused = 2;
    int NextInView(Tag& tag, Skip& skip);
    // Looks for the next tag all of whose parts agree from searchAt_ on, for
    // one stretch of the file at most.
    enum class Search { kFound, kNone, kPaused };
    Search SearchOn(uint32_t& dataSize);
    bool LoadInView(Tag& tag);
    // A read of the view found the file cut short under it: the file ends
    // where the reading stood.
    void CutShort();
    // Copies count bytes of the view at position into copy_ (large enough
    // already) for tag.bytes.
    const uint8_t* CopyOut(int64_t position, uint32_t count);
    // Makes [position, position + count) readable through the reader's
    // window, reading at least `ahead` bytes when it reads; false when the
    // file ends first.
    bool Ensure(int64_t position, uint32_t count, uint32_t ahead) {
        // The walk asks several times a tag, nearly always for bytes the view holds.
        if (window_ && position >= windowStart_ && position + count <= windowStart_ + windowBytes_)
            return position + count <= size_;
        return NewView(position, count, ahead);
    }
    // Ensure for bytes the view does not hold.
    bool NewView(int64_t position, uint32_t count, uint32_t ahead);
    const uint8_t* At(int64_t position) const { return window_ + (position - windowStart_); }
    // Header plausible and the tag inside the file (its trailing size may be
    // cut). hold: the tag is the one being taken, so the window is made to
    // hold all of it and the next header (a look at the next tag leaves the
    // window where it is).
    bool Plausible(int64_t position, uint32_t& dataSize, bool hold = false);
    bool BackPointerAgrees(int64_t position, uint32_t dataSize);
    bool Acceptable(int64_t position, bool resync, uint32_t& dataSize);

    TagioFileReadAble* file_ = nullptr;
    TagioFlvHeader header_{};
    int64_t size_ = 0;
    int64_t next_ = 0;             // where the next tag should start
    // The reader's view (a mapping of the file): the walk reads only the
    // headers and trailing sizes in it, and a tag is then written from the
    // same bytes, with no read of its own.
    const uint8_t* window_ = nullptr;
    int64_t windowStart_ = 0;
    uint32_t windowBytes_ = 0;
    bool readFailed_ = false;
    bool lastAgrees_ = false;      // the trailing size of the tag Acceptable took
    int64_t searchFrom_ = -1;      // where the damaged region being searched began (-1: none)
    int64_t searchAt_ = 0;         // where the search goes on
    bool (*searchHook_)(void*, int64_t) = nullptr;
    void* searchHookUser_ = nullptr;
    bool stopped_ = false;
    std::vector<uint8_t> copy_;    // the tag handed out: header, its first bytes or all of it
};
