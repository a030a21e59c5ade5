#include "windows/BrowseForFolder.h"

#include <QFileDialog>

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder, bool newStyle) {
    QFileDialog::Options options = QFileDialog::ShowDirsOnly;
    if (newStyle) options |= QFileDialog::DontUseNativeDialog;
    QString folder = QFileDialog::getExistingDirectory(owner, title, initialFolder, options);
    if (folder.isEmpty()) return {};
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    return folder;
}
