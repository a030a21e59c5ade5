#include "windows/SequenceNames.h"

#include <algorithm>

namespace {
constexpr int kMaxDestinationLength = 128;
}  // namespace

bool IsForbiddenDestinationChar(QChar c) {
    static const QString kForbidden = QStringLiteral("\"'*/:<>?\\|");
    return kForbidden.contains(c);
}

bool IsAcceptableDestination(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > kMaxDestinationLength) return false;
    return std::none_of(trimmed.begin(), trimmed.end(), IsForbiddenDestinationChar);
}

QString NextFreeName(const QString& prefix, const QStringList& taken) {
    int highest = -2;  // no name with the prefix yet
    for (const QString& name : taken) {
        if (!name.startsWith(prefix, Qt::CaseSensitive)) continue;
        // The number is what follows the last blank; a name without one
        // counts as -1, so it is followed by 00.
        const int blank = name.lastIndexOf(QLatin1Char(' '));
        bool ok = false;
        const int number = blank < 0 ? -1 : name.mid(blank + 1).toInt(&ok);
        highest = std::max(highest, ok && number >= 0 ? number : -1);
    }
    const int next = highest < -1 ? 0 : highest + 1;
    return prefix + QStringLiteral(" %1").arg(next, 2, 10, QLatin1Char('0'));
}
