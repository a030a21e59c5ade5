#pragma once

#include <QString>

// Installs a process-wide handler for fatal signals and uncaught exceptions.
// It writes a report (what happened, a stack trace, the program's version)
// into `folder` as "crash-<pid>.txt" and ends the process with exit code 255
// (-1). Nothing is sent anywhere.
void InstallCrashHandler(const QString& folder);

// The report file the handler would write for this process.
QString CrashReportPath();
