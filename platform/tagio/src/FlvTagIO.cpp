// FLV header and tag reading and writing on the file handles. A loaded tag's
// buffer is reused from call to call and only grows, so a copy loop does not
// allocate per tag.
#include <cstdlib>
#include <cstring>

#include "BigEndian.h"
#include "FileHandles.h"
#include "TagCodecFields.h"

namespace {

using tagio::Be24;
using tagio::PutBe32;

bool EnsureCapacity(TagioFlvTag* tag, uint32_t need) {
    if (tag->buffer && tag->bufferCapacity >= need) return true;
    // Half again as much, so that a run of slowly growing tags reallocates rarely.
    const uint64_t want = uint64_t(need) + need / 2;
    const uint32_t capacity = want > 0xFFFFFFFFu ? need : uint32_t(want);
    auto* block = static_cast<uint8_t*>(std::malloc(capacity));
    if (!block) return false;
    std::free(tag->buffer);
    tag->buffer = block;
    tag->bufferCapacity = capacity;
    return true;
}

}  // namespace

extern "C" TAGIO_API int Flv_ReadHeader(TagioFileReadAble* h, TagioFlvHeader* header) {
    if (!h || !header) return 0;
    uint8_t b[9];
    h->position = 0;
    if (tagio::ReadSequential(h, b, 9) != 9) return 0;
    if (b[0] != 'F' || b[1] != 'L' || b[2] != 'V') return 0;
    const uint32_t offset = uint32_t(b[5]) << 24 | Be24(b + 6);
    if (offset < 9 || int64_t(offset) + 4 > h->size) return 0;
    header->version = b[3];
    header->flags = b[4];
    header->reserved[0] = header->reserved[1] = 0;
    header->dataOffset = offset;
    h->position = int64_t(offset) + 4;   // past PreviousTagSize0
    return 1;
}

extern "C" TAGIO_API int Flv_WriteHeader(TagioFileWriteAble* h, const TagioFlvHeader* header) {
    if (!h || !header || h->written != 0) return 0;
    const uint8_t b[13] = {'F', 'L', 'V', header->version, header->flags, 0, 0, 0, 9, 0, 0, 0, 0};
    return tagio::WriteBytes(h, b, sizeof b) ? 1 : 0;
}

namespace tagio {

// Reads a tag's header at the reader's position into tag; false (position
// unchanged) when no whole header is left or the data runs past the end.
static bool ReadHeaderOnly(TagioFileReadAble* h, TagioFlvTag* tag, uint8_t* head) {
    const int64_t start = h->position;
    if (ReadSequential(h, head, 11) != 11) {
        h->position = start;
        return false;
    }
    const uint32_t dataSize = Be24(head + 1);
    // Only sound, video and script data are tags (the type's low five bits):
    // anything else, zeros above all, is damage where the reading ends.
    const uint8_t kind = head[0] & 0x1F;
    if (kind != 8 && kind != 9 && kind != 18) {
        h->position = start;
        return false;
    }
    // The data must be in the file; a missing last PreviousTagSize is forgiven.
    if (start + 11 + int64_t(dataSize) > h->size) {
        h->position = start;
        return false;
    }
    tag->type = head[0];
    tag->dataSize = dataSize;
    tag->tagSize = dataSize + 15;
    tag->timestamp = Be24(head + 4) | uint32_t(head[7]) << 24;
    tag->streamId = Be24(head + 8);
    tag->filePosition = start;
    tag->audioPayload = tag->videoPayload = nullptr;
    tag->audioPayloadSize = tag->videoPayloadSize = 0;
    tag->data = nullptr;
    tag->packetType = 0;
    tag->compositionTime = 0;
    tag->trackCount = 1;
    return true;
}

bool ReadTagHead(TagioFileReadAble* h, TagioFlvTag* tag, uint8_t* peek, uint32_t& peekLength) {
    uint8_t head[11];
    const int64_t start = h->position;
    // A window begins at a tag's header, never inside it.
    if (!HoldInWindow(h, start, 11 + kCodecFieldBytes) || !ReadHeaderOnly(h, tag, head)) return false;
    // The whole tag in the window: a copy of it, or a look at its data, then
    // costs no read of its own.
    if (!HoldInWindow(h, start, 11 + tag->dataSize)) {
        h->position = start;
        return false;
    }
    const uint32_t n = tag->dataSize < kCodecFieldBytes ? tag->dataSize : kCodecFieldBytes;
    if (ReadSequential(h, peek, n) != int64_t(n)) {
        h->position = start;
        return false;
    }
    peekLength = n;
    DecodeCodecFields(*tag, peek, n);
    // A video setup (or a VP9 key frame) holds the picture size further in;
    // that part is small, so it is read whole.
    const uint32_t more = SizeBytesWanted(*tag);
    if (more > n) {
        uint8_t setup[kSetupBytes];
        if (CopyFromWindow(h, start + 11, setup, more) || ReadFullyAt(h->fd, start + 11, setup, more) == more)
            DecodeCodecFields(*tag, setup, more);
    }
    h->position = start + tag->tagSize;
    return true;
}

}  // namespace tagio

