// wmvwriter: the ASF writer (WMV 7/8 pictures, WMA 2 sound). Flat C
// functions on an opaque handle; a null handle means none.
#pragma once

#include <stdint.h>

#if defined(WMVWRITER_BUILD)
#define WMVWRITER_API __attribute__((visibility("default")))
#else
#define WMVWRITER_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AsfEncoder AsfEncoder;

// Video codec values for AsfEnc_SetEncodingParams: the avkit identifiers of
// WMV 7 and WMV 8, and the value meaning "sound only".
enum { ASFENC_WMV1 = 18, ASFENC_WMV2 = 19, ASFENC_NO_VIDEO = 589824 };

WMVWRITER_API AsfEncoder* AsfEnc_Create(void);
// 0 fastest; 1 weighs bits in the macroblock choice; 2 and more weigh the
// whole rate-distortion. Nonzero when taken.
WMVWRITER_API int AsfEnc_SetComplexity(AsfEncoder* h, int complexity);
// 0 stretch, 2 letterbox: how a picture of another shape is fitted.
// Pictures are always the size given to SetEncodingParams, so today it only
// records the choice.
WMVWRITER_API int AsfEnc_SetStretchMode(AsfEncoder* h, int mode);
// Nonzero when the values can be written. videoCodec: ASFENC_WMV1,
// ASFENC_WMV2 or ASFENC_NO_VIDEO (width and height are then ignored).
// A sample rate or channel count below 1 writes silent 44100 Hz stereo as
// long as the pictures last.
WMVWRITER_API int AsfEnc_SetEncodingParams(AsfEncoder* h, int width, int height,
                                           int videoBitRate, int videoCodec, double frameRate,
                                           int sampleRate, int channels, int audioBitRate);
// The file's title, author, album, copyright and comment (UTF-8; null or
// empty texts are left out) and year and track (written when above 0).
// Before Open; nonzero when taken.
WMVWRITER_API int AsfEnc_SetOutFileInfo(AsfEncoder* h, const char* title, const char* author,
                                        const char* album, const char* copyright,
                                        const char* comment, int year, int track);
// Creates the file and writes its header. Nonzero on success.
WMVWRITER_API int AsfEnc_Open(AsfEncoder* h, const char* path);
// frame: width x height BGRA (the size given to SetEncodingParams, odd
// sizes included), rows top-down; bytes at least width * height * 4.
// time100ns and duration in 100 ns units. Nonzero on success.
WMVWRITER_API int AsfEnc_WriteVideo(AsfEncoder* h, const uint8_t* frame, int bytes,
                                    int64_t time100ns, int64_t duration);
// pcm: 16-bit interleaved at the rate and channels of SetEncodingParams.
WMVWRITER_API int AsfEnc_WriteAudio(AsfEncoder* h, const uint8_t* pcm, int bytes,
                                    int64_t time100ns, int64_t duration);
// Says the sound has ended. The encoder's last frame is written once, when
// the file is closed: sound arriving after an early end (an empty block
// between two clips) is still written in order. Nonzero on success.
WMVWRITER_API int AsfEnc_WriteAudioEnd(AsfEncoder* h);
// Flushes both encoders and writes the index. Nonzero when the whole file
// was written.
WMVWRITER_API int AsfEnc_Close(AsfEncoder* h);
WMVWRITER_API void AsfEnc_Delete(AsfEncoder* h);

#ifdef __cplusplus
}
#endif
