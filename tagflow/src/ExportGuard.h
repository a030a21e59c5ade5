// Nothing may unwind out of the library: every export runs its body here.
#pragma once

#include <new>

template <class R, class F>
R Guarded(R onFailure, F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return onFailure;
    } catch (...) {
        return onFailure;
    }
}
