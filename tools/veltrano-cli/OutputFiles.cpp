#include "OutputFiles.h"

std::string OutputStem(const std::string& destinationName) {
    const auto slash = destinationName.find_last_of('/');
    return slash == std::string::npos ? destinationName : destinationName.substr(slash + 1);
}
