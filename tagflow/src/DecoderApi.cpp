// C exports of the decoder threads, the stream decoder and the frame readers.
// A null handle answers like a stopped object; nothing unwinds out.
#include "ExportGuard.h"
#include "FLVStreamDecoder.h"
#include "FrameReaders.h"

#define API extern "C" TAGFLOW_API

// ---- decoder threads

API FLVStreamDecoderHandle FLVStreamDecoder_Create(int32_t isVideo) {
    return Guarded<CDecoderThread*>(nullptr, [&]() -> CDecoderThread* {
        if (isVideo) return new (std::nothrow) CVideoDecoderThread;
        return new (std::nothrow) CAudioDecoderThread;
    });
}

API void FLVStreamDecoder_Delete(FLVStreamDecoderHandle d) {
    Guarded(0, [&] {
        delete d;
        return 0;
    });
}

API int32_t FLVStreamDecoder_Run(FLVStreamDecoderHandle d) { return d ? d->Run() : 0; }
API int32_t FLVStreamDecoder_Stop(FLVStreamDecoderHandle d) { return d ? d->Stop() : 0; }
API int32_t FLVStreamDecoder_Terminate(FLVStreamDecoderHandle d) { return d ? d->Terminate() : 0; }
API int32_t FLVStreamDecoder_GetState(FLVStreamDecoderHandle d) {
    return d ? d->GetState() : CDecoderThread::kStopped;
}
API int32_t FLVStreamDecoder_DeliverFLVPacket(FLVStreamDecoderHandle d, FLVTag* tag) {
    return d ? d->DeliverFLVPacket(tag) : 0;
}
API int32_t FLVStreamDecoder_DeliverFLVPacketWait(FLVStreamDecoderHandle d, FLVTag* tag, int32_t timeoutMs) {
    return d ? d->DeliverFLVPacketWait(tag, timeoutMs) : 0;
}
API int32_t FLVStreamDecoder_DeliverEnd(FLVStreamDecoderHandle d) { return d ? d->DeliverEnd() : 0; }
API int32_t FLVStreamDecoder_FLVTagQueueEmpty(FLVStreamDecoderHandle d) {
    return d ? d->FLVTagQueueEmpty() : 1;
}
API int32_t FLVStreamDecoder_DecodeFLVTag(FLVStreamDecoderHandle d, FLVTag* tag,
                                          const uint8_t** data, int32_t* size) {
    return d ? Guarded(0, [&] { return d->DecodeFLVTag(tag, data, size); }) : 0;
}
API int32_t FLVStreamDecoder_SetOutputCallBack(FLVStreamDecoderHandle d, FLVDecoderOutputCallBack f,
                                               void* user) {
    return d ? d->SetOutputCallBack(f, user) : 0;
}
API int32_t FLVStreamDecoder_SetOutputEndCallBack(FLVStreamDecoderHandle d, FLVDecoderEndCallBack f,
                                                  void* user) {
    return d ? d->SetOutputEndCallBack(f, user) : 0;
}
API int32_t FLVStreamDecoder_SetDeleteFLVTagCallBack(FLVStreamDecoderHandle d,
                                                     FLVDecoderDeleteTagCallBack f, void* user) {
    return d ? d->SetDeleteFLVTagCallBack(f, user) : 0;
}
API int32_t FLVStreamDecoder_SetMaxFLVTagQueue(FLVStreamDecoderHandle d, int32_t count) {
    return d ? d->SetMaxFLVTagQueue(count) : 0;
}
API int32_t FLVStreamDecoder_SetBrother(FLVStreamDecoderHandle d, FLVStreamDecoderHandle brother) {
    return d ? d->SetBrother(brother) : 0;
}
API int32_t FLVStreamDecoder_SetMaxIntervalTime(FLVStreamDecoderHandle d, int32_t ms) {
    return d ? d->SetMaxIntervalTime(ms) : 0;
}
API int32_t FLVStreamDecoder_SetDecodeSyncMode(FLVStreamDecoderHandle d, int32_t flag) {
    return d ? d->SetDecodeSyncMode(flag) : 0;
}
API int32_t FLVStreamDecoder_SetSampleRate(FLVStreamDecoderHandle d, int32_t rate) {
    return d ? d->SetSampleRate(rate) : 0;
}
API int32_t FLVStreamDecoder_SetNumberOfChannels(FLVStreamDecoderHandle d, int32_t n) {
    return d ? d->SetNumberOfChannels(n) : 0;
}
API int32_t FLVStreamDecoder_SetOutputSize(FLVStreamDecoderHandle d, int32_t width, int32_t height) {
    return d ? d->SetOutputSize(width, height) : 0;
}
API int32_t FLVStreamDecoder_SetOutputFPS(FLVStreamDecoderHandle d, double fps) {
    return d ? d->SetOutputFPS(fps) : 0;
}
API int32_t FLVStreamDecoder_SetDecodeAlphaChannel(FLVStreamDecoderHandle d, int32_t flag) {
    return d ? d->SetDecodeAlphaChannel(flag) : 0;
}
API void FLVStreamDecoder_SetCropRect(FLVStreamDecoderHandle d, const FLVCropRect* rect) {
    if (d) d->SetCropRect(rect);
}
API void FLVStreamDecoder_SetResizeMode(FLVStreamDecoderHandle d, int32_t mode) {
    if (d) d->SetResizeMode(mode);
}
API int32_t FLVStreamDecoder_SetOutputImageFormat(FLVStreamDecoderHandle d, int32_t format) {
    return d ? d->SetOutputImageFormat(format) : 0;
}
API int32_t FLVStreamDecoder_SetDecodeThreads(FLVStreamDecoderHandle d, int32_t threads) {
    return d ? d->SetDecodeThreads(threads) : 0;
}

