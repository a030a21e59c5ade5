// avkit: the codec bridge. Audio decoding, resampling, picture scaling,
// cropping, a byte FIFO, the file writer and fast start, over FFmpeg.
// Flat C functions on opaque handles; a null handle means none.
#pragma once

#include <stdint.h>

#if defined(AVKIT_BUILD)
#define AVKIT_API __attribute__((visibility("default")))
#else
#define AVKIT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct AvkAudioDecoder AvkAudioDecoder;
typedef struct AvkResampler AvkResampler;
typedef struct AvkResizer AvkResizer;
typedef struct AvkDataBuffer AvkDataBuffer;

// Rectangle in pixels; right and bottom are exclusive.
typedef struct AvkRect {
    int32_t left, top, right, bottom;
} AvkRect;

// Image formats understood by the scaler. AVK_IMAGE_I420: planar 4:2:0 YUV
// in limited range, packed: Y rows of width bytes, then U, then V rows of
// (width + 1) / 2 bytes, (height + 1) / 2 of them.
enum { AVK_IMAGE_ALPHA8 = 1, AVK_IMAGE_I420 = 2, AVK_IMAGE_BGRA32 = 6 };
// Bytes of a packed picture of that format and size; 0 when unknown.
AVKIT_API int AvkImage_Bytes(int imageFormat, int width, int height);

// FFmpeg keeps its messages to errors (its progress chatter is not for our
// users). Loading avkit does it already; calling it again changes nothing.
AVKIT_API int avkit_init(void);

// ---- codec identifiers (one numbering for decoders, encoders and profiles)
// Returns the FFmpeg AVCodecID for an avkit codec identifier, 0 when unknown.
AVKIT_API int AvkCodec_ToFFmpeg(int avkitId);
// Returns the avkit identifier for an FFmpeg AVCodecID, -1 when none.
AVKIT_API int AvkCodec_FromFFmpeg(int ffmpegId);
// Name of the FFmpeg encoder to use for the identifier, or null when there is none.
AVKIT_API const char* AvkCodec_EncoderName(int avkitId);

// ---- audio decoder: 16-bit signed interleaved PCM out
AVKIT_API AvkAudioDecoder* ADD_Create(void);
// format: 65536 16-bit PCM, 65540 8-bit PCM (unsigned, as FLV stores it),
// 69645 ADPCM SWF, 86017 MP3, 71680 Nellymoser, 86018 AAC, 86054 Speex,
// 86076 Opus, 86030 FLAC, 86019 AC-3, 86056 E-AC-3, or any audio id of the table.
AVKIT_API int ADD_Open(AvkAudioDecoder* h, int format);
// The codec's setup as the stream sends it ahead of its sound (AAC: the
// AudioSpecificConfig, raw AAC frames cannot be decoded without it; Opus:
// its ID header; FLAC: its STREAMINFO, with or without "fLaC" and the block header). A setup
// that differs from the one in force restarts the decoder with the next
// block; null or 0 bytes forgets it. Open forgets it too. Nonzero on success.
AVKIT_API int ADD_SetCodecConfig(AvkAudioDecoder* h, const uint8_t* config, int size);
// Decodes one block. in == null flushes what the decoder still holds.
// *outRate and *outChannels are in/out: on entry the rate and channel count
// the container declares (PCM, ADPCM and Nellymoser do not carry them; 0 keeps
// the previous ones), on return those of the PCM in *outData. *outData stays
// owned by the decoder and valid until its next call. Returns nonzero on success.
AVKIT_API int ADD_Decode(AvkAudioDecoder* h, const uint8_t* in, int inSize,
                         const uint8_t** outData, int* outSize, int* outRate, int* outChannels);
AVKIT_API int ADD_Close(AvkAudioDecoder* h);
AVKIT_API void ADD_Delete(AvkAudioDecoder* h);

// ---- resampler: 16-bit interleaved PCM to a fixed rate and channel count
AVKIT_API AvkResampler* ARes_Create(int outRate, int outChannels);
// Upper bound of the output bytes for inBytes of input (including held-back samples).
AVKIT_API int ARes_GetOutBufferSize(AvkResampler* h, int inRate, int inChannels, int inBytes);
// *inOutBytes: on entry the capacity of out, on return the bytes written.
AVKIT_API int ARes_Convert(AvkResampler* h, const uint8_t* in, int inBytes, int inRate,
                           int inChannels, uint8_t* out, int* inOutBytes);
AVKIT_API void ARes_Free(AvkResampler* h);

// ---- picture scaler. resizeMode: 0 fast bilinear, 1 bilinear, 2 bicubic, 3 nearest.
AVKIT_API AvkResizer* VRes_CreateByResizeMode(int inWidth, int inHeight, int outWidth,
                                              int outHeight, int imageFormat, int resizeMode);
// The same, changing the image format on the way (BGRA32 to I420 or back).
AVKIT_API AvkResizer* VRes_CreateConverter(int inWidth, int inHeight, int inFormat, int outWidth,
                                           int outHeight, int outFormat, int resizeMode);
// in: inWidth x inHeight, out: outWidth x outHeight, rows packed. Nonzero on success.
AVKIT_API int VRes_Resize(AvkResizer* h, const uint8_t* in, uint8_t* out);
// As VRes_Resize into a BGRA32 or ALPHA8 picture whose rows are outStride
// bytes apart (a part of a larger frame).
AVKIT_API int VRes_ResizeInto(AvkResizer* h, const uint8_t* in, uint8_t* out, int outStride);
// From I420 to BGRA32 the converter writes whole vectors: each row may be
// written up to this many bytes past its last pixel, so the memory after the
// last row must have that room (rows inside a frame run into the next one,
// which is written after them).
enum { AVK_ROW_SLACK = 64 };
AVKIT_API void VRes_Free(AvkResizer* h);

