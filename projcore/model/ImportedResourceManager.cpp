#include "model/ImportedResourceManager.h"

#include <string>

#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"

bool CImportedResourceManager::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    bool ok = stream->BeginGroup("ImportedResourceManager") && stream->BeginArray("Resources");
    for (size_t i = 0; ok && i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        ok = stream->BeginArrayItem(("Resource" + std::to_string(i)).c_str()) &&
             stream->PutUInt("ResIndex", e.index) && stream->PutInt("ResType", e.type) &&
             stream->PutString("Name", e.name.c_str()) && stream->EndArrayItem();
    }
    ok = ok && stream->EndArray() && stream->EndGroup();
    if (!ok) throw CBaseException(errcode::kSerialImportedResources, "error:Serial ImportedResourceManager");
    return true;
}

bool CImportedResourceManager::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    std::vector<Entry> loaded;
    // The list is optional in a project file: without it nothing was imported.
    if (stream->OpenGroup("ImportedResourceManager")) {
        uint32_t count = 0;
        bool ok = true;
        if (stream->OpenArray("Resources", count)) {
            for (uint32_t i = 0; ok && i < count; ++i) {
                Entry e{};
                ok = stream->OpenArrayItem(("Resource" + std::to_string(i)).c_str());
                if (!ok) break;
                ok = stream->GetUInt("ResIndex", e.index) && stream->GetInt("ResType", e.type) &&
                     stream->GetString("Name", e.name);
                stream->CloseArrayItem();
                loaded.push_back(std::move(e));
            }
            stream->CloseArray();
        }
        stream->CloseGroup();
        if (!ok)
            throw CBaseException(errcode::kDeserialImportedResources, "error:Deserial ImportedResourceManager");
    }
    entries_ = std::move(loaded);
    modified_ = false;
    return true;
}
