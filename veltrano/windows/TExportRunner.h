#pragma once

// The main window's way into an export: the output settings dialog for the
// chosen sequences (made once and kept), then the conversion window for
// them, with the shut-down the conversion may end with.

#include <QList>
#include <QPointer>
#include <QStringList>
#include <functional>

#include "app/ShellRecords.h"

class CBaseListener;
class QWidget;
class TEngineApi;
class TfrmLang;
class TfrmOutputSetting;
class TListenerWrapper;
struct TEngineHandles;

class TExportRunner {
public:
    TExportRunner(QWidget* owner, TEngineApi& engine, TfrmLang& holder);
    ~TExportRunner();

    // Converts `sequences` (indices, in order) after the user confirmed the
    // output settings. False when there was nothing to convert or the user
    // cancelled.
    bool Run(const TEngineHandles& handles, TListenerWrapper& mainWrapper, const QList<int>& sequences);

    TfrmOutputSetting& OutputSetting();

    // After a failed shut-down: opens the project saved at path again (a new
    // one when path is empty). Set by the main window.
    std::function<void(const QString& path)> onReopenProject;
    // What asks the system to power off (systemctl when empty).
    std::function<bool(const QString&, const QStringList&, QString*)> shutdownRunner;

    // Every sequence of the project.
    static QList<int> AllSequences(TEngineApi& engine, CBaseListener* sequenceMgr);
    // Each sequence's name, destination name and the folder of its first clip.
    static QList<TSeqPathInfo> SequencePaths(TEngineApi& engine, CBaseListener* sequenceMgr,
                                             const QList<int>& sequences);

private:
    // The conversion window's shut-down: closes the project, saves the
    // settings, asks the system; on failure the project comes back.
    void ShutDown(CBaseListener* projectMgr);

    QWidget* owner_;
    TEngineApi& engine_;
    TfrmLang& holder_;
    QPointer<TfrmOutputSetting> settings_;
};
