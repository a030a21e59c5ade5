#pragma once

#include <cstdint>

#include "projcore/Records.h"

// Brings the values a conversion cannot use into range, in place: with sound,
// a rate, bit rate or channel count below 1 becomes 44100 Hz, 128 kbit/s,
// stereo; with video, a size below 1 becomes 320 x 240, odd sizes are raised
// to even, bit rate and tolerance below 1 become 1.6 and 4 Mbit/s, a frame
// rate not above 0 becomes 25, a negative aspect ratio 0, the video
// parameter -1, and a scaling other than stretch (0) or letterbox (2)
// becomes letterbox.
void CorrectOutputSettings(OutputSettings& settings);

// Whether the record names this format ("flvbind", "asf" ...), without regard to case.
bool IsOutputFormat(const OutputSettings& settings, const char* name);

// Whether the output is a series of picture files (in a folder of its own).
bool IsPictureSeriesOutput(const OutputSettings& settings);

// Four characters packed with the first in the lowest byte.
constexpr uint32_t PackFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) | (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}
