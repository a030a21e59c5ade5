// The C interface over the tables. Nothing may throw out of it: every entry
// checks its handle and catches what the standard library might raise.

#include <algorithm>
#include <filesystem>
#include <memory>
#include <new>

#include "Tables.h"

namespace fs = std::filesystem;

extern "C" {

LINGUAKIT_API linguakit_handle linguakit_init(const char* folder) {
    if (!folder || !*folder) return nullptr;
    try {
        std::vector<fs::path> files;
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.path().extension() == ".xml" && entry.is_regular_file(ec)) files.push_back(entry.path());
        }
        if (ec) return nullptr;
        std::sort(files.begin(), files.end());  // a stable language order across runs
        auto lib = std::make_unique<linguakit_lib>();
        for (const auto& file : files) {
            linguakit::Language lang;
            // A broken file costs only its own language.
            if (linguakit::LoadLanguageFile(file.string(), lang)) lib->languages.push_back(std::move(lang));
        }
        if (lib->languages.empty()) return nullptr;
        return lib.release();
    } catch (...) {
        return nullptr;
    }
}

LINGUAKIT_API void linguakit_release(linguakit_handle lib) { delete lib; }

LINGUAKIT_API int linguakit_get_lang_count(linguakit_handle lib) {
    return lib ? static_cast<int>(lib->languages.size()) : 0;
}

LINGUAKIT_API const char* linguakit_get_lang_name(linguakit_handle lib, int index) {
    if (!lib || index < 0 || index >= static_cast<int>(lib->languages.size())) return nullptr;
    return lib->languages[static_cast<size_t>(index)].name.c_str();
}

LINGUAKIT_API int linguakit_get_lang(linguakit_handle lib) {
    if (!lib) return -1;
    std::lock_guard lock(lib->mutex);
    return lib->current;
}

LINGUAKIT_API int linguakit_set_lang(linguakit_handle lib, int index) {
    if (!lib || index < 0 || index >= static_cast<int>(lib->languages.size())) return 0;
    std::vector<std::pair<linguakit_callback, void*>> callbacks;
    {
        std::lock_guard lock(lib->mutex);
        lib->current = index;
        callbacks = lib->callbacks;
    }
    // Called without the lock: a callback may look texts up or unregister itself.
    for (auto& [cb, context] : callbacks) cb(context, lib, index);
    return 1;
}

LINGUAKIT_API linguakit_unit_handle linguakit_lock_lu(linguakit_handle lib, const char* unit) {
    if (!lib || !unit) return nullptr;
    std::lock_guard lock(lib->mutex);
    auto& units = lib->languages[static_cast<size_t>(lib->current)].units;
    auto it = units.find(unit);
    return it == units.end() ? nullptr : &it->second;
}

// The tables never change after loading, so a lock needs no bookkeeping; the
// pair exists so callers mark how long they use a unit or item.
LINGUAKIT_API void linguakit_unlock_lu(linguakit_handle, linguakit_unit_handle) {}

LINGUAKIT_API linguakit_item_handle linguakitu_lock_item(linguakit_unit_handle unit, const char* item) {
    if (!unit || !item) return nullptr;
    auto it = unit->items.find(item);
    return it == unit->items.end() ? nullptr : &it->second;
}

LINGUAKIT_API void linguakitu_unlock_item(linguakit_item_handle) {}

LINGUAKIT_API const char* linguakiti_query_attr(linguakit_item_handle item, const char* attr) {
    if (!item || !attr) return nullptr;
    auto it = item->attrs.find(attr);
    return it == item->attrs.end() ? nullptr : it->second.c_str();
}

LINGUAKIT_API int linguakit_register_callback(linguakit_handle lib, linguakit_callback cb, void* context) {
    if (!lib || !cb) return 0;
    try {
        std::lock_guard lock(lib->mutex);
        auto entry = std::make_pair(cb, context);
        if (std::find(lib->callbacks.begin(), lib->callbacks.end(), entry) == lib->callbacks.end())
            lib->callbacks.push_back(entry);
        return 1;
    } catch (...) {
        return 0;
    }
}

LINGUAKIT_API int linguakit_unregister_callback(linguakit_handle lib, linguakit_callback cb, void* context) {
    if (!lib || !cb) return 0;
    std::lock_guard lock(lib->mutex);
    auto it = std::find(lib->callbacks.begin(), lib->callbacks.end(), std::make_pair(cb, context));
    if (it == lib->callbacks.end()) return 0;
    lib->callbacks.erase(it);
    return 1;
}

}
