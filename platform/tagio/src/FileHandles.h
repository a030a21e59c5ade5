// The file handles behind the C functions, shared by the files of tagio.
#pragma once

#include <cstdint>
#include <memory>
#include <sys/uio.h>
#include <vector>

#include "tagio/tagio.h"

namespace tagio {

// A whole file mapped for reading; shared by its reader and by writers that
// still hold copies from it.
struct Mapping {
    const uint8_t* base = nullptr;
    size_t length = 0;
    ~Mapping();
};

}  // namespace tagio

struct TagioFileReadAble {
    int fd = -1;
    int64_t size = 0;
    int64_t position = 0;
    // Tag-by-tag reading goes through a read-ahead window (large reads, as
    // cat makes them), so that a tag costs a copy rather than a system call;
    // copies of tags the window no longer holds come from a mapping of the
    // file (made on first use) when it can be mapped.
    std::shared_ptr<tagio::Mapping> map;
    bool mapTried = false;
    std::unique_ptr<uint8_t[]> ahead;
    uint32_t aheadCapacity = 0;   // kAheadBytes, more after a view of a larger tag
    int64_t aheadStart = 0;   // file offset of window[0]
    uint32_t aheadLength = 0;
    // The window's bytes: ahead's, or, once the window is mapped
    // (FileReadAble_MapWindow), the mapping's at aheadStart.
    const uint8_t* window = nullptr;
    bool mapped = false;
};

struct TagioFileWriteAble {
    int fd = -1;
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t used = 0;
    int64_t written = 0;   // bytes accepted through the handle
    bool failed = false;
    // Copied tags waiting for one gathered write: their retimed headers and
    // PreviousTagSizes in `side`, their data in the mapping `pinned` keeps.
    std::vector<iovec> pending;
    std::unique_ptr<uint8_t[]> side;
    uint32_t sideUsed = 0;
    std::shared_ptr<tagio::Mapping> pinned;
    std::vector<uint8_t> scratch;   // copies from files that could not be mapped
};

namespace tagio {

inline constexpr uint32_t kAheadBytes = 1 << 20;
// A mapped window moves on by this much: the pages it leaves behind are
// given back then, so a walk through a mapped file keeps this much resident.
inline constexpr uint32_t kMappedWindowBytes = 8 << 20;
inline constexpr uint32_t kWriteBytes = 1 << 20;

// Reads count bytes at the reader's position into out through the
// read-ahead window, advancing the position. Returns the bytes read
// (fewer only at the end of the file) or -1 on a read error or no memory.
int64_t ReadSequential(TagioFileReadAble* h, void* out, uint32_t count);
// Full pread at position; bytes read or -1.
int64_t ReadFullyAt(int fd, int64_t position, void* buffer, uint32_t count);
// Copies [position, position + count) from the read-ahead window when the
// window holds all of it; false (nothing copied) otherwise.
bool CopyFromWindow(const TagioFileReadAble* h, int64_t position, void* out, uint32_t count);
// Reads the window again from position when [position, position + count)
// is not wholly in it and fits in it, so that a tag about to be copied
// lies in one window. False on a read error or without memory.
bool HoldInWindow(TagioFileReadAble* h, int64_t position, uint32_t count);
// Appends bytes through the write buffer; false once any write has failed.
bool WriteBytes(TagioFileWriteAble* h, const void* data, uint32_t count);
// Writes what the byte buffer holds; false once any write has failed.
bool FlushBuffer(TagioFileWriteAble* h);
// Writes the gathered copies; false once any write has failed.
bool FlushPending(TagioFileWriteAble* h);
// Maps the reader's file when it can (once); the mapping or null.
const Mapping* MapFile(TagioFileReadAble* h);

// Copied tags gathered per write: three pieces each.
inline constexpr uint32_t kPendingTags = 340;

// Reads the header of the tag at the reader's position and the first bytes of
// its data (up to kCodecFieldBytes, into peek), fills the tag's fields but not
// its buffer, and moves past the tag. False at the end or for a cut tag.
bool ReadTagHead(TagioFileReadAble* h, TagioFlvTag* tag, uint8_t* peek, uint32_t& peekLength);

}  // namespace tagio
