#pragma once

// Names of the codecs a stream description numbers (MediaFileInfo,
// TAddFailure's detail): FLV's CodecID and SoundFormat, and for the extended
// FLV headers the FourCC, stored as its big-endian number ('hvc1' =
// 0x68766331), which no 4-bit number can equal. A FourCC the engine does not
// know is named by its letters, so a refusal can say which codec it was.

#include <cstdint>
#include <string>

namespace codecnames {

// A FourCC is four printable letters; other numbers past FLV's tables name
// nothing (the shell shows "none" for them, as for any number it does not know).
inline bool IsFourcc(int32_t codec) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const uint32_t c = (uint32_t(codec) >> shift) & 0xFF;
        if (c < 0x20 || c >= 0x7F) return false;
    }
    return true;
}

// "'vvc1'": the letters of a FourCC, '?' for what is not printable.
inline std::string FourccText(int32_t codec) {
    std::string s = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = char(uint32_t(codec) >> shift);
        s += c >= 0x20 && c < 0x7F ? c : '?';
    }
    return s + "'";
}

inline constexpr int32_t Fourcc(char a, char b, char c, char d) {
    return int32_t(uint32_t(uint8_t(a)) << 24 | uint32_t(uint8_t(b)) << 16 | uint32_t(uint8_t(c)) << 8 |
                   uint8_t(d));
}

// The codecs of the extended headers the engine decodes; "" for the FLV
// numbers below 16 (the shell has its own table of those), a FourCC's
// letters for one it does not know.
inline std::string VideoFourccName(int32_t codec) {
    if (codec == 12) return "HEVC";
    if (!IsFourcc(codec)) return {};
    if (codec == Fourcc('h', 'v', 'c', '1')) return "HEVC";
    if (codec == Fourcc('a', 'v', '0', '1')) return "AV1";
    if (codec == Fourcc('v', 'p', '0', '9')) return "VP9";
    return FourccText(codec);
}

inline std::string SoundFourccName(int32_t format) {
    if (!IsFourcc(format)) return {};
    if (format == Fourcc('O', 'p', 'u', 's')) return "Opus";
    if (format == Fourcc('f', 'L', 'a', 'C')) return "FLAC";
    if (format == Fourcc('a', 'c', '-', '3')) return "AC-3";
    if (format == Fourcc('e', 'c', '-', '3')) return "E-AC-3";
    if (format == Fourcc('.', 'm', 'p', '3')) return "MP3";
    return FourccText(format);
}

}  // namespace codecnames
