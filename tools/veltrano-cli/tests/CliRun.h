#pragma once

// Runs veltrano-cli as a separate process, the way a user or a script does,
// and collects what it printed and how it ended.

#include <functional>
#include <map>
#include <string>
#include <vector>

struct CliResult {
    int exitCode = -1;   // -1: it did not exit normally
    std::string out, err;
    std::vector<std::string> Lines() const;   // standard output, line by line
};

// env: variables set (or, with an empty value, removed) for the child.
// onLine, when given, sees each line of standard output as it comes and may
// signal the child (its pid is passed); onErrorLine likewise for standard error.
CliResult RunCli(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {},
                 const std::function<void(const std::string& line, int pid)>& onLine = nullptr,
                 const std::function<void(const std::string& line, int pid)>& onErrorLine = nullptr);
