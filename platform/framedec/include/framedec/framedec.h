// framedec: decoders for the video codecs FLV carries (Sorenson H.263, VP6
// and VP6 with an alpha channel). Flat C functions on opaque handles; a null
// handle means none.
#pragma once

#include <stdint.h>

#if defined(FRAMEDEC_BUILD)
#define FRAMEDEC_API __attribute__((visibility("default")))
#else
#define FRAMEDEC_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FdDecoder FdDecoder;

// Output image formats: 6 = 32-bit BGRA (the stream's alpha for VP6 alpha,
// else 255), 1 = the picture's luma plane, one byte per pixel.
enum { FD_IMAGE_ALPHA8 = 1, FD_IMAGE_BGRA32 = 6 };

// framing: 1 = the video data of an FLV tag after its codec byte (and, for
// VP6, after the adjustment byte; VP6 alpha data starts with its 24-bit
// offset to the alpha part). codecId: the FLV CodecID, 2 Sorenson H.263,
// 4 VP6, 5 VP6 alpha.
// Returns 0 for an unknown framing or codec, or when out of memory.
FRAMEDEC_API FdDecoder* FlvDecoder_Create(int framing, int codecId);
// Prepares the decoder for pictures of about width x height (the bitstream
// has the last word on the size). Nonzero on success.
FRAMEDEC_API int FlvDecoder_Open(FdDecoder* h, int imageFormat, int width, int height);
// Decodes one frame. *picture: rows top-down, packed (width x 4 bytes for
// BGRA, width bytes for the luma plane), owned by the decoder and valid until
// its next call. Nonzero when a picture was produced.
FRAMEDEC_API int FlvDecoder_DecodeVideo(FdDecoder* h, const uint8_t* data, int size,
                                        const uint8_t** picture, int* pictureSize, int* width,
                                        int* height);
// Releases the codec state; Open may follow again.
FRAMEDEC_API int FlvDecoder_Close(FdDecoder* h);
FRAMEDEC_API void FlvDecoder_Free(FdDecoder* h);

#ifdef __cplusplus
}
#endif
