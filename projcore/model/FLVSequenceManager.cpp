#include "model/FLVSequenceManager.h"

#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"

namespace {
[[noreturn]] void FailSerial() {
    throw CBaseException(errcode::kSerialFLVSequenceManager, "errSerialFLVSequenceManager");
}
[[noreturn]] void FailDeserial() {
    throw CBaseException(errcode::kDeserialFLVSequenceManager, "errDeserialFLVSequenceManager");
}
}  // namespace

bool CFLVSequenceManager::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    bool ok = stream->BeginGroup("CFLVSequenceManager");
    ok = ok && stream->PutUInt("ClipNumber", ClipCount());
    ok = ok && stream->BeginArray("m_FlvSequenceData");
    ok = ok && stream->EndArray();
    ok = ok && stream->EndGroup();
    if (!ok) FailSerial();
    return true;
}

bool CFLVSequenceManager::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("CFLVSequenceManager")) FailDeserial();
    uint32_t count = 0;
    if (stream->OpenArray("m_FlvSequenceData", count)) {
        stream->CloseArray();
        // Sequences cannot be read back until the clip model exists; refusing
        // the file is better than dropping its sequences on the next save.
        if (count != 0) {
            stream->CloseGroup();
            FailDeserial();
        }
    }
    stream->CloseGroup();
    modified_ = false;
    return true;
}

void CFLVSequenceManager::SetLoadCallback(void* context, LoadCallback callback) {
    if (!context || !callback) return;
    loadContext_ = context;
    loadCallback_ = callback;
}
