// Files and tools for the tests: a private temporary folder, whole-file
// reads and writes, outside commands, and the library's calls in one line.
#ifndef MP4LABEL_TESTS_TESTFILES_H
#define MP4LABEL_TESTS_TESTFILES_H

#include <string>
#include <vector>

#include "Boxes.h"

namespace testfiles {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    std::vector<std::string> Names() const;  // what the folder holds

private:
    std::string m_path;
};

boxes::Bytes ReadAll(const std::string& path);
void WriteAll(const std::string& path, const boxes::Bytes& bytes);

struct CommandResult {
    int status = -1;     // exit status, or -1 when the command could not run
    std::string output;  // standard output and standard error together
};
CommandResult RunCommand(const std::string& command);
std::string Quote(const std::string& path);
// Fails the current test with a clear message when the tool is not installed.
bool RequireTool(const std::string& tool);

// The library round trip in one call each: open, and read or set the title.
// error receives the handle's failure text.
bool ReadTitle(const std::string& path, std::u16string& title, std::string* error = nullptr);
bool SaveTitle(const std::string& path, const std::u16string& title, std::string* error = nullptr);

}  // namespace testfiles

#endif
