// Help, the about box and the companion downloader.

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include "app/AppPaths.h"
#include "app/MyLang.h"
#include "windows/MainLangKeys.h"
#include "windows/ResourcePlaces.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmPrompt.h"

void TfrmMain::ShowHelp(const QString& anchor) {
    // The help page ships inside the program; it is written out where the
    // browser can read it, once per version.
    const QString file = AppPaths::DataFolder() + QStringLiteral("help-") +
                         QStringLiteral(VELTRANO_VERSION) + QStringLiteral(".html");
    if (!QFile::exists(file)) {
        QFile::copy(QStringLiteral(":/veltrano/help.html"), file);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    QUrl url = QUrl::fromLocalFile(file);
    if (!anchor.isEmpty()) url.setFragment(anchor);
    if (!QFile::exists(file) || !QDesktopServices::openUrl(url))
        ShowError(lang_->Text(mainkey::kErrHelp) + QStringLiteral("\n\n") + file, kIconError);
}

void TfrmMain::ShowAbout() {
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("frmAbout"));
    box.setWindowTitle(lang_->Text(mainkey::kAboutTitle));
    box.setIconPixmap(windowIcon().pixmap(64, 64));
    box.setText(QStringLiteral("<b>Veltrano</b> ") + QStringLiteral(VELTRANO_VERSION));
    box.setInformativeText(lang_->Text(mainkey::kAboutText));
    box.exec();
}

void TfrmMain::StartCompanion() {
    const QString program = resplaces::CompanionProgram();
    if (program.isEmpty() || !QProcess::startDetached(program, {}))
        ShowError(lang_->Text(langkey::kErrNotExist) + QStringLiteral("\n\n") + program, kIconError);
}
