// "convert" and "join": sequences of a project, or files as sequences of
// their own, through one output profile; the join through the profile that
// copies FLV tags without re-encoding.
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "Commands.h"
#include "ConversionBatch.h"
#include "InputCheck.h"
#include "InterruptWatch.h"
#include "Json.h"
#include "OutputFiles.h"
#include "ProfileCatalog.h"
#include "ResultsFile.h"
#include "profiles/OutputRecord.h"

namespace fs = std::filesystem;

namespace {

bool EndsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

std::string CloseNamesText(const ProfileCatalog& catalog, const std::string& wanted) {
    const auto names = catalog.CloseNames(wanted);
    std::string text = "no output profile \"" + wanted + "\"";
    if (names.empty()) return text + " (\"veltrano-cli profiles\" lists them all)";
    text += "; close names:";
    for (const std::string& n : names) text += "\n  " + n;
    return text;
}

// Tells which clips of the project could not be loaded, and why. False
// (the run must end with status 1) unless the user allowed leaving them out.
bool ReportLeftOut(const Options& o, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        std::string why = WhyUnreadable(path);
        if (why.empty()) why = "not a video or picture file the engine can read";
        const std::string text = "clip left out: " + path + ": " + why;
        std::fprintf(stderr, "veltrano-cli: %s\n", text.c_str());
        if (o.json)
            std::printf("%s\n", JsonObject().Add("event", "warning").Add("message", text).Add("input", path).Text().c_str());
    }
    if (paths.empty() || o.skipMissing) return true;
    const std::string text = "the project asks for " + std::to_string(paths.size()) + " clip" +
                             (paths.size() == 1 ? "" : "s") +
                             " that cannot be read; nothing was converted (--skip-missing converts without them)";
    std::fprintf(stderr, "veltrano-cli: %s\n", text.c_str());
    if (o.json) std::printf("%s\n", JsonObject().Add("event", "error").Add("message", text).Add("exit", 1).Text().c_str());
    return false;
}

std::string TwoDigits(int n) { return (n < 10 ? "0" : "") + std::to_string(n); }

}  // namespace

int RunConvert(const Options& o) {
    if (o.inputs.empty()) return Refuse(o.json, "convert needs a project file (.pvxp) or FLV files");
    const bool project = EndsWith(o.inputs.front(), ".pvxp");
    if (project && o.inputs.size() > 1) return Refuse(o.json, "convert takes one project file, or FLV files, not both");
    for (const std::string& path : o.inputs) {
        if (!project && EndsWith(path, ".pvxp")) return Refuse(o.json, "convert takes one project file, or FLV files, not both");
        if (const std::string why = WhyUnreadable(path); !why.empty())
            return Refuse(o.json, std::string(project ? "cannot read the project file " : "cannot read ") + path + ": " + why);
    }

    ProfileCatalog catalog;
    std::string error;
    if (!catalog.Load(o.profilesFile, &error)) return Refuse(o.json, "cannot read the profiles: " + error);
    BatchPlan plan;
    if (o.profiles.empty()) {
        const ProfileEntry* profile = catalog.Default();
        if (!profile) return Refuse(o.json, "the profile file has no profiles");
        plan.profiles.push_back({{}, profile->format.Caption()});
        if (!MakeOutputSettings(profile->format, o.stream, plan.profiles.back().settings, &error))
            return Refuse(o.json, "profile \"" + profile->format.Caption() + "\": " + error);
    }
    for (const std::string& wanted : o.profiles) {
        const ProfileEntry* profile = catalog.Find(wanted);
        if (!profile) return Refuse(o.json, CloseNamesText(catalog, wanted));
        plan.profiles.push_back({{}, profile->format.Caption()});
        if (!MakeOutputSettings(profile->format, o.stream, plan.profiles.back().settings, &error))
            return Refuse(o.json, "profile \"" + profile->format.Caption() + "\": " + error);
    }
    plan.jobs = o.jobs;
    plan.existingPolicy = o.existing;
    std::string folder;
    if (!OutputFolder(o.outDir, folder, &error)) return Refuse(o.json, error);
    ResultsFile results;
    if (o.results && !results.Open(*o.results, &error)) return Refuse(o.json, error);
    if (results.IsOpen()) plan.results = &results;

    InterruptWatch::Block();   // before the engine starts any thread
    EngineSession engine;
    if (!engine.Start(&error)) return Refuse(o.json, error);
    engine.PrepareCoding();
    if (project) {
        if (!engine.OpenProject(Absolute(o.inputs.front()), &error)) return Refuse(o.json, error);
        if (!ReportLeftOut(o, engine.Host().loadFailures)) return 1;
    } else {
        if (!engine.NewProject(&error)) return Refuse(o.json, error);
        int n = 0;
        for (const std::string& path : o.inputs) {
            const std::string stem = fs::path(path).stem().string();
            if (!engine.ImportSequence({Absolute(path)}, "Sequence " + TwoDigits(++n), stem, &error))
                return Refuse(o.json, error);
        }
    }

    const int count = engine.SequenceCount();
    if (count == 0) return Refuse(o.json, "the project has no sequences to convert");
    std::vector<int> chosen;
    if (o.sequences) {
        std::vector<std::vector<std::string>> names;
        for (int i = 0; i < count; ++i) names.push_back({engine.SequenceProperty(i, 8), engine.SequenceProperty(i, 0)});
        if (!ParseSequenceList(*o.sequences, count, names, chosen, &error)) return Refuse(o.json, error);
    } else {
        for (int i = 0; i < count; ++i) chosen.push_back(i);
    }
    for (int i : chosen) {
        std::string dest = engine.SequenceProperty(i, 0);
        if (OutputStem(dest).empty()) {
            // Without a destination name the output would be a bare ".ext":
            // name it after the sequence, in this run only (nothing is saved).
            dest = engine.SequenceProperty(i, 8);
            if (OutputStem(dest).empty()) dest = "sequence-" + TwoDigits(i + 1);
            TSeqProperty set{i, 0, dest.c_str()};
            engine.SetSequenceProperty(set);
        }
        void* sequence = engine.Sequence(i);
        if (!sequence) return Refuse(o.json, "the engine did not hand out sequence " + std::to_string(i + 1));
        const std::string input = Absolute(project ? o.inputs.front() : o.inputs.at(static_cast<size_t>(i)));
        // Every chosen sequence in every profile asked for.
        for (size_t profile = 0; profile < plan.profiles.size(); ++profile)
            plan.tasks.push_back({sequence, folder, dest, input, project ? engine.SequenceProperty(i, 8) : "", profile});
    }
    auto view = MakeBatchView(o.json);
    return RunBatch(engine, plan, *view);
}

