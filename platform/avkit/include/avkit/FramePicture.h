// Writes one frame as a picture file: PNG, JPEG or BMP, chosen by the file
// name's extension (".png", ".jpg"/".jpeg", ".bmp", any case).
#pragma once

#include <stdint.h>

#include "avkit/avkit.h"

#ifdef __cplusplus
extern "C" {
#endif

// bgra: width x height pixels, stride bytes from one row to the next (negative
// for rows stored bottom-up); the picture is stored upright. Returns 1 when
// the file was written, 0 for an unknown extension, bad arguments or a file
// that could not be written (nothing is left behind then).
AVKIT_API int AvkWriteFramePicture(const char* path, const uint8_t* bgra, int width, int height, int stride);

#ifdef __cplusplus
}
#endif
