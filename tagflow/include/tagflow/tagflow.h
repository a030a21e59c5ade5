// tagflow: FLV reading and decoding. The push parser (FLVStreamParser_*)
// turns bytes into tags; the tag reader (FLVAVTagReader_*) indexes a whole
// file and reads its tags by time or position; decoder threads
// (FLVStreamDecoder_*) turn tags into PCM and BGRA frames; the stream decoder
// (FLVStream_*) puts a parser in front of an audio and a video thread; the
// frame readers (AudioFrameReader_*, VideoFrameReader_*) decode an opened
// file on the caller's thread. Flat C functions on opaque handles.
#pragma once

#include <stddef.h>
#include <stdint.h>

#if defined(TAGFLOW_BUILD)
#define TAGFLOW_API __attribute__((visibility("default")))
#else
#define TAGFLOW_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// One parsed tag. Codec fields are written only for the tag type they belong
// to; payload pointers point into buffer and are null when the data was not
// loaded or the tag is too short to hold that part.
typedef struct FLVTag {
    uint32_t type;          // 8 audio, 9 video, 18 script data, others as found
    uint32_t timestamp;     // milliseconds
    uint32_t streamId;
    uint32_t codecField1;   // audio: SoundFormat      video: FrameType
    uint32_t codecField2;   // audio: SoundRate index  video: CodecID
    uint32_t codecField3;   // audio: SoundSize        video: width (key frames)
    uint32_t codecField4;   // audio: SoundType        video: height (key frames)
    const uint8_t* audioPayload;    // data + 1; FourCC codecs: their own bytes
    uint32_t audioPayloadSize;      // dataSize - 1
    uint32_t vp6HAdjust;            // VP6 and VP6 alpha
    uint32_t vp6VAdjust;
    const uint8_t* vp6Payload;      // VP6: data + 2, VP6 alpha: data + 5
    uint32_t vp6PayloadSize;        // VP6: dataSize - 2
    uint32_t alphaOffset;           // VP6 alpha: OffsetToAlpha
    const uint8_t* alphaPayload;    // VP6 alpha: data + 5 + alphaOffset
    uint32_t alphaPayloadSize;
    const uint8_t* videoPayload;    // data + 1; FourCC codecs: their own bytes
    uint32_t videoPayloadSize;
    uint8_t* data;                  // buffer + 11, or null when not loaded
    uint32_t dataSize;              // DataSize of the tag header
    uint8_t* buffer;                // 11 header bytes, then the data; owned by the tag
    uint32_t tagSize;               // dataSize + 15
    int64_t filePosition;           // file offset of the tag header
    uint32_t bufferCapacity;        // bytes allocated at buffer (library use)
    // AVC, HEVC, AAC and the FourCC codecs (the extended headers; their
    // codec fields hold the FourCC, see tagio's tag layouts): 0 codec setup,
    // 1 picture or sound, 2 end of sequence, 4 neither (metadata and other
    // signalling). 0 for other codecs.
    uint32_t packetType;
    // AVC and HEVC pictures: CompositionTime, ms to add to the timestamp (the
    // decode time) for the presentation time. 0 otherwise.
    int32_t compositionTime;
    // A multitrack tag: how many tracks it holds (the fields and payloads
    // describe the first). 1 otherwise.
    uint32_t trackCount;
} FLVTag;

// Stream description; 64 bytes.
typedef struct FLVInfo {
    int32_t version;
    int32_t videoCodec;       // -1: no video
    int32_t audioFormat;      // -1: no audio
    int32_t width;
    int32_t height;
    int32_t videoDataRate;    // bit/s (extended form only)
    int32_t audioDataRate;    // bit/s (extended form only)
    int32_t bitsPerSample;
    int32_t channels;
    int32_t sampleRate;
    double duration;          // seconds (extended form only)
    double frameRate;
    uint8_t reserved[8];
} FLVInfo;

