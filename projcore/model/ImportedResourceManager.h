#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "model/BaseSerial.h"

// The files the user has brought into the project, remembered so the resource
// browser can show them again after the project is reopened.
class CImportedResourceManager : public CBaseBrocaster, public CListenerImpl, public CBaseSerial {
public:
    struct Entry {
        std::string name;
        int32_t type;    // 0 for a name ending in "flv" (any case), 1 otherwise
        uint32_t index;  // as stored in the project file
    };

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void*, LoadCallback) override {}
    void MarkSaved() override { modified_ = false; }

    const std::vector<Entry>& Entries() const { return entries_; }

private:
    std::vector<Entry> entries_;
    bool modified_ = false;
};
