#include "PspLayout.h"

#include <vector>

#include "BigEndian.h"

namespace mp4label {
namespace {

constexpr uint32_t kMsnv = FourCC("MSNV");
constexpr uint32_t kProf = FourCC("PROF");
constexpr uint32_t kUsmt = FourCC("USMT");
constexpr uint32_t kTitleEntryType = 1;

// Finds the first box of the given type (and, when firstWord is not 0, that
// first word) among the siblings in [begin, end). last is the last box read.
bool FindChild(const ByteSource& src, uint64_t begin, uint64_t end, uint32_t type,
               uint32_t firstWord, std::optional<BoxHeader>& found,
               std::optional<BoxHeader>* last = nullptr) {
    found.reset();
    uint64_t pos = begin;
    for (int n = 0; pos < end; ++n) {
        if (n == kMaxBoxesPerLevel) return false;
        BoxHeader box;
        if (!ReadBoxHeader(src, pos, end, box)) return false;
        if (last) *last = box;
        if (box.type == type && (firstWord == 0 || box.firstWord == firstWord)) {
            found = box;
            return true;
        }
        pos = box.End();
    }
    return true;
}

// Walks the entries of an "MTDT" box: 16-bit count, then entries of 16-bit
// size (whole entry), 32-bit type, 16-bit language, 16-bit encoding, payload.
bool ReadMtdtTitle(const ByteSource& src, const BoxHeader& mtdt,
                   std::optional<std::u16string>& title) {
    const uint64_t end = mtdt.End();
    uint64_t pos = mtdt.dataPos;
    uint8_t buf[6];
    if (end - pos < 2 || !src.ReadAt(pos, buf, 2)) return false;
    const unsigned count = LoadBe16(buf);
    pos += 2;
    for (unsigned i = 0; i < count; ++i) {
        if (end - pos < 6 || !src.ReadAt(pos, buf, 6)) return false;
        const uint16_t entrySize = LoadBe16(buf);
        const uint32_t entryType = LoadBe32(buf + 2);
        if (entrySize > end - pos) return false;
        if (entryType == kTitleEntryType) {
            if (entrySize < 10) return false;
            // The payload is UTF-16BE; an odd last byte is the high half of a
            // unit whose low half is 0. The title ends at the first 0 unit.
            const size_t payloadBytes = entrySize - 10u;
            std::vector<uint8_t> payload(payloadBytes + 1, 0);
            if (!src.ReadAt(pos + 10, payload.data(), payloadBytes)) return false;
            std::u16string text;
            for (size_t k = 0; k + 1 < payload.size(); k += 2) {
                const char16_t unit = static_cast<char16_t>(LoadBe16(&payload[k]));
                if (unit == 0) break;
                text.push_back(unit);
            }
            title = std::move(text);
            return true;
        }
        if (entrySize < 6) return false;
        pos += entrySize;
    }
    return true;
}

}  // namespace

bool LocatePspLayout(const ByteSource& src, PspLayout& out) {
    const uint64_t fileEnd = src.Size();
    BoxHeader ftyp, prof;
    if (!ReadBoxHeader(src, 0, fileEnd, ftyp) || ftyp.type != FourCC("ftyp") ||
        ftyp.firstWord != kMsnv)
        return false;
    if (!ReadBoxHeader(src, ftyp.End(), fileEnd, prof) || prof.type != FourCC("uuid") ||
        prof.firstWord != kProf)
        return false;

    std::optional<BoxHeader> moov;
    if (!FindChild(src, prof.End(), fileEnd, FourCC("moov"), 0, moov) || !moov) return false;

    PspLayout layout;
    layout.moov = *moov;
    if (!FindChild(src, moov->dataPos, moov->End(), FourCC("uuid"), kUsmt, layout.usmt,
                   &layout.lastChild))
        return false;
    out = layout;
    return true;
}

bool ReadTitleEntry(const ByteSource& src, const PspLayout& layout,
                    std::optional<std::u16string>& title) {
    title.reset();
    if (!layout.usmt) return true;
    const BoxHeader& usmt = *layout.usmt;
    // Children start after the 16-byte extended type; a box too short to hold
    // it simply has none.
    const uint64_t childrenPos = usmt.dataPos + 16;
    if (childrenPos >= usmt.End()) return true;
    std::optional<BoxHeader> mtdt;
    if (!FindChild(src, childrenPos, usmt.End(), FourCC("MTDT"), 0, mtdt)) return false;
    if (!mtdt) return true;
    return ReadMtdtTitle(src, *mtdt, title);
}

bool ReadPspTitle(const ByteSource& src, std::optional<std::u16string>& title) {
    PspLayout layout;
    return LocatePspLayout(src, layout) && ReadTitleEntry(src, layout, title);
}

}  // namespace mp4label
