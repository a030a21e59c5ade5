#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "model/BaseSerial.h"
#include "projcore/Records.h"

class CBaseClip;
class CFLVSequence;

// A list of resources the project keeps beside its sequences: the imported
// files, or the trash. Both answer the same commands (list, remove, restore,
// clear) and announce the same notifications.
class CBaseResourceManager : public CBaseBrocaster, public CListenerImpl, public CBaseSerial {
public:
    ~CBaseResourceManager() override;

    bool IsModified() override { return modified_; }
    void MarkSaved() override { modified_ = false; }

    void ListResources();
    bool RemoveResource(uint32_t index);
    virtual bool RestoreResource(uint32_t index) = 0;
    void ClearResources();
    size_t Count() const { return entries_.size(); }
    ResourceInfo Info(size_t index) const { return entries_[index]->info; }

protected:
    // listId: 0 for the imported list, 1 for the trash (p2 of list-wide messages).
    explicit CBaseResourceManager(int32_t listId);

    struct Entry {
        std::string name;
        ResourceInfo info{};
        // The trash's objects. Claimed ones went back into the sequence list
        // (the shell restores them by 210170103 before it sends 210020103):
        // the entry then only describes them.
        std::unique_ptr<CBaseClip> clip;
        std::unique_ptr<CFLVSequence> sequence;
    };
    void Append(std::unique_ptr<Entry> entry);
    void Renumber(size_t from);
    void AnnounceInfo(int32_t id, const Entry& e);
    // Raises 10580012 for an entry of a type the list cannot hold.
    virtual void CheckEntry(const Entry& e) const { (void)e; }

    std::vector<std::unique_ptr<Entry>> entries_;
    bool modified_ = false;

private:
    void OnList(void*, int32_t, intptr_t, intptr_t);
    void OnRemove(void*, int32_t, intptr_t, intptr_t p2);
    void OnRestore(void*, int32_t, intptr_t, intptr_t p2);
    void OnClear(void*, int32_t, intptr_t, intptr_t);

    int32_t listId_;
};
