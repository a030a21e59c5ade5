#pragma once

// The rules for the names the user gives and the program makes up for
// sequences: destination names (the output file's name) and the numbered
// names of new and merged sequences.

#include <QString>
#include <QStringList>

// A destination is accepted when, without its leading and trailing blanks,
// it is not empty, has at most 128 characters and holds none of
// " ' * / : < > ? \ | (it becomes a file name). The text is kept as typed.
bool IsAcceptableDestination(const QString& text);

// Characters typing into a destination edit ignores.
bool IsForbiddenDestinationChar(QChar c);

// The next free numbered name: prefix + " NN", one above the highest number
// any of `taken` carries after the prefix (names compared with case), or
// prefix + " 00" when none does. Looking at every name, not only the last,
// keeps the result unique.
QString NextFreeName(const QString& prefix, const QStringList& taken);
