#pragma once

// Where the resource browser looks for FLV material on this computer.
// Every folder returned ends with "/".

#include <QList>
#include <QString>
#include <QStringList>

namespace resplaces {

struct Volume {
    QString caption;
    QString root;
};

// The user's desktop, documents and home folders; empty when missing.
QString DesktopFolder();
QString DocumentsFolder();
QString HomeFolder();
// The file system root and the disks mounted where removable and extra
// disks go (/media, /mnt, /run/media).
QList<Volume> MountedVolumes();

// The web browsers' cache folders that exist ($XDG_CACHE_HOME/mozilla/firefox
// and $XDG_CACHE_HOME/chromium). Their entries have no extension.
QStringList BrowserCacheFolders();

// The companion downloader's history file (it may not exist) and program
// (empty when it is not installed).
QString DownloadHistoryFile();
QString CompanionProgram();

// The "filename" texts of the history's All / DownloadInfos_History / year /
// month / day / Info elements, in document order, that name existing files.
// A missing or unreadable file gives nothing.
QStringList ReadDownloadHistory(const QString& file);

// An FLV file by name: the extension ".flv" in any case.
bool HasFlvExtension(const QString& name);
// Whether the name is one of an FLV file or of a picture the engine makes a
// clip of (BMP, JPEG, PNG, TIFF, ICO, GIF): the files a dropped folder brings.
bool IsClipFileName(const QString& name);

}  // namespace resplaces
