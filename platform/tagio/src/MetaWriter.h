// Builds the data of an onMetaData script tag from a file's facts.
#pragma once

#include <cstdint>
#include <vector>

#include "Amf0.h"
#include "MetaFacts.h"

namespace tagio {

// Largest data a tag can hold (DataSize is 24 bits).
inline constexpr uint32_t kMaxTagData = 0xFFFFFF;

// The onMetaData data for a file laid out as: header and PreviousTagSize0
// (13 bytes), this tag, then keptBytes of tags. extras: properties of the
// old metadata (values in oldData) to keep after the ones written here; a
// property written here, "keyframes", or one holding a reference is left out.
// False when the result would not fit in one tag.
bool BuildOnMetaData(const MetaFacts& facts, uint64_t keptBytes,
                     const std::vector<amf::Property>& extras, const std::vector<uint8_t>& oldData,
                     std::vector<uint8_t>& out);

}  // namespace tagio
