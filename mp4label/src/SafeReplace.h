// Replacing a file's contents so that a failure at any point leaves the
// original as it was: the new contents go to a temporary file in the same
// folder, which is flushed to disk and only then renamed over the original.
#ifndef MP4LABEL_SAFEREPLACE_H
#define MP4LABEL_SAFEREPLACE_H

#include <cstdint>
#include <span>
#include <string>

#include "PosixFile.h"

namespace mp4label {

// Makes path hold the bytes of original (an open descriptor of the same file,
// length bytes long) with [cutStart, cutEnd) replaced by insert. The file's
// permission bits are kept; a symbolic link at path keeps pointing at the
// updated file. On success replaced is the new file, open for reading and
// writing. On failure nothing is left behind and path is untouched.
bool ReplaceFileRange(const PosixFile& original, uint64_t length, const std::string& path,
                      uint64_t cutStart, uint64_t cutEnd, std::span<const uint8_t> insert,
                      PosixFile& replaced);

}  // namespace mp4label

#endif