#ifdef __cplusplus
class CFLVAVTagReader;
class CFLVStreamParser;
class CDecoderThread;
class CFLVStreamDecoder;
class AudioFrameReader;
class VideoFrameReader;
typedef CFLVAVTagReader* FLVAVTagReaderHandle;
typedef CFLVStreamParser* FLVStreamParserHandle;
typedef CDecoderThread* FLVStreamDecoderHandle;
typedef CFLVStreamDecoder* FLVStreamHandle;
typedef AudioFrameReader* AudioFrameReaderHandle;
typedef VideoFrameReader* VideoFrameReaderHandle;
#else
typedef struct CFLVAVTagReader* FLVAVTagReaderHandle;
typedef struct CFLVStreamParser* FLVStreamParserHandle;
typedef struct CDecoderThread* FLVStreamDecoderHandle;
typedef struct CFLVStreamDecoder* FLVStreamHandle;
typedef struct AudioFrameReader* AudioFrameReaderHandle;
typedef struct VideoFrameReader* VideoFrameReaderHandle;
#endif

// Crop rectangle in source pixels; right and bottom are exclusive.
// (-1, -1, -1, -1) means no crop.
typedef struct FLVCropRect {
    int32_t left, top, right, bottom;
} FLVCropRect;

// Info callback: may clear *video or *audio to switch that stream off.
typedef int32_t (*FLVInfoCallBack)(void* user, const FLVInfo* info, int32_t* video,
                                   int32_t* audio);
// Tag callbacks: nonzero takes the tag (release it with FLVStreamParser_DeleteFLVTag),
// zero leaves it queued and stops delivery.
typedef int32_t (*FLVTagCallBack)(void* user, FLVTag* tag);

// Decoded output. Audio: 16-bit signed interleaved PCM; video: width x height
// BGRA pictures, rows top-down. timestamp and duration in 100 ns. Video:
// once = 1 when the frame is emitted exactly once for its source frame,
// filler = 1 for a repeat made to keep up with the audio. data is valid only
// during the call; an audio call without data reports a block that could not
// be decoded.
typedef void (*FLVDecoderOutputCallBack)(void* user, const uint8_t* data, int32_t size,
                                         int64_t timestamp, int64_t duration, int32_t once,
                                         int32_t filler);
// Called on the worker thread when it ends after DeliverEnd.
typedef void (*FLVDecoderEndCallBack)(void* user);
// Receives every tag a decoder thread is done with (also those still queued
// at Stop or Terminate); the callee owns it.
typedef void (*FLVDecoderDeleteTagCallBack)(void* user, FLVTag* tag);

// ---- tag reader
TAGFLOW_API FLVAVTagReaderHandle FLVAVTagReader_Create(void);
TAGFLOW_API void FLVAVTagReader_Delete(FLVAVTagReaderHandle r);
TAGFLOW_API int32_t FLVAVTagReader_Open(FLVAVTagReaderHandle r, const char* path);
TAGFLOW_API int32_t FLVAVTagReader_IsOpened(FLVAVTagReaderHandle r);
TAGFLOW_API int32_t FLVAVTagReader_Close(FLVAVTagReaderHandle r);
TAGFLOW_API int32_t FLVAVTagReader_Assign(FLVAVTagReaderHandle source, FLVAVTagReaderHandle target);
TAGFLOW_API int32_t FLVAVTagReader_GetFLVInfo(FLVAVTagReaderHandle r, FLVInfo* info);
TAGFLOW_API int32_t FLVAVTagReader_GetFLVInfoEx(FLVAVTagReaderHandle r, FLVInfo* info);
TAGFLOW_API int32_t FLVAVTagReader_GetMinIntervaledFrameTime(FLVAVTagReaderHandle r, int32_t* ms);
// Multitrack files: the most tracks one video (audio) tag holds; only the
// first track of each is read and decoded. 1 for other files. 0 done, 3 not open.
TAGFLOW_API int32_t FLVAVTagReader_GetTrackCount(FLVAVTagReaderHandle r, int32_t* video, int32_t* audio);
TAGFLOW_API void FLVAVTagReader_GetDuration(FLVAVTagReaderHandle r, uint32_t* audioEnd,
                                            uint32_t* videoEnd);
TAGFLOW_API int32_t FLVAVTagReader_GetNextKeyFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t,
                                                            uint32_t* ts);
TAGFLOW_API int32_t FLVAVTagReader_GetNextKeyFrameTimeStampEx(FLVAVTagReaderHandle r, uint32_t t,
                                                              uint32_t* ts, int32_t* entry);
