#pragma once

// The repair's report in the user's language: one row per fix (what was
// done, where in the input, at which stream time, what was left out) and
// one per repaired file.

#include <QString>

#include "windows/TRepairRunner.h"

class TMyLang;

struct TRepairReportRow {
    QString what;     // the kind of fix, or "Repaired file"
    QString offset;   // input file offset in bytes
    QString time;     // the input's stream time there ("" when there is none)
    QString details;  // what was closed up or dropped; a file's name, length and counts
};

TRepairReportRow FixRow(TMyLang& lang, const TRepairFix& fix);
TRepairReportRow OutputRow(TMyLang& lang, const TRepairOutput& output);
// The outcome of one input: files written, or why it failed.
QString ResultText(TMyLang& lang, const TRepairResult& result);
