#pragma once

#include <cstdint>

#include "projcore/Export.h"

// A receiver of the engine's four-word messages. The shell implements one (the
// host listener) to receive notifications and answer the engine's questions;
// every engine manager is one too.
//
// sender: the broadcaster that sent the message, or null when it was sent
//         directly (DirectSendMessage, or an engine object calling OnMessage).
// id:     the nine-digit message identifier (see MessageIds.h).
// p1, p2: a value or a pointer to a record owned by the sender, valid only
//         during the call; when p1 points to a record, p2 is usually its size.
class PROJCORE_API CBaseListener {
public:
    virtual void OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) = 0;
    virtual ~CBaseListener() = default;
};
