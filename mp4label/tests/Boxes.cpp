#include "Boxes.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace boxes {

Bytes Be16(uint16_t v) { return {uint8_t(v >> 8), uint8_t(v)}; }
Bytes Be32(uint32_t v) { return Cat({Be16(uint16_t(v >> 16)), Be16(uint16_t(v))}); }
Bytes Be64(uint64_t v) { return Cat({Be32(uint32_t(v >> 32)), Be32(uint32_t(v))}); }
Bytes Text(std::string_view s) { return Bytes(s.begin(), s.end()); }

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Box(std::string_view type, const Bytes& body) {
    return Cat({Be32(uint32_t(8 + body.size())), Text(type), body});
}

Bytes LargeBox(std::string_view type, const Bytes& body) {
    return Cat({Be32(1), Text(type), Be64(16 + body.size()), body});
}

Bytes Uuid(std::string_view kind4, const Bytes& body) {
    const Bytes rest = {0x21, 0xD2, 0x4F, 0xCE, 0xBB, 0x88, 0x69, 0x5C, 0xFA, 0xC9, 0xC7, 0x40};
    return Box("uuid", Cat({Text(kind4), rest, body}));
}

Bytes PspHead() {
    return Cat({Box("ftyp", Cat({Text("MSNV"), Be32(0x200), Text("MSNVisomiso2")})),
                Uuid("PROF", Cat({Be32(0), Be32(0)}))});
}

Bytes Stco(std::initializer_list<uint32_t> offsets) {
    Bytes body = Cat({Be32(0), Be32(uint32_t(offsets.size()))});
    for (uint32_t o : offsets) body = Cat({body, Be32(o)});
    return Box("stco", body);
}

Bytes Co64(std::initializer_list<uint64_t> offsets) {
    Bytes body = Cat({Be32(0), Be32(uint32_t(offsets.size()))});
    for (uint64_t o : offsets) body = Cat({body, Be64(o)});
    return Box("co64", body);
}

Bytes Trak(const Bytes& stblChild) {
    return Box("trak", Box("mdia", Box("minf", Box("stbl", stblChild))));
}

Bytes Entry(uint32_t type, uint16_t language, uint16_t encoding, const Bytes& payload) {
    return Cat({Be16(uint16_t(10 + payload.size())), Be32(type), Be16(language), Be16(encoding),
                payload});
}

Bytes Utf16Be(std::u16string_view s) {
    Bytes out;
    for (char16_t c : s) out = Cat({out, Be16(c)});
    return Cat({out, Be16(0)});
}

Bytes Usmt(std::initializer_list<Bytes> entries) {
    Bytes body = Be16(uint16_t(entries.size()));
    for (const Bytes& e : entries) body = Cat({body, e});
    return Uuid("USMT", Box("MTDT", body));
}

uint32_t Load32(const Bytes& b, size_t at) {
    return (uint32_t(b.at(at)) << 24) | (uint32_t(b.at(at + 1)) << 16) |
           (uint32_t(b.at(at + 2)) << 8) | b.at(at + 3);
}

uint64_t Load64(const Bytes& b, size_t at) {
    return (uint64_t(Load32(b, at)) << 32) | Load32(b, at + 4);
}

std::vector<TopBox> TopLevel(const Bytes& file) {
    std::vector<TopBox> out;
    uint64_t pos = 0;
    while (pos + 8 <= file.size()) {
        uint64_t size = Load32(file, pos);
        if (size == 1) size = Load64(file, pos + 8);
        if (size == 0) size = file.size() - pos;
        if (size < 8 || size > file.size() - pos) break;
        out.push_back({std::string(file.begin() + long(pos) + 4, file.begin() + long(pos) + 8),
                       pos, size});
        pos += size;
    }
    return out;
}

TopBox FindTop(const Bytes& file, std::string_view type) {
    for (const TopBox& b : TopLevel(file))
        if (b.type == type) return b;
    ADD_FAILURE() << "no top-level " << type << " box";
    return {std::string(type), 0, 0};
}

size_t Find(const Bytes& hay, const Bytes& needle, size_t from) {
    if (from > hay.size()) return std::string::npos;
    auto it = std::search(hay.begin() + long(from), hay.end(), needle.begin(), needle.end());
    return it == hay.end() ? std::string::npos : size_t(it - hay.begin());
}

}  // namespace boxes
