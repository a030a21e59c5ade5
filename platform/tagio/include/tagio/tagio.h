// tagio: FLV file access below the tag reader. File readers with 64-bit
// positions, and the duration of one FLV audio block.
#pragma once

#include <stdint.h>

#if defined(TAGIO_BUILD)
#define TAGIO_API __attribute__((visibility("default")))
#else
#define TAGIO_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct TagioFileReadAble TagioFileReadAble;

// Opens a file for binary reading; null when it cannot be opened or is a folder.
TAGIO_API TagioFileReadAble* CreateFileReadAble(const char* path);
TAGIO_API void DeleteFileReadAble(TagioFileReadAble* h);
// Length of the file when it was opened.
TAGIO_API int64_t FileReadAble_GetSize(TagioFileReadAble* h);
TAGIO_API int64_t FileReadAble_GetPosition(TagioFileReadAble* h);
// origin 0 from the start, 1 from the current position, 2 from the end.
// Returns the new position, or -1 (position unchanged) for a bad origin or a
// position before the start. Positions past the end are allowed; reads there return 0.
TAGIO_API int64_t FileReadAble_Seek(TagioFileReadAble* h, int64_t offset, int origin);
// Reads up to count bytes at the current position and advances it.
// Returns the bytes read (fewer only at the end of the file) or -1 on a read error.
TAGIO_API int64_t FileReadAble_Read(TagioFileReadAble* h, void* buffer, uint32_t count);
// As Read, at an absolute position, leaving the current position alone.
TAGIO_API int64_t FileReadAble_ReadAt(TagioFileReadAble* h, int64_t position, void* buffer,
                                      uint32_t count);

// Duration of one FLV audio block in units of 100 ns, or -1 when it cannot
// be told. data/size: the sound data after the tag's format byte.
// soundFormat: the FLV SoundFormat; sampleRate in Hz; bytesPerSample 1 or 2;
// channels 1 or 2 (the values the tag declares).
TAGIO_API int64_t CalcFLVAudioBlockDuration(const uint8_t* data, uint32_t size, int soundFormat,
                                            int sampleRate, int bytesPerSample, int channels);

#ifdef __cplusplus
}
#endif
