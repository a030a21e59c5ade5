#pragma once

// The output profiles the converter offers: the built-in ones of the
// profile file shipped beside the program (or, in a build tree, the source
// tree's) together with the user's own profiles from the desktop program's
// copy in its data folder; or only those of a file named on the command line.

#include <string>
#include <string_view>
#include <vector>

#include "profiles/ExportFormat.h"
#include "profiles/ProfileDocument.h"

struct ProfileEntry {
    profiles::TXMLExportFormatType format;
    std::string category;
};

class ProfileCatalog {
public:
    // explicitPath empty: the shipped file and the user's. False with a
    // message (the file, a blank line and the reader's words) when the
    // profiles cannot be read; a user's file that cannot be read is passed over.
    bool Load(const std::string& explicitPath, std::string* error);
    // The files the profiles came from.
    const std::vector<std::string>& Sources() const { return sources_; }
    const std::vector<ProfileEntry>& All() const { return all_; }

    // By FormatID, else by caption without regard to case; null when neither.
    const ProfileEntry* Find(std::string_view nameOrId) const;
    // The profile the output settings choose when nothing was chosen before:
    // the first of the first built-in category.
    const ProfileEntry* Default() const;
    // Captions that look like `wanted`: those containing it, or, when none
    // does, those a few edits away, nearest first.
    std::vector<std::string> CloseNames(std::string_view wanted, size_t most = 5) const;

    // The desktop program's copy of the profile file, holding the user's own
    // profiles in its first category.
    static std::string UserFile();
    // Where the shipped file is looked for, in order.
    static std::vector<std::string> ShippedFiles();

private:
    profiles::TXMLNewDataSetType doc_;
    std::vector<ProfileEntry> all_;
    std::vector<std::string> sources_;
};