extern "C" TAGIO_API int Flv_ReadTag(TagioFileReadAble* h, int load, TagioFlvTag* tag) {
    if (!h || !tag) return 0;
    if (!load) {
        uint8_t peek[tagio::kCodecFieldBytes];
        uint32_t n = 0;
        return tagio::ReadTagHead(h, tag, peek, n) ? 1 : 0;
    }
    const int64_t start = h->position;
    uint8_t head[11];
    if (!tagio::ReadHeaderOnly(h, tag, head)) return 0;
    const uint32_t dataSize = tag->dataSize;
    if (!EnsureCapacity(tag, dataSize + 19)) {
        h->position = start;
        return 0;
    }
    std::memcpy(tag->buffer, head, 11);
    if (tagio::ReadSequential(h, tag->buffer + 11, dataSize) != int64_t(dataSize)) {
        h->position = start;
        return 0;
    }
    tag->data = tag->buffer + 11;
    TagioTagLayout layout;
    tagio::DecodeCodecFields(*tag, tag->data, dataSize, &layout);
    if (dataSize) {
        // FourCC codecs: past every header, to the codec's own bytes.
        const uint32_t at = layout.extended ? layout.payloadOffset : 1;
        const uint32_t bytes = layout.extended ? layout.payloadSize : dataSize - 1;
        if (tag->type == 8) {
            tag->audioPayload = tag->data + at;
            tag->audioPayloadSize = bytes;
        } else if (tag->type == 9) {
            tag->videoPayload = tag->data + at;
            tag->videoPayloadSize = bytes;
        }
    }
    h->position = start + tag->tagSize;
    return 1;
}

extern "C" TAGIO_API int Flv_WriteTag(TagioFileWriteAble* h, const TagioFlvTag* tag) {
    if (!h || !tag || !tag->buffer || tag->dataSize > 0xFFFFFF ||
        uint64_t(tag->dataSize) + 11 > tag->bufferCapacity || Be24(tag->buffer + 1) != tag->dataSize)
        return 0;
    uint8_t previous[4];
    PutBe32(previous, tag->dataSize + 11);
    return tagio::WriteBytes(h, tag->buffer, tag->dataSize + 11) &&
                   tagio::WriteBytes(h, previous, 4)
               ? 1
               : 0;
}

extern "C" TAGIO_API void Flv_FreeTag(TagioFlvTag* tag) {
    if (!tag) return;
    std::free(tag->buffer);
    std::memset(tag, 0, sizeof *tag);
}

