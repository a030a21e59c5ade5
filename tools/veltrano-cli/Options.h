#pragma once

// The command line, parsed: one command and its options. Parsing never
// touches the engine or the file system.

#include <optional>
#include <string>
#include <vector>

#include "RecordOptions.h"

enum class Command { kNone, kHelp, kConvert, kJoin, kProfiles, kInfo, kRepair };

struct Options {
    Command command = Command::kNone;
    bool json = false;
    std::string profilesFile;            // --profiles
    std::vector<std::string> inputs;     // positional arguments after the command
    std::vector<std::string> profiles;   // --profile NAME|ID, again for more: each input in each
    std::string outDir;                  // --out
    int jobs = 2;                        // --jobs, 1 ... 10
    std::optional<std::string> sequences;  // --sequences LIST
    int existing = 0;                    // --existing: 0 new name, 1 overwrite, 2 skip
    bool skipMissing = false;            // --skip-missing
    std::optional<std::string> results;  // --results FILE
    StreamOptions stream;
};

// False with a message for anything it does not understand.
bool ParseOptions(int argc, char** argv, Options& options, std::string* error);

// "1,3-4,Intro": 0-based sequence positions, from 1-based numbers, ranges
// and names (a sequence's name or destination name). nameOf(i) gives both
// names of sequence i joined by "\n". False with a message for a number out
// of range or a name nobody has.
bool ParseSequenceList(const std::string& list, int count, const std::vector<std::vector<std::string>>& names,
                       std::vector<int>& chosen, std::string* error);

// The text --help prints.
const char* UsageText();
