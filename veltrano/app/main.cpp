// The program's entry: one instance per user, the crash handler, the
// settings and language tables, then the main window until it closes.

#include <csignal>

#include <QApplication>
#include <QFileInfo>

#include "app/AppPaths.h"
#include "app/CrashHandler.h"
#include "app/EngineApi.h"
#include "app/InfoOptions.h"
#include "app/QuitOnSignal.h"
#include "app/SingleInstance.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmPrompt.h"

int main(int argc, char** argv) {
    // Answered without a display, before Qt looks for one.
    if (int status = 0; AnswerInfoOption(argc, argv, &status)) return status;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltrano"));
    QApplication::setOrganizationName(QStringLiteral("Tarvolen"));
    QApplication::setApplicationVersion(QStringLiteral(VELTRANO_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("veltrano"));
    const QStringList arguments = QApplication::arguments().mid(1);

    // A second start hands its files to the first and ends without a window;
    // the first may run in another folder, so the paths go whole.
    TSingleInstance instance(QStringLiteral("AppVeltrano"));
    QStringList paths;
    for (const QString& argument : arguments) paths << QFileInfo(argument).absoluteFilePath();
    if (!instance.Start(paths)) return 0;

    const QString dataFolder = AppPaths::DataFolder();
    InstallCrashHandler(dataFolder);
    QuitOnSignal(&app);
    // A file-size limit makes a conversion fail with its reason instead of killing the program.
    std::signal(SIGXFSZ, SIG_IGN);

    // Destroyed last: writes the settings after the window has gone.
    TfrmLang holder(dataFolder, AppPaths::DocumentsFolder(), AppPaths::LanguageFolder());
    if (!holder.LanguageError().isEmpty()) ShowPrompt(holder.LanguageError(), 0, kIconError);

    TEngineApi engine;
    TfrmMain window(holder, engine, arguments);
    QObject::connect(&instance, &TSingleInstance::activated, &window, &TfrmMain::ActivateFromOtherInstance);
    window.Start();
    return QApplication::exec();
}
