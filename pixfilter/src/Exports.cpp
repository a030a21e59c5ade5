// The flat C interface. Handles are effect addresses; no exception leaves here.
#include <cstdint>

#include "EffectRegistry.h"
#include "ImageEffect.h"
#include "pixfilter/pixfilter.h"

using pixfilter::CImageEffect;

namespace {

CImageEffect* FromHandle(eil_handle handle) { return reinterpret_cast<CImageEffect*>(handle); }

// Runs body on the effect; a null handle or an exception answers false.
template <class Body>
bool Guarded(eil_handle handle, Body body) noexcept {
    if (handle == nullptr) return false;
    try {
        return body(*FromHandle(handle));
    } catch (...) {
        return false;
    }
}

}  // namespace

extern "C" {

PIXFILTER_API eil_handle eil_create_image_effect(const char* name) {
    try {
        return reinterpret_cast<eil_handle>(pixfilter::CreateEffectByName(name));
    } catch (...) {
        return nullptr;
    }
}

PIXFILTER_API bool eil_set_parameter(eil_handle effect, const char* name, const void* value,
                                     int32_t size) {
    return Guarded(effect, [&](CImageEffect& e) {
        return value != nullptr && e.SetParameter(name, value, size);
    });
}

PIXFILTER_API bool eil_begin_process_image(eil_handle effect, int32_t format, int32_t stride,
                                           int32_t width, int32_t height, int32_t wantOutput) {
    return Guarded(effect, [&](CImageEffect& e) {
        return e.BeginProcess(format, stride, width, height, static_cast<uint8_t>(wantOutput) != 0);
    });
}

// The effect's own answer is passed on, so a frame the effect could not
// process is reported rather than counted as done.
PIXFILTER_API bool eil_process_image(eil_handle effect, void* pixels) {
    return Guarded(effect, [&](CImageEffect& e) {
        return pixels != nullptr && e.ProcessInPlace(static_cast<uint8_t*>(pixels));
    });
}

PIXFILTER_API bool eil_process_image2(eil_handle effect, const void* pixels, void** output) {
    return Guarded(effect, [&](CImageEffect& e) {
        if (pixels == nullptr || output == nullptr) return false;
        uint8_t* result = nullptr;
        if (!e.ProcessToBuffer(static_cast<const uint8_t*>(pixels), &result)) return false;
        *output = result;
        return true;
    });
}

PIXFILTER_API bool eil_end_process_image(eil_handle effect) {
    return Guarded(effect, [](CImageEffect& e) {
        e.EndProcess();
        return true;
    });
}

PIXFILTER_API bool eil_close_effect(eil_handle effect) {
    return Guarded(effect, [](CImageEffect& e) {
        delete &e;
        return true;
    });
}

}  // extern "C"
