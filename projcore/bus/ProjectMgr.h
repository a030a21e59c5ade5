#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "bus/ListenerImpl.h"
#include "render/FLVCache.h"

class CPravexProject;
class CProjectMgr;

// The manager GetProjectMgr made, or null. Engine code that needs the
// engine-wide reader cache reaches it through this.
CProjectMgr* CurrentProjectMgr();

// The one project manager: owns the open project and carries out new, open,
// close, save and save-as, asking the host for file names and whether to save
// changes, and telling it what happened.
class CProjectMgr : public CListenerImpl {
public:
    explicit CProjectMgr(CBaseListener* host);
    ~CProjectMgr() override;

    CPravexProject* Project() const { return project_.get(); }
    // The engine-wide reader cache for media queries.
    CFLVCache& FlvCache() { return flvCache_; }

private:
    enum class Unsaved { NoProject, Clean, Saved, Cancel };
    // Asks the host about unsaved changes; true when the operation may go on.
    bool ConfirmDiscardOrSave();
    Unsaved AskUnsavedChanges();

    void OnNew(void*, int32_t, intptr_t, intptr_t);
    void OnClose(void*, int32_t, intptr_t p1, intptr_t);
    void OnOpen(void*, int32_t, intptr_t, intptr_t);
    void OnSave(void*, int32_t, intptr_t, intptr_t);
    void OnSaveAs(void*, int32_t, intptr_t, intptr_t);
    void OnGetProjectListener(void*, int32_t, intptr_t p1, intptr_t);
    void OnGetPath(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnExamineMedia(void*, int32_t, intptr_t p1, intptr_t);
    void OnRepairFlv(void*, int32_t, intptr_t p1, intptr_t p2);
    void OnPrepareCoding(void*, int32_t, intptr_t, intptr_t);

    void Save();
    // Writes the project to target; the old file stays intact on failure.
    // Throws CBaseException 10580020 when the file cannot be written.
    void SaveProjectTo(const std::string& target);
    // Asks the host for a path with request id; empty when cancelled.
    std::string AskPath(int32_t id);
    void DestroyProject();
    void Tell(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);

    CBaseListener* host_;  // not owned
    CFLVCache flvCache_;   // outlives the project, whose clips use it
    std::unique_ptr<CPravexProject> project_;
    std::string path_;
    std::thread preparing_;   // loading the coding libraries (kProjectPrepareCoding)
};
