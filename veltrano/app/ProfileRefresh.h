#pragma once

#include <QString>

// Brings the user's profile file up to the shipped one: when the user has
// none, or `profileVersion` is below 4, the shipped file replaces it, except
// that the first category (the user's own profiles) of a readable existing
// file is carried over. `profileVersion` becomes 4 either way.
// Returns an empty text on success, else the target path, a blank line and
// the reason, ready for an error dialog.
QString RefreshProfileFile(const QString& builtInFile, const QString& userFile, int& profileVersion);
