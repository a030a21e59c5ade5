// Copies runs of whole tags with shifted timestamps. From a file that can be
// mapped, each tag goes into the writer's gathered write as its retimed
// header (beside, in the writer's side buffer) and its data and
// PreviousTagSize straight from a mapped view of the file: the kernel's copy
// into the output is the only copy of the bytes, as with cat. Otherwise the
// bytes of a run are read into the writer's buffer, each header's timestamp
// and each PreviousTagSize is set there, and the buffer is written as it is.
#include <algorithm>
#include <cstring>
#include <memory>

#include "BigEndian.h"
#include "FileHandles.h"

namespace {

using tagio::Be24;
using tagio::Be32;
using tagio::PutBe32;

constexpr uint32_t kHeaderBytes = 11, kTrailerBytes = 4;

bool IsTagType(uint8_t b) {
    const uint8_t type = b & 0x1F;
    return type == 8 || type == 9 || type == 18;
}

void Retime(uint8_t* head, uint32_t shift) {
    const uint32_t t = (Be24(head + 4) | uint32_t(head[7]) << 24) + shift;
    head[4] = uint8_t(t >> 16);
    head[5] = uint8_t(t >> 8);
    head[6] = uint8_t(t);
    head[7] = uint8_t(t >> 24);
}

// A tag larger than the buffer: its retimed header and the data read so far
// (`got` bytes at buf), the rest of its data in buffer-sized pieces, then its
// PreviousTagSize. The position after it, or -1.
int64_t CopyLargeTag(TagioFileReadAble* from, int64_t pos, uint8_t* buf, int64_t got, uint32_t shift,
                     TagioFileWriteAble* to) {
    const uint32_t dataSize = Be24(buf + 1);
    const int64_t dataEnd = pos + kHeaderBytes + dataSize;
    Retime(buf, shift);
    // The piece read may reach past the data into the old PreviousTagSize
    // (a tag just short of the piece): only the tag's own bytes go out.
    const int64_t first = std::min<int64_t>(got, kHeaderBytes + dataSize);
    if (!tagio::WriteStraight(to, buf, size_t(first))) return -1;
    for (int64_t at = pos + first; at < dataEnd;) {
        const auto want = uint32_t(std::min<int64_t>(tagio::kWriteBytes, dataEnd - at));
        if (tagio::ReadFullyAt(from->fd, at, buf, want) != want || !tagio::WriteStraight(to, buf, want))
            return -1;
        at += want;
    }
    PutBe32(buf, dataSize + kHeaderBytes);
    return tagio::WriteStraight(to, buf, kTrailerBytes) ? dataEnd + kTrailerBytes : -1;
}

// A walk over the tags of a run in the reader's mapped view, run guarded: a
// file cut short under the view ends it with -1 from the guard.
struct MappedWalk {
    TagioFileReadAble* from;
    TagioFileWriteAble* to;
    int64_t pos, end, stopAfter;
    uint32_t shift;
    int64_t need = kHeaderBytes;   // bytes from pos the next view must hold
    int64_t copied = 0;            // bytes of small tags, copied rather than written from the view
    bool bad = false;
};

// Takes the tags from m.pos on that the view holds whole, up to the run's end
// or the first tag boundary at or past stopAfter; 0 when the bytes there are
// no tags of the run or a write failed.
int WalkView(void* user) {
    MappedWalk& m = *static_cast<MappedWalk*>(user);
    const std::shared_ptr<tagio::Mapping>& view = m.from->view;
    const int64_t viewEnd = view->start + int64_t(view->length);
    TagioFileWriteAble* to = m.to;
    m.need = kHeaderBytes;
    while (m.pos < m.end && m.pos < m.stopAfter && m.pos + kHeaderBytes <= viewEnd) {
        const uint8_t* head = view->base + (m.pos - view->start);
        const uint32_t dataSize = Be24(head + 1);
        const int64_t dataEnd = m.pos + kHeaderBytes + dataSize, tagEnd = dataEnd + kTrailerBytes;
        // The file's last PreviousTagSize may be cut off; it is written anyway.
        const bool trailerInFile = tagEnd <= m.from->size;
        if (!IsTagType(head[0]) || tagEnd > m.end || (!trailerInFile && tagEnd != m.end)) {
            m.bad = true;
            return 0;
        }
        if ((trailerInFile ? tagEnd : dataEnd) > viewEnd) {
            m.need = (trailerInFile ? tagEnd : dataEnd) - m.pos;   // a view that holds it whole
            break;
        }
        const bool agrees = trailerInFile && Be32(head + kHeaderBytes + dataSize) == dataSize + kHeaderBytes;
        const uint32_t time = (Be24(head + 4) | uint32_t(head[7]) << 24) + m.shift;
        if (tagEnd - m.pos <= tagio::kCopiedTagBytes) m.copied += tagEnd - m.pos;
        if (!tagio::QueueTag(to, view, head, time, head + kHeaderBytes, dataSize + (agrees ? kTrailerBytes : 0), agrees,
                             true))
            return 0;
        m.pos = tagEnd;
    }
    return 1;
}

// The run from start through mapped views; the position reached, -1 for bytes
// that are not the run's tags, a write error or a file cut short under the
// view, or kNotMapped (nothing done) when the file cannot be mapped.
int64_t CopyMapped(TagioFileReadAble* from, int64_t start, int64_t end, uint32_t shift, uint32_t bytes,
                   TagioFileWriteAble* to) {
    // Bytes written before come first.
    if (!tagio::FlushRange(to) || !tagio::FlushBuffer(to)) return -1;
    MappedWalk m{from, to, start, end, start + int64_t(bytes), shift};
    while (m.pos < end && m.pos < m.stopAfter) {
        const uint8_t* at = nullptr;
        const int64_t held = tagio::ViewMapped(from, m.pos, uint32_t(m.need), 0, &at);
        if (held == tagio::kNotMapped) return m.pos == start ? tagio::kNotMapped : -1;
        if (held < std::min(m.need, from->size - m.pos) || held < int64_t(kHeaderBytes)) return -1;
        const int64_t before = m.pos, needed = m.need;
        if (FileReadAble_Guarded(from, WalkView, &m) <= 0 || m.bad) return -1;
        // No tag taken from a view that held what the walk asked for.
        if (m.pos == before && m.need <= needed) return -1;
    }
    // A file of small tags is read from now on: each of its bytes is copied
    // anyway, and a read copies them faster than the page faults and the
    // copy out of a mapping.
    if (m.copied * 2 > m.pos - start) from->readRuns = true;
    return m.pos;
}

}  // namespace

