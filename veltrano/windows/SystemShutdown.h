#pragma once

// The shut-down the conversion window may run after its batch: the project
// is closed first (the engine asks about unsaved changes, and a cancel ends
// it there), then the settings are written, then the system is asked to
// power off the ordinary way, so other programs' inhibitors and unsaved
// work are respected; nothing is forced.

#include <QString>
#include <QStringList>
#include <functional>

class CBaseListener;
class TEngineApi;

class TSystemShutdown {
public:
    // Runs a program and waits for it; false with a reason when it failed.
    using Runner = std::function<bool(const QString& program, const QStringList& arguments, QString* error)>;

    TSystemShutdown(TEngineApi& engine, CBaseListener* projectMgr, std::function<void()> saveSettings,
                    Runner run = {});

    // Empty when the computer is going down or the user kept the project
    // open; otherwise why it could not (and a fresh project is made, since
    // the old one is already closed).
    QString operator()();

    static bool RunProgram(const QString& program, const QStringList& arguments, QString* error);

private:
    TEngineApi& engine_;
    CBaseListener* projectMgr_;
    std::function<void()> saveSettings_;
    Runner run_;
};
