#pragma once

#include <string>
#include <vector>

// An output while it is written: a temporary entry in the target's folder,
// made exclusively (so no two writers ever share it) and locked by this
// process for as long as it lives. Only a whole output is given its final
// name, in one step, so a final name never holds a partial file, and no
// existing file is truncated or replaced unless the caller asks for that.
//
// The temporary entries are named ".veltrano-part-<pid>-<n>-<random>" (plus
// the target's extension for a file, so writers that pick a format by name
// still do). One whose writer has ended is recognised by that prefix and its
// lock being free; RemoveAbandonedParts removes such leftovers of a crash or
// a kill.
class CPartFile {
public:
    enum Kind { kFile, kFolder };

    CPartFile() = default;
    // Removes the entry unless it was claimed.
    ~CPartFile();
    CPartFile(const CPartFile&) = delete;
    CPartFile& operator=(const CPartFile&) = delete;

    // Makes the temporary entry beside target. False with the reason (the
    // system's error text, naming the folder) when it cannot be made, or
    // when target's name is too long for its folder's file system.
    bool Create(const std::string& target, Kind kind, std::string& why);
    // Where the writer writes: the temporary file, or the temporary folder.
    const std::string& Path() const { return path_; }

    // Gives the finished entry its final name. overwrite: target is replaced
    // if it exists. Otherwise nothing is ever replaced: target, or when that
    // is taken the first free of stem_0.ext, stem_1.ext ... of numbered (a
    // folder: name_0, name_1 ...; numbered defaults to target).
    // finalPath: the name it now has.
    bool Claim(const std::string& target, bool overwrite, std::string& finalPath, std::string& why,
               const std::string& numbered = {});
    bool Claimed() const { return claimed_; }
    // Removes the entry (and for a folder what is in it) unless claimed.
    void Discard();

private:
    std::string path_;
    Kind kind_ = kFile;
    int lockFd_ = -1;   // holds the lock while the entry is being written
    bool claimed_ = false;
    void Unlock();
};

// Removes the temporary entries in folder that no running writer holds (left
// by a crash, SIGKILL or a power cut). Returns how many were removed.
int RemoveAbandonedParts(const std::string& folder);

// True when path names one of the files in others, or a link to it.
bool IsOneOf(const std::string& path, const std::vector<std::string>& others);

// True when name is one of the temporary entries' names.
bool IsPartName(const std::string& name);
