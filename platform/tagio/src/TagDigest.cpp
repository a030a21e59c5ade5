// The tag-by-tag walk of Flv_ReadTag (headers and codec fields, no data),
// kept from bytes another reader already read: a reader that indexes a
// file hands it every stretch it reads, and a later walk over the same file
// (the join's plan) needs no reading of its own. 16 bytes a tag; the codec
// fields, which few tags of a file differ in, are kept once in a table.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "BigEndian.h"
#include "TagCodecFields.h"
#include "tagio/tagio.h"

namespace {

using tagio::Be24;
using tagio::Be32;

constexpr uint32_t kTrailerBytes = 4, kHeaderBytes = 11;
// Distinct codec-field sets a file may have before the digest gives up
// (frame sizes that change with every key frame, say): the walk then reads
// the file as before.
constexpr size_t kMaxFieldSets = 256;
// A reader that skips the data of large tags skips their trailers too: those
// are then looked at in the file when needed.
enum : uint8_t { kTrailerUnseen = 0, kTrailerRight = 1, kTrailerWrong = 2 };

struct Fields {
    uint32_t type, streamId, codec1, codec2, codec3, codec4, trackCount;
    bool operator==(const Fields&) const = default;
};

struct Record {
    uint32_t timestamp;
    uint32_t dataSize;        // 24 bits
    int32_t compositionTime;
    uint16_t fields;          // index into the table
    uint8_t packetType;
    uint8_t trailer;          // whether the PreviousTagSize after the tag is DataSize + 11
};
static_assert(sizeof(Record) == 16, "a digest costs 16 bytes a tag");

// The codec fields of a tag that the first bytes of its data decide alone
// (the older header, no picture size to read), kept by those bytes: most
// tags of a file repeat a few of them, and decoding costs more than a look.
struct Decoded {
    uint64_t key = 0;   // 0: empty
    uint32_t codec1, codec2, codec3, codec4, packetType, trackCount;
    int32_t compositionTime;
};
constexpr int kDecodedBits = 6;

}  // namespace

struct TagioTagDigest {
    int64_t size = 0;
    int64_t firstTag = -1;
    // The bytes wanted next, from `at`: the file header, then for each tag
    // the PreviousTagSize before it (the trailer of the tag before, when
    // those bytes are handed over at all) with its header, its first data
    // bytes and, for a video setup, the setup.
    int64_t at = 0;
    uint32_t need = 9, have = 0;
    bool fileHeader = true;
    bool withTrailer = false;
    bool ended = false;   // the walk came to its end, as Flv_ReadTag's would
    bool broken = false;  // bytes it needed were never handed over, or no memory
    uint8_t held[kTrailerBytes + kHeaderBytes + tagio::kSetupBytes];
    std::vector<Record> tags;
    std::vector<Fields> fields;
    uint16_t lastFields[2] = {0, 0};   // audio or other, video: the set used last
    Decoded decoded[1 << kDecodedBits];
};

