#pragma once

// The engine's three entry points behind an interface, so a test can watch
// what the windows ask of the real engine.

#include <cstdint>

#include "projcore/DrawSurface.h"
#include "projcore/projcore.h"

class TEngineApi {
public:
    virtual ~TEngineApi() = default;
    virtual CBaseListener* GetProjectMgr(CBaseListener* host) { return ::GetProjectMgr(host); }
    virtual void Send(CBaseListener* target, int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) {
        ::DirectSendMessage(target, id, p1, p2);
    }
    virtual void DeleteProjectMgr() { ::DeleteProjectMgr(); }
};

// The engine objects the windows talk to; 0 means "not available" and makes
// the sending action do nothing.
struct TEngineHandles {
    CBaseListener* projectMgr = nullptr;
    CBaseListener* project = nullptr;
    CBaseListener* sequenceMgr = nullptr;
    CBaseListener* trashMgr = nullptr;
    CBaseListener* importedMgr = nullptr;
    CBaseListener* clipEditMgr = nullptr;
    CBaseListener* resourcePlayer = nullptr;
    CBaseListener* conversionMgr = nullptr;

    // After the project closed: every handle that belonged to it goes, the
    // project manager stays.
    void ClearProject() {
        CBaseListener* keep = projectMgr;
        *this = TEngineHandles{};
        projectMgr = keep;
    }
};

// Asks the project manager for the current project and the project for its
// managers; registers `resourceHost` with the resource player and gives it
// the preview surface and its area.
void AcquireProjectHandles(TEngineApi& engine, TEngineHandles& handles, CBaseListener* resourceHost,
                           CDrawSurface* surface, const Rect& area);
