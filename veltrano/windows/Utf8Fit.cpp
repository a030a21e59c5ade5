#include "windows/Utf8Fit.h"

#include <algorithm>
#include <cstring>

QByteArray Utf8Fit(const QString& text, int maxBytes) {
    QByteArray utf8 = text.toUtf8();
    if (maxBytes <= 0) return {};
    if (utf8.size() <= maxBytes) return utf8;
    int cut = maxBytes;
    // Continuation bytes are 10xxxxxx; step back to the start of the
    // character that would be split.
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80) --cut;
    utf8.truncate(cut);
    return utf8;
}

void CopyUtf8Field(char* field, int fieldSize, const QString& text) {
    if (!field || fieldSize <= 0) return;
    std::memset(field, 0, static_cast<size_t>(fieldSize));
    const QByteArray fit = Utf8Fit(text, fieldSize - 1);
    std::memcpy(field, fit.constData(), static_cast<size_t>(fit.size()));
}
