#include "app/TimeFormat.h"

#include <QStringList>

QString FormatTime(bool withMilliseconds, int64_t ms) {
    if (ms <= 0) return withMilliseconds ? QStringLiteral("00:00:00.000") : QStringLiteral("00:00:00");
    const long long hours = ms / 3600000;
    const int minutes = static_cast<int>(ms / 60000 % 60);
    const int seconds = static_cast<int>(ms / 1000 % 60);
    const int millis = static_cast<int>(ms % 1000);
    // The tens of hours are printed as one number, so 123 h reads "123".
    QString text = QString::asprintf("%lld%lld:%02d:%02d", hours / 10, hours % 10, minutes, seconds);
    if (withMilliseconds) text += QString::asprintf(".%03d", millis);
    return text;
}

namespace {

// Digits only: a sign, spaces or letters make the part worth nothing.
int64_t WholeNumber(const QString& part) {
    if (part.isEmpty() || part.size() > 12) return 0;
    for (QChar c : part)
        if (c < u'0' || c > u'9') return 0;
    return part.toLongLong();
}

// The digits after the decimal point as milliseconds: "5" is 500, "05" 50,
// "1234" 123 (finer than a millisecond is dropped).
int64_t Fraction(const QString& part) {
    if (WholeNumber(part) == 0) return 0;
    return WholeNumber((part + QStringLiteral("00")).left(3));
}

}  // namespace

int64_t ParseTime(const QString& text) {
    if (text.isEmpty()) return 0;
    QString clock = text;
    QString fraction;
    const int dot = text.lastIndexOf(u'.');
    if (dot >= 0 && !text.mid(dot).contains(u':')) {
        clock = text.left(dot);
        fraction = text.mid(dot + 1);
    }
    const QStringList parts = clock.split(u':');
    if (parts.size() > 3) return 0;
    int64_t total = 0;
    // Read from the right: the last part is seconds, then minutes, then hours.
    static const int64_t kScale[] = {1000, 60000, 3600000};
    for (qsizetype i = 0; i < parts.size(); ++i)
        total += WholeNumber(parts[parts.size() - 1 - i]) * kScale[i];
    return total + Fraction(fraction);
}

QString FormatDiskSize(int64_t bytes) {
    const double b = static_cast<double>(bytes);
    if (bytes > (int64_t{1} << 30)) return QString::asprintf("%.2f GB", b / 1073741824.0);
    if (bytes > (int64_t{1} << 20)) return QString::asprintf("%.2f MB", b / 1048576.0);
    if (bytes > (int64_t{1} << 10)) return QString::asprintf("%.2f KB", b / 1024.0);
    return QString::asprintf("%.2f B", b);
}
