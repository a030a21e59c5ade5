#pragma once

// The in-memory language tables behind the C handles. Units and items are
// looked up by exact name; std::map keeps their addresses stable so a handle
// is just the address of the entry.

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "linguakit/linguakit.h"

struct linguakit_item {
    std::map<std::string, std::string> attrs;
};

struct linguakit_unit {
    std::map<std::string, linguakit_item> items;
};

namespace linguakit {

struct Language {
    std::string name;
    std::map<std::string, linguakit_unit> units;
};

// Parses one language file. Returns false (`out` may then hold part of the file) when
// the file is not a well-formed language file with a non-empty name.
bool LoadLanguageFile(const std::string& path, Language& out);

}  // namespace linguakit

struct linguakit_lib {
    std::vector<linguakit::Language> languages;  // in file-name order
    std::mutex mutex;                           // guards current and callbacks
    int current = 0;
    std::vector<std::pair<linguakit_callback, void*>> callbacks;
};
