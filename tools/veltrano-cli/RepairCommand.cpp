// "repair": broken FLV recordings into repaired files, with the report of
// every fix, as plain lines or one JSON object per input; progress on
// standard error, Ctrl-C stopping inside a file, and --results lines as
// convert and join write them.

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Commands.h"
#include "EngineSession.h"
#include "InputCheck.h"
#include "InterruptWatch.h"
#include "Json.h"
#include "OutputFiles.h"
#include "RepairProgress.h"
#include "ResultsFile.h"

namespace fs = std::filesystem;

namespace {

struct Collected {
    std::vector<FlvRepairFixRecord> fixes;
    std::vector<std::string> kindNames;
    struct Output {
        FlvRepairOutputRecord record;
        std::string path;
    };
    std::vector<Output> outputs;
    RepairProgress* progress = nullptr;
    const std::atomic<bool>* stop = nullptr;
};

std::string FixLine(const FlvRepairFixRecord& f) {
    char at[160];
    if (f.streamTime >= 0)
        std::snprintf(at, sizeof at, "output %d, offset %" PRId64 ", input %" PRId64 " ms, output %" PRId64 " ms",
                      f.output + 1, f.offset, f.streamTime, f.outputTime);
    else
        std::snprintf(at, sizeof at, "output %d, offset %" PRId64 ", output %" PRId64 " ms", f.output + 1, f.offset,
                      f.outputTime);
    std::string what;
    char n[160];
    switch (f.kind) {
        case 3: std::snprintf(n, sizeof n, "closed a step of %" PRId64 " ms", f.amount); what = n; break;
        case 4:
            std::snprintf(n, sizeof n, "held %d steps back, the longest %" PRId64 " ms", f.steps, f.amount);
            what = n;
            break;
        case 6: what = "a new output starts"; break;
        default: break;
    }
    if (f.droppedTags > 0) {
        std::snprintf(n, sizeof n, "%sdropped %d tags, %" PRId64 " bytes", what.empty() ? "" : "; ", f.droppedTags,
                      f.droppedBytes);
        what += n;
    } else if (f.droppedBytes > 0) {
        std::snprintf(n, sizeof n, "%sskipped %" PRId64 " bytes", what.empty() ? "" : "; ", f.droppedBytes);
        what += n;
    }
    return std::string(f.kindName) + " (" + at + ")" + (what.empty() ? "" : ": " + what);
}

JsonObject FixJson(const FlvRepairFixRecord& f) {
    JsonObject o;
    o.Add("kind", f.kindName)
        .Add("output", f.output)
        .Add("offset", f.offset)
        .Add("streamTime", f.streamTime)
        .Add("outputTime", f.outputTime)
        .Add("droppedBytes", f.droppedBytes)
        .Add("droppedTags", f.droppedTags)
        .Add("steps", f.steps)
        .Add("amount", f.amount);
    return o;
}

const char* StateOf(const FlvRepairRequest& r) {
    if (r.result == kFlvRepairStopped) return "stopped";
    // A file that gave nothing, or lost an output on the way, failed.
    return r.result != kFlvRepairDone || r.outputs == 0 ? "failed" : "finished";
}

// The input's line for --results: "output" the first file written,
// "outputs" every one (a recording split where its setup changed gives
// several); a failed or stopped input lists the files it wrote whole before
// it ended, which stay.
ResultRecord RepairResult(const std::string& input, const FlvRepairRequest& r, const Collected& got,
                          double seconds) {
    ResultRecord line;
    line.input = Absolute(input);
    line.outputs.emplace();
    for (const auto& out : got.outputs)
        if (out.record.ok) line.outputs->push_back(out.path);
    if (!line.outputs->empty()) line.output = line.outputs->front();
    line.state = StateOf(r);
    line.seconds = seconds;
    if (line.state == "failed") {
        line.error = r.error;
        line.code = r.result != kFlvRepairDone ? r.result : kFlvRepairNothingKept;
    }
    return line;
}

}  // namespace

