// Nothing throws across the library boundary: an allocation that fails
// inside a call becomes BK_ERR_MEMORY.
#pragma once

#include <new>

#include "blitkit/blitkit.h"

namespace blitkit {

template <typename Fn>
int Guarded(Fn&& fn) noexcept {
    try {
        return fn();
    } catch (const std::bad_alloc&) {
        return BK_ERR_MEMORY;
    } catch (...) {
        return BK_ERR_MEMORY;
    }
}

}  // namespace blitkit