extern "C" TAGIO_API int Flv_CopyTag(TagioFileReadAble* from, const TagioFlvTag* tag,
                                     uint32_t timestamp, TagioFileWriteAble* to) {
    if (!from || !tag || !to || to->failed || tag->filePosition < 0 ||
        tag->filePosition + 11 + int64_t(tag->dataSize) > from->size)
        return 0;
    const uint32_t headAndData = tag->dataSize + 11;
    // A tag the sequential reading has just passed is in the read-ahead
    // window: copied from there through the write buffer, the join moves
    // memory as cat does (large reads and writes, one copy), instead of
    // touching every page of a mapping once more.
    if (from->ahead && tag->filePosition >= from->aheadStart &&
        tag->filePosition + headAndData <= from->aheadStart + from->aheadLength) {
        const uint8_t* whole = from->ahead.get() + (tag->filePosition - from->aheadStart);
        if (Be24(whole + 1) != tag->dataSize) return 0;   // not the tag that was read
        uint8_t head[11], back[4];
        std::memcpy(head, whole, 11);
        head[4] = uint8_t(timestamp >> 16);
        head[5] = uint8_t(timestamp >> 8);
        head[6] = uint8_t(timestamp);
        head[7] = uint8_t(timestamp >> 24);
        PutBe32(back, headAndData);
        return tagio::WriteBytes(to, head, 11) && tagio::WriteBytes(to, whole + 11, tag->dataSize) &&
                       tagio::WriteBytes(to, back, 4)
                   ? 1
                   : 0;
    }
    uint8_t* side;
    const tagio::Mapping* map = tagio::MapFile(from);
    if (map) {
        if (to->pending.size() + 3 > tagio::kPendingTags * 3 ||
            to->sideUsed + 15 > tagio::kPendingTags * 15 || (to->pinned && to->pinned != from->map))
            if (!tagio::FlushPending(to)) return 0;
        if (!tagio::FlushRange(to) || !tagio::FlushBuffer(to)) return 0;   // bytes written before come first
        side = to->side.get() + to->sideUsed;
        std::memcpy(side, map->base + tag->filePosition, 11);
    } else {
        if (to->scratch.size() < headAndData + 4) to->scratch.resize(headAndData + 4);
        side = to->scratch.data();
        if (tagio::ReadFullyAt(from->fd, tag->filePosition, side, headAndData) != headAndData)
            return 0;
    }
    if (Be24(side + 1) != tag->dataSize) return 0;   // not the tag that was read
    side[4] = uint8_t(timestamp >> 16);
    side[5] = uint8_t(timestamp >> 8);
    side[6] = uint8_t(timestamp);
    side[7] = uint8_t(timestamp >> 24);
    if (!map) {
        PutBe32(side + headAndData, headAndData);
        return tagio::WriteBytes(to, side, headAndData + 4) ? 1 : 0;
    }
    PutBe32(side + 11, headAndData);
    to->sideUsed += 15;
    to->pinned = from->map;
    to->pending.push_back({side, 11});
    if (tag->dataSize)
        to->pending.push_back(
            {const_cast<uint8_t*>(map->base + tag->filePosition + 11), tag->dataSize});
    to->pending.push_back({side + 11, 4});
    to->written += headAndData + 4;
    return 1;
}

extern "C" TAGIO_API int Flv_CopyViewedTag(TagioFileReadAble* from, const uint8_t* header, int64_t position,
                                           uint32_t timestamp, int trailerAgrees, TagioFileWriteAble* to) {
    if (!from || !header || !to || to->failed || position < 0) return 0;
    const uint32_t dataSize = Be24(header + 1);
    const uint32_t headAndData = dataSize + 11;
    if (position + int64_t(headAndData) > from->size) return 0;
    const uint32_t fromFile = headAndData + (trailerAgrees ? 4 : 0);
    const bool sameTime = (Be24(header + 4) | uint32_t(header[7]) << 24) == timestamp;
    if (sameTime && trailerAgrees && position + fromFile <= from->size) {
        // Byte for byte as in the file: copied inside the kernel with its
        // unchanged neighbours, never passing through memory here.
        if (!tagio::FlushPending(to) || !tagio::FlushBuffer(to)) return 0;
        return tagio::AddRange(to, from, position, fromFile) ? 1 : 0;
    }
    // The caller's walk has just read this tag's header and trailing size
    // in the mapped view, so the view's pages around it are mapped in: the
    // kernel copies the data straight from there into the output, the only
    // copy of it made. A file cut short under the view fails that write
    // (the kernel's copy from a lost page is an error, not a signal). Bytes
    // of a view that is read, not mapped, or of a tag the view does not
    // hold are read first.
    const tagio::Mapping* view = from->view.get();
    const bool inView = view && !from->viewUnmapped && position >= view->start &&
                        position + fromFile <= view->start + int64_t(view->length);
    if (!inView && !tagio::ReadForCopy(from, position, fromFile)) return 0;
    // Bytes written before come first.
    if (!tagio::FlushRange(to) || !tagio::FlushBuffer(to)) return 0;
    const std::shared_ptr<tagio::Mapping>& bytes = inView ? from->view : from->copied;
    return tagio::QueueTag(to, bytes, header, timestamp, bytes->base + (position + 11 - bytes->start), fromFile - 11,
                           trailerAgrees != 0)
               ? 1
               : 0;
}