int RunRepair(const Options& o) {
    if (o.inputs.empty()) return Refuse(o.json, "repair needs at least one FLV file");
    for (const std::string& path : o.inputs) {
        if (const std::string why = WhyUnreadable(path); !why.empty())
            return Refuse(o.json, "cannot read " + path + ": " + why);
    }
    std::string folder, error;
    if (!OutputFolder(o.outDir, folder, &error)) return Refuse(o.json, error);
    ResultsFile results;
    if (o.results && !results.Open(*o.results, &error)) return Refuse(o.json, error);

    InterruptWatch::Block();   // before the engine starts any thread
    EngineSession engine;
    if (!engine.Start(&error)) return Refuse(o.json, error);
    // Ctrl-C stops the file being repaired (its unfinished output removed)
    // and every one after it.
    std::atomic<bool> stop{false};
    InterruptWatch::Start([&stop] { stop = true; });
    RepairProgress progress(o.json);
    int status = 0;
    for (const std::string& input : o.inputs) {
        Collected got;
        got.progress = &progress;
        got.stop = &stop;
        FlvRepairRequest request{};
        request.input = input.c_str();
        request.outputFolder = folder.c_str();
        request.user = &got;
        request.onFix = [](void* user, const FlvRepairFixRecord* f) {
            auto& c = *static_cast<Collected*>(user);
            c.fixes.push_back(*f);
            c.kindNames.emplace_back(f->kindName ? f->kindName : "");
        };
        request.onOutput = [](void* user, const FlvRepairOutputRecord* out) {
            static_cast<Collected*>(user)->outputs.push_back({*out, out->path ? out->path : ""});
        };
        request.onProgress = [](void* user, int64_t done, int64_t total) -> int32_t {
            auto& c = *static_cast<Collected*>(user);
            c.progress->Show(done, total);
            return c.stop->load() ? 1 : 0;
        };
        const auto started = std::chrono::steady_clock::now();
        const bool begun = !stop;
        if (begun) {
            progress.Begin(input);
            engine.RepairFlv(request);
            progress.End();
        } else {
            request.result = kFlvRepairStopped;
        }
        const double seconds =
            begun ? std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() : 0.0;
        for (size_t i = 0; i < got.fixes.size(); ++i) got.fixes[i].kindName = got.kindNames[i].c_str();
        const std::string state = StateOf(request);
        const bool failed = state != "finished";
        if (failed) status = 1;
        results.Append(ResultLine(RepairResult(input, request, got, seconds)));
        if (o.json) {
            std::string outputs = "[", fixes = "[";
            for (const auto& out : got.outputs) {
                JsonObject j;
                j.Add("path", out.path)
                    .Add("ok", out.record.ok != 0)
                    .Add("bytes", out.record.bytes)
                    .Add("durationMs", out.record.durationMs)
                    .Add("videoFrames", out.record.videoFrames)
                    .Add("audioBlocks", out.record.audioBlocks);
                outputs += (outputs.size() > 1 ? "," : "") + j.Text();
            }
            for (const auto& f : got.fixes) fixes += (fixes.size() > 1 ? "," : "") + FixJson(f).Text();
            JsonObject j;
            j.Add("input", input)
                .Add("ok", !failed)
                .Add("state", state)
                .Add("result", request.result)
                .Add("error", request.error)
                .AddRaw("outputs", outputs + "]")
                .AddRaw("fixes", fixes + "]");
            std::printf("%s\n", j.Text().c_str());
        } else {
            const bool stopped = state == "stopped";
            std::printf("%s\n", PrintableText(input).c_str());
            if (!begun) std::printf("  stopped before this file\n");
            for (const auto& f : got.fixes) std::printf("  fix     %s\n", FixLine(f).c_str());
            if (begun && !stopped && got.fixes.empty()) std::printf("  fix     none needed\n");
            for (const auto& out : got.outputs) {
                if (out.record.ok)
                    std::printf("  wrote   %s (%.2f s, %d pictures, %d sound blocks)\n", PrintableText(out.path).c_str(),
                                double(out.record.durationMs) / 1000.0, out.record.videoFrames,
                                out.record.audioBlocks);
                else if (!stopped)   // a stopped output is the one cut short, told below
                    std::printf("  failed  output %d\n", out.record.index + 1);
            }
            if (stopped && begun) std::printf("  stopped inside this file; nothing half-written is left\n");
            if (failed)
                std::fprintf(stderr, "veltrano-cli: %s: %s\n", PrintableText(input).c_str(),
                             stopped ? "stopped" : request.error);
        }
        std::fflush(stdout);
    }
    if (results.Failed()) status = 1;
    return status;
}
