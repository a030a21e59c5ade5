#pragma once

#include <string>

// Why a file named on the command line cannot be read ("No such file or
// directory", "is a folder" ...), or "" when it can.
std::string WhyUnreadable(const std::string& path);
