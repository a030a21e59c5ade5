#include "BatchView.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "Json.h"
#include "profiles/OutputRecord.h"

const char* StateName(int32_t state) {
    switch (state) {
        case 0: return "stopped";
        case 1: return "paused";
        case 2: return "finished";
        case 3: return "converting";
        case 4: return "failed";
        case 5: return "waiting";
        default: return "unknown";
    }
}

std::string BarLine(double percent, const std::string& state, const std::string& name, int width) {
    constexpr int kBar = 24;
    const int full = static_cast<int>(std::clamp(percent, 0.0, 100.0) / 100 * kBar);
    std::string line = "  [" + std::string(full, '#') + std::string(kBar - full, '.') + "] ";
    char pct[16];
    std::snprintf(pct, sizeof pct, "%5.1f%% ", percent);
    line += pct + state + "  " + name;
    return profiles::CutUtf8(line, static_cast<size_t>(width - 1));
}

int TerminalWidth(int fd) {
    winsize w{};
    return ioctl(fd, TIOCGWINSZ, &w) == 0 && w.ws_col > 20 ? w.ws_col : 80;
}

namespace {

double Percent(const TaskView& t) {
    if (t.state == 2) return 100.0;
    return t.total > 0 ? std::clamp(100.0 * t.position / t.total, 0.0, 100.0) : 0.0;
}

void Line(const JsonObject& o) {
    std::printf("%s\n", o.Text().c_str());
    std::fflush(stdout);
}

class JsonView : public BatchView {
public:
    void Begin(const std::string& profile, int tasks, int jobs) override {
        Line(JsonObject().Add("event", "begin").Add("profile", profile).Add("tasks", tasks).Add("jobs", jobs));
    }
    void Added(const TaskView& t) override {
        Line(JsonObject()
                 .Add("event", "task")
                 .Add("task", t.index)
                 .Add("name", t.name)
                 .Add("folder", t.folder)
                 .Add("profile", t.profile));
    }
    void Progress(const TaskView& t) override {
        Line(JsonObject()
                 .Add("event", "progress")
                 .Add("task", t.index)
                 .Add("position", t.position)
                 .Add("total", t.total)
                 .Add("percent", Percent(t)));
    }
    void State(const TaskView& t) override {
        Line(JsonObject().Add("event", "state").Add("task", t.index).Add("state", StateName(t.state)));
    }
    void Error(const TaskView* t, int32_t code, const std::string& text) override {
        JsonObject o;
        o.Add("event", "error");
        if (t) o.Add("task", t->index);
        Line(o.Add("code", code).Add("message", text));
    }
    void Interrupted() override { Line(JsonObject().Add("event", "interrupted")); }
    void End(const std::vector<TaskView>& tasks, bool interrupted, int exitCode) override {
        int finished = 0, failed = 0, stopped = 0;
        for (const TaskView& t : tasks) {
            JsonObject o;
            o.Add("event", "result").Add("task", t.index).Add("name", t.name).Add("profile", t.profile);
            o.Add("state", StateName(t.state));
            if (!t.output.empty()) o.Add("output", t.output);
            if (t.code) o.Add("code", t.code).Add("message", t.error);
            if (t.removed) o.Add("removed", true);
            Line(o);
            finished += t.state == 2;
            failed += t.state == 4;
            stopped += t.state != 2 && t.state != 4;
        }
        Line(JsonObject()
                 .Add("event", "end")
                 .Add("finished", finished)
                 .Add("failed", failed)
                 .Add("stopped", stopped)
                 .Add("interrupted", interrupted)
                 .Add("exit", exitCode));
    }
};

// Shared by the two human views: the closing summary.
void PrintSummary(const std::vector<TaskView>& tasks, bool interrupted) {
    for (const TaskView& t : tasks) {
        if (t.state == 2)
            std::printf("  done     %s\n", PrintableText(t.output.empty() ? t.name : t.output).c_str());
        else if (t.state == 4)
            std::printf("  FAILED   %s: %s (code %d)\n", PrintableText(t.name).c_str(),
                        PrintableText(t.error.empty() ? "no reason given" : t.error).c_str(),
                        t.code);
        else
            std::printf("  %-8s %s%s\n", interrupted ? "stopped" : "skipped", PrintableText(t.name).c_str(),
                        t.removed ? " (unfinished output removed)" : "");
    }
    std::fflush(stdout);
}

class LineView : public BatchView {
public:
    void Begin(const std::string& profile, int tasks, int jobs) override {
        std::printf("Converting %d task%s with \"%s\", %d at a time\n", tasks, tasks == 1 ? "" : "s", profile.c_str(), jobs);
    }
    void Added(const TaskView&) override {}
    void Progress(const TaskView&) override {}
    void State(const TaskView& t) override {
        std::printf("task %d %s: %s\n", t.index, PrintableText(t.name).c_str(), StateName(t.state));
        std::fflush(stdout);
    }
    void Error(const TaskView* t, int32_t code, const std::string& text) override {
        std::fprintf(stderr, "%s%s%s (code %d)\n", t ? "task " : "", t ? (std::to_string(t->index) + ": ").c_str() : "",
                     PrintableText(text.empty() ? "error" : text).c_str(), code);
    }
    void Interrupted() override { std::printf("Stopping...\n"); }
    void End(const std::vector<TaskView>& tasks, bool interrupted, int) override { PrintSummary(tasks, interrupted); }
};

// One bar per task, redrawn in place.
class TerminalView : public BatchView {
public:
    void Begin(const std::string& profile, int tasks, int jobs) override {
        std::printf("Converting %d task%s with \"%s\", %d at a time (Ctrl-C stops)\n", tasks, tasks == 1 ? "" : "s",
                    profile.c_str(), jobs);
    }
    void Added(const TaskView& t) override {
        rows_.push_back(t);
        Draw();
    }
    void Progress(const TaskView& t) override { Update(t); }
    void State(const TaskView& t) override { Update(t); }
    void Error(const TaskView* t, int32_t code, const std::string& text) override {
        if (t) {
            Update(*t);
            return;
        }
        Clear();
        std::fprintf(stderr, "%s (code %d)\n", PrintableText(text.empty() ? "error" : text).c_str(), code);
        drawn_ = 0;
        Draw();
    }
    void Interrupted() override {
        stopping_ = true;
        Draw();
    }
    void End(const std::vector<TaskView>& tasks, bool interrupted, int) override {
        for (const TaskView& t : tasks) Update(t);
        std::printf("\n");
        PrintSummary(tasks, interrupted);
    }

private:
    void Update(const TaskView& t) {
        for (TaskView& r : rows_)
            if (r.index == t.index) r = t;
        Draw();
    }
    void Clear() {
        for (int i = 0; i < drawn_; ++i) std::printf("\033[1A\r\033[2K");
    }
    void Draw() {
        Clear();
        const int width = TerminalWidth(STDOUT_FILENO);
        for (const TaskView& t : rows_) {
            std::string name = t.name;
            if (t.state == 4 && !t.error.empty()) name += ": " + t.error;
            std::printf("%s\n", BarLine(Percent(t), StateName(t.state), name, width).c_str());
        }
        drawn_ = static_cast<int>(rows_.size());
        if (stopping_) {
            std::printf("  stopping...\n");
            ++drawn_;
        }
        std::fflush(stdout);
    }

    std::vector<TaskView> rows_;
    int drawn_ = 0;
    bool stopping_ = false;
};

}  // namespace

std::unique_ptr<BatchView> MakeBatchView(bool json) {
    if (json) return std::make_unique<JsonView>();
    if (isatty(STDOUT_FILENO)) return std::make_unique<TerminalView>();
    return std::make_unique<LineView>();
}
