#pragma once

#include <cstdint>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "model/BaseSerial.h"

// The clips and sequences the user deleted, kept for restoring. For now it
// keeps the trash's file form; trashed objects join it with the clip model.
class CTrashResourceManager : public CBaseBrocaster, public CListenerImpl, public CBaseSerial {
public:
    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void* context, LoadCallback callback) override;
    void MarkSaved() override { modified_ = false; }

    // Trashed clips, each trashed sequence counted by its clips.
    uint32_t ClipCount() const { return 0; }

private:
    bool modified_ = false;
    void* loadContext_ = nullptr;
    LoadCallback loadCallback_ = nullptr;
};
