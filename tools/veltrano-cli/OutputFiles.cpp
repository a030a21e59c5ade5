#include "OutputFiles.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string OutputStem(const std::string& destinationName) {
    const auto slash = destinationName.find_last_of('/');
    return slash == std::string::npos ? destinationName : destinationName.substr(slash + 1);
}

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const fs::path p = fs::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

bool OutputFolder(const std::string& wanted, std::string& folder, std::string* error) {
    folder = Absolute(wanted.empty() ? "." : wanted);
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (!fs::is_directory(folder)) {
        *error = "cannot make the output folder " + folder + (ec ? ": " + ec.message() : "");
        return false;
    }
    if (folder.back() != '/') folder += '/';
    return true;
}
