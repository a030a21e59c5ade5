#include "app/FileChecks.h"

#include <QFile>
#include <QStringList>
#include <algorithm>
#include <climits>

bool IsValidFileName(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    if (!bytes.startsWith('/') || bytes.size() >= PATH_MAX) return false;
    for (char c : bytes)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    const QList<QByteArray> names = bytes.mid(1).split('/');
    for (const QByteArray& name : names)
        if (name.isEmpty() || name.size() > NAME_MAX) return false;  // also catches "//" and a trailing "/"
    const QByteArray& last = names.last();
    return last != "." && last != "..";
}

bool IsFlvSignature(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    return file.read(3) == "FLV";
}

void FitAspect(int& x, int& y, int& width, int& height, int numerator, int denominator) {
    x = 0;
    y = 0;
    if (numerator <= 0 || denominator <= 0 || width <= 0 || height <= 0) return;
    // Compared in 64 bits: panel sizes times codec sizes overflow an int.
    const long long wide = static_cast<long long>(width) * denominator;
    const long long tall = static_cast<long long>(height) * numerator;
    if (wide == tall) return;
    if (wide < tall) {  // too tall for the aspect: lower the height
        const int h = static_cast<int>(std::max(1LL, wide / numerator));
        y = (height - h) / 2;
        height = h;
    } else {
        const int w = static_cast<int>(std::max(1LL, tall / denominator));
        x = (width - w) / 2;
        width = w;
    }
}
