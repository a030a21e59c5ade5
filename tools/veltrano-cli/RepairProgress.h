#pragma once

// How far the file being repaired is, on standard error so that standard
// output keeps only the report: the converter's bar redrawn in place on a
// terminal, a JSON progress event per percent with --json, nothing when
// standard error is a file or a pipe without --json.

#include <cstdint>
#include <string>

class RepairProgress {
public:
    explicit RepairProgress(bool json);
    void Begin(const std::string& input);
    // done of total bytes, both passes of the repair together.
    void Show(int64_t done, int64_t total);
    // Takes the bar away before the report's lines are printed.
    void End();

private:
    bool json_, terminal_;
    std::string input_, name_;
    int shown_ = -1;   // the last step shown: tenths of a percent, whole percents with --json
    bool drawn_ = false;
};
