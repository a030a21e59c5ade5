// avkit remux writer: coded packets straight into MP4, MOV or Matroska,
// nothing decoded or encoded. The caller hands each stream's setup
// (H.264 avcC, AAC AudioSpecificConfig ...) and then its packets with their
// decode and presentation times in ms.
#pragma once

#include <stdint.h>

#include "avkit/avkit.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AvkRemux AvkRemux;

// container: "mp4", "mov" or "matroska". The file is created by ARMX_Begin.
// MP4 and MOV are written with their index before the media (fast start)
// into the same file. Null for an unknown container or without memory.
AVKIT_API AvkRemux* ARMX_Create(const char* container, const char* path);
// Frees the writer; a file begun but not ended is closed as it stands,
// what waits to be written dropped (lent bytes may be gone by then).
AVKIT_API void ARMX_Delete(AvkRemux* h);

// Streams, before ARMX_Begin. codec: avkit's numbering (28 H.264, 22 Sorenson
// H.263, 94 VP6, 86018 AAC, 86017 MP3, 65536 16-bit PCM ...). fourcc: packed
// first character lowest, 0 for the container's own tag. extra: the codec
// setup, copied (HEVC hvcC, AV1 av1C, Opus ID header, FLAC STREAMINFO; VP9:
// its VPCodecConfigurationRecord, whose fields describe the stream). Return
// the stream's index, or -1 when the container cannot hold the codec or
// memory runs out.
AVKIT_API int ARMX_AddVideo(AvkRemux* h, int codec, uint32_t fourcc, int width, int height,
                            const uint8_t* extra, int extraSize);
AVKIT_API int ARMX_AddAudio(AvkRemux* h, int codec, int sampleRate, int channels, int bitsPerSample,
                            const uint8_t* extra, int extraSize);
// A container tag ("title", "artist", "album", "date", "comment", "track",
// "copyright"); an empty value is skipped. Before ARMX_Begin.
AVKIT_API int ARMX_SetTag(AvkRemux* h, const char* key, const char* value);
// Declares a chapter by its title, before ARMX_Begin. Its times are given
// with ARMX_SetChapterTime: for mp4 and mov before ARMX_Begin (their chapter
// track is written with the header), for matroska any time before ARMX_End.
AVKIT_API int ARMX_AddChapter(AvkRemux* h, const char* title);
AVKIT_API int ARMX_SetChapterTime(AvkRemux* h, int index, int64_t startMs, int64_t endMs);

// MP4 and MOV: room for the index kept before the media, so it is written
// there at the end instead of the whole file being rewritten to move it
// (worth it for large files). bytes: at least the index's size, or the file
// fails at ARMX_End. 0 (the default): the index is moved to the front.
// Before ARMX_Begin.
AVKIT_API int ARMX_SetIndexRoom(AvkRemux* h, int64_t bytes);
// Creates the file and writes the container's header. Nonzero on success.
AVKIT_API int ARMX_Begin(AvkRemux* h);
// One coded packet; data is read during the call only (the muxer writes it
// out or keeps its own copy). Decode times of a stream must increase, and
// packets are written in the order given: the caller interleaves the
// streams. Nonzero on success.
AVKIT_API int ARMX_Write(AvkRemux* h, int stream, const uint8_t* data, int size, int64_t dtsMs,
                         int64_t ptsMs, int key);
// As ARMX_Write, for data the caller lends: it stays readable and
// unchanged until the next ARMX_Release, ARMX_End or ARMX_Delete, and the
// writer may refer to it until then instead of copying it, to write it
// with what follows in one gathered write. The muxer may still read some of
// it during the call (a packet's first bytes).
AVKIT_API int ARMX_WriteLent(AvkRemux* h, int stream, const uint8_t* data, int size, int64_t dtsMs,
                             int64_t ptsMs, int key);
// Writes out whatever refers to lent data, so that the caller may let go of
// it. Nonzero on success.
AVKIT_API int ARMX_Release(AvkRemux* h);
// Writes the index (moved to the front for MP4 and MOV) and closes the file.
// Nonzero on success.
AVKIT_API int ARMX_End(AvkRemux* h);
// What failed last, in words; empty when nothing did.
AVKIT_API const char* ARMX_Error(const AvkRemux* h);

#ifdef __cplusplus
}
#endif
