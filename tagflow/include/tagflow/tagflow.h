// tagflow: FLV reading. The push parser (FLVStreamParser_*) turns bytes into
// tags; the tag reader (FLVAVTagReader_*) indexes a whole file and reads its
// tags by time or position. Flat C functions on opaque handles.
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
    const uint8_t* audioPayload;    // data + 1
    uint32_t audioPayloadSize;      // dataSize - 1
    uint32_t vp6HAdjust;            // VP6 and VP6 alpha
    uint32_t vp6VAdjust;
    const uint8_t* vp6Payload;      // VP6: data + 2, VP6 alpha: data + 5
    uint32_t vp6PayloadSize;        // VP6: dataSize - 2
    uint32_t alphaOffset;           // VP6 alpha: OffsetToAlpha
    const uint8_t* alphaPayload;    // VP6 alpha: data + 5 + alphaOffset
    uint32_t alphaPayloadSize;
    const uint8_t* videoPayload;    // data + 1
    uint32_t videoPayloadSize;
    uint8_t* data;                  // buffer + 11, or null when not loaded
    uint32_t dataSize;              // DataSize of the tag header
    uint8_t* buffer;                // 11 header bytes, then the data; owned by the tag
    uint32_t tagSize;               // dataSize + 15
    int64_t filePosition;           // file offset of the tag header
    uint32_t bufferCapacity;        // bytes allocated at buffer (library use)
    uint32_t reserved;
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
typedef CFLVAVTagReader* FLVAVTagReaderHandle;
typedef CFLVStreamParser* FLVStreamParserHandle;
#else
typedef struct CFLVAVTagReader* FLVAVTagReaderHandle;
typedef struct CFLVStreamParser* FLVStreamParserHandle;
#endif

// Info callback: may clear *video or *audio to switch that stream off.
typedef int32_t (*FLVInfoCallBack)(void* user, const FLVInfo* info, int32_t* video,
                                   int32_t* audio);
// Tag callbacks: nonzero takes the tag (release it with FLVStreamParser_DeleteFLVTag),
// zero leaves it queued and stops delivery.
typedef int32_t (*FLVTagCallBack)(void* user, FLVTag* tag);

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
TAGFLOW_API int32_t FLVAVTagReader_ReadTag(FLVAVTagReaderHandle r, int32_t load, int32_t typeFilter,
                                           FLVTag** tag, uint32_t* duration);
TAGFLOW_API int32_t FLVAVTagReader_SetAutoReleaseMemory(FLVAVTagReaderHandle r, int32_t flag);
TAGFLOW_API void FLVAVTagReader_ReleaseMemory(FLVAVTagReaderHandle r, FLVTag* tag);
TAGFLOW_API int64_t FLVAVTagReader_GetOccupyMemory(FLVAVTagReaderHandle r);

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

#ifdef __cplusplus
}
#endif