namespace {

// The position of the tag whose bytes are wanted.
int64_t TagAt(const TagioTagDigest& d) { return d.withTrailer ? d.at + kTrailerBytes : d.at; }

// Starts on the tag at position p (the bytes from its trailer, p - 4).
void WantTag(TagioTagDigest& d, int64_t p) {
    d.at = p - kTrailerBytes;
    d.have = 0;
    d.fileHeader = false;
    d.withTrailer = true;
    if (p > d.size) {   // not even the last trailer is whole
        d.ended = true;
        return;
    }
    // Only the last tag's trailer remains when no header fits.
    d.need = p + int64_t(kHeaderBytes) > d.size ? kTrailerBytes : kTrailerBytes + kHeaderBytes;
}

uint16_t FieldsIndex(TagioTagDigest& d, const TagioFlvTag& t) {
    const Fields f{t.type, t.streamId, t.codecField1, t.codecField2, t.codecField3, t.codecField4, t.trackCount};
    uint16_t& last = d.lastFields[t.type == 9 ? 1 : 0];
    if (last < d.fields.size() && d.fields[last] == f) return last;
    for (size_t i = 0; i < d.fields.size(); ++i)
        if (d.fields[i] == f) return last = uint16_t(i);
    if (d.fields.size() >= kMaxFieldSets) {
        d.broken = true;
        return 0;
    }
    d.fields.push_back(f);
    return last = uint16_t(d.fields.size() - 1);
}

// How many of a tag's first data bytes (n of them at d) decide its codec
// fields, when those alone do; 0 otherwise.
uint32_t DecidingBytes(uint32_t type, const uint8_t* d, uint32_t n) {
    if (n == 0) return 0;
    if (type == 9) {   // no key frame: no picture size
        if ((d[0] & 0x80) || (d[0] >> 4) == 1) return 0;
        const uint32_t codec = d[0] & 0x0F;
        return codec == TagioCodecAvc || codec == TagioCodecHevc ? std::min(n, 5u) : 1;
    }
    if (type == 8) {
        const uint32_t codec = d[0] >> 4;
        if (codec == 9) return 0;   // a FourCC follows
        return codec == 10 ? std::min(n, 2u) : 1;
    }
    return 0;
}

// DecodeCodecFields, through the kept results where the first bytes decide.
void Decode(TagioTagDigest& d, TagioFlvTag& t, const uint8_t* data, uint32_t n) {
    const uint32_t k = DecidingBytes(t.type, data, n);
    if (k == 0) {
        tagio::DecodeCodecFields(t, data, n);
        return;
    }
    uint64_t key = uint64_t(t.type) << 48 | uint64_t(k) << 40;
    for (uint32_t i = 0; i < k; ++i) key |= uint64_t(data[i]) << (8 * i);
    Decoded& e = d.decoded[(key * 0x9E3779B97F4A7C15ull) >> (64 - kDecodedBits)];
    if (e.key != key) {
        tagio::DecodeCodecFields(t, data, n);
        e = {key, t.codecField1, t.codecField2, t.codecField3, t.codecField4, t.packetType, t.trackCount,
             t.compositionTime};
        return;
    }
    t.codecField1 = e.codec1;
    t.codecField2 = e.codec2;
    t.codecField3 = e.codec3;
    t.codecField4 = e.codec4;
    t.packetType = e.packetType;
    t.trackCount = e.trackCount;
    t.compositionTime = e.compositionTime;
}

// The `need` wanted bytes are at b, `avail` of them at least (more where the
// stretch read goes on): takes the next step of the walk, which may want
// more bytes of the same tag first.
void Step(TagioTagDigest& d, const uint8_t* b, uint64_t avail) {
    if (d.fileHeader) {   // as Flv_ReadHeader reads it
        const uint32_t offset = Be32(b + 5);
        if (b[0] != 'F' || b[1] != 'L' || b[2] != 'V' || offset < 9 || int64_t(offset) + 4 > d.size) {
            d.broken = true;
            return;
        }
        d.firstTag = int64_t(offset) + 4;
        WantTag(d, d.firstTag);
        return;
    }
    const uint32_t lead = d.withTrailer ? kTrailerBytes : 0;
    if (lead && !d.tags.empty())
        d.tags.back().trailer = Be32(b) == d.tags.back().dataSize + kHeaderBytes ? kTrailerRight : kTrailerWrong;
    if (d.need == lead) {   // no tag after it
        d.ended = true;
        return;
    }
    const uint8_t* head = b + lead;
    const uint32_t dataSize = Be24(head + 1);
    const uint8_t kind = head[0] & 0x1F;
    const int64_t p = TagAt(d);
    if ((kind != 8 && kind != 9 && kind != 18) || p + kHeaderBytes + int64_t(dataSize) > d.size) {
        d.ended = true;   // damage or a cut tag: where Flv_ReadTag stops
        return;
    }
    const uint32_t peek = dataSize < tagio::kCodecFieldBytes ? dataSize : tagio::kCodecFieldBytes;
    if (avail < lead + kHeaderBytes + peek) {
        d.need = lead + kHeaderBytes + peek;
        return;
    }
    // Not cleared as a whole (it is large): the decoding sets every field read below.
    TagioFlvTag t;
    t.type = head[0];
    t.dataSize = dataSize;
    t.streamId = Be24(head + 8);
    Decode(d, t, head + kHeaderBytes, peek);
    const uint32_t more = tagio::SizeBytesWanted(t);
    if (more > peek) {
        if (avail < lead + kHeaderBytes + more) {
            d.need = lead + kHeaderBytes + more;
            return;
        }
        tagio::DecodeCodecFields(t, head + kHeaderBytes, more);
    }
    if (t.packetType > 0xFF) {
        d.broken = true;
        return;
    }
    const uint16_t f = FieldsIndex(d, t);
    if (d.broken) return;
    try {
        if (d.tags.size() == d.tags.capacity()) {
            // Grown to what the tags so far foretell for the whole file
            // (rather than doubled), so the vector is copied about once.
            const double foretold = double(d.tags.size()) * double(d.size) / double(std::max<int64_t>(p, 1));
            d.tags.reserve(std::max<size_t>(size_t(foretold * 1.1) + 1024, d.tags.size() + d.tags.size() / 2));
        }
        d.tags.push_back({Be24(head + 4) | uint32_t(head[7]) << 24, dataSize, t.compositionTime, f,
                          uint8_t(t.packetType), kTrailerUnseen});
    } catch (const std::bad_alloc&) {
        d.broken = true;
        return;
    }
    WantTag(d, p + kHeaderBytes + dataSize + kTrailerBytes);
}

}  // namespace

