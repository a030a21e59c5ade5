#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// RFC 4648 Base64 with "=" padding and no line breaks.
std::string Base64Encode(const void* bytes, size_t size);
// Skips characters outside the alphabet; "=" ends the current group of four.
std::vector<uint8_t> Base64Decode(std::string_view text);
