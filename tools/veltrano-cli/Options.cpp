#include "Options.h"

#include <algorithm>
#include <cstring>

#include "profiles/ProfileNumbers.h"

namespace {

struct Flag {
    const char* longName;
    char shortName;
    bool takesValue;
};

constexpr Flag kFlags[] = {
    {"json", 0, false},     {"help", 'h', false},    {"profiles", 0, true},  {"profile", 'p', true},
    {"out", 'o', true},     {"jobs", 'j', true},     {"sequences", 's', true}, {"existing", 'e', true},
    {"size", 0, true},      {"fps", 0, true},        {"no-audio", 0, false}, {"no-video", 0, false},
    {"letterbox", 0, false}, {"skip-missing", 0, false}, {"cut", 0, true}, {"results", 0, true},
};

// Which options each command takes (the global ones are always allowed).
bool Allowed(Command c, const std::string& name) {
    if (name == "json" || name == "help" || name == "profiles") return true;
    if (c == Command::kConvert) return true;
    if (c == Command::kJoin) return name == "existing" || name == "results";
    if (c == Command::kRepair) return name == "out" || name == "results";
    return false;
}

const char* CommandName(Command c) {
    switch (c) {
        case Command::kConvert: return "convert";
        case Command::kJoin: return "join";
        case Command::kProfiles: return "profiles";
        case Command::kInfo: return "info";
        case Command::kRepair: return "repair";
        default: return "";
    }
}

bool SetValue(Options& o, const std::string& name, const std::string& value, std::string* error) {
    if (name == "profiles") {
        o.profilesFile = value;
    } else if (name == "profile") {
        o.profiles.push_back(value);
    } else if (name == "out") {
        o.outDir = value;
    } else if (name == "jobs") {
        const auto n = profiles::ParseInteger(value);
        if (!n || *n < 1 || *n > 10) {
            *error = "--jobs takes a number from 1 to 10, not \"" + value + "\"";
            return false;
        }
        o.jobs = static_cast<int>(*n);
    } else if (name == "sequences") {
        o.sequences = value;
    } else if (name == "existing") {
        const char* policies[] = {"new", "overwrite", "skip"};
        const auto at = std::find(std::begin(policies), std::end(policies), value);
        if (at == std::end(policies)) {
            *error = "--existing takes new, overwrite or skip, not \"" + value + "\"";
            return false;
        }
        o.existing = static_cast<int>(at - std::begin(policies));
    } else if (name == "results") {
        o.results = value;
    } else if (name == "size") {
        o.stream.size = value;
    } else if (name == "fps") {
        o.stream.fps = value;
    } else if (name == "cut") {
        if (value != "exact" && value != "key") {
            *error = "--cut takes exact or key, not \"" + value + "\"";
            return false;
        }
        o.stream.keyCuts = value == "key";
    }
    return true;
}

void SetSwitch(Options& o, const std::string& name) {
    if (name == "json") o.json = true;
    if (name == "help") o.command = Command::kHelp;
    if (name == "no-audio") o.stream.noAudio = true;
    if (name == "no-video") o.stream.noVideo = true;
    if (name == "letterbox") o.stream.letterbox = true;
    if (name == "skip-missing") o.skipMissing = true;
}

}  // namespace

bool ParseOptions(int argc, char** argv, Options& o, std::string* error) {
    Command command = Command::kNone;
    bool help = false, onlyPositional = false;
    std::vector<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (onlyPositional || arg.size() < 2 || arg[0] != '-') {
            if (command == Command::kNone && !onlyPositional) {
                const std::pair<const char*, Command> names[] = {
                    {"convert", Command::kConvert}, {"join", Command::kJoin},
                    {"profiles", Command::kProfiles}, {"info", Command::kInfo}, {"help", Command::kHelp},
                    {"repair", Command::kRepair}};
                for (const auto& [n, c] : names)
                    if (arg == n) command = c;
                if (command == Command::kNone) {
                    *error = "unknown command \"" + arg + "\" (commands: convert, join, profiles, info, repair)";
                    return false;
                }
                if (command == Command::kHelp) help = true;
                continue;
            }
            o.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        std::string name, value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            name = arg.substr(2);
            if (const auto eq = name.find('='); eq != std::string::npos) {
                value = name.substr(eq + 1);
                name.resize(eq);
                hasValue = true;
            }
        }
        const Flag* flag = nullptr;
        for (const Flag& f : kFlags)
            if ((!name.empty() && name == f.longName) || (name.empty() && arg.size() == 2 && arg[1] == f.shortName))
                flag = &f;
        if (!flag) {
            *error = "unknown option " + arg;
            return false;
        }
        name = flag->longName;
        seen.push_back(name);
        if (!flag->takesValue) {
            if (hasValue) {
                *error = "--" + name + " takes no value";
                return false;
            }
            if (name == "help") help = true;
            SetSwitch(o, name);
            continue;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                *error = "--" + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (!SetValue(o, name, value, error)) return false;
    }
    o.command = help ? Command::kHelp : command;
    if (o.command == Command::kNone) {
        *error = "no command given (commands: convert, join, profiles, info, repair; see --help)";
        return false;
    }
    // Checked once the command is known, wherever the option stood.
    for (const std::string& name : seen)
        if (o.command != Command::kHelp && !Allowed(o.command, name)) {
            *error = std::string(CommandName(o.command)) + " does not take --" + name;
            return false;
        }
    return true;
}

