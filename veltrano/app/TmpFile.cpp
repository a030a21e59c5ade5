#include "app/TmpFile.h"

#include <QDir>
#include <QFile>
#include <cstdlib>
#include <unistd.h>

TTmpFile::TTmpFile(const QString& folder, const QString& extension) {
    const QString dir = folder.isEmpty() ? QDir::tempPath() : folder;
    QByteArray pattern = QFile::encodeName(QDir(dir).filePath(QStringLiteral("tmpXXXXXX")));
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return;
    ::close(fd);
    ::unlink(pattern.constData());
    fileName_ = QFile::decodeName(pattern);
    if (!extension.isEmpty()) fileName_ += QLatin1Char('.') + extension;
}

TTmpFile::~TTmpFile() {
    if (!keep_ && !fileName_.isEmpty()) QFile::remove(fileName_);
}
