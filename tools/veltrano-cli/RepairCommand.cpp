// "repair": broken FLV recordings into repaired files, with the report of
// every fix, as plain lines or one JSON object per input.
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "Commands.h"
#include "EngineSession.h"
#include "InputCheck.h"
#include "Json.h"
#include "OutputFiles.h"

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

}  // namespace

int RunRepair(const Options& o) {
    if (o.inputs.empty()) return Refuse(o.json, "repair needs at least one FLV file");
    for (const std::string& path : o.inputs) {
        if (const std::string why = WhyUnreadable(path); !why.empty())
            return Refuse(o.json, "cannot read " + path + ": " + why);
    }
    std::string folder, error;
    if (!OutputFolder(o.outDir, folder, &error)) return Refuse(o.json, error);
    EngineSession engine;
    if (!engine.Start(&error)) return Refuse(o.json, error);
    int status = 0;
    for (const std::string& input : o.inputs) {
        Collected got;
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
        engine.RepairFlv(request);
        for (size_t i = 0; i < got.fixes.size(); ++i) got.fixes[i].kindName = got.kindNames[i].c_str();
        // A file that gave nothing, or lost an output on the way, failed.
        const bool failed = request.result != kFlvRepairDone || request.outputs == 0;
        if (failed) status = 1;
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
                .Add("result", request.result)
                .Add("error", request.error)
                .AddRaw("outputs", outputs + "]")
                .AddRaw("fixes", fixes + "]");
            std::printf("%s\n", j.Text().c_str());
        } else {
            std::printf("%s\n", PrintableText(input).c_str());
            for (const auto& f : got.fixes) std::printf("  fix     %s\n", FixLine(f).c_str());
            if (got.fixes.empty()) std::printf("  fix     none needed\n");
            for (const auto& out : got.outputs) {
                if (out.record.ok)
                    std::printf("  wrote   %s (%.2f s, %d pictures, %d sound blocks)\n", PrintableText(out.path).c_str(),
                                double(out.record.durationMs) / 1000.0, out.record.videoFrames,
                                out.record.audioBlocks);
                else
                    std::printf("  failed  output %d\n", out.record.index + 1);
            }
            if (failed) std::fprintf(stderr, "veltrano-cli: %s: %s\n", PrintableText(input).c_str(), request.error);
        }
        std::fflush(stdout);
    }
    return status;
}
