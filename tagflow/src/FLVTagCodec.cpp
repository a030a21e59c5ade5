#include "FLVTagCodec.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <new>

#include "CodecSetup.h"
#include "ReadAble.h"

static_assert(sizeof(FLVInfo) == 64, "FLVInfo is a fixed 64-byte record");
static_assert(offsetof(FLVInfo, duration) == 40 && offsetof(FLVInfo, frameRate) == 48);

namespace {

uint32_t Be24(const uint8_t* p) { return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]; }
uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }

// MSB-first bit reader that reports running out instead of reading past.
class BitReader {
public:
    BitReader(const uint8_t* p, uint32_t bytes) : m_p(p), m_bits(uint64_t(bytes) * 8) {}
    bool Get(int n, uint32_t& out) {
        if (m_pos + n > m_bits) return false;
        out = 0;
        for (int i = 0; i < n; ++i, ++m_pos)
            out = out << 1 | ((m_p[m_pos >> 3] >> (7 - (m_pos & 7))) & 1);
        return true;
    }

private:
    const uint8_t* m_p;
    uint64_t m_bits;
    uint64_t m_pos = 0;
};

// Sorenson H.263 picture header: start code, version, temporal reference, then PictureSize.
void H263Size(const uint8_t* p, uint32_t n, uint32_t& width, uint32_t& height) {
    static const uint16_t kSizes[8][2] = {{0, 0},     {0, 0},     {352, 288}, {176, 144},
                                          {128, 96},  {320, 240}, {160, 120}, {0, 0}};
    BitReader bits(p, n);
    uint32_t skip, size;
    if (!bits.Get(30, skip) || !bits.Get(3, size)) return;
    uint32_t w = kSizes[size][0], h = kSizes[size][1];
    if (size == 0 || size == 1) {
        const int fieldBits = size == 0 ? 8 : 16;
        if (!bits.Get(fieldBits, w) || !bits.Get(fieldBits, h)) return;
    }
    width = w;
    height = h;
}

// VP6 key-frame header: macroblock rows and columns after an optional 2-byte field.
void Vp6Size(const uint8_t* p, uint32_t n, uint32_t hAdjust, uint32_t vAdjust, uint32_t& width,
             uint32_t& height) {
    if (n < 2) return;
    uint32_t pos = 2;
    if ((p[0] & 1) || (p[1] & 6) == 0) pos += 2;
    if (pos + 2 > n) return;
    const uint32_t rows = p[pos] * 16u, cols = p[pos + 1] * 16u;
    height = rows > vAdjust ? rows - vAdjust : 0;
    width = cols > hAdjust ? cols - hAdjust : 0;
}

// The part of a FourCC codec's payload among the loaded bytes.
uint32_t LoadedPart(const TagioTagLayout& l, uint32_t loaded) {
    if (l.payloadOffset >= loaded) return 0;
    return std::min(l.payloadSize, loaded - l.payloadOffset);
}

void DecodeVideoFields(FLVTag& t, const uint8_t* d, uint32_t n) {
    TagioTagLayout l;
    Flv_ReadTagLayout(9, d, n, t.dataSize, &l);
    t.codecField1 = l.frameType;
    t.codecField2 = l.codec;
    t.trackCount = l.trackCount;
    t.videoPayload = d + (l.extended ? l.payloadOffset : 1);
    t.videoPayloadSize = l.extended ? LoadedPart(l, n) : n - 1;
    const uint32_t codec = t.codecField2;
    const bool key = t.codecField1 == 1;
    uint32_t width = 0, height = 0;

    if (codec == 4 || codec == 5) {
        const uint32_t head = codec == 4 ? 2 : 5;   // VP6 alpha adds the 24-bit OffsetToAlpha
        if (n >= head) {
            t.vp6HAdjust = d[1] >> 4;
            t.vp6VAdjust = d[1] & 15;
            t.vp6Payload = d + head;
            if (codec == 4) {
                t.vp6PayloadSize = n - head;
            } else {
                const uint32_t offset = Be24(d + 2);
                t.alphaOffset = offset;
                if (offset <= n - head) {   // the alpha part must lie inside the data
                    t.vp6PayloadSize = offset;
                    t.alphaPayload = d + head + offset;
                    t.alphaPayloadSize = n - head - offset;
                } else {
                    t.vp6Payload = nullptr;
                }
            }
            if (key && t.vp6Payload)
                Vp6Size(t.vp6Payload, n - head, t.vp6HAdjust, t.vp6VAdjust, width, height);
        }
    } else if (Flv_HasPacketType(9, codec)) {
        // AVC and HEVC: packet type, composition time, then the record or
        // the NAL units; the FourCC codecs: their headers, then the same.
        t.packetType = l.packetType;
        t.compositionTime = l.compositionTime;
        TagioCodecSetup setup;
        int32_t w = 0, h = 0;
        if (key && t.packetType == kPacketSetup && ReadCodecSetup(9, d, n, &setup)) {
            w = setup.width;
            h = setup.height;
        } else if (key && codec == TagioFourccVp9 && t.packetType == kPacketMedia) {
            Flv_ReadVp9FrameSize(t.videoPayload, t.videoPayloadSize, &w, &h);
        }
        width = uint32_t(w);
        height = uint32_t(h);
    } else if (key && codec == 2) {
        H263Size(d + 1, n - 1, width, height);
    } else if (key && (codec == 3 || codec == 6) && n >= 5) {
        width = Be16(d + 1) & 0xFFF;
        height = Be16(d + 3) & 0xFFF;
    }
    if (key) {
        t.codecField3 = width;
        t.codecField4 = height;
    }
}

}  // namespace