// ---- stream decoder

API FLVStreamHandle FLVStream_Create(void) {
    return Guarded<CFLVStreamDecoder*>(nullptr, [] { return new (std::nothrow) CFLVStreamDecoder; });
}
API void FLVStream_Delete(FLVStreamHandle s) {
    Guarded(0, [&] {
        delete s;
        return 0;
    });
}
API int32_t FLVStream_Run(FLVStreamHandle s) { return s ? Guarded(0, [&] { return s->Run(); }) : 0; }
API int32_t FLVStream_RunEx(FLVStreamHandle s, const FLVInfo* info, int32_t video, int32_t audio) {
    return s ? Guarded(0, [&] { return s->RunEx(info, video, audio); }) : 0;
}
API int32_t FLVStream_DeliverData(FLVStreamHandle s, const uint8_t* bytes, uint32_t count) {
    return s ? Guarded(7, [&] { return s->DeliverData(bytes, count); }) : 6;
}
API int32_t FLVStream_DeliverDataEx(FLVStreamHandle s, FLVTag* tag) {
    return s ? s->DeliverDataEx(tag) : 6;
}
API int32_t FLVStream_Flush(FLVStreamHandle s) { return s ? Guarded(0, [&] { return s->Flush(); }) : 1; }
API int32_t FLVStream_Stop(FLVStreamHandle s) { return s ? Guarded(0, [&] { return s->Stop(); }) : 0; }
API int32_t FLVStream_StopEx(FLVStreamHandle s) { return s ? s->StopEx() : 0; }
API int32_t FLVStream_Terminate(FLVStreamHandle s) {
    return s ? Guarded(0, [&] { return s->Terminate(); }) : 0;
}
API int32_t FLVStream_TerminateEx(FLVStreamHandle s) {
    return s ? Guarded(0, [&] { return s->TerminateEx(); }) : 0;
}
API uint32_t FLVStream_GetTimeStamp(FLVStreamHandle s) { return s ? s->GetTimeStamp() : 0; }
API int32_t FLVStream_GetParsedPacketsCount(FLVStreamHandle s, int32_t* audio, int32_t* video) {
    if (s) return s->GetParsedPacketsCount(audio, video);
    if (audio) *audio = 0;
    if (video) *video = 0;
    return 0;
}
API int32_t FLVStream_HasCalledFLVInfoCallBack(FLVStreamHandle s) {
    return s ? s->HasCalledFLVInfoCallBack() : 0;
}
API int32_t FLVStream_SetFLVInfoCallBack(FLVStreamHandle s, FLVInfoCallBack f, void* user) {
    return s ? s->SetFLVInfoCallBack(f, user) : 0;
}
API int32_t FLVStream_SetGetVideoCallBack(FLVStreamHandle s, FLVDecoderOutputCallBack f, void* user) {
    return s ? s->SetGetVideoCallBack(f, user) : 0;
}
API int32_t FLVStream_SetGetAudioCallBack(FLVStreamHandle s, FLVDecoderOutputCallBack f, void* user) {
    return s ? s->SetGetAudioCallBack(f, user) : 0;
}
API int32_t FLVStream_SetOutputSize(FLVStreamHandle s, int32_t width, int32_t height) {
    return s ? s->SetOutputSize(width, height) : 0;
}
API int32_t FLVStream_SetOutputFPS(FLVStreamHandle s, double fps) { return s ? s->SetOutputFPS(fps) : 0; }
API int32_t FLVStream_SetDecodeAlphaChannel(FLVStreamHandle s, int32_t flag) {
    return s ? s->SetDecodeAlphaChannel(flag) : 0;
}
API int32_t FLVStream_SetSampleRate(FLVStreamHandle s, int32_t rate) {
    return s ? s->SetSampleRate(rate) : 0;
}
API int32_t FLVStream_SetNumberOfChannels(FLVStreamHandle s, int32_t n) {
    return s ? s->SetNumberOfChannels(n) : 0;
}
API void FLVStream_SetCropRect(FLVStreamHandle s, const FLVCropRect* rect) {
    if (s) s->SetCropRect(rect);
}
API void FLVStream_SetResizeMode(FLVStreamHandle s, int32_t mode) {
    if (s) s->SetResizeMode(mode);
}
API int32_t FLVStream_SetParserMaxFLVTagQueue(FLVStreamHandle s, int32_t count) {
    return s ? s->SetParserMaxFLVTagQueue(count) : 0;
}
API int32_t FLVStream_SetParserMaxInterleavedTime(FLVStreamHandle s, int32_t seconds) {
    return s ? s->SetParserMaxInterleavedTime(seconds) : 0;
}
API int32_t FLVStream_SetAudioDecoderMaxFLVTagQueue(FLVStreamHandle s, int32_t count) {
    return s ? s->SetAudioDecoderMaxFLVTagQueue(count) : 0;
}
API int32_t FLVStream_SetVideoDecoderMaxFLVTagQueue(FLVStreamHandle s, int32_t count) {
    return s ? s->SetVideoDecoderMaxFLVTagQueue(count) : 0;
}
API int32_t FLVStream_SetDecoderMaxIntervalTime(FLVStreamHandle s, int32_t ms) {
    return s ? s->SetDecoderMaxIntervalTime(ms) : 0;
}

