// The file handles behind the C functions, shared by the files of tagio.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <sys/uio.h>
#include <vector>

#include "tagio/tagio.h"
#include "ViewAhead.h"

namespace tagio {

// A whole file mapped for reading; shared by its reader and by writers that
// still hold copies from it.
// Bytes of a file held in memory: mapped, or read into `read` (then base
// points there and nothing is unmapped).
struct Mapping {
    const uint8_t* base = nullptr;
    size_t length = 0;
    int64_t start = 0;   // file offset of base
    std::unique_ptr<uint8_t[]> read;
    size_t capacity = 0;   // of `read`
    // A stretch of that larger mapping, which stays mapped while it is held.
    std::shared_ptr<const Mapping> within;
    // Of a whole file mapped for views readied ahead: the pages below this
    // offset were let go behind the walk. A write gathered from them takes
    // them back in, and lets go of them again after (see ViewAhead).
    mutable std::atomic<size_t> released{0};
    ~Mapping();
};

}  // namespace tagio

struct TagioFileReadAble {
    int fd = -1;
    uint64_t serial = 0;   // tells readers apart, whatever their address or descriptor
    int64_t size = 0;
    int64_t position = 0;
    // Tag-by-tag reading goes through a read-ahead window (large reads, as
    // cat makes them), so that a tag costs a copy rather than a system call;
    // copies of tags the window no longer holds come from a mapping of the
    // file (made on first use) when it can be mapped.
    std::shared_ptr<tagio::Mapping> map;
    bool mapTried = false;
    std::unique_ptr<uint8_t[]> ahead;
    // FileReadAble_View maps a stretch of the file instead of reading it:
    // a walk over the tags then touches only the bytes it looks at.
    // viewUnmapped: mmap refused once (or the file was cut short under the
    // mapping), so the views are read into `ahead` from then on.
    std::shared_ptr<tagio::Mapping> view;
    bool viewUnmapped = false;
    // FileReadAble_ViewAhead: the views are stretches of one mapping of the
    // whole file, readied ahead of the walk on a thread of their own.
    bool viewAheadWanted = false;
    std::shared_ptr<tagio::Mapping> whole;
    std::unique_ptr<tagio::ViewAhead> viewAhead;   // stopped before `whole` may go
    // Bytes read to be written elsewhere: retimed tags that Flv_CopyViewedTag
    // writes when the view is read rather than mapped, or does not hold the
    // whole tag. Two buffers take turns, so that a writer may still hold on
    // to the last one.
    std::shared_ptr<tagio::Mapping> copied, spareCopied;
    uint32_t aheadCapacity = 0;   // kAheadBytes, more after a view of a larger tag
    int64_t aheadStart = 0;   // file offset of ahead[0]
    uint32_t aheadLength = 0;
};

struct TagioFileWriteAble {
    int fd = -1;
    std::unique_ptr<uint8_t[]> buffer;
    uint32_t used = 0;
    int64_t written = 0;   // bytes accepted through the handle
    bool failed = false;
    // Copied tags waiting for one gathered write: their retimed headers and
    // PreviousTagSizes in `side`, their data in the mapping or read buffer
    // `pinned` keeps.
    std::vector<iovec> pending;
    std::unique_ptr<uint8_t[]> side;
    uint32_t sideUsed = 0;
    std::shared_ptr<tagio::Mapping> pinned;
    std::vector<uint8_t> scratch;   // copies from files that could not be mapped
    // A run of tags going out byte for byte as they are in their file,
    // waiting to be copied inside the kernel: rangeLength bytes from
    // rangeStart of rangeFd (a duplicate of the descriptor of the reader
    // numbered rangeReader). Only one of the byte buffer, the gathered
    // pieces and the run holds bytes at a time: each is written before
    // another is added to.
    int rangeFd = -1;
    uint64_t rangeReader = 0;
    int64_t rangeStart = 0, rangeLength = 0;
    std::vector<uint8_t> rangeScratch;   // for copies the kernel cannot do
};

namespace tagio {

inline constexpr uint32_t kAheadBytes = 1 << 20;
// A mapped view covers at least this much: a map costs a system call, and
// the pages of a mapping count as the process's memory while it lasts.
inline constexpr uint32_t kViewBytes = 8u << 20;
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
// Writes out what the buffer and the gathered copies hold, so the buffer
// (kWriteBytes) may serve as scratch space; null once any write has failed.
uint8_t* ClearedBuffer(TagioFileWriteAble* h);
// Copies [start, end) of in to the end of out: in the kernel where it can,
// by reading and writing (through buffer) where it cannot.
bool CopyRange(int in, int out, int64_t start, int64_t end, std::vector<uint8_t>& buffer);
// Writes count bytes straight to the file, nothing being buffered (after
// ClearedBuffer); false once any write has failed.
bool WriteStraight(TagioFileWriteAble* h, const uint8_t* data, size_t count);
// Copies the waiting run of unchanged bytes; false once any write has failed.
bool FlushRange(TagioFileWriteAble* h);
// Adds count bytes at position of the reader's file to the run waiting to be
// copied (written first when they do not follow it); false once any write
// has failed.
bool AddRange(TagioFileWriteAble* h, const TagioFileReadAble* from, int64_t position, int64_t count);
// Maps the reader's file when it can (once); the mapping or null.
const Mapping* MapFile(TagioFileReadAble* h);
// Makes h->copied hold [position, position + count) of the file, read (a
// megabyte at least); false on a read error, a short file or no memory.
bool ReadForCopy(TagioFileReadAble* h, int64_t position, uint32_t count);
// FileReadAble_View through a mapping of the file; kNotMapped when the file
// cannot be mapped.
inline constexpr int64_t kNotMapped = -2;
int64_t ViewMapped(TagioFileReadAble* h, int64_t position, uint32_t count, uint32_t ahead,
                   const uint8_t** bytes);
// Appends bytes that stay valid until the next gathered write (the side
// buffer or a mapping the writer pins) as one piece of it, joined to the
// piece before when they follow it in memory.
void AppendPending(TagioFileWriteAble* h, const uint8_t* bytes, size_t count);

// Copied tags gathered per write: three pieces each.
inline constexpr uint32_t kPendingTags = 340;
// Queues a tag for the gathered write: its 11 header bytes `head` with the
// timestamp `time` (in the side buffer), then `rest` bytes at `data` (its
// data, with its trailing size when trailerIncluded), then a right trailing
// size unless trailerIncluded. The bytes at data are not copied: they stay
// where they are until the write, pin keeping them. False once any write
// has failed.
bool QueueTag(TagioFileWriteAble* h, const std::shared_ptr<Mapping>& pin, const uint8_t* head, uint32_t time,
              const uint8_t* data, uint32_t rest, bool trailerIncluded);

// Reads the header of the tag at the reader's position and the first bytes of
// its data (up to kCodecFieldBytes, into peek), fills the tag's fields but not
// its buffer, and moves past the tag. False at the end or for a cut tag.
bool ReadTagHead(TagioFileReadAble* h, TagioFlvTag* tag, uint8_t* peek, uint32_t& peekLength);

}  // namespace tagio
