// veltrano-cli: the headless converter. It drives the engine only through
// its three entry points and its messages, as the desktop program does.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Commands.h"
#include "Json.h"

int main(int argc, char** argv) {
    // Nothing here plays sound: the engine's preview players need no device.
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    // A file-size limit makes a write fail (and the task with it) instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    // --version alone (or with --json) answers before any parsing.
    if ((argc == 2 || argc == 3) && std::strcmp(argv[1], "--version") == 0 &&
        (argc == 2 || std::strcmp(argv[2], "--json") == 0)) {
        if (argc == 3)
            std::printf("%s\n", JsonObject().Add("version", VELTRANO_VERSION).Text().c_str());
        else
            std::printf("veltrano-cli %s\n", VELTRANO_VERSION);
        return 0;
    }
    Options options;
    std::string error;
    if (!ParseOptions(argc, argv, options, &error)) {
        bool json = false;   // honoured even when the mistake came before it
        for (int i = 1; i < argc; ++i) json = json || std::strcmp(argv[i], "--json") == 0;
        return Refuse(json, error + " (see veltrano-cli --help)");
    }
    switch (options.command) {
        case Command::kHelp:
            if (options.json)
                std::printf("%s\n", JsonObject().Add("help", UsageText()).Text().c_str());
            else
                std::fputs(UsageText(), stdout);
            return 0;
        case Command::kProfiles: return RunProfiles(options);
        case Command::kInfo: return RunInfo(options);
        case Command::kConvert: return RunConvert(options);
        case Command::kJoin: return RunJoin(options);
        case Command::kRepair: return RunRepair(options);
        case Command::kNone: break;
    }
    return Refuse(options.json, "no command given");
}
