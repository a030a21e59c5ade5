#pragma once

// Numbers in the profile file are written with "." whatever the user's
// locale; these never consult the locale.

#include <optional>
#include <string>
#include <string_view>

namespace profiles {

// The whole text (surrounding blanks allowed) as an integer; nullopt otherwise.
std::optional<long long> ParseInteger(std::string_view text);

// The whole text as a finite number. "." is the separator; a text with a
// single "," and no "." (a file written under a comma locale) is read too.
std::optional<double> ParseNumber(std::string_view text);

// Shortest text that reads back as the same value, always with "." ("25",
// "29.97").
std::string FormatNumber(double value);

// A size written as width "x" height ("320x240"); nullopt unless both are
// integers.
struct SizeText {
    int width = 0, height = 0;
};
std::optional<SizeText> ParseSize(std::string_view text);

}  // namespace profiles
