#pragma once

// One batch on the engine's conversion manager, sent exactly as the
// desktop program's conversion window sends it, and followed to its end.

#include <string>
#include <vector>

#include "BatchView.h"
#include "EngineSession.h"
#include "ResultsFile.h"

struct BatchProfile {
    OutputSettings settings;
    std::string caption;
};

struct BatchTaskPlan {
    void* sequence;            // from the sequence manager
    std::string folder;        // absolute, existing
    std::string destinationName;
    std::string input;         // for the results file: the file, or the project file
    std::string sequenceName;  // the sequence's name, when a project's
    size_t profile = 0;        // into BatchPlan::profiles
};

// One batch may mix profiles (re-encoding and copying side by side): each
// task is converted with its own.
struct BatchPlan {
    std::vector<BatchProfile> profiles;
    int jobs = 2;
    int existingPolicy = 0;
    std::vector<BatchTaskPlan> tasks;
    ResultsFile* results = nullptr;   // a line per ended task, when given
};

// Returns the exit status: 0 when every task finished (or was skipped as
// asked), 1 otherwise. Ctrl-C stops the batch; the engine removes what the
// stopped tasks had begun to write (only that: it knows its files by name).
// A results file that could not take a line also makes the status 1.
int RunBatch(EngineSession& engine, const BatchPlan& plan, BatchView& view);
