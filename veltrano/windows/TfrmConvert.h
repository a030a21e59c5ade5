#pragma once

// The conversion window: hands the conversion manager the output settings,
// one task per sequence with its output folder, and starts the batch; shows
// one row per task with its state, remaining time and progress bar; pauses,
// resumes and skips single tasks or all of them; can show the frame being
// encoded; keeps an error log; and at the end reports the result and may open
// the output folders or shut the computer down.
//
// The engine reports from its conversion threads: those notifications are
// copied and handled here on the window thread.

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <vector>

#include "app/ListenerWrapper.h"
#include "app/ShellRecords.h"
#include "app/WindowMessages.h"
#include "projcore/Records.h"
#include "windows/TfrmShutDown.h"

class CBaseListener;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TEngineApi;
class TIniInfo;
class TMyLang;
class TPreviewSurface;

// What the main window hands over: the record the output settings built,
// the sequences to convert and, for each, its names and source folder.
struct TConvertParams {
    OutputSettings settings{};
    CBaseListener* sequenceMgr = nullptr;
    QList<int> sequences;
    QList<TSeqPathInfo> paths;  // one per sequence, in the same order
};

class TfrmConvert : public QDialog, public TWindowMessageReceiver {
    Q_OBJECT
public:
    // A row's state picture.
    enum RowIcon { kFinished = 0, kConverting = 1, kFailed = 2, kPaused = 3, kStopped = 4, kWaiting = 5 };
    enum AfterConversion { kDoNothing = 0, kOpenFolder = 1, kShutDown = 2 };

    // project: asked for the conversion manager; mainWrapper: the host
    // listener the engine reports to; dataFolder: where "ErrorInfo.txt" goes.
    TfrmConvert(const TConvertParams& params, TEngineApi& engine, CBaseListener* project,
                TListenerWrapper& mainWrapper, TIniInfo& ini, const QString& dataFolder, QWidget* parent = nullptr);
    ~TfrmConvert() override;

    // What "Shut down computer" runs once its countdown ends.
    void SetShutdown(TShutdownOperation shutdown) { shutdown_ = std::move(shutdown); }
    // How a folder or file is opened on the desktop (by default its own "open").
    void SetOpener(std::function<bool(const QUrl&)> open) { open_ = std::move(open); }

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int RowIconOf(int row) const;
    int RowProgress(int row) const;  // tenths of a percent
    QString RowText(int row, int column) const;
    // The file a finished task was written to (a picture series: its folder); "" until then.
    QString RowOutput(int row) const;
    // Opens the folder that holds the row's output (the context menu's and a double click's action).
    void OpenRowFolder(int row);
    const QStringList& ErrorLog() const { return errorLog_; }
    bool RunEnded() const { return ended_; }
    QString ElapsedText() const;

    void OnWindowMessage(int message, const QByteArray& data) override;

    void reject() override;  // Escape and Cancel close like the close button

signals:
    void rowStateChanged(int row, int icon);
    void runEnded();

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    struct Row {
        QTreeWidgetItem* item = nullptr;
        int icon = kWaiting;
        int64_t accumulated = 0;  // ms spent converting before the current period
        int64_t started = 0;      // when the current period began
        bool running = false;
        int64_t done = 0, total = 0;  // ms of the last progress report
        QString output{};             // the name the engine gave the finished output
    };

    void BuildLayout();
    void Retranslate();
    void SetUp(const TConvertParams& params);
    void QueueTasks(const TConvertParams& params);
    void ShowFreeSpace();
    void StartRun();
    void Send(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);
    void Release();

    // Engine notifications (any thread).
    void OnTaskAdded(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnTaskState(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnTaskProgress(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnTaskError(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnAllEnded(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnTaskOutput(void*, uint32_t, intptr_t p1, intptr_t p2);

    // On the window thread.
    void Progress(const PvxProgress& p);
    void StateChanged(const PvxTaskState& s);
    void AddErrorLine(int32_t code, const QString& text);
    void RunHasEnded();
    // The output names (TfrmConvertOutputs.cpp).
    void BuildOutputMenu();
    void OutputNamed(int task, const QString& path);
    void TickElapsed();
    void UpdateRemaining(Row& row);
    void AdjustClock();
    int64_t Now() const { return clock_.elapsed(); }

    // Buttons and actions.
    int SelectedRow() const;
    void UpdateButtons();
    void PointPreview();
    void Skip();
    void Pause();
    void Resume();
    void PauseAll();
    void ResumeAll();
    void ShowPreviewClicked();
    void SendAction(int row, int32_t action);
    bool AnyActive() const;

    // After the run.
    void ShowResult();
    void SaveAndOpenLog();
    void OpenOutputFolders();

    TEngineApi& engine_;
    TListenerWrapper& wrapper_;
    TIniInfo& ini_;
    QString dataFolder_;
    CBaseListener* conversion_ = nullptr;
    TShutdownOperation shutdown_;
    std::function<bool(const QUrl&)> open_;

    std::vector<Row> rows_;
    QStringList rowFolders_;  // each task's output folder
    QStringList errorLog_;
    int skipped_ = 0;  // sequences that could not be queued
    bool subscribed_ = false;
    bool started_ = false;
    bool ended_ = false;
    bool released_ = false;

    QElapsedTimer clock_;
    int64_t elapsedAccumulated_ = 0, periodStart_ = 0;
    QTimer startTimer_, elapsedTimer_;

    TMyLang* lang_;
    QTreeWidget* lvConvert_;
    TPreviewSurface* pnlPreview_;
    QPushButton* btnSkip_;
    QPushButton* btnPause_;
    QPushButton* btnResume_;
    QPushButton* btnPauseAll_;
    QPushButton* btnResumeAll_;
    QPushButton* btnCancel_;
    QCheckBox* chkShowPreview_;
    QComboBox* cbxAfterConversion_;
    QLabel* lblElapsetime_;
    QLabel* lblFreeSizeValue_;
};
