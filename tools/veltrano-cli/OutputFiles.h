#pragma once

#include <string>

// The destination name as a file name: its last path part.
std::string OutputStem(const std::string& destinationName);

// path made absolute and normal ("a/../b" -> "/cwd/b"); as given when that fails.
std::string Absolute(const std::string& path);

// The folder outputs go into, as the engine takes it: absolute, made when
// missing, with a trailing "/". False with the reason when it cannot be made.
bool OutputFolder(const std::string& wanted, std::string& folder, std::string* error);