TAGFLOW_API int32_t FLVAVTagReader_GetPreKeyFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t,
                                                           uint32_t* ts);
TAGFLOW_API int32_t FLVAVTagReader_GetPreKeyFrameTimeStampEx(FLVAVTagReaderHandle r, uint32_t t,
                                                             uint32_t* ts, int32_t* entry);
TAGFLOW_API int32_t FLVAVTagReader_GetNextAudioFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t,
                                                              uint32_t* ts, int32_t* entry);
TAGFLOW_API int32_t FLVAVTagReader_GetPreAudioFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t,
                                                             uint32_t* ts, int32_t* entry);
// Results: 0 done, 3 not open, 6 beyond the end or positioning failed, 7 no entry of that type.
TAGFLOW_API int32_t FLVAVTagReader_Seek(FLVAVTagReaderHandle r, int32_t type, uint32_t t);
TAGFLOW_API int32_t FLVAVTagReader_SeekEx(FLVAVTagReaderHandle r, int32_t type, uint32_t t,
                                          uint32_t* ts);
TAGFLOW_API int32_t FLVAVTagReader_SeekWithPos(FLVAVTagReaderHandle r, int32_t entry);
TAGFLOW_API int32_t FLVAVTagReader_SeekToBegin(FLVAVTagReaderHandle r);
// Results: 0 a tag was read, 1 end of the index, 3 not open, 4 read or parse error, 5 out of memory.
// After a seek, pictures and sound that need a codec setup (AVC, AAC) read
// from before it would not decode: the first read of such a stream then hands
// out the setup in force at the new position (a copy timed at that
// position), and the tag of the stream comes with the next read.
TAGFLOW_API int32_t FLVAVTagReader_ReadTag(FLVAVTagReaderHandle r, int32_t load, int32_t typeFilter,
                                           FLVTag** tag, uint32_t* duration);
TAGFLOW_API int32_t FLVAVTagReader_SetAutoReleaseMemory(FLVAVTagReaderHandle r, int32_t flag);
TAGFLOW_API void FLVAVTagReader_ReleaseMemory(FLVAVTagReaderHandle r, FLVTag* tag);
TAGFLOW_API int64_t FLVAVTagReader_GetOccupyMemory(FLVAVTagReaderHandle r);
// Before Open: keep the file's tag walk (tagio's digest) from the bytes the
// indexing reads, for a caller that walks the file's tags again later.
typedef struct TagioTagDigest TagioTagDigest;
TAGFLOW_API void FLVAVTagReader_SetKeepTagDigest(FLVAVTagReaderHandle r, int32_t keep);
// After Open: the digest, now the caller's (free it with Flv_DigestDelete);
// null when none was kept or the indexing did not see every byte it needs.
TAGFLOW_API TagioTagDigest* FLVAVTagReader_TakeTagDigest(FLVAVTagReaderHandle r);

// ---- push parser
TAGFLOW_API FLVStreamParserHandle FLVStreamParser_Create(void);
TAGFLOW_API void FLVStreamParser_Delete(FLVStreamParserHandle p);
TAGFLOW_API int32_t FLVStreamParser_Run(FLVStreamParserHandle p);
// Results: 0 processed, 1 error state, 2 queue full (deliver the same bytes
// again later), 3 no bytes, 4 accepted but stream information not complete,
// 5 not running, 7 out of memory.
TAGFLOW_API int32_t FLVStreamParser_DeliverData(FLVStreamParserHandle p, const uint8_t* bytes,
                                                uint32_t count);
TAGFLOW_API int32_t FLVStreamParser_Flush(FLVStreamParserHandle p);
TAGFLOW_API int32_t FLVStreamParser_Stop(FLVStreamParserHandle p);
TAGFLOW_API int32_t FLVStreamParser_SetMaxInterleavedTime(FLVStreamParserHandle p, int32_t seconds);
TAGFLOW_API int32_t FLVStreamParser_SetMaxFLVTagQueue(FLVStreamParserHandle p, int32_t count);
TAGFLOW_API int32_t FLVStreamParser_SetParserNotAudioVideoPacket(FLVStreamParserHandle p, int32_t flag);
TAGFLOW_API int32_t FLVStreamParser_SetFLVInfoCallBack(FLVStreamParserHandle p, FLVInfoCallBack f,
                                                       void* user);
