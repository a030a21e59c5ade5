#include "bus/ListenerImpl.h"

#include <cstdio>

#include "bus/BaseException.h"

void CListenerImpl::OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) {
    auto it = table_.find(id);
    if (it == table_.end()) return;
    for (const Entry& e : it->second) {
        try {
            e.invoke(e.context, e.handler, sender, id, p1, p2);
        } catch (const CBaseException& ex) {
            std::fprintf(stderr, "projcore: message %d: unhandled error %d %s\n", id, ex.Code(),
                         ex.Text().c_str());
        } catch (...) {
            std::fprintf(stderr, "projcore: message %d: unhandled failure\n", id);
        }
    }
}
