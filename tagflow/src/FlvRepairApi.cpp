// C exports of the repair. A null handle answers like a failed open.
#include "ExportGuard.h"
#include "FlvRepair.h"

#define API extern "C" TAGFLOW_API

API FLVRepairHandle FLVRepair_Create(void) {
    return Guarded<CFlvRepair*>(nullptr, [] { return new (std::nothrow) CFlvRepair; });
}

API void FLVRepair_Delete(FLVRepairHandle r) { delete r; }

API void FLVRepair_SetPathCallBack(FLVRepairHandle r, FLVRepairPathCallBack f, void* user) {
    if (!r) return;
    r->Callbacks().path = f;
    r->Callbacks().pathUser = user;
}

API void FLVRepair_SetOutputCallBack(FLVRepairHandle r, FLVRepairOutputCallBack f, void* user) {
    if (!r) return;
    r->Callbacks().output = f;
    r->Callbacks().outputUser = user;
}

API void FLVRepair_SetFixCallBack(FLVRepairHandle r, FLVRepairFixCallBack f, void* user) {
    if (!r) return;
    r->Callbacks().fix = f;
    r->Callbacks().fixUser = user;
}

API void FLVRepair_SetProgressCallBack(FLVRepairHandle r, FLVRepairProgressCallBack f, void* user) {
    if (!r) return;
    r->Callbacks().progress = f;
    r->Callbacks().progressUser = user;
}

API int32_t FLVRepair_Run(FLVRepairHandle r, const char* input) {
    return r ? Guarded(7, [&] { return r->Run(input); }) : 1;
}

API int32_t FLVRepair_GetOutputCount(FLVRepairHandle r) { return r ? r->OutputCount() : 0; }

API const char* FLVRepair_FixKindName(int32_t kind) {
    static const char* const kNames[] = {"",
                                         "damaged-region",
                                         "truncated-tail",
                                         "time-jump",
                                         "step-back",
                                         "repeated-setup",
                                         "setup-change",
                                         "until-key-frame",
                                         "no-setup",
                                         "extra-metadata",
                                         "bad-setup"};
    return kind > 0 && kind < int32_t(sizeof kNames / sizeof kNames[0]) ? kNames[kind] : "";
}
