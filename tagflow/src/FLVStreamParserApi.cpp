// C exports of the push parser. A null parser answers like a stopped one.
#include "ExportGuard.h"
#include "FLVStreamParser.h"
#include "FLVTagCodec.h"

#define API extern "C" TAGFLOW_API

API FLVStreamParserHandle FLVStreamParser_Create(void) {
    return Guarded<CFLVStreamParser*>(nullptr, [] { return new (std::nothrow) CFLVStreamParser; });
}

API void FLVStreamParser_Delete(FLVStreamParserHandle p) {
    Guarded(0, [&] {
        delete p;
        return 0;
    });
}

API int32_t FLVStreamParser_Run(FLVStreamParserHandle p) { return p ? p->Run() : 0; }

API int32_t FLVStreamParser_DeliverData(FLVStreamParserHandle p, const uint8_t* bytes,
                                        uint32_t count) {
    return p ? Guarded(7, [&] { return p->DeliverData(bytes, count); }) : 5;
}

API int32_t FLVStreamParser_Flush(FLVStreamParserHandle p) {
    return p ? Guarded(0, [&] { return p->Flush(); }) : 1;
}

API int32_t FLVStreamParser_Stop(FLVStreamParserHandle p) {
    return p ? Guarded(0, [&] { return p->Stop(); }) : 0;
}

API int32_t FLVStreamParser_SetMaxInterleavedTime(FLVStreamParserHandle p, int32_t seconds) {
    return p ? p->SetMaxInterleavedTime(seconds) : 0;
}

API int32_t FLVStreamParser_SetMaxFLVTagQueue(FLVStreamParserHandle p, int32_t count) {
    return p ? p->SetMaxFLVTagQueue(count) : 0;
}

API int32_t FLVStreamParser_SetParserNotAudioVideoPacket(FLVStreamParserHandle p, int32_t flag) {
    return p ? p->SetParserNotAudioVideoPacket(flag) : 0;
}

API int32_t FLVStreamParser_SetFLVInfoCallBack(FLVStreamParserHandle p, FLVInfoCallBack f, void* user) {
    return p ? p->SetFLVInfoCallBack(f, user) : 0;
}

API int32_t FLVStreamParser_SetFLVVideoCallBack(FLVStreamParserHandle p, FLVTagCallBack f, void* user) {
    return p ? p->SetFLVVideoCallBack(f, user) : 0;
}

API int32_t FLVStreamParser_SetFLVAudioCallBack(FLVStreamParserHandle p, FLVTagCallBack f, void* user) {
    return p ? p->SetFLVAudioCallBack(f, user) : 0;
}

API int32_t FLVStreamParser_SetFLVNotAudioVideoPacketCallBack(FLVStreamParserHandle p,
                                                              FLVTagCallBack f, void* user) {
    return p ? p->SetFLVNotAudioVideoPacketCallBack(f, user) : 0;
}

API uint32_t FLVStreamParser_GetTimeStamp(FLVStreamParserHandle p) {
    return p ? p->GetTimeStamp() : 0;
}

API int32_t FLVStreamParser_GetParsedPacketsCount(FLVStreamParserHandle p, int32_t* audio,
                                                  int32_t* video) {
    if (p) return p->GetParsedPacketsCount(audio, video);
    if (audio) *audio = 0;
    if (video) *video = 0;
    return 0;
}

API int32_t FLVStreamParser_HasCalledFLVInfoCallBack(FLVStreamParserHandle p) {
    return p ? p->HasCalledFLVInfoCallBack() : 0;
}

API void FLVStreamParser_DeleteFLVTag(FLVStreamParserHandle, FLVTag* tag) { FreeTag(tag); }
