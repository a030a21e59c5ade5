#include "windows/ResourcePlaces.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QXmlStreamReader>
#include <algorithm>

namespace resplaces {

namespace {

QString ExistingFolder(const QString& path) {
    if (path.isEmpty() || !QFileInfo(path).isDir()) return {};
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

QString Location(QStandardPaths::StandardLocation location) {
    return ExistingFolder(QStandardPaths::writableLocation(location));
}

// Reads the elements below the current one, calling `child` for each child
// element named `name` and skipping the others.
template <class F>
void ForChildren(QXmlStreamReader& xml, QLatin1String name, F child) {
    while (xml.readNextStartElement()) {
        if (xml.name() == name) child();
        else xml.skipCurrentElement();
    }
}

}  // namespace

QString DesktopFolder() { return Location(QStandardPaths::DesktopLocation); }
QString DocumentsFolder() { return Location(QStandardPaths::DocumentsLocation); }
QString HomeFolder() { return ExistingFolder(QDir::homePath()); }

QList<Volume> MountedVolumes() {
    QList<Volume> volumes{{QStringLiteral("/"), QStringLiteral("/")}};
    static const QStringList kPlaces = {QStringLiteral("/media/"), QStringLiteral("/mnt/"),
                                        QStringLiteral("/run/media/")};
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        // Disks only: memory and virtual file systems hold no one's videos.
        if (!storage.isValid() || !storage.isReady() || !storage.device().startsWith("/dev/")) continue;
        const QString root = ExistingFolder(storage.rootPath());
        if (root.isEmpty()) continue;
        if (std::none_of(kPlaces.begin(), kPlaces.end(), [&](const QString& p) { return root.startsWith(p); }))
            continue;
        const QString name = storage.displayName().isEmpty() ? root : storage.displayName();
        volumes.append({name, root});
    }
    std::sort(volumes.begin() + 1, volumes.end(), [](const Volume& a, const Volume& b) { return a.root < b.root; });
    return volumes;
}

QStringList BrowserCacheFolders() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    QStringList folders;
    for (const char* sub : {"/mozilla/firefox", "/chromium"}) {
        const QString folder = ExistingFolder(cache + QLatin1String(sub));
        if (!folder.isEmpty()) folders << folder;
    }
    return folders;
}

QString DownloadHistoryFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tarvolen/Downloader/DownloadInfo_history.xml");
}

QString CompanionProgram() { return QStandardPaths::findExecutable(QStringLiteral("tarvolen-downloader")); }

QStringList ReadDownloadHistory(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return {};
    QXmlStreamReader xml(&f);
    QStringList paths;
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("All")) return {};
    ForChildren(xml, QLatin1String("DownloadInfos_History"), [&] {
        ForChildren(xml, QLatin1String("year"), [&] {
            ForChildren(xml, QLatin1String("month"), [&] {
                ForChildren(xml, QLatin1String("day"), [&] {
                    ForChildren(xml, QLatin1String("Info"), [&] {
                        ForChildren(xml, QLatin1String("filename"), [&] {
                            const QString path = xml.readElementText().trimmed();
                            if (QFileInfo(path).isFile()) paths << path;
                        });
                    });
                });
            });
        });
    });
    // A damaged history is not trusted at all.
    return xml.hasError() ? QStringList() : paths;
}

bool HasFlvExtension(const QString& name) {
    return name.endsWith(QStringLiteral(".flv"), Qt::CaseInsensitive);
}

bool IsClipFileName(const QString& name) {
    static const QStringList kPictures{QStringLiteral("bmp"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                       QStringLiteral("jpe"), QStringLiteral("jfif"), QStringLiteral("png"),
                                       QStringLiteral("tif"), QStringLiteral("tiff"), QStringLiteral("ico"),
                                       QStringLiteral("gif")};
    return HasFlvExtension(name) || kPictures.contains(QFileInfo(name).suffix(), Qt::CaseInsensitive);
}

}  // namespace resplaces
