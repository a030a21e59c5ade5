// The codec fields of an FLV tag, decoded from the first bytes of its data.
#pragma once

#include <cstdint>

#include "tagio/tagio.h"

namespace tagio {

// Bytes of a tag's data that hold every field DecodeCodecFields reads.
inline constexpr uint32_t kCodecFieldBytes = 16;
// An H.264 sequence header up to this size is read whole for its picture size.
inline constexpr uint32_t kSetupBytes = 4096;

// Fills the codec fields of an audio (8) or video (9) tag from the first
// `available` bytes of its data (all of them when the tag is loaded, at least
// kCodecFieldBytes or the whole data otherwise). Fields it cannot tell are 0.
void DecodeCodecFields(TagioFlvTag& tag, const uint8_t* data, uint32_t available);

}  // namespace tagio
