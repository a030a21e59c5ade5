#include "app/InfoOptions.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char kUsage[] = R"(Usage: veltrano [PROJECT.pvxp] [FILE.flv ...]
Edits FLV files into sequences (trims, crops, effects, watermarks and
subtitles) and converts them to other formats.

With a project file, opens it; FLV files (and folders of them) are
imported into the open project, one sequence each. Only one Veltrano runs
per user: a second start hands its files to the first window and ends.

Options:
  -h, --help     This text.
      --version  The program's version.

Settings, the user's profiles and logs are kept in
$XDG_CONFIG_HOME/Tarvolen/Veltrano/ (default ~/.config/Tarvolen/Veltrano/).
The headless converter is veltrano-cli.
)";

}  // namespace

bool AnswerInfoOption(int argc, char** argv, int* exitCode) {
    if (argc != 2) return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("veltrano %s\n", VELTRANO_VERSION);
    } else if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, stdout);
    } else {
        return false;
    }
    *exitCode = 0;
    return true;
}
