// Copies runs of whole tags with shifted timestamps: the bytes of a run are
// read into the writer's buffer, each header's timestamp and each
// PreviousTagSize is set there, and the buffer is written as it is. A join
// then costs what cat costs (one read and one write of every byte) instead of
// a copy per tag.
#include <algorithm>

#include "BigEndian.h"
#include "FileHandles.h"

namespace {

using tagio::Be24;
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

}  // namespace

extern "C" TAGIO_API int64_t Flv_CopyTags(TagioFileReadAble* from, int64_t start, int64_t end,
                                          uint32_t shift, uint32_t bytes, TagioFileWriteAble* to) {
    if (!from || !to || start < 0 || end <= start || end > from->size + kTrailerBytes) return -1;
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
