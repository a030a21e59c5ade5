#pragma once

// --results FILE: one JSON line per ended task, added to the end of the
// file. The file is opened for appending and every line goes out in one
// write, so the workers of a scheduler can share one file on a local disk
// without their lines mixing (a network file system may not keep appends
// whole: give each machine a file of its own there).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What one ended task's line says. Input, output, profile, state, seconds,
// error and code are always there (empty or 0 when there is none), so a
// reader needs no special cases.
struct ResultRecord {
    std::string input;
    std::optional<std::string> sequence;   // a project's sequence: its name
    std::string output;                    // the file written (a repair: its first)
    // A repair: every file written whole, in order (a split recording gives several).
    std::optional<std::vector<std::string>> outputs;
    std::string profile;
    std::string state;                     // finished, failed, stopped or skipped
    double seconds = 0;
    std::string error;
    int32_t code = 0;
};

// The record as one JSON object, without its newline.
std::string ResultLine(const ResultRecord& r);

class ResultsFile {
public:
    ResultsFile() = default;
    ~ResultsFile();
    ResultsFile(const ResultsFile&) = delete;
    ResultsFile& operator=(const ResultsFile&) = delete;

    // Made when missing, never truncated. False with the reason.
    bool Open(const std::string& path, std::string* error);
    bool IsOpen() const { return fd_ >= 0; }
    // line: one JSON object, without its newline. False (and told on
    // standard error) when the line could not be written whole.
    bool Append(const std::string& line);
    // Some line could not be written: the run must not end as a success.
    bool Failed() const { return failed_; }

private:
    int fd_ = -1;
    std::string path_;
    bool failed_ = false;
};
