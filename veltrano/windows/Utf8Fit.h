#pragma once

// Texts that go into fixed-size fields of engine records.

#include <QByteArray>
#include <QString>

// The UTF-8 form of text, cut to at most maxBytes bytes without splitting a
// character (a cut never leaves half of a multi-byte sequence behind).
QByteArray Utf8Fit(const QString& text, int maxBytes);

// Copies text into a zero-terminated field of fieldSize bytes (the rest
// zeroed), cut as Utf8Fit does to fieldSize - 1 bytes.
void CopyUtf8Field(char* field, int fieldSize, const QString& text);