TAGFLOW_API int32_t FLVStreamParser_SetFLVVideoCallBack(FLVStreamParserHandle p, FLVTagCallBack f,
                                                        void* user);
TAGFLOW_API int32_t FLVStreamParser_SetFLVAudioCallBack(FLVStreamParserHandle p, FLVTagCallBack f,
                                                        void* user);
TAGFLOW_API int32_t FLVStreamParser_SetFLVNotAudioVideoPacketCallBack(FLVStreamParserHandle p,
                                                                      FLVTagCallBack f, void* user);
TAGFLOW_API uint32_t FLVStreamParser_GetTimeStamp(FLVStreamParserHandle p);
TAGFLOW_API int32_t FLVStreamParser_GetParsedPacketsCount(FLVStreamParserHandle p, int32_t* audio,
                                                          int32_t* video);
TAGFLOW_API int32_t FLVStreamParser_HasCalledFLVInfoCallBack(FLVStreamParserHandle p);
TAGFLOW_API void FLVStreamParser_DeleteFLVTag(FLVStreamParserHandle p, FLVTag* tag);

// ---- decoder threads: isVideo nonzero makes a video thread, else an audio one.
// Setters return 1 when stored, 0 when refused (the thread is not stopped,
// or the value is unusable).
TAGFLOW_API FLVStreamDecoderHandle FLVStreamDecoder_Create(int32_t isVideo);
// Stops a running thread first (queued tags go back through the delete-tag callback).
TAGFLOW_API void FLVStreamDecoder_Delete(FLVStreamDecoderHandle d);
TAGFLOW_API int32_t FLVStreamDecoder_Run(FLVStreamDecoderHandle d);
// Stop decodes what is queued first; Terminate abandons it. Both wait for the thread.
TAGFLOW_API int32_t FLVStreamDecoder_Stop(FLVStreamDecoderHandle d);
TAGFLOW_API int32_t FLVStreamDecoder_Terminate(FLVStreamDecoderHandle d);
// 0 running, 1 stopped, 2 terminated, 3 stopping, 4 terminating.
TAGFLOW_API int32_t FLVStreamDecoder_GetState(FLVStreamDecoderHandle d);
// 1: the thread owns the tag now; 0: not running or the queue is full (the caller keeps it).
TAGFLOW_API int32_t FLVStreamDecoder_DeliverFLVPacket(FLVStreamDecoderHandle d, FLVTag* tag);
// The same, but a full queue is waited on for up to timeoutMs (the wait ends
// as soon as the thread takes a tag or stops), so a producer never polls.
TAGFLOW_API int32_t FLVStreamDecoder_DeliverFLVPacketWait(FLVStreamDecoderHandle d, FLVTag* tag,
                                                          int32_t timeoutMs);
TAGFLOW_API int32_t FLVStreamDecoder_DeliverEnd(FLVStreamDecoderHandle d);
TAGFLOW_API int32_t FLVStreamDecoder_FLVTagQueueEmpty(FLVStreamDecoderHandle d);
// Sync mode: decodes one tag on the caller's thread (audio: a null tag flushes).
// *data stays owned by the decoder until its next call. 1 with output, else 0.
TAGFLOW_API int32_t FLVStreamDecoder_DecodeFLVTag(FLVStreamDecoderHandle d, FLVTag* tag,
                                                  const uint8_t** data, int32_t* size);
TAGFLOW_API int32_t FLVStreamDecoder_SetOutputCallBack(FLVStreamDecoderHandle d,
                                                       FLVDecoderOutputCallBack f, void* user);
TAGFLOW_API int32_t FLVStreamDecoder_SetOutputEndCallBack(FLVStreamDecoderHandle d,
                                                          FLVDecoderEndCallBack f, void* user);
TAGFLOW_API int32_t FLVStreamDecoder_SetDeleteFLVTagCallBack(FLVStreamDecoderHandle d,
                                                             FLVDecoderDeleteTagCallBack f,
                                                             void* user);
