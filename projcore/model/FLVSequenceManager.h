#pragma once

#include <cstdint>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "model/BaseSerial.h"

// The project's ordered list of sequences. For now it keeps the list's file
// form (the clip count and the sequence array) and its subscribers; sequences
// and the editing commands join it with the clip model.
class CFLVSequenceManager : public CBaseSerial, public CBaseBrocaster, public CListenerImpl {
public:
    CFLVSequenceManager() = default;

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void* context, LoadCallback callback) override;
    void MarkSaved() override { modified_ = false; }

    // Clips in all sequences, as the file's "ClipNumber" announces them.
    uint32_t ClipCount() const { return 0; }

private:
    bool modified_ = false;
    void* loadContext_ = nullptr;
    LoadCallback loadCallback_ = nullptr;
};