// ---- frame readers

API AudioFrameReaderHandle AudioFrameReader_Create(FLVAVTagReaderHandle reader) {
    if (!reader || !reader->IsOpened()) return nullptr;
    return Guarded<AudioFrameReader*>(nullptr, [&]() -> AudioFrameReader* {
        auto* a = new (std::nothrow) AudioFrameReader(reader);
        if (a && !a->Valid()) {
            delete a;
            return nullptr;
        }
        return a;
    });
}
API void AudioFrameReader_Delete(AudioFrameReaderHandle a) {
    Guarded(0, [&] {
        delete a;
        return 0;
    });
}
API int32_t AudioFrameReader_ReadFrame(AudioFrameReaderHandle a, uint8_t* buffer, int32_t bytes) {
    return a ? Guarded(0, [&] { return a->ReadFrame(buffer, bytes); }) : 0;
}

API VideoFrameReaderHandle VideoFrameReader_CreateEx(FLVAVTagReaderHandle reader, double fps,
                                                     int32_t decodeAlpha, int32_t flip) {
    if (!reader || !reader->IsOpened()) return nullptr;
    return Guarded<VideoFrameReader*>(nullptr, [&] {
        return new (std::nothrow) VideoFrameReader(reader, fps, decodeAlpha, flip);
    });
}
API VideoFrameReaderHandle VideoFrameReader_Create(FLVAVTagReaderHandle reader, double fps,
                                                   int32_t decodeAlpha) {
    return VideoFrameReader_CreateEx(reader, fps, decodeAlpha, 1);
}
API void VideoFrameReader_Delete(VideoFrameReaderHandle v) {
    Guarded(0, [&] {
        delete v;
        return 0;
    });
}
API const uint8_t* VideoFrameReader_ReadFrame(VideoFrameReaderHandle v, int32_t frame) {
    return v ? Guarded<const uint8_t*>(nullptr, [&] { return v->ReadFrame(frame, nullptr, nullptr); })
             : nullptr;
}
API const uint8_t* VideoFrameReader_ReadFrameEx(VideoFrameReaderHandle v, int32_t frame,
                                                uint32_t* timestamp, uint32_t* duration) {
    return v ? Guarded<const uint8_t*>(nullptr, [&] { return v->ReadFrame(frame, timestamp, duration); })
             : nullptr;
}