TAGFLOW_API int32_t FLVStreamDecoder_SetMaxFLVTagQueue(FLVStreamDecoderHandle d, int32_t count);
TAGFLOW_API int32_t FLVStreamDecoder_SetBrother(FLVStreamDecoderHandle d,
                                                FLVStreamDecoderHandle brother);
TAGFLOW_API int32_t FLVStreamDecoder_SetMaxIntervalTime(FLVStreamDecoderHandle d, int32_t ms);
TAGFLOW_API int32_t FLVStreamDecoder_SetDecodeSyncMode(FLVStreamDecoderHandle d, int32_t flag);
TAGFLOW_API int32_t FLVStreamDecoder_SetSampleRate(FLVStreamDecoderHandle d, int32_t rate);
TAGFLOW_API int32_t FLVStreamDecoder_SetNumberOfChannels(FLVStreamDecoderHandle d, int32_t n);
TAGFLOW_API int32_t FLVStreamDecoder_SetOutputSize(FLVStreamDecoderHandle d, int32_t width,
                                                   int32_t height);
TAGFLOW_API int32_t FLVStreamDecoder_SetOutputFPS(FLVStreamDecoderHandle d, double fps);
TAGFLOW_API int32_t FLVStreamDecoder_SetDecodeAlphaChannel(FLVStreamDecoderHandle d, int32_t flag);
// Any time; a null rect means no crop.
TAGFLOW_API void FLVStreamDecoder_SetCropRect(FLVStreamDecoderHandle d, const FLVCropRect* rect);
// 0 fast bilinear, 1 bilinear, 2 bicubic, 3 nearest. Any time.
TAGFLOW_API void FLVStreamDecoder_SetResizeMode(FLVStreamDecoderHandle d, int32_t mode);
// Video: the pictures handed out, 6 BGRA (the default) or 2 planar 4:2:0 YUV
// (avkit's AVK_IMAGE_I420: cut and scaled straight from the decoder's own
// picture, without alpha). Only while stopped.
TAGFLOW_API int32_t FLVStreamDecoder_SetOutputImageFormat(FLVStreamDecoderHandle d, int32_t format);
// Video: threads an H.264 decoder may use (1, the default, hands each picture
// out as early as the stream allows). Only while stopped.
TAGFLOW_API int32_t FLVStreamDecoder_SetDecodeThreads(FLVStreamDecoderHandle d, int32_t threads);

// ---- stream decoder: bytes in, decoded audio and video out through callbacks.
TAGFLOW_API FLVStreamHandle FLVStream_Create(void);
TAGFLOW_API void FLVStream_Delete(FLVStreamHandle s);
TAGFLOW_API int32_t FLVStream_Run(FLVStreamHandle s);
// Runs without a parser, for tags delivered by DeliverDataEx. info null: defaults.
TAGFLOW_API int32_t FLVStream_RunEx(FLVStreamHandle s, const FLVInfo* info, int32_t video,
                                    int32_t audio);
// The parser's result (2: queues full, deliver the same bytes again), 6 when not running.
TAGFLOW_API int32_t FLVStream_DeliverData(FLVStreamHandle s, const uint8_t* bytes, uint32_t count);
// 0 accepted (the stream owns the tag), 2 refused (queue full), 3 not audio or video, 6 not running.
TAGFLOW_API int32_t FLVStream_DeliverDataEx(FLVStreamHandle s, FLVTag* tag);
TAGFLOW_API int32_t FLVStream_Flush(FLVStreamHandle s);
TAGFLOW_API int32_t FLVStream_Stop(FLVStreamHandle s);
TAGFLOW_API int32_t FLVStream_StopEx(FLVStreamHandle s);
TAGFLOW_API int32_t FLVStream_Terminate(FLVStreamHandle s);
TAGFLOW_API int32_t FLVStream_TerminateEx(FLVStreamHandle s);
TAGFLOW_API uint32_t FLVStream_GetTimeStamp(FLVStreamHandle s);
TAGFLOW_API int32_t FLVStream_GetParsedPacketsCount(FLVStreamHandle s, int32_t* audio,
                                                    int32_t* video);