// Copies rect (clipped to the picture) of src into dst, rows packed at
// (right - left) * bytesPerPixel. Nonzero when something was copied.
AVKIT_API int VideoEncoder_Crop(uint8_t* dst, const AvkRect* rect, const uint8_t* src,
                                int width, int height, int stride, int bytesPerPixel);
// Turns a picture upside down in place.
AVKIT_API void VideoEncoder_SwapImageRowOrderInPlace(uint8_t* picture, int stride, int rows);

// ---- byte FIFO; the mutex form may be pushed and read from two threads.
AVKIT_API AvkDataBuffer* DB2_Create(void);
AVKIT_API AvkDataBuffer* DB2_CreateWithMutex(void);
// Returns the bytes stored (0 when out of memory or nothing given).
AVKIT_API int DB2_Push(AvkDataBuffer* h, const void* data, int bytes);
// Returns the bytes read, at most bytes.
AVKIT_API int DB2_Read(AvkDataBuffer* h, void* dst, int bytes);
AVKIT_API int DB2_GetDataSize(AvkDataBuffer* h);
AVKIT_API void DB2_Clear(AvkDataBuffer* h);
AVKIT_API void DB2_Delete(AvkDataBuffer* h);

// ---- writer: BGRA pictures and 16-bit PCM into a container file.
// Set up with the setters, then SetOutFile and Open; write; Close; Delete.
// Pictures and sound may be written from two threads at once.
// Setters return nonzero when the value was taken (0 on a null handle or
// after Open).
typedef struct AvkWriter AvkWriter;
AVKIT_API AvkWriter* AVW_Create(int hasVideo, int hasAudio);
// Four characters, the first in the lowest byte; used where the container
// knows the tag for the codec (AVI). "XVID" on MPEG-4 also picks the Xvid encoder.
AVKIT_API int AVW_SetFourCC(AvkWriter* h, uint32_t fourcc);
// 0 stretches the picture to the output size, 2 letterboxes it.
AVKIT_API int AVW_SetStretchMode(AvkWriter* h, int mode);
// Display aspect ratio of the output; 0 for square pixels.
AVKIT_API int AVW_SetAspectRatio(AvkWriter* h, double aspect);
AVKIT_API int AVW_SetVideoBitrateTolerance(AvkWriter* h, int bitsPerSecond);
// Threads the picture encoder may use; 0 (the default) lets it choose. A
// batch running several writers at once gives each a share of the cores.
AVKIT_API int AVW_SetEncoderThreads(AvkWriter* h, int threads);
// Any text may be null or empty; year and track are written when above 0.
AVKIT_API int AVW_SetOutFileInfo(AvkWriter* h, const char* title, const char* author,
                                 const char* album, const char* copyright, const char* comment,
                                 int year, int track);
// codec: an avkit video identifier. videoParam above 0 is the key frame
// interval; reserved1 and reserved2 are ignored (callers pass -1).
AVKIT_API int AVW_SetupVideoParams(AvkWriter* h, int codec, int bitRate, int width, int height,
                                   double frameRate, int videoParam, int reserved1, int reserved2);
// Picture format stored by raw video: AVK_IMAGE_BGRA32, else 24-bit BGR.
AVKIT_API int AVW_SetRawVideoImageFormat(AvkWriter* h, int imageFormat);
AVKIT_API int AVW_SetupAudioParams(AvkWriter* h, int codec, int bitRate, int sampleRate,
                                   int channels);
// FFmpeg muxer name ("avi", "mp4", "3gp", "mov", "flv", "psp", "ipod", "mp3",
// "wav", "asf"...) or a file extension ("m4a"); the path's extension when unset.
AVKIT_API int AVW_SetOutputFormat(AvkWriter* h, const char* format);
AVKIT_API int AVW_SetOutFile(AvkWriter* h, const char* path);
// Nonzero when the file was created and its header written.
AVKIT_API int AVW_Open(AvkWriter* h);
// picture: width x height BGRA, rows top-down, packed. Scaled to the output
// size. Nonzero on success.
AVKIT_API int AVW_WriteVideoFrame(AvkWriter* h, const uint8_t* picture, int width, int height);
// picture: width x height AVK_IMAGE_I420. Handed to a 4:2:0 encoder of that
// size as it is; otherwise converted like a BGRA picture. Nonzero on success.
AVKIT_API int AVW_WriteVideoFrameI420(AvkWriter* h, const uint8_t* picture, int width, int height);
// pcm: 16-bit interleaved at rate and channels; converted to the encoder's.
AVKIT_API int AVW_WriteAudioFrame(AvkWriter* h, const uint8_t* pcm, int bytes, int rate,
                                  int channels);
// Flushes the encoders and writes the trailer. Nonzero when the whole file
// was written; a writer that was never opened closes with 0.
AVKIT_API int AVW_Close(AvkWriter* h);
AVKIT_API void AVW_Delete(AvkWriter* h);

// Rewrites an MP4/MOV file with its moov box before the media data, so it
// plays while it downloads. Writes target only, and only when no file of
// that name exists. 0 when target was written; otherwise nonzero and no target.
AVKIT_API int QTFastStart(const char* source, const char* target);

#ifdef __cplusplus
}
#endif
