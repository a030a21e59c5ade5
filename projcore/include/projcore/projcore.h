#pragma once

// The engine's three entry points. The shell drives the engine only through
// these, the message identifiers and the records declared beside them.

#include <cstdint>

#include "projcore/Export.h"
#include "projcore/Listener.h"
#include "projcore/MessageIds.h"
#include "projcore/Records.h"

extern "C" {

// Creates the one project manager on first call and returns the address of its
// listener; later calls return the same manager and ignore `host` (beyond the
// null test). Returns null when host is null or creation failed.
PROJCORE_API CBaseListener* GetProjectMgr(CBaseListener* host);

// Hands (id, p1, p2) to `listener` with sender 0. No exception ever leaves it:
// a failure a handler did not catch is swallowed here so the caller never
// unwinds through the engine. Results travel back through p1/p2.
PROJCORE_API void DirectSendMessage(CBaseListener* listener, int32_t id, intptr_t p1, intptr_t p2);

// Closes the current project without asking and destroys the manager.
PROJCORE_API void DeleteProjectMgr();

}