extern "C" TAGIO_API int64_t Flv_CopyTags(TagioFileReadAble* from, int64_t start, int64_t end,
                                          uint32_t shift, uint32_t bytes, TagioFileWriteAble* to) {
    if (!from || !to || start < 0 || end <= start || end > from->size + kTrailerBytes) return -1;
    if (!from->viewUnmapped && !from->readRuns && !to->failed) {
        const int64_t reached = CopyMapped(from, start, end, shift, bytes, to);
        if (reached != tagio::kNotMapped) return reached;
        from->viewUnmapped = true;   // read from now on
    }
    uint8_t* buf = tagio::ClearedBuffer(to);
    if (!buf) return -1;
    int64_t pos = start;
    do {
        const auto want = uint32_t(std::min<int64_t>(tagio::kWriteBytes, end - pos));
        const int64_t got = tagio::ReadFullyAt(from->fd, pos, buf, want);
        if (got < 0) return -1;
        uint32_t q = 0;   // the tags set right so far end here
        while (q + kHeaderBytes <= got) {
            uint8_t* head = buf + q;
            if (!IsTagType(head[0])) return -1;
            const uint32_t dataSize = Be24(head + 1);
            const uint64_t tagEnd = uint64_t(q) + kHeaderBytes + dataSize + kTrailerBytes;
            if (tagEnd > want) {
                // A tag that does not fit is either larger than the whole
                // buffer or read again with the next piece; past end, it is
                // no tag of the run.
                if (pos + int64_t(tagEnd) > end) return -1;
                if (q == 0) return CopyLargeTag(from, pos, buf, got, shift, to);
                break;
            }
            // The file's last PreviousTagSize may be cut off; it is written anyway.
            if (tagEnd > uint64_t(got) &&
                (got == want || tagEnd - kTrailerBytes > uint64_t(got) || pos + int64_t(tagEnd) != end))
                return -1;
            Retime(head, shift);
            PutBe32(head + kHeaderBytes + dataSize, dataSize + kHeaderBytes);
            q = uint32_t(tagEnd);
        }
        if (q == 0 || !tagio::WriteStraight(to, buf, q)) return -1;
        pos += q;
    } while (pos < end && pos - start < int64_t(bytes));
    return pos;
}
