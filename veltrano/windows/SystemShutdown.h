#pragma once

// The shut-down the conversion window may run after its batch: the project
// is closed first (the engine asks about unsaved changes, and a cancel ends
// it there), then the settings are written, then the system is asked to
// power off the ordinary way, so other programs' inhibitors and unsaved
// work are respected; nothing is forced. The request runs on a thread of its
// own, so the windows stay responsive while the system answers; when it
// fails, the project that was closed is opened again and the user told why.

#include <QString>
#include <QStringList>
#include <functional>

class CBaseListener;
class TEngineApi;

class TSystemShutdown {
public:
    // Runs a program and waits for it; false with a reason when it failed.
    using Runner = std::function<bool(const QString& program, const QStringList& arguments, QString* error)>;

    struct Hooks {
        std::function<void()> saveSettings;
        // On the window thread after a failed request: bring back the project
        // saved at `path` (empty when it was never saved), then tell `why`.
        std::function<void(const QString& path)> reopenProject;
        std::function<void(const QString& why)> reportFailure;
        Runner run;  // systemctl by default
    };

    TSystemShutdown(TEngineApi& engine, CBaseListener* projectMgr, Hooks hooks);

    // Closes the project, writes the settings and starts the request. Returns
    // at once; false when the user kept the project open (nothing else done).
    bool operator()();

    static bool RunProgram(const QString& program, const QStringList& arguments, QString* error);

private:
    void Failed(const QString& path, const QString& why);

    TEngineApi& engine_;
    CBaseListener* projectMgr_;
    Hooks hooks_;
};
