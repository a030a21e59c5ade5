#include "windows/SystemShutdown.h"

#include <QProcess>

#include "app/EngineApi.h"

TSystemShutdown::TSystemShutdown(TEngineApi& engine, CBaseListener* projectMgr, std::function<void()> saveSettings,
                                 Runner run)
    : engine_(engine), projectMgr_(projectMgr), saveSettings_(std::move(saveSettings)),
      run_(run ? std::move(run) : Runner(&TSystemShutdown::RunProgram)) {}

QString TSystemShutdown::operator()() {
    if (projectMgr_) {
        int32_t closed = 0;
        engine_.Send(projectMgr_, msg::kProjectClose, reinterpret_cast<intptr_t>(&closed), 0);
        if (closed == -1) return {};  // the user chose to stay with the project
    }
    if (saveSettings_) saveSettings_();
    QString error;
    // "poweroff" without --force or -i: logind's inhibitors still have their say.
    if (run_(QStringLiteral("systemctl"), {QStringLiteral("poweroff")}, &error)) return {};
    if (projectMgr_) engine_.Send(projectMgr_, msg::kProjectNew);
    return error.isEmpty() ? QStringLiteral("systemctl poweroff") : error;
}

bool TSystemShutdown::RunProgram(const QString& program, const QStringList& arguments, QString* error) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted() || !process.waitForFinished(60000)) {
        if (error) *error = process.errorString();
        return false;
    }
    if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) return true;
    if (error) *error = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return false;
}
