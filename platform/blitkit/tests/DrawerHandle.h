// Owning wrappers so a failed assertion does not leak a drawer or a font.
#pragma once

#include <memory>

#include "blitkit/blitkit.h"

namespace bktest {

struct DrawerDeleter {
    void operator()(BkDrawer* d) const { BK_DeleteDrawer(d); }
};
struct FontDeleter {
    void operator()(BkFont* f) const { BK_DeleteFont(f); }
};
using DrawerPtr = std::unique_ptr<BkDrawer, DrawerDeleter>;
using FontPtr = std::unique_ptr<BkFont, FontDeleter>;

inline DrawerPtr NewDrawer(bool timeline = true) {
    DrawerPtr d(BK_CreateDrawer());
    if (d && timeline) BK_SetTimeline(d.get(), 1);
    return d;
}

}  // namespace bktest
