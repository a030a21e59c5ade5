#pragma once

#include <memory>

#include "model/BaseResourceManager.h"

// The clips and sequences the user deleted, with all their settings, until
// they are restored, deleted for good or the trash is emptied.
class CTrashResourceManager : public CBaseResourceManager {
public:
    static constexpr int32_t kClip = 2;
    static constexpr int32_t kSequence = 3;

    CTrashResourceManager() : CBaseResourceManager(1) {}

    void AddClip(std::unique_ptr<CBaseClip> clip);
    void AddSequence(std::unique_ptr<CFLVSequence> sequence);
    // Hands a trashed object back for the sequence list; its entry stays (as
    // a description) until 210020103 takes it out. Null for an object the
    // trash does not hold.
    std::unique_ptr<CBaseClip> ClaimClip(void* object);
    std::unique_ptr<CFLVSequence> ClaimSequence(void* object);
    bool RestoreResource(uint32_t index) override;
    // Trashed clips, each trashed sequence counted by its clips.
    uint32_t ClipCount() const;

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    void SetLoadCallback(void* context, LoadCallback callback) override;

private:
    void CheckEntry(const Entry& e) const override;
    // Forgets entries whose object went back to the sequence list and is
    // now trashed again.
    void DropStale(void* object);

    void* loadContext_ = nullptr;
    LoadCallback loadCallback_ = nullptr;
};