bool DecodeFLVHeader(CReadAble& source, FLVFileHeader& header) {
    try {
        uint8_t b[kFLVFileHeaderSize];
        if (source.Read(b, sizeof b) != sizeof b) return false;
        if (b[0] != 'F' || b[1] != 'L' || b[2] != 'V') return false;
        header.version = b[3];
        header.hasVideo = b[4] & 1;
        header.hasAudio = (b[4] >> 2) & 1;
        header.dataOffset = uint32_t(b[5]) << 24 | Be24(b + 6);
        // The skip before the first tag is DataOffset - 5: it must not go negative.
        return header.dataOffset >= kFLVFileHeaderSize;
    } catch (...) {
        return false;
    }
}

bool DecodeTagHeader(CReadAble& source, FLVTag& tag) {
    uint8_t h[kTagHeaderSize];
    if (source.Read(h, sizeof h) != sizeof h) return false;
    tag.type = h[0];
    tag.dataSize = Be24(h + 1);
    tag.timestamp = Be24(h + 4) | uint32_t(h[7]) << 24;
    tag.streamId = Be24(h + 8);
    tag.tagSize = tag.dataSize + kTagHeaderSize + kPreviousTagSizeBytes;
    return true;
}

bool LoadTagBuffer(FLVTag& tag, const uint8_t header[kTagHeaderSize], uint32_t loadBytes) {
    const uint32_t need = kTagHeaderSize + loadBytes + kTagPadding;
    if (!tag.buffer || tag.bufferCapacity < need) {
        std::free(tag.buffer);
        tag.buffer = static_cast<uint8_t*>(std::malloc(need));
        tag.bufferCapacity = tag.buffer ? need : 0;
        if (!tag.buffer) return false;
    }
    std::memcpy(tag.buffer, header, kTagHeaderSize);
    std::memset(tag.buffer + kTagHeaderSize + loadBytes, 0, kTagPadding);
    return true;
}

bool GrowTagBuffer(FLVTag& tag, uint32_t loadBytes) {
    const uint32_t need = kTagHeaderSize + loadBytes + kTagPadding;
    if (!tag.buffer) return false;
    if (tag.bufferCapacity < need) {
        auto* grown = static_cast<uint8_t*>(std::realloc(tag.buffer, need));
        if (!grown) return false;
        tag.buffer = grown;
        tag.bufferCapacity = need;
    }
    std::memset(tag.buffer + kTagHeaderSize + loadBytes, 0, kTagPadding);
    return true;
}

void DecodeTagBody(FLVTag& t, const uint8_t* data, uint32_t loaded) {
    if (!t.buffer) {   // not loaded: the bytes are skipped
        t.data = nullptr;
        return;
    }
    if (loaded > t.dataSize) loaded = t.dataSize;
    t.data = t.buffer + kTagHeaderSize;
    if (loaded && data != t.data) std::memcpy(t.data, data, loaded);
    if (loaded == 0) return;
    t.trackCount = 1;
    if (t.type == 8) {
        const uint8_t b = t.data[0];
        TagioTagLayout l;
        Flv_ReadTagLayout(8, t.data, loaded, t.dataSize, &l);
        t.codecField1 = l.codec;        // SoundFormat or FourCC
        t.trackCount = l.trackCount;
        if (l.extended) {   // the low bits hold the packet type: the payload is past the headers
            t.packetType = l.packetType;
            t.audioPayload = t.data + std::min(l.payloadOffset, loaded);
            t.audioPayloadSize = LoadedPart(l, loaded);
            return;
        }
        t.codecField2 = (b >> 2) & 3;   // SoundRate index
        t.codecField3 = (b >> 1) & 1;   // SoundSize
        t.codecField4 = b & 1;          // SoundType
        t.audioPayload = t.data + 1;
        t.audioPayloadSize = loaded - 1;
        if (t.codecField1 == 10 && loaded >= 2) t.packetType = t.data[1];   // AACPacketType
    } else if (t.type == 9) {
        DecodeVideoFields(t, t.data, loaded);
    }
}

void StoreTimestamp(FLVTag& tag, uint32_t timestamp) {
    tag.timestamp = timestamp;
    if (!tag.buffer) return;
    tag.buffer[4] = uint8_t(timestamp >> 16);
    tag.buffer[5] = uint8_t(timestamp >> 8);
    tag.buffer[6] = uint8_t(timestamp);
    tag.buffer[7] = uint8_t(timestamp >> 24);   // TimestampExtended
}

void ResetTagKeepBuffer(FLVTag& tag) {
    uint8_t* buffer = tag.buffer;
    const uint32_t capacity = tag.bufferCapacity;
    tag = FLVTag{};
    tag.buffer = buffer;
    tag.bufferCapacity = capacity;
}

FLVTag* NewTag() { return new (std::nothrow) FLVTag{}; }

void FreeTag(FLVTag* tag) {
    if (!tag) return;
    std::free(tag->buffer);
    delete tag;
}

void UnloadTag(FLVTag& tag) {
    std::free(tag.buffer);
    tag.buffer = nullptr;
    tag.bufferCapacity = 0;
    tag.data = nullptr;
}
