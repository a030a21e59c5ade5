#include "RepairProgress.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "BatchView.h"
#include "Json.h"

RepairProgress::RepairProgress(bool json) : json_(json), terminal_(!json && isatty(STDERR_FILENO)) {}

void RepairProgress::Begin(const std::string& input) {
    input_ = input;
    name_ = PrintableText(std::filesystem::path(input).filename().string());
    shown_ = -1;
    if (terminal_) Show(0, 1);   // the bar is there before the first megabyte
}

void RepairProgress::Show(int64_t done, int64_t total) {
    if (!json_ && !terminal_) return;
    const double percent = total > 0 ? 100.0 * double(done) / double(total) : 0.0;
    // A line or a redraw per step, however often the repair tells.
    const int step = static_cast<int>(json_ ? percent : percent * 10);
    if (step == shown_) return;
    shown_ = step;
    if (json_) {
        std::fprintf(stderr, "%s\n",
                     JsonObject()
                         .Add("event", "progress")
                         .Add("input", input_)
                         .Add("done", done)
                         .Add("total", total)
                         .Add("percent", std::round(percent * 10) / 10)
                         .Text()
                         .c_str());
        return;
    }
    std::fprintf(stderr, "\r\033[2K%s", BarLine(percent, "repairing", name_, TerminalWidth(STDERR_FILENO)).c_str());
    drawn_ = true;
}

void RepairProgress::End() {
    if (drawn_) std::fprintf(stderr, "\r\033[2K");
    drawn_ = false;
}
