#include "app/EngineApi.h"

namespace {
CBaseListener* Ask(TEngineApi& engine, CBaseListener* target, int32_t id) {
    CBaseListener* answer = nullptr;  // stays 0 when the engine does not answer
    engine.Send(target, id, reinterpret_cast<intptr_t>(&answer), 0);
    return answer;
}
}  // namespace

void AcquireProjectHandles(TEngineApi& engine, TEngineHandles& handles, CBaseListener* resourceHost,
                           CDrawSurface* surface, const Rect& area) {
    handles.ClearProject();
    if (!handles.projectMgr) return;
    handles.project = Ask(engine, handles.projectMgr, msg::kProjectGetListener);
    if (!handles.project) return;
    handles.sequenceMgr = Ask(engine, handles.project, msg::kGetSequenceManager);
    handles.trashMgr = Ask(engine, handles.project, msg::kGetTrashManager);
    handles.importedMgr = Ask(engine, handles.project, msg::kGetImportedManager);
    handles.resourcePlayer = Ask(engine, handles.project, msg::kGetPlayerManager);
    handles.clipEditMgr = Ask(engine, handles.project, msg::kGetClipEditManager);
    // The conversion manager is asked for when the conversion window opens;
    // asking here as well keeps every handle of the project in one place.
    handles.conversionMgr = Ask(engine, handles.project, msg::kGetConversionManager);
    if (!handles.resourcePlayer) return;
    if (resourceHost)
        engine.Send(handles.resourcePlayer, msg::kPlayerAddListener, reinterpret_cast<intptr_t>(resourceHost), 0);
    if (surface) {
        Rect rect = area;
        engine.Send(handles.resourcePlayer, msg::kPlayerSetSurface, reinterpret_cast<intptr_t>(surface), 0);
        engine.Send(handles.resourcePlayer, msg::kPlayerSetArea, reinterpret_cast<intptr_t>(&rect), sizeof rect);
        engine.Send(handles.resourcePlayer, msg::kPlayerSetMode, 0, 0);
    }
}
