#include "windows/SystemShutdown.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <memory>
#include <vector>

#include "app/EngineApi.h"

TSystemShutdown::TSystemShutdown(TEngineApi& engine, CBaseListener* projectMgr, Hooks hooks)
    : engine_(engine), projectMgr_(projectMgr), hooks_(std::move(hooks)) {
    if (!hooks_.run) hooks_.run = &TSystemShutdown::RunProgram;
}

bool TSystemShutdown::operator()() {
    QString path;
    if (projectMgr_) {
        std::vector<char> buffer(kPathBufferSize, '\0');
        engine_.Send(projectMgr_, msg::kProjectGetPath, reinterpret_cast<intptr_t>(buffer.data()), kPathBufferSize);
        int32_t closed = 0;
        engine_.Send(projectMgr_, msg::kProjectClose, reinterpret_cast<intptr_t>(&closed), 0);
        if (closed == -1) return false;  // the user chose to stay with the project
        path = QString::fromUtf8(buffer.data());
    }
    if (hooks_.saveSettings) hooks_.saveSettings();

    // systemctl may wait a long time for polkit or logind: not on the window thread.
    struct Outcome {
        bool ok = false;
        QString error;
    };
    auto outcome = std::make_shared<Outcome>();
    QThread* worker = QThread::create([run = hooks_.run, outcome] {
        outcome->ok = run(QStringLiteral("systemctl"), {QStringLiteral("poweroff")}, &outcome->error);
    });
    // finished is delivered on the window thread, which owns the worker.
    QObject::connect(worker, &QThread::finished, QCoreApplication::instance(), [self = *this, outcome, path, worker]() mutable {
        worker->deleteLater();
        if (!outcome->ok)
            self.Failed(path, outcome->error.isEmpty() ? QStringLiteral("systemctl poweroff") : outcome->error);
    });
    worker->start();
    return true;
}

void TSystemShutdown::Failed(const QString& path, const QString& why) {
    // The old project is closed already: it comes back (or a new empty one).
    if (hooks_.reopenProject) hooks_.reopenProject(path);
    else if (projectMgr_) engine_.Send(projectMgr_, msg::kProjectNew);
    if (hooks_.reportFailure) hooks_.reportFailure(why);
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
