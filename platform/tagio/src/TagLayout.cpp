// The layouts of a tag's first data bytes: the older header (a codec byte,
// then for AVC and HEVC a packet type and a composition time, for AAC a
// packet type) and the extended one (a packet type in the codec byte's low
// bits, modifier blocks, an optional multitrack header, a FourCC).
#include <cstring>

#include "tagio/tagio.h"

#include "BigEndian.h"

namespace {

using tagio::Be16;
using tagio::Be24;
using tagio::Be32;

// Packet types of the extended header.
enum : uint32_t {
    kSequenceStart = 0,
    kCodedFrames = 1,
    kSequenceEnd = 2,
    kCodedFramesX = 3,
    kVideoMultitrack = 6,
    kAudioMultitrack = 5,
    kModEx = 7,
};
// Multitrack kinds.
enum : uint32_t { kOneTrack = 0, kManyTracks = 1, kManyTracksManyCodecs = 2 };


// SI24 in ms. Pictures are shown at most a few frames after they are
// stored: an offset beyond 4 s is damage and counts as 0.
int32_t CompositionTime(const uint8_t* p) {
    constexpr int32_t kMaxMs = 4000;
    uint32_t v = Be24(p);
    if (v & 0x800000) v |= 0xFF000000u;
    const auto cts = int32_t(v);
    return cts > kMaxMs || cts < -kMaxMs ? 0 : cts;
}

bool KnownVideo(uint32_t c) {
    return c == TagioFourccHevc || c == TagioFourccAv1 || c == TagioFourccVp9;
}
bool KnownAudio(uint32_t c) {
    return c == TagioFourccOpus || c == TagioFourccFlac || c == TagioFourccAc3 ||
           c == TagioFourccEac3 || c == TagioFourccMp3;
}

void SetPayload(TagioTagLayout& l, uint32_t offset, uint32_t end, uint32_t dataSize) {
    if (end > dataSize) end = dataSize;
    l.payloadOffset = offset <= end ? offset : end;
    l.payloadSize = end - l.payloadOffset;
}

// The older header.
int ReadLegacy(uint32_t type, const uint8_t* d, uint32_t n, uint32_t dataSize, TagioTagLayout& l) {
    if (type == 9) {
        l.frameType = d[0] >> 4;
        l.codec = d[0] & 0x0F;
        if (l.codec == TagioCodecAvc || l.codec == TagioCodecHevc) {
            if (n >= 2) l.packetType = d[1];
            if (n >= 5) l.compositionTime = CompositionTime(d + 2);
            SetPayload(l, 5, dataSize, dataSize);
            return n >= 5 || n == dataSize ? 1 : 0;
        }
    } else {
        l.codec = d[0] >> 4;
        if (l.codec == 10) {
            if (n >= 2) l.packetType = d[1];
            SetPayload(l, 2, dataSize, dataSize);
            return 1;
        }
    }
    SetPayload(l, 1, dataSize, dataSize);
    return 1;
}

// Cursor over the first `available` bytes.
struct Cursor {
    const uint8_t* d;
    uint32_t n;
    uint32_t pos;
    bool Has(uint32_t k) const { return pos <= n && n - pos >= k; }
};

// Modifier blocks (ModEx) change nothing this reader uses: they are passed
// over. Returns false when they run past the bytes.
bool SkipModifiers(Cursor& c, uint32_t& packetType) {
    while (packetType == kModEx) {
        if (!c.Has(1)) return false;
        uint32_t size = uint32_t(c.d[c.pos++]) + 1;
        if (size == 256) {
            if (!c.Has(2)) return false;
            size = Be16(c.d + c.pos) + 1;
            c.pos += 2;
        }
        if (!c.Has(size + 1)) return false;
        c.pos += size;
        packetType = c.d[c.pos++] & 0x0F;   // the modifier's kind above, the packet type below
    }
    return true;
}

int ReadExtended(uint32_t type, const uint8_t* d, uint32_t n, uint32_t dataSize, TagioTagLayout& l) {
    l.extended = 1;
    const bool video = type == 9;
    if (video) l.frameType = (d[0] >> 4) & 7;
    uint32_t packetType = d[0] & 0x0F;
    Cursor c{d, n, 1};
    if (!SkipModifiers(c, packetType)) return 0;
    // A command frame carries one command byte and no picture.
    if (video && l.frameType == 5 && packetType != TagioPacketNoMedia) {
        l.packetType = TagioPacketNoMedia;
        SetPayload(l, c.pos, c.pos, dataSize);
        l.known = 1;
        return 1;
    }
    const bool multitrack = packetType == (video ? kVideoMultitrack : kAudioMultitrack);
    uint32_t kind = kOneTrack;
    if (multitrack) {
        if (!c.Has(1)) return 0;
        kind = c.d[c.pos] >> 4;
        packetType = c.d[c.pos++] & 0x0F;
        if (kind > kManyTracksManyCodecs || packetType == (video ? kVideoMultitrack : kAudioMultitrack))
            return 0;
    }
    if (kind != kManyTracksManyCodecs) {
        if (!c.Has(4)) return 0;
        l.codec = Be32(c.d + c.pos);
        c.pos += 4;
    }
    uint32_t end = dataSize;
    if (multitrack) {
        if (kind == kManyTracksManyCodecs) {
            if (!c.Has(4)) return 0;
            l.codec = Be32(c.d + c.pos);
            c.pos += 4;
        }
        if (!c.Has(1)) return 0;
        ++c.pos;   // track id
        if (kind != kOneTrack) {
            if (!c.Has(3)) return 0;
            const uint32_t size = Be24(c.d + c.pos);
            c.pos += 3;
            end = c.pos + size;
            if (end > dataSize) return 0;
            // Count the tracks: each one's header says where the next begins.
            // One whose header is not among the bytes counts, and ends the count.
            uint32_t at = end, count = 1;
            const uint32_t head = (kind == kManyTracksManyCodecs ? 4 : 0) + 1;
            while (at < dataSize) {
                ++count;
                if (at > n || n - at < head + 3) break;
                const uint32_t next = at + head + 3 + Be24(d + at + head);
                if (next > dataSize || next <= at) break;
                at = next;
            }
            l.trackCount = count;
        }
    }
    l.known = (video ? KnownVideo(l.codec) : KnownAudio(l.codec)) ? 1 : 0;
    switch (packetType) {
        case kSequenceStart: l.packetType = 0; break;
        case kSequenceEnd: l.packetType = 2; break;
        case kCodedFrames:
            l.packetType = 1;
            // HEVC (and AVC) frames carry a composition time; CodedFramesX leaves it out.
            if (video && l.codec == TagioFourccHevc) {
                if (!c.Has(3)) return 0;
                l.compositionTime = CompositionTime(c.d + c.pos);
                c.pos += 3;
            }
            break;
        case kCodedFramesX: l.packetType = video ? 1 : TagioPacketNoMedia; break;
        default: l.packetType = TagioPacketNoMedia; break;
    }
    SetPayload(l, c.pos, end, dataSize);
    return 1;
}

}  // namespace

extern "C" TAGIO_API int Flv_ReadTagLayout(uint32_t type, const uint8_t* data, uint32_t available,
                                           uint32_t dataSize, TagioTagLayout* layout) {
    if (!layout) return 0;
    std::memset(layout, 0, sizeof *layout);
    layout->trackCount = 1;
    layout->known = 1;
    if (!data || available == 0 || (type != 8 && type != 9)) return 0;
    if (available > dataSize) available = dataSize;
    const bool extended = type == 9 ? (data[0] & 0x80) != 0 : (data[0] >> 4) == 9;
    return extended ? ReadExtended(type, data, available, dataSize, *layout)
                    : ReadLegacy(type, data, available, dataSize, *layout);
}

extern "C" TAGIO_API int Flv_IsFourcc(uint32_t codec) { return codec > 15 ? 1 : 0; }

extern "C" TAGIO_API int Flv_HasPacketType(uint32_t type, uint32_t codec) {
    if (codec > 15) return 1;
    return type == 9 ? (codec == TagioCodecAvc || codec == TagioCodecHevc) : codec == 10;
}