TAGFLOW_API int32_t FLVStream_HasCalledFLVInfoCallBack(FLVStreamHandle s);
TAGFLOW_API int32_t FLVStream_SetFLVInfoCallBack(FLVStreamHandle s, FLVInfoCallBack f, void* user);
TAGFLOW_API int32_t FLVStream_SetGetVideoCallBack(FLVStreamHandle s, FLVDecoderOutputCallBack f,
                                                  void* user);
TAGFLOW_API int32_t FLVStream_SetGetAudioCallBack(FLVStreamHandle s, FLVDecoderOutputCallBack f,
                                                  void* user);
TAGFLOW_API int32_t FLVStream_SetOutputSize(FLVStreamHandle s, int32_t width, int32_t height);
TAGFLOW_API int32_t FLVStream_SetOutputFPS(FLVStreamHandle s, double fps);
TAGFLOW_API int32_t FLVStream_SetDecodeAlphaChannel(FLVStreamHandle s, int32_t flag);
TAGFLOW_API int32_t FLVStream_SetSampleRate(FLVStreamHandle s, int32_t rate);
TAGFLOW_API int32_t FLVStream_SetNumberOfChannels(FLVStreamHandle s, int32_t n);
TAGFLOW_API void FLVStream_SetCropRect(FLVStreamHandle s, const FLVCropRect* rect);
TAGFLOW_API void FLVStream_SetResizeMode(FLVStreamHandle s, int32_t mode);
TAGFLOW_API int32_t FLVStream_SetParserMaxFLVTagQueue(FLVStreamHandle s, int32_t count);
TAGFLOW_API int32_t FLVStream_SetParserMaxInterleavedTime(FLVStreamHandle s, int32_t seconds);
TAGFLOW_API int32_t FLVStream_SetAudioDecoderMaxFLVTagQueue(FLVStreamHandle s, int32_t count);
TAGFLOW_API int32_t FLVStream_SetVideoDecoderMaxFLVTagQueue(FLVStreamHandle s, int32_t count);
TAGFLOW_API int32_t FLVStream_SetDecoderMaxIntervalTime(FLVStreamHandle s, int32_t ms);

// ---- frame readers over an opened tag reader (not owned; delete the frame
// reader first). They move its read position.
TAGFLOW_API AudioFrameReaderHandle AudioFrameReader_Create(FLVAVTagReaderHandle reader);
TAGFLOW_API void AudioFrameReader_Delete(AudioFrameReaderHandle a);
// Fills exactly bytes of PCM (the file's rate and channels); 1 while the
// stream continues, 0 for the block that completes it (zero-filled).
TAGFLOW_API int32_t AudioFrameReader_ReadFrame(AudioFrameReaderHandle a, uint8_t* buffer,
                                               int32_t bytes);
TAGFLOW_API VideoFrameReaderHandle VideoFrameReader_Create(FLVAVTagReaderHandle reader, double fps,
                                                           int32_t decodeAlpha);
// flip: turn each decoded picture upside down (rows bottom-up).
TAGFLOW_API VideoFrameReaderHandle VideoFrameReader_CreateEx(FLVAVTagReaderHandle reader,
                                                             double fps, int32_t decodeAlpha,
                                                             int32_t flip);
TAGFLOW_API void VideoFrameReader_Delete(VideoFrameReaderHandle v);
// The picture of output frame k, width x height x 4 bytes of the file's
// size, valid until the next call; null only for a null reader.
TAGFLOW_API const uint8_t* VideoFrameReader_ReadFrame(VideoFrameReaderHandle v, int32_t frame);
TAGFLOW_API const uint8_t* VideoFrameReader_ReadFrameEx(VideoFrameReaderHandle v, int32_t frame,
                                                        uint32_t* timestamp, uint32_t* duration);

