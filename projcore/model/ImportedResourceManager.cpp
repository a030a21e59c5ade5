#include "model/ImportedResourceManager.h"

#include <cstring>
#include <strings.h>

#include "bus/BaseException.h"
#include "model/BaseClip.h"
#include "model/FLVSequence.h"
#include "model/BaseSerialStream.h"
#include "projcore/MessageIds.h"

CImportedResourceManager::CImportedResourceManager() : CBaseResourceManager(0) {
    Register(this, msg::kNotifySeqImported, &CImportedResourceManager::OnImported);
    Register(this, msg::kNotifySeqFilesAdded, &CImportedResourceManager::OnFilesAdded);
}

void CImportedResourceManager::AddImported(const char* path) {
    if (!path) return;
    for (const auto& e : entries_)
        if (e->name == path) return;
    auto entry = std::make_unique<Entry>();
    entry->name = path;
    const size_t n = entry->name.size();
    entry->info.type = n >= 3 && strcasecmp(path + n - 3, "flv") == 0 ? 0 : 1;
    Append(std::move(entry));
}

void CImportedResourceManager::OnImported(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TImportDone*>(p1);
    for (int32_t i = 0; r.addedPaths && i < r.addedCount; ++i) AddImported(r.addedPaths[i]);
}

void CImportedResourceManager::OnFilesAdded(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto& r = *reinterpret_cast<const TFilesAdded*>(p1);
    for (int32_t i = 0; r.paths && i < r.count; ++i) AddImported(r.paths[i]);
}

bool CImportedResourceManager::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    bool ok = stream->BeginGroup("ImportedResourceManager") && stream->BeginArray("Resources");
    for (size_t i = 0; ok && i < entries_.size(); ++i) {
        const Entry& e = *entries_[i];
        ok = stream->BeginArrayItem(("Resource" + std::to_string(i)).c_str()) &&
             stream->PutUInt("ResIndex", e.info.index) && stream->PutInt("ResType", e.info.type) &&
             stream->PutString("Name", e.name.c_str()) && stream->EndArrayItem();
    }
    ok = ok && stream->EndArray() && stream->EndGroup();
    if (!ok) throw CBaseException(errcode::kSerialImportedResources, "error:Serial ImportedResourceManager");
    return true;
}

bool CImportedResourceManager::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    std::vector<std::unique_ptr<Entry>> loaded;
    // The list is optional in a project file: without it nothing was imported.
    if (stream->OpenGroup("ImportedResourceManager")) {
        uint32_t count = 0;
        bool ok = true;
        if (stream->OpenArray("Resources", count)) {
            for (uint32_t i = 0; ok && i < count; ++i) {
                ok = stream->OpenArrayItem(("Resource" + std::to_string(i)).c_str());
                if (!ok) break;
                auto e = std::make_unique<Entry>();
                ok = stream->GetUInt("ResIndex", e->info.index) && stream->GetInt("ResType", e->info.type) &&
                     stream->GetString("Name", e->name);
                stream->CloseArrayItem();
                loaded.push_back(std::move(e));
            }
            stream->CloseArray();
        }
        stream->CloseGroup();
        if (!ok)
            throw CBaseException(errcode::kDeserialImportedResources, "error:Deserial ImportedResourceManager");
    }
    for (auto& e : loaded) e->info.name = e->name.c_str();
    entries_ = std::move(loaded);
    modified_ = false;
    return true;
}
