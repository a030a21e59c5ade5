#pragma once

#include <cstddef>
#include <string_view>

// Watermark texts, font names and paths travel as UTF-8 from the shell to the
// drawer; these keep them valid when they are checked or cut to fit a buffer.
namespace wmtext {

bool IsValidUtf8(std::string_view s);
// The longest prefix of a valid UTF-8 string, at most maxBytes long, that
// ends on a character boundary.
size_t FitUtf8(std::string_view s, size_t maxBytes);

}  // namespace wmtext