extern "C" TAGIO_API TagioTagDigest* Flv_DigestCreate(int64_t fileSize) {
    auto* d = new (std::nothrow) TagioTagDigest;
    if (!d) return nullptr;
    d->size = fileSize;
    return d;
}

extern "C" TAGIO_API void Flv_DigestDelete(TagioTagDigest* d) { delete d; }

extern "C" TAGIO_API void Flv_DigestFeed(TagioTagDigest* d, int64_t position, const uint8_t* bytes,
                                         uint32_t count) {
    if (!d || !bytes) return;
    const int64_t end = position + count;
    while (!d->ended && !d->broken) {
        int64_t want = d->at + d->have;   // the first byte still missing
        if (want < position) {
            // Only a trailer may go by unread: the bytes from the header on
            // are then wanted, and the trailer is looked at when needed.
            if (!d->withTrailer || d->have != 0 || d->at + int64_t(kTrailerBytes) < position) {
                d->broken = true;
                return;
            }
            d->at += kTrailerBytes;
            d->need -= kTrailerBytes;
            d->withTrailer = false;
            want = d->at;
            if (d->need == 0) {   // that trailer was all that was left
                d->ended = true;
                return;
            }
        }
        if (want >= end) return;
        // Most tags lie whole in one stretch: their bytes are read there.
        if (d->have == 0 && want + d->need <= end) {
            Step(*d, bytes + (want - position), uint64_t(end - want));
            continue;
        }
        const auto take = uint32_t(std::min<int64_t>(d->need - d->have, end - want));
        std::memcpy(d->held + d->have, bytes + (want - position), take);
        d->have += take;
        if (d->have < d->need) return;
        Step(*d, d->held, d->have);
    }
}

extern "C" TAGIO_API int Flv_DigestFinish(TagioTagDigest* d) {
    if (!d || d->broken) return 0;
    // A reader that skipped the last tag's data skipped its trailer too:
    // no header fits after it, so the walk ends there all the same.
    if (!d->ended && !d->fileHeader && d->have == 0 && TagAt(*d) + int64_t(kHeaderBytes) > d->size)
        d->ended = true;
    return d->ended ? 1 : 0;
}

extern "C" TAGIO_API int64_t Flv_DigestMemory(const TagioTagDigest* d) {
    return d ? int64_t(sizeof *d + d->tags.capacity() * sizeof(Record) + d->fields.capacity() * sizeof(Fields)) : 0;
}

extern "C" TAGIO_API int64_t Flv_DigestBegin(const TagioTagDigest* d, TagioDigestCursor* c) {
    if (!d || !c) return -1;
    c->index = 0;
    c->position = d->firstTag;
    return d->firstTag;
}

extern "C" TAGIO_API int Flv_DigestReadTag(const TagioTagDigest* d, TagioDigestCursor* c, TagioFlvTag* tag,
                                           int* trailerAgrees) {
    if (!d || !c || !tag || c->index >= d->tags.size()) return 0;
    const Record& r = d->tags[c->index];
    const Fields& f = d->fields[r.fields];
    tag->type = f.type;
    tag->dataSize = r.dataSize;
    tag->tagSize = r.dataSize + 15;
    tag->timestamp = r.timestamp;
    tag->streamId = f.streamId;
    tag->filePosition = c->position;
    tag->audioPayload = tag->videoPayload = nullptr;
    tag->audioPayloadSize = tag->videoPayloadSize = 0;
    tag->data = nullptr;
    tag->codecField1 = f.codec1;
    tag->codecField2 = f.codec2;
    tag->codecField3 = f.codec3;
    tag->codecField4 = f.codec4;
    tag->packetType = r.packetType;
    tag->compositionTime = r.compositionTime;
    tag->trackCount = f.trackCount;
    if (trailerAgrees) *trailerAgrees = r.trailer == kTrailerRight ? 1 : r.trailer == kTrailerWrong ? 0 : -1;
    ++c->index;
    c->position += tag->tagSize;
    return 1;
}
