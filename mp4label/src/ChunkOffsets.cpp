#include "ChunkOffsets.h"

#include <limits>

#include "BigEndian.h"
#include "BoxHeader.h"

namespace mp4label {
namespace {

// moov > trak > mdia > minf > stbl > stco is as deep as the tables sit.
constexpr int kMaxDepth = 5;

bool Shifted(uint64_t value, uint64_t threshold, int64_t delta, uint64_t max, uint64_t& out) {
    out = value;
    if (value < threshold) return true;
    if (delta >= 0) {
        const uint64_t d = static_cast<uint64_t>(delta);
        if (value > max || d > max - value) return false;
        out = value + d;
    } else {
        const uint64_t d = uint64_t{0} - static_cast<uint64_t>(delta);
        if (d > value) return false;
        out = value - d;
    }
    return true;
}

// The table: version and flags (4), entry count (4), then entryBytes per entry.
bool ShiftTable(std::vector<uint8_t>& moov, const BoxHeader& box, size_t entryBytes,
                uint64_t threshold, int64_t delta) {
    const uint64_t bodyBytes = box.End() - box.dataPos;
    if (bodyBytes < 8) return false;
    const uint64_t count = LoadBe32(moov.data() + box.dataPos + 4);
    if (count > (bodyBytes - 8) / entryBytes) return false;
    uint8_t* p = moov.data() + box.dataPos + 8;
    for (uint64_t i = 0; i < count; ++i, p += entryBytes) {
        uint64_t value;
        if (entryBytes == 4) {
            if (!Shifted(LoadBe32(p), threshold, delta, std::numeric_limits<uint32_t>::max(), value))
                return false;
            StoreBe32(p, static_cast<uint32_t>(value));
        } else {
            if (!Shifted(LoadBe64(p), threshold, delta, std::numeric_limits<uint64_t>::max(), value))
                return false;
            StoreBe64(p, value);
        }
    }
    return true;
}

bool IsContainer(uint32_t type, int depth) {
    switch (depth) {
        case 1: return type == FourCC("trak");
        case 2: return type == FourCC("mdia");
        case 3: return type == FourCC("minf");
        case 4: return type == FourCC("stbl");
        default: return false;
    }
}

bool Walk(std::vector<uint8_t>& moov, const MemorySource& src, uint64_t begin, uint64_t end,
          int depth, uint64_t threshold, int64_t delta) {
    uint64_t pos = begin;
    for (int n = 0; pos < end; ++n) {
        if (n == kMaxBoxesPerLevel) return false;
        BoxHeader box;
        if (!ReadBoxHeader(src, pos, end, box)) return false;
        if (depth < kMaxDepth && IsContainer(box.type, depth)) {
            if (!Walk(moov, src, box.dataPos, box.End(), depth + 1, threshold, delta)) return false;
        } else if (depth == kMaxDepth && box.type == FourCC("stco")) {
            if (!ShiftTable(moov, box, 4, threshold, delta)) return false;
        } else if (depth == kMaxDepth && box.type == FourCC("co64")) {
            if (!ShiftTable(moov, box, 8, threshold, delta)) return false;
        }
        pos = box.End();
    }
    return true;
}

}  // namespace

bool ShiftChunkOffsets(std::vector<uint8_t>& moov, uint64_t threshold, int64_t delta) {
    // Reading headers through a source over the same bytes keeps every bounds
    // check in ReadBoxHeader; the tables' contents are patched in place and
    // never change a header.
    const MemorySource src(moov);
    BoxHeader top;
    if (!ReadBoxHeader(src, 0, moov.size(), top) || top.End() != moov.size()) return false;
    return Walk(moov, src, top.dataPos, top.End(), 1, threshold, delta);
}

}  // namespace mp4label
