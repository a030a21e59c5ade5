#pragma once

#include <string>

#include "model/BaseResourceManager.h"

// The files the user has brought into the project, remembered so the resource
// browser can show them again after the project is reopened. It grows from the
// sequence manager's import and add notifications.
class CImportedResourceManager : public CBaseResourceManager {
public:
    CImportedResourceManager();

    // Remembers a path once (byte for byte).
    void AddImported(const char* path);
    bool RestoreResource(uint32_t) override { return false; }

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    void SetLoadCallback(void*, LoadCallback) override {}

private:
    void OnImported(void*, int32_t, intptr_t p1, intptr_t);
    void OnFilesAdded(void*, int32_t, intptr_t p1, intptr_t);
};
