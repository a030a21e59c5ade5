#pragma once

// How a batch shows itself: bars redrawn in place on a terminal, a line per
// change otherwise, or JSON events (one object per line) with --json.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TaskView {
    int32_t index = -1;
    std::string name;      // the destination name
    std::string folder;
    std::string profile;   // the output profile's caption
    int32_t state = 5;     // PvxTaskStateValue
    int32_t position = 0, total = 0;   // ms
    int32_t code = 0;      // the engine's error code, 0 for none
    std::string error;
    std::string output;    // the file or folder written, once known
    bool started = false;  // it was converting at some time
    bool removed = false;  // its unfinished output was removed
    std::string input;     // what it converts: the file, the project file, a join's first part
    std::string sequenceName;  // the sequence's name, when a project's
    std::chrono::steady_clock::time_point since{};   // when it began converting
    bool recorded = false; // its line is in the results file
};

class BatchView {
public:
    virtual ~BatchView() = default;
    virtual void Begin(const std::string& profile, int tasks, int jobs) = 0;
    virtual void Added(const TaskView& task) = 0;
    virtual void Progress(const TaskView& task) = 0;
    virtual void State(const TaskView& task) = 0;
    virtual void Error(const TaskView* task, int32_t code, const std::string& text) = 0;
    virtual void Interrupted() = 0;
    virtual void End(const std::vector<TaskView>& tasks, bool interrupted, int exitCode) = 0;
};

// JSON when asked; bars when standard output is a terminal; lines otherwise.
std::unique_ptr<BatchView> MakeBatchView(bool json);

// "waiting", "converting" ... for a task state.
const char* StateName(int32_t state);

// One task's bar as the terminal shows it, "  [#####.....]  42.0% state  name",
// cut to width columns.
std::string BarLine(double percent, const std::string& state, const std::string& name, int width);
// The width of the terminal on fd, 80 when it is none or too narrow.
int TerminalWidth(int fd);