int RunJoin(const Options& o) {
    if (o.inputs.size() < 2) return Refuse(o.json, "join needs the output file and at least one FLV file to join");
    const std::string out = o.inputs.front();
    const std::vector<std::string> parts(o.inputs.begin() + 1, o.inputs.end());
    for (const std::string& path : parts)
        if (const std::string why = WhyUnreadable(path); !why.empty())
            return Refuse(o.json, "cannot read " + path + ": " + why);

    ProfileCatalog catalog;
    std::string error;
    if (!catalog.Load(o.profilesFile, &error)) return Refuse(o.json, "cannot read the profiles: " + error);
    const ProfileEntry* bind = nullptr;
    for (const ProfileEntry& e : catalog.All())
        if (!bind && strcasecmp(e.format.FileFormat().c_str(), "flvbind") == 0) bind = &e;
    if (!bind) return Refuse(o.json, "the profile file " + catalog.Sources().front() + " has no FLV join profile");
    BatchPlan plan;
    plan.profiles.push_back({{}, bind->format.Caption()});
    OutputSettings& settings = plan.profiles.back().settings;
    if (!MakeOutputSettings(bind->format, StreamOptions{}, settings, &error)) return Refuse(o.json, error);
    plan.jobs = 1;
    plan.existingPolicy = o.existing;

    // The engine adds the profile's extension to the destination name.
    const fs::path target(Absolute(out));
    std::string name = target.filename().string();
    const std::string ext = "." + std::string(settings.fileExt);
    if (EndsWith(name, ext.c_str())) name.resize(name.size() - ext.size());
    if (name.empty()) return Refuse(o.json, "the output needs a file name: " + out);
    std::string folder;
    if (!OutputFolder(target.parent_path().string(), folder, &error)) return Refuse(o.json, error);
    ResultsFile results;
    if (o.results && !results.Open(*o.results, &error)) return Refuse(o.json, error);
    if (results.IsOpen()) plan.results = &results;

    InterruptWatch::Block();
    EngineSession engine;
    if (!engine.Start(&error) || !engine.NewProject(&error)) return Refuse(o.json, error);
    std::vector<std::string> absolute;
    for (const std::string& p : parts) absolute.push_back(Absolute(p));
    if (!engine.ImportSequence(absolute, "Sequence 01", name, &error)) return Refuse(o.json, error);
    void* sequence = engine.Sequence(engine.SequenceCount() - 1);
    if (!sequence) return Refuse(o.json, "the engine did not hand out the sequence");
    plan.tasks.push_back({sequence, folder, name, absolute.front(), ""});
    auto view = MakeBatchView(o.json);
    return RunBatch(engine, plan, *view);
}
