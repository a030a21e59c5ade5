// Builds small MP4 box trees by hand for tests, independent of the library's
// own writer.
#ifndef MP4LABEL_TESTS_BOXES_H
#define MP4LABEL_TESTS_BOXES_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace boxes {

using Bytes = std::vector<uint8_t>;

Bytes Be16(uint16_t v);
Bytes Be32(uint32_t v);
Bytes Be64(uint64_t v);
Bytes Text(std::string_view s);  // the characters, no terminator
Bytes Cat(std::initializer_list<Bytes> parts);

Bytes Box(std::string_view type, const Bytes& body);       // 32-bit size
Bytes LargeBox(std::string_view type, const Bytes& body);  // size 1, then 64-bit size
Bytes Uuid(std::string_view kind4, const Bytes& body);    // uuid box: kind4 + 12 fixed bytes + body

Bytes PspHead();                                    // ftyp "MSNV" and the "PROF" uuid box
Bytes Stco(std::initializer_list<uint32_t> offsets);
Bytes Co64(std::initializer_list<uint64_t> offsets);
Bytes Trak(const Bytes& stblChild);                 // trak > mdia > minf > stbl > child

// One MTDT entry; payload as given.
Bytes Entry(uint32_t type, uint16_t language, uint16_t encoding, const Bytes& payload);
Bytes Utf16Be(std::u16string_view s);                // with terminator
Bytes Usmt(std::initializer_list<Bytes> entries);    // USMT uuid box holding one MTDT box

// Reads a big-endian field from a byte vector.
uint32_t Load32(const Bytes& b, size_t at);
uint64_t Load64(const Bytes& b, size_t at);

struct TopBox {
    std::string type;
    uint64_t start, size;
};
// The top-level boxes of a file (32-bit, 64-bit and to-end sizes).
std::vector<TopBox> TopLevel(const Bytes& file);
// The first top-level box of that type; fails the test when missing.
TopBox FindTop(const Bytes& file, std::string_view type);
// Returns the position of the first occurrence of needle, or npos.
size_t Find(const Bytes& hay, const Bytes& needle, size_t from = 0);

}  // namespace boxes

#endif
