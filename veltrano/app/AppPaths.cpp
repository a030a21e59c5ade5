#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace {
QString WithSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}
}  // namespace

namespace AppPaths {

QString DataFolder(const QString& subFolder) {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // Without a home the program's own folder serves, as a last resort.
    if (base.isEmpty()) base = ProgramFolder();
    const QString folder = WithSlash(WithSlash(base) + QStringLiteral("Tarvolen/") +
                                     (subFolder.isEmpty() ? QStringLiteral("Veltrano") : subFolder));
    QDir().mkpath(folder);
    return folder;
}

QString DocumentsFolder() {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty()) docs = QDir::homePath();
    return WithSlash(docs);
}

QString ProgramFolder() { return WithSlash(QCoreApplication::applicationDirPath()); }

QString LanguageFolder() { return ProgramFolder() + QStringLiteral("languages"); }

QString BuiltInProfileFile() { return ProgramFolder() + QStringLiteral("CustomFormats.xml"); }

}  // namespace AppPaths
