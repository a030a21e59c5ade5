// The "USMT" metadata box that carries the title.
#ifndef MP4LABEL_TITLEBOX_H
#define MP4LABEL_TITLEBOX_H

#include <cstdint>
#include <string_view>
#include <vector>

namespace mp4label {

// Packs a three-letter ISO 639-2 code the way MP4 media headers do: five bits
// per letter.
constexpr uint16_t PackLanguage(const char (&code)[4]) {
    return static_cast<uint16_t>(((code[0] * 1024) & 0x7FFF) | ((code[1] * 32) & 0x3FF) |
                                 (code[2] & 0x1F));
}

// The longest title whose entry size still fits the entry's 16-bit size field.
constexpr size_t kMaxTitleUnits = (0xFFFF - 12) / 2;

// Builds the whole box (140 + 2 x title units bytes): a uuid box of the USMT
// kind holding one "MTDT" box with four entries, the title among them. False
// when the title is longer than kMaxTitleUnits.
bool BuildTitleBox(std::u16string_view title, std::vector<uint8_t>& out);

}  // namespace mp4label

#endif