// ---- repair of damaged recordings: one pass over a file's tags writes
// repaired FLV files (a new one wherever the codec setups change) and never
// touches the input. Every output starts with its codec setups and a full
// onMetaData, its times run on without jumps, and its pictures decode.
enum FLVRepairFixKind {
    FLVRepairDamagedRegion = 1,   // bytes with no readable tag, skipped to the next whole tag
    FLVRepairTruncatedTail = 2,   // the file ends inside a tag: it ends at the last whole tag
    FLVRepairTimeJump = 3,        // a jump of the timestamps (or a restart) closed up; amount: the raw step, ms
    FLVRepairStepBack = 4,        // small steps back of one stream held; amount: the longest hold, ms
    FLVRepairRepeatedSetup = 5,   // copies of an unchanged codec setup dropped
    FLVRepairSetupChange = 6,     // the codec setup changed: a new output starts
    FLVRepairUntilKeyFrame = 7,   // pictures that could not decode dropped up to the next key frame
    FLVRepairNoSetup = 8,         // pictures or sound before any codec setup dropped
    FLVRepairExtraMetadata = 9,   // an onMetaData inside the stream dropped
    FLVRepairBadSetup = 10        // a codec setup that does not parse dropped
};

typedef struct FLVRepairFix {
    int32_t kind;           // FLVRepairFixKind
    int32_t output;         // the output it concerns, from 0
    int64_t offset;         // file offset in the input where it begins
    int64_t streamTime;     // ms: the input timestamp there (-1 when there is none)
    int64_t outputTime;     // ms: where that is in the output
    int64_t droppedBytes;   // input bytes left out
    int32_t droppedTags;    // tags left out
    int32_t steps;          // FLVRepairStepBack: how many steps back were held in this run
    int64_t amount;         // see the kinds
} FLVRepairFix;

// One finished output.
typedef struct FLVRepairOutput {
    int32_t index;          // from 0, in the order the outputs begin
    int32_t ok;             // 1 when written whole, 0 when writing failed
    int64_t bytes;
    int64_t durationMs;
    int32_t videoFrames;    // pictures written
    int32_t audioBlocks;    // sound tags written
} FLVRepairOutput;

#ifdef __cplusplus
class CFlvRepair;
typedef CFlvRepair* FLVRepairHandle;
#else
typedef struct CFlvRepair* FLVRepairHandle;
#endif

// Asked before output `index` is written: fill path (size bytes, zero
// terminated) with where to write it; 0 stops the repair.
typedef int32_t (*FLVRepairPathCallBack)(void* user, int32_t index, char* path, uint32_t size);
// An output is finished (written whole or failed); the path is the one given.
typedef void (*FLVRepairOutputCallBack)(void* user, const char* path, const FLVRepairOutput* output);
// One fix, in file order, before any output is written.
typedef void (*FLVRepairFixCallBack)(void* user, const FLVRepairFix* fix);
// How far the repair is: bytes done of total, across both passes (total is
// twice the input's size, so one bar runs once from 0 to total). Told about
// once per megabyte read, never per tag, and at the end of each pass.
// Nonzero stops the repair: the output being written is told as failed.
typedef int32_t (*FLVRepairProgressCallBack)(void* user, int64_t done, int64_t total);

TAGFLOW_API FLVRepairHandle FLVRepair_Create(void);
TAGFLOW_API void FLVRepair_Delete(FLVRepairHandle r);
TAGFLOW_API void FLVRepair_SetPathCallBack(FLVRepairHandle r, FLVRepairPathCallBack f, void* user);
TAGFLOW_API void FLVRepair_SetOutputCallBack(FLVRepairHandle r, FLVRepairOutputCallBack f, void* user);
TAGFLOW_API void FLVRepair_SetFixCallBack(FLVRepairHandle r, FLVRepairFixCallBack f, void* user);
TAGFLOW_API void FLVRepair_SetProgressCallBack(FLVRepairHandle r, FLVRepairProgressCallBack f, void* user);
// Repairs the file. Results: 0 done (every output written whole), 1 cannot
// open, 2 not FLV, 3 no picture or sound to keep, 4 an output could not be
// written, 5 stopped by the path callback, 6 the input changed while read,
// 7 out of memory, 8 stopped by the progress callback.
TAGFLOW_API int32_t FLVRepair_Run(FLVRepairHandle r, const char* input);
// The outputs begun by the last Run.
TAGFLOW_API int32_t FLVRepair_GetOutputCount(FLVRepairHandle r);
// A fix kind's name ("damaged-region", "time-jump" ...), "" when unknown.
TAGFLOW_API const char* FLVRepair_FixKindName(int32_t kind);

#ifdef __cplusplus
}
#endif
