#pragma once

// --help and --version of the desktop program, answered on standard output
// before any window or display is needed (manual pages are made from them).

// True when argv asked for one of them; *exitCode is then the program's status.
bool AnswerInfoOption(int argc, char** argv, int* exitCode);
