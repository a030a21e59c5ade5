#include "model/TrashResourceManager.h"

#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"

bool CTrashResourceManager::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    const bool ok = stream->BeginGroup("TrashResourceManager") &&
                    stream->PutUInt("ClipNumber", ClipCount()) && stream->BeginArray("Resources") &&
                    stream->EndArray() && stream->EndGroup();
    if (!ok) throw CBaseException(errcode::kSerialTrash, "error:Serial ImportedResourceManager");
    return true;
}

bool CTrashResourceManager::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("TrashResourceManager"))
        throw CBaseException(errcode::kDeserialTrash, "error:Deserial ImportedResourceManager");
    uint32_t count = 0;
    if (stream->OpenArray("Resources", count)) stream->CloseArray();
    stream->CloseGroup();
    // Trashed clips and sequences cannot be read back until the clip model
    // exists; refusing the file is better than emptying the trash on save.
    if (count != 0) throw CBaseException(errcode::kDeserialTrash, "error:Deserial ImportedResourceManager");
    modified_ = false;
    return true;
}

void CTrashResourceManager::SetLoadCallback(void* context, LoadCallback callback) {
    if (!context || !callback) return;
    loadContext_ = context;
    loadCallback_ = callback;
}
