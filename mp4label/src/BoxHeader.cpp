#include "BoxHeader.h"

#include "BigEndian.h"

namespace mp4label {

bool ReadBoxHeader(const ByteSource& src, uint64_t pos, uint64_t limit, BoxHeader& out) {
    if (limit > src.Size() || pos > limit || limit - pos < 8) return false;
    const uint64_t room = limit - pos;

    uint8_t head[16];
    if (!src.ReadAt(pos, head, 8)) return false;
    const uint32_t size32 = LoadBe32(head);
    BoxHeader box;
    box.start = pos;
    box.type = LoadBe32(head + 4);

    uint64_t headerBytes = 8;
    if (size32 == 1) {
        if (room < 16 || !src.ReadAt(pos + 8, head + 8, 8)) return false;
        box.size = LoadBe64(head + 8);
        box.largeSize = true;
        headerBytes = 16;
    } else if (size32 == 0) {
        box.size = room;
        box.toEnd = true;
    } else {
        box.size = size32;
    }
    box.dataPos = pos + headerBytes;

    // The first word is only looked at when the box claims room for it, and
    // a box must hold at least what its header says it holds.
    uint64_t counted = headerBytes;
    if (box.size >= 12) counted += 4;
    if (box.size < counted || box.size > room) return false;
    if (box.size >= 12) {
        uint8_t word[4];
        if (!src.ReadAt(box.dataPos, word, 4)) return false;
        box.firstWord = LoadBe32(word);
    }
    out = box;
    return true;
}

}  // namespace mp4label
