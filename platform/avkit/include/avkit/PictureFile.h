// Picture files (BMP, JPEG, PNG, TIFF, icons, animated GIF) read through
// FFmpeg's image demuxers and decoders, frame by frame as BGRA pixels.
#pragma once

#include <stdint.h>

#include "avkit/avkit.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AvkPictureFile AvkPictureFile;

// Opens a picture file (UTF-8 path). Null when the file cannot be read, is no
// picture, is absurdly large, or claims more pixels than its size can hold.
// Only the compressed frames are kept in memory; a frame's pixels are
// allocated when a frame is first asked for.
AVKIT_API AvkPictureFile* APF_Open(const char* path);
AVKIT_API void APF_Close(AvkPictureFile* h);

// "BMP", "GIF", "Icon", "JPEG", "PNG" or "TIFF".
AVKIT_API const char* APF_TypeName(const AvkPictureFile* h);
AVKIT_API int APF_Width(const AvkPictureFile* h);
AVKIT_API int APF_Height(const AvkPictureFile* h);
// Frames in time; 1 for a still picture.
AVKIT_API int APF_FrameCount(const AvkPictureFile* h);
// Whether the file stores a display delay per frame (animated formats).
AVKIT_API int APF_HasFrameDelays(const AvkPictureFile* h);
// The stored delay of a frame in hundredths of a second, as written in the
// file (0 included); -1 when the file stores none or index is out of range.
AVKIT_API int APF_FrameDelay(const AvkPictureFile* h, int index);
// The frame as width x height BGRA pixels, width*4 bytes per row, top row
// first, with earlier frames composed under it as the animation shows it.
// The pixels stay owned by the handle until its next call; null on failure.
AVKIT_API const uint8_t* APF_FrameBGRA(AvkPictureFile* h, int index);

#ifdef __cplusplus
}
#endif
