// Deinterlacing of 32-bit BGRA pictures in place, one frame at a time with no
// delay: the lines of the second field are rebuilt where the picture moves
// (interpolated along the edge direction from the first field) and kept where
// it stands still (compared with the previous frame), so still areas keep
// their full vertical detail.
#pragma once

#include <stdint.h>

#include "avkit/avkit.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AvkDeinterlacer AvkDeinterlacer;

// Null for sizes that are not positive or are absurdly large.
AVKIT_API AvkDeinterlacer* IMD_Create(int width, int height);
// planes[0]: the picture; linesizes[0]: bytes from one row to the next (may be
// negative for bottom-up rows). format must be AVK_IMAGE_BGRA32. The other
// planes are unused. Returns nonzero when the picture was deinterlaced.
AVKIT_API int IMD_Deinterlace(AvkDeinterlacer* h, uint8_t* const planes[4], const int linesizes[4], int format);
AVKIT_API void IMD_Free(AvkDeinterlacer* h);

#ifdef __cplusplus
}
#endif
