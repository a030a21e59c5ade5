#include "model/BaseResourceManager.h"

#include "model/BaseClip.h"
#include "model/FLVSequence.h"
#include "projcore/MessageIds.h"

CBaseResourceManager::CBaseResourceManager(int32_t listId) : listId_(listId) {
    Register(this, msg::kResList, &CBaseResourceManager::OnList);
    Register(this, msg::kResRemove, &CBaseResourceManager::OnRemove);
    Register(this, msg::kResRestore, &CBaseResourceManager::OnRestore);
    Register(this, msg::kResClear, &CBaseResourceManager::OnClear);
}

CBaseResourceManager::~CBaseResourceManager() = default;

void CBaseResourceManager::AnnounceInfo(int32_t id, const Entry& e) {
    ResourceInfo info = e.info;
    Notify(id, reinterpret_cast<intptr_t>(&info), sizeof info);
}

void CBaseResourceManager::Append(std::unique_ptr<Entry> entry) {
    entry->info.name = entry->name.c_str();
    entry->info.index = static_cast<uint32_t>(entries_.size());
    entries_.push_back(std::move(entry));
    modified_ = true;
    AnnounceInfo(msg::kNotifyResAdded, *entries_.back());
}

void CBaseResourceManager::Renumber(size_t from) {
    for (size_t i = from; i < entries_.size(); ++i) entries_[i]->info.index = static_cast<uint32_t>(i);
}

void CBaseResourceManager::ListResources() {
    Notify(msg::kNotifyResListStart, 0, listId_);
    for (const auto& e : entries_) AnnounceInfo(msg::kNotifyResEntry, *e);
    Notify(msg::kNotifyResListEnd, 0, listId_);
}

bool CBaseResourceManager::RemoveResource(uint32_t index) {
    if (index >= entries_.size()) return false;
    CheckEntry(*entries_[index]);
    AnnounceInfo(msg::kNotifyResRemoving, *entries_[index]);
    entries_.erase(entries_.begin() + index);  // the trash destroys its object with the entry
    Renumber(index);
    modified_ = true;
    return true;
}

void CBaseResourceManager::ClearResources() {
    if (entries_.empty()) return;
    Notify(msg::kNotifyResClearing, 0, listId_);
    entries_.clear();
    modified_ = true;
}

void CBaseResourceManager::OnList(void*, int32_t, intptr_t, intptr_t) { ListResources(); }
void CBaseResourceManager::OnRemove(void*, int32_t, intptr_t, intptr_t p2) {
    if (p2 >= 0) RemoveResource(static_cast<uint32_t>(p2));
}
void CBaseResourceManager::OnRestore(void*, int32_t, intptr_t, intptr_t p2) {
    if (p2 >= 0) RestoreResource(static_cast<uint32_t>(p2));
}
void CBaseResourceManager::OnClear(void*, int32_t, intptr_t, intptr_t) { ClearResources(); }
