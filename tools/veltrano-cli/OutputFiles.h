#pragma once

// Which files a batch wrote. The engine names an output after the task's
// destination name, or, when that file exists and a new name is wanted,
// name_N; picture series go into a folder of that name. A listing taken
// before the batch tells what the batch made.

#include <map>
#include <set>
#include <string>
#include <vector>

class OutputFiles {
public:
    // Lists each folder before the batch starts.
    void Remember(const std::string& folder);
    // The entry the batch made or rewrote for this name, "" when none; an
    // entry is given to one task only.
    std::string Claim(const std::string& folder, const std::string& name, const std::string& ext, bool pictures);
    // Removes an entry Claim gave out (a file, or a picture folder and the
    // pictures in it): only what this batch made or rewrote.
    bool Remove(const std::string& path);

private:
    struct Seen {
        long long mtime;
        long long size;
    };
    std::map<std::string, std::map<std::string, Seen>> before_;   // folder -> name -> what it was
    std::set<std::string> claimed_;
};

// The destination name as a file name: its last path part.
std::string OutputStem(const std::string& destinationName);
