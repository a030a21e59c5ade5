// Decoding of the FLV file header, tag headers and the codec fields of a
// tag's first data bytes, plus the life of FLVTag records.
#pragma once

#include <cstdint>

#include "tagflow/tagflow.h"

class CReadAble;

struct FLVFileHeader {
    uint8_t version = 0;
    bool hasVideo = false;
    bool hasAudio = false;
    uint32_t dataOffset = 0;   // at least 9
};

constexpr uint32_t kFLVFileHeaderSize = 9;
constexpr uint32_t kTagHeaderSize = 11;
constexpr uint32_t kPreviousTagSizeBytes = 4;
// Zeroed bytes after the data so bitstream readers may overshoot safely.
constexpr uint32_t kTagPadding = 64;

// Decodes 9 bytes. False for a missing "FLV" signature, a short source, or a
// DataOffset below the header's own size.
bool DecodeFLVHeader(CReadAble& source, FLVFileHeader& header);

// Fills type, dataSize, timestamp, streamId and tagSize from 11 header bytes.
// False when the bytes run short.
bool DecodeTagHeader(CReadAble& source, FLVTag& tag);

// Gives the tag a buffer for loadBytes of data (reusing its block when it is
// large enough) and copies the header bytes into it. False when out of memory.
bool LoadTagBuffer(FLVTag& tag, const uint8_t header[kTagHeaderSize], uint32_t loadBytes);

// Makes room for loadBytes of data, keeping the header and the data already
// in the buffer. False when out of memory (the buffer is then unchanged).
bool GrowTagBuffer(FLVTag& tag, uint32_t loadBytes);

// Copies loaded data into the buffer and decodes the codec fields from it.
// loaded: the data bytes present (dataSize, or fewer for an index-only read).
void DecodeTagBody(FLVTag& tag, const uint8_t* data, uint32_t loaded);

// Writes a timestamp into the copied tag header, in the file's layout.
void StoreTimestamp(FLVTag& tag, uint32_t timestamp);

// Clears every field except the buffer block and its capacity.
void ResetTagKeepBuffer(FLVTag& tag);

FLVTag* NewTag();
void FreeTag(FLVTag* tag);

// Frees the buffer block: the tag then carries no data.
void UnloadTag(FLVTag& tag);
