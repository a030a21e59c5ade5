#pragma once

#include <string>

// What a conversion does to a finished output. Each returns true on success
// and otherwise leaves the output as it was written.

// Moves an MP4/MOV file's index before its media data. The rewrite goes to a
// temporary file beside the output and replaces the output only when it is
// complete.
bool FastStartInPlace(const std::string& path);

// Rewrites an FLV file's onMetaData with its real facts and key-frame index.
bool UpdateFlvMetadata(const std::string& path);

// Writes the title into a PSP-style MP4 file (UTF-8 in). error: why not.
bool WritePspTitle(const std::string& path, const std::string& title, std::string& error);
