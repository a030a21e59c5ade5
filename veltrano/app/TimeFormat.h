#pragma once

// Time and size texts shown and typed everywhere in the program.

#include <QString>
#include <cstdint>

// "hh:mm:ss.zzz" (or "hh:mm:ss" without milliseconds); non-positive times
// give zeros. A hundred hours and more print more than two hour digits.
QString FormatTime(bool withMilliseconds, int64_t ms);

// Reads "h:m:s.f", "m:s.f" or "s.f" into milliseconds. The part after "." is
// a decimal fraction of a second (".5" is 500 ms); a part that is not a
// number counts 0; an empty text is 0.
int64_t ParseTime(const QString& text);

// "%.2f GB" above 2^30 bytes, "MB" above 2^20, "KB" above 2^10, else "B".
QString FormatDiskSize(int64_t bytes);