bool ParseSequenceList(const std::string& list, int count, const std::vector<std::vector<std::string>>& names,
                       std::vector<int>& chosen, std::string* error) {
    chosen.clear();
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos) end = list.size();
        const std::string item = list.substr(start, end - start);
        start = end + 1;
        if (item.empty()) continue;
        const auto dash = item.find('-', 1);
        const auto first = profiles::ParseInteger(dash == std::string::npos ? item : item.substr(0, dash));
        const auto last = dash == std::string::npos ? first : profiles::ParseInteger(item.substr(dash + 1));
        if (first && last) {
            if (*first < 1 || *last > count || *first > *last) {
                *error = "no sequence " + item + " (the project has " + std::to_string(count) + ")";
                return false;
            }
            for (long long n = *first; n <= *last; ++n) chosen.push_back(static_cast<int>(n - 1));
            continue;
        }
        bool found = false;
        for (int i = 0; i < static_cast<int>(names.size()); ++i)
            if (std::find(names[i].begin(), names[i].end(), item) != names[i].end()) {
                chosen.push_back(i);
                found = true;
            }
        if (!found) {
            *error = "no sequence is called \"" + item + "\"";
            return false;
        }
    }
    // Each sequence once, in the order given.
    std::vector<int> unique;
    for (int i : chosen)
        if (std::find(unique.begin(), unique.end(), i) == unique.end()) unique.push_back(i);
    chosen = unique;
    if (chosen.empty()) {
        *error = "--sequences names no sequence";
        return false;
    }
    return true;
}

const char* UsageText() {
    return R"(veltrano-cli: converts FLV projects and files without the desktop program.

Usage:
  veltrano-cli convert PROJECT.pvxp [--profile NAME|ID] [--out DIR] [--jobs N]
                       [--sequences LIST] [--existing new|overwrite|skip]
                       [--skip-missing] [--results FILE]
  veltrano-cli convert [--profile NAME|ID] [options] FILE.flv [FILE.flv ...]
  veltrano-cli join OUT.flv A.flv B.flv [...] [--existing new|overwrite|skip]
                    [--results FILE]
  veltrano-cli profiles
  veltrano-cli info FILE [FILE ...]
  veltrano-cli repair FILE.flv [FILE.flv ...] [--out DIR] [--results FILE]
  veltrano-cli --help | --version

Commands:
  convert    Converts every sequence of a project (or those --sequences
             names), or each FLV file as a sequence of its own, with an
             output profile. Outputs are named after each sequence's
             destination name (a file's name without its extension).
  join       Joins FLV files into OUT.flv without re-encoding.
  profiles   Lists the output profiles: identifier, name, container, codecs.
  info       Shows what the engine reads from a media file.
  repair     Repairs broken FLV recordings (timestamp jumps and restarts,
             glued pushes, repeated or changing codec setups, damaged
             regions, a cut-off tail, missing metadata) into new files in
             --out: NAME.flv, and NAME_2.flv ... where the picture size or
             the codec setup changes. The input is never touched. Exit
             status 1 when a file gave no repaired output or was stopped.
             Progress goes to standard error (a bar on a terminal,
             progress events with --json).

Options:
  -p, --profile NAME|ID   Output profile, by name (any case) or identifier;
                          see "veltrano-cli profiles". Default: the first
                          built-in profile. Given more than once, every
                          input is converted with each profile, so one
                          batch may mix re-encoded and copied outputs.
  -o, --out DIR           Output folder, made when missing. Default: the
                          current folder.
  -j, --jobs N            Conversions run at the same time, 1 to 10 (default 2).
  -s, --sequences LIST    Sequences to convert: numbers from 1, ranges and
                          names, separated by commas ("1,3-4,Intro").
  -e, --existing POLICY   When an output file exists: new (a new name, the
                          default), overwrite, or skip the task. Outputs are
                          written under a temporary name and get their name
                          only when whole; no policy ever replaces an input.
      --skip-missing      Convert a project even when some of its clips
                          cannot be read (each is named); without it such a
                          project is refused with exit status 1.
      --size WxH|original Output size, from the profile's list or any size
                          where the profile allows its own.
      --fps N|original    Output frame rate, likewise.
      --no-audio          Leave the sound out.
      --no-video          Leave the picture out.
      --letterbox         Fit the picture into the size with black bars
                          instead of stretching it.
      --cut exact|key     Where an output copied without re-encoding starts
                          a clip trimmed between key frames: exact (the
                          default) codes the pictures up to the next key
                          frame again; key starts at the key frame before.
      --profiles FILE     Profile file to read. Default: the desktop
                          program's copy in ~/.config/Tarvolen/Veltrano/,
                          else the one shipped with the program.
      --results FILE      Adds one JSON object per ended task to the end of
                          FILE (made when missing): input, output, profile,
                          state (finished, failed, stopped or skipped),
                          seconds, error and code; "sequence" too for a
                          project's. Each line is written in one piece, so
                          several converters on one machine may share FILE.
                          repair writes one per input, "output" its first
                          repaired file and "outputs" all of them.
      --json              One JSON object per line on standard output:
                          progress and result events, a profile or a file's
                          facts.
  -h, --help              This text.
      --version           The program's version.

Ctrl-C stops a conversion or a repair: running tasks stop and their
unfinished outputs are removed.

Exit status: 0 every task done, 1 some task failed or was stopped,
2 bad arguments or unreadable input.
)";
}
