#pragma once

// File-name and file-content checks used before a path goes to the engine.

#include <QString>

// True for an absolute Linux path that names a file: it starts with "/",
// has no empty, "." or ".." last name, no NUL or control characters, no name
// longer than 255 bytes and fits a path buffer (PATH_MAX bytes with its end).
bool IsValidFileName(const QString& path);

// True when the file starts with the three bytes "FLV"; false when it cannot
// be read or is shorter.
bool IsFlvSignature(const QString& path);

// Shrinks one side of (x, y, width, height) so that width : height becomes
// numerator : denominator, centred in the old rectangle. A rectangle that
// has that aspect, or a non-positive aspect, stays as it is.
void FitAspect(int& x, int& y, int& width, int& height, int numerator, int denominator);
