// framedec: decoders for the video codecs FLV carries (Sorenson H.263,
// screen video and screen video 2, VP6, VP6 with an alpha channel, H.264,
// and HEVC, AV1 and VP9 of the extended headers).
// Flat C functions on opaque handles; a null handle means none.
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
// else 255), 1 = the picture's luma plane, one byte per pixel, 2 = planar
// 4:2:0 YUV in limited range (Y rows of width bytes, then U, then V rows of
// (width + 1) / 2 bytes, (height + 1) / 2 of them; no alpha), which may be
// cut and scaled on the way out (FlvDecoder_SetOutputShape).
enum { FD_IMAGE_ALPHA8 = 1, FD_IMAGE_I420 = 2, FD_IMAGE_BGRA32 = 6 };

// FourCC codec ids ('hvc1', 'av01', 'vp09' as big-endian numbers).
#define FD_FOURCC_HEVC 0x68766331u
#define FD_FOURCC_AV1 0x61763031u
#define FD_FOURCC_VP9 0x76703039u

// framing: 1 = the video data of an FLV tag after its codec byte (and, for
// VP6, after the adjustment byte; VP6 alpha data starts with its 24-bit
// offset to the alpha part; H.264 and HEVC data start with the packet type
// and the 24-bit CompositionTime). codecId: the FLV CodecID, 2 Sorenson
// H.263, 3 screen video, 4 VP6, 5 VP6 alpha, 6 screen video 2, 7 H.264,
// 12 HEVC; or a FourCC of the extended header, whose data goes through
// FlvDecoder_DecodePacket.
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
// As DecodeVideo, for streams whose pictures are shown in another order than
// they are stored (H.264 with B-frames). dts: the tag's timestamp (ms);
// keyFrame: nonzero when the tag's FrameType is 1 (screen video 2 keeps key
// frames as the base of the frames after them).
// H.264: an AVC sequence header (packet type 0) becomes the decoder's setup
// (a different one later restarts the decoder after handing out the pictures
// it still held) and yields no picture; an end of sequence (type 2) hands out
// what the decoder held. Pictures come out in presentation order, one per
// call at most, some calls later than their data went in; *pts is the
// presentation time of the picture (dts + CompositionTime for H.264, dts for
// the other codecs). data null: hands out one picture still held (call
// until it returns 0 at the end of a stream). Returns nonzero when a
// picture was produced.
FRAMEDEC_API int FlvDecoder_DecodeVideoEx(FdDecoder* h, const uint8_t* data, int size, int64_t dts,
                                          int keyFrame, const uint8_t** picture, int* pictureSize, int* width,
                                          int* height, int64_t* pts);
// As DecodeVideoEx for HEVC, AV1 and VP9 with the tag headers already read:
// packetType 0 a setup (HEVC and AV1: their configuration record becomes
// the decoder's; VP9 needs none), 1 a picture shown at dts +
// compositionTime, 2 an end of sequence; data: the codec's own bytes. At the
// end of a stream DecodeVideoEx with null data hands out what is held.
FRAMEDEC_API int FlvDecoder_DecodePacket(FdDecoder* h, int packetType, int compositionTime,
                                         const uint8_t* data, int size, int64_t dts, int keyFrame,
                                         const uint8_t** picture, int* pictureSize, int* width,
                                         int* height, int64_t* pts);
// Hands out a picture that is already decoded but was not handed out yet
// (one call of DecodeVideoEx may complete several, after an end of sequence
// or a new setup), without feeding or draining the decoder. 0 when none.
FRAMEDEC_API int FlvDecoder_TakePicture(FdDecoder* h, const uint8_t** picture, int* pictureSize,
                                        int* width, int* height, int64_t* pts);
// Forgets the pictures held for reordering and the references, keeping the
// setup: decoding starts again at the next key frame (after a seek).
FRAMEDEC_API int FlvDecoder_Flush(FdDecoder* h);
// FD_IMAGE_I420 only: the part of each decoded picture handed out (right and
// bottom exclusive; clipped to the picture, all -1 or nothing left: all of
// it) and the size it is scaled to (0 x 0: the part's own size), in one step
// from the decoder's own picture. resizeMode: 0 fast bilinear, 1 bilinear,
// 2 bicubic, 3 nearest. Any time; takes effect with the next picture.
FRAMEDEC_API int FlvDecoder_SetOutputShape(FdDecoder* h, int left, int top, int right, int bottom,
                                           int width, int height, int resizeMode);
// Threads the codec may decode with (H.264 only; more than one delays the
// pictures by as many frames). Takes effect at the next Open or setup. 1 by default.
FRAMEDEC_API int FlvDecoder_SetThreads(FdDecoder* h, int threads);
// Releases the codec state; Open may follow again.
FRAMEDEC_API int FlvDecoder_Close(FdDecoder* h);
FRAMEDEC_API void FlvDecoder_Free(FdDecoder* h);

#ifdef __cplusplus
}
#endif
