#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "bus/ListenerImpl.h"
#include "convert/PvxMgr.h"
#include "model/BaseProject.h"
#include "player/PlayerMessageMgr.h"

class CFLVSequenceManager;
class CClipEditMessageMgr;
class CImportedResourceManager;
class CTrashResourceManager;
class CSeqMgrResAdaptor;

// The project document: it owns the sequence manager, the resource managers
// and the message managers, subscribes the host to their broadcasts, and
// hands their listener addresses to the shell (210581101 - 210581106).
class CPravexProject : public CBaseProject, public CListenerImpl {
public:
    // An empty project. Throws (CBaseException) when a sub-manager cannot be built.
    explicit CPravexProject(CBaseListener* host);
    // A project read from a file, sending load progress to the host. Throws the
    // bare integer 0 when the file cannot be read or is not a project file;
    // nothing is left subscribed to the host then.
    CPravexProject(const char* path, CBaseListener* host);
    ~CPravexProject() override;

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    // True once anything changed since the last save or load; it stays true
    // even if the change is undone.
    bool IsModified() override;
    void SetLoadCallback(void*, LoadCallback) override {}
    void MarkSaved() override;
    // Marks the document changed (its header was edited).
    void SetModified() { modified_ = true; }

    const std::string& FilePath() const { return filePath_; }
    // Whether clips were left out while the file loaded (their files were
    // gone); the first save over that file keeps the original beside it.
    bool LostClipsOnLoad() const { return lostClipsOnLoad_; }
    void ForgetLostClips() { lostClipsOnLoad_ = false; }
    void SetFilePath(const std::string& path) { filePath_ = path; }

private:
    void BuildSubManagers();
    void RegisterHandlers();
    void LoadFile(const char* path);
    void WireHost();
    // Unwires and destroys the sub-managers in their fixed order; safe to call
    // again (each is owned once and reset once).
    void DestroySubManagers();

    static void OnClipLoad(void* context, const char* kind, const ClipLoadRecord* record, int32_t state);
    void SendFinalProgress();

    void OnGetSequenceManager(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetTrashManager(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetImportedManager(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetClipEditManager(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetPlayerManager(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetConversionManager(void*, int32_t, intptr_t p1, intptr_t);

    std::string filePath_;
    CBaseListener* host_;  // not owned
    // Embedded managers: built first, destroyed last (conversion, then player).
    CPlayerMessageMgr player_;
    CPvxMgr converter_;
    std::unique_ptr<CFLVSequenceManager> sequenceManager_;
    std::unique_ptr<CClipEditMessageMgr> clipEditManager_;
    std::unique_ptr<CImportedResourceManager> importedResources_;
    std::unique_ptr<CTrashResourceManager> trash_;
    std::unique_ptr<CSeqMgrResAdaptor> adaptor_;
    bool hostWired_ = false;
    bool modified_ = false;
    uint32_t loadTotal_ = 0;
    uint32_t loadDone_ = 0;
    bool lostClipsOnLoad_ = false;
};
