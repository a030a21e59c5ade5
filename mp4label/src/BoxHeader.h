// One box header of the ISO base media file format, as this library reads it.
#ifndef MP4LABEL_BOXHEADER_H
#define MP4LABEL_BOXHEADER_H

#include <cstdint>

#include "ByteSource.h"

namespace mp4label {

constexpr uint32_t FourCC(const char (&s)[5]) {
    return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) |
           (uint32_t(uint8_t(s[2])) << 8) | uint32_t(uint8_t(s[3]));
}

// A walk over sibling boxes gives up after this many: real files have a
// handful per level, and the cap keeps a file of millions of empty boxes from
// turning one call into minutes of reads.
constexpr int kMaxBoxesPerLevel = 100000;

struct BoxHeader {
    uint64_t start = 0;     // file position of the size field
    uint64_t dataPos = 0;   // first byte after the 8- or 16-byte header
    uint64_t size = 0;      // the whole box, header included
    uint32_t type = 0;
    uint32_t firstWord = 0; // the 4 bytes after the header when size >= 12, else 0
    bool largeSize = false; // the size is stored as 64 bits after the type
    bool toEnd = false;     // the stored size is 0: the box runs to the end of its parent
    uint64_t End() const { return start + size; }
};

// Reads the header of the box at pos, which must lie wholly before limit (the
// end of the enclosing box or of the file). A stored size of 0 means "up to
// limit". Fails on a header that does not fit, a size smaller than the bytes
// the header itself takes, or a box that runs past limit.
bool ReadBoxHeader(const ByteSource& src, uint64_t pos, uint64_t limit, BoxHeader& out);

}  // namespace mp4label

#endif
