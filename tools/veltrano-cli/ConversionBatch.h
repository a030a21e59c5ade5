#pragma once

// One batch on the engine's conversion manager, sent exactly as the
// desktop program's conversion window sends it, and followed to its end.

#include <string>
#include <vector>

#include "BatchView.h"
#include "EngineSession.h"

struct BatchProfile {
    OutputSettings settings;
    std::string caption;
};

struct BatchTaskPlan {
    void* sequence;            // from the sequence manager
    std::string folder;        // absolute, existing
    std::string destinationName;
    size_t profile = 0;        // into BatchPlan::profiles
};

// One batch may mix profiles (re-encoding and copying side by side): each
// task is converted with its own.
struct BatchPlan {
    std::vector<BatchProfile> profiles;
    int jobs = 2;
    int existingPolicy = 0;
    std::vector<BatchTaskPlan> tasks;
};

// Returns the exit status: 0 when every task finished (or was skipped as
// asked), 1 otherwise. Ctrl-C stops the batch; the engine removes what the
// stopped tasks had begun to write (only that: it knows its files by name).
int RunBatch(EngineSession& engine, const BatchPlan& plan, BatchView& view);
