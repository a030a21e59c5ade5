#include "app/AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {
using AppPaths::InstalledDataFolder;
using AppPaths::ProgramFolder;

QString WithSlash(QString path) {
    if (!path.endsWith(QLatin1Char('/'))) path += QLatin1Char('/');
    return path;
}

// A build tree keeps the shipped files beside the program; an install keeps
// them in <prefix>/share/veltrano, found from the program's own place so the
// prefix can be anywhere. The first that exists wins; without either, the
// place beside the program is named in the error.
QString ShippedFile(const QString& name) {
    const QString beside = ProgramFolder() + name;
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = InstalledDataFolder() + name;
    if (QFileInfo::exists(installed)) return installed;
    return beside;
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

QString InstalledDataFolder() {
    return WithSlash(QDir::cleanPath(ProgramFolder() + QStringLiteral("../share/veltrano")));
}

QString LanguageFolder() { return ShippedFile(QStringLiteral("languages")); }

QString BuiltInProfileFile() { return ShippedFile(QStringLiteral("CustomFormats.xml")); }

}  // namespace AppPaths
