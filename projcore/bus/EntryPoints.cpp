// The engine's exported entry points.

#include <cstdio>
#include <memory>
#include <mutex>

#include "bus/BaseException.h"
#include "bus/ProjectMgr.h"
#include "projcore/projcore.h"

namespace {
std::mutex g_managerMutex;
std::unique_ptr<CProjectMgr> g_manager;
}  // namespace

CProjectMgr* CurrentProjectMgr() {
    std::lock_guard lock(g_managerMutex);
    return g_manager.get();
}

extern "C" {

PROJCORE_API CBaseListener* GetProjectMgr(CBaseListener* host) {
    if (!host) return nullptr;
    std::lock_guard lock(g_managerMutex);
    if (!g_manager) {
        try {
            g_manager = std::make_unique<CProjectMgr>(host);
        } catch (...) {
            return nullptr;
        }
    }
    return static_cast<CListenerImpl*>(g_manager.get());
}

PROJCORE_API void DirectSendMessage(CBaseListener* listener, int32_t id, intptr_t p1, intptr_t p2) {
    if (!listener) return;
    try {
        listener->OnMessage(nullptr, id, p1, p2);
    } catch (const CBaseException& e) {
        std::fprintf(stderr, "projcore: message %d failed: %d %s\n", id, e.Code(), e.Text().c_str());
    } catch (...) {
        std::fprintf(stderr, "projcore: message %d failed\n", id);
    }
}

PROJCORE_API void DeleteProjectMgr() {
    std::unique_ptr<CProjectMgr> doomed;
    {
        std::lock_guard lock(g_managerMutex);
        doomed = std::move(g_manager);
    }
}

}
