#pragma once

// The converter's commands; each returns the process's exit status.

#include <string>

#include "Options.h"

int RunProfiles(const Options& options);
int RunInfo(const Options& options);
int RunConvert(const Options& options);
int RunJoin(const Options& options);
int RunRepair(const Options& options);

// Tells the user (and, with --json, standard output as one JSON object) and
// returns 2, the status for bad arguments and unreadable input.
int Refuse(bool json, const std::string& message);
