#pragma once

#include <string>

// The destination name as a file name: its last path part.
std::string OutputStem(const std::string& destinationName);
