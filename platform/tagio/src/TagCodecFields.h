// The codec fields of an FLV tag, decoded from the first bytes of its data.
#pragma once

#include <cstdint>

#include "tagio/tagio.h"

namespace tagio {

// Bytes of a tag's data that hold every field DecodeCodecFields reads.
inline constexpr uint32_t kCodecFieldBytes = 16;
// A video setup up to this size is read whole for its picture size.
inline constexpr uint32_t kSetupBytes = 4096;
// A VP9 key frame declares its size within its first bytes (after the tag headers).
inline constexpr uint32_t kVp9HeaderBytes = 64;

// Fills the codec fields, the packet type, the composition time and the
// track count of an audio (8) or video (9) tag from the first `available`
// bytes of its data (all of them when the tag is loaded, at least
// kCodecFieldBytes or the whole data otherwise; dataSize must be set).
// Fields it cannot tell are 0. layout, when given, receives the data's layout.
void DecodeCodecFields(TagioFlvTag& tag, const uint8_t* data, uint32_t available,
                       TagioTagLayout* layout = nullptr);

// How many data bytes an unloaded tag needs read for its picture size, when
// the first kCodecFieldBytes did not hold it (0: none more).
uint32_t SizeBytesWanted(const TagioFlvTag& tag);

}  // namespace tagio
