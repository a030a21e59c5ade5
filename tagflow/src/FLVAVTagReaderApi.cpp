// C exports of the tag reader. A null reader answers like a closed one.
#include "ExportGuard.h"
#include "FLVAVTagReader.h"
#include "FLVTagCodec.h"

#define API extern "C" TAGFLOW_API

API FLVAVTagReaderHandle FLVAVTagReader_Create(void) {
    return Guarded<CFLVAVTagReader*>(nullptr, [] { return new (std::nothrow) CFLVAVTagReader; });
}

API void FLVAVTagReader_Delete(FLVAVTagReaderHandle r) {
    Guarded(0, [&] {
        delete r;
        return 0;
    });
}

API int32_t FLVAVTagReader_Open(FLVAVTagReaderHandle r, const char* path) {
    return r ? Guarded(0, [&] { return r->Open(path); }) : 0;
}

API int32_t FLVAVTagReader_IsOpened(FLVAVTagReaderHandle r) { return r ? r->IsOpened() : 0; }

API int32_t FLVAVTagReader_Close(FLVAVTagReaderHandle r) {
    return r ? Guarded(0, [&] { return r->Close(); }) : 0;
}

API int32_t FLVAVTagReader_Assign(FLVAVTagReaderHandle source, FLVAVTagReaderHandle target) {
    if (!source || !target) return target ? target->IsOpened() : 0;
    return Guarded(0, [&] { return target->Assign(*source); });
}

API int32_t FLVAVTagReader_GetFLVInfo(FLVAVTagReaderHandle r, FLVInfo* info) {
    return r ? r->GetFLVInfo(info) : 0;
}

API int32_t FLVAVTagReader_GetFLVInfoEx(FLVAVTagReaderHandle r, FLVInfo* info) {
    return r ? r->GetFLVInfoEx(info) : 0;
}

API int32_t FLVAVTagReader_GetTrackCount(FLVAVTagReaderHandle r, int32_t* video, int32_t* audio) {
    return r ? r->GetTrackCount(video, audio) : 3;
}

API int32_t FLVAVTagReader_GetMinIntervaledFrameTime(FLVAVTagReaderHandle r, int32_t* ms) {
    return r ? r->GetMinIntervaledFrameTime(ms) : 0;
}

API void FLVAVTagReader_GetDuration(FLVAVTagReaderHandle r, uint32_t* audioEnd, uint32_t* videoEnd) {
    if (r) {
        r->GetDuration(audioEnd, videoEnd);
        return;
    }
    if (audioEnd) *audioEnd = 0;
    if (videoEnd) *videoEnd = 0;
}

API int32_t FLVAVTagReader_GetNextKeyFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t, uint32_t* ts) {
    return r ? r->GetNextTimeStamp(9, t, ts, nullptr) : 0;
}

API int32_t FLVAVTagReader_GetNextKeyFrameTimeStampEx(FLVAVTagReaderHandle r, uint32_t t,
                                                      uint32_t* ts, int32_t* entry) {
    if (!r && entry) *entry = -1;
    return r ? r->GetNextTimeStamp(9, t, ts, entry) : 0;
}

API int32_t FLVAVTagReader_GetPreKeyFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t, uint32_t* ts) {
    return r ? r->GetPreTimeStamp(9, t, ts, nullptr) : 0;
}

API int32_t FLVAVTagReader_GetPreKeyFrameTimeStampEx(FLVAVTagReaderHandle r, uint32_t t,
                                                     uint32_t* ts, int32_t* entry) {
    if (!r && entry) *entry = -1;
    return r ? r->GetPreTimeStamp(9, t, ts, entry) : 0;
}

API int32_t FLVAVTagReader_GetNextAudioFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t,
                                                      uint32_t* ts, int32_t* entry) {
    if (!r && entry) *entry = -1;
    return r ? r->GetNextTimeStamp(8, t, ts, entry) : 0;
}

API int32_t FLVAVTagReader_GetPreAudioFrameTimeStamp(FLVAVTagReaderHandle r, uint32_t t,
                                                     uint32_t* ts, int32_t* entry) {
    if (!r && entry) *entry = -1;
    return r ? r->GetPreTimeStamp(8, t, ts, entry) : 0;
}

API int32_t FLVAVTagReader_Seek(FLVAVTagReaderHandle r, int32_t type, uint32_t t) {
    return r ? r->SeekEx(type, t, nullptr) : 3;
}

API int32_t FLVAVTagReader_SeekEx(FLVAVTagReaderHandle r, int32_t type, uint32_t t, uint32_t* ts) {
    return r ? r->SeekEx(type, t, ts) : 3;
}

API int32_t FLVAVTagReader_SeekWithPos(FLVAVTagReaderHandle r, int32_t entry) {
    return r ? r->SeekWithPos(entry) : 6;
}

API int32_t FLVAVTagReader_SeekToBegin(FLVAVTagReaderHandle r) { return r ? r->SeekToBegin() : 4; }

API int32_t FLVAVTagReader_ReadTag(FLVAVTagReaderHandle r, int32_t load, int32_t typeFilter,
                                   FLVTag** tag, uint32_t* duration) {
    return r ? Guarded(5, [&] { return r->ReadTag(load, typeFilter, tag, duration); }) : 3;
}

API int32_t FLVAVTagReader_SetAutoReleaseMemory(FLVAVTagReaderHandle r, int32_t flag) {
    return r ? r->SetAutoReleaseMemory(flag) : flag;
}

API void FLVAVTagReader_ReleaseMemory(FLVAVTagReaderHandle r, FLVTag* tag) {
    // The reader's own work tag is never freed by a caller, whatever it passes.
    if (r && r->IsWorkTag(tag)) return;
    FreeTag(tag);
}

API int64_t FLVAVTagReader_GetOccupyMemory(FLVAVTagReaderHandle r) {
    return r ? r->GetOccupyMemory() : 0;
}

API void FLVAVTagReader_SetKeepTagDigest(FLVAVTagReaderHandle r, int32_t keep) {
    if (r) r->SetKeepTagDigest(keep != 0);
}

API TagioTagDigest* FLVAVTagReader_TakeTagDigest(FLVAVTagReaderHandle r) { return r ? r->TakeTagDigest() : nullptr; }
