#pragma once

// The program's main window: the menus, the tool bar and the panes (the
// resource browser with its preview, the sequence list with the selected
// sequence's metadata, and the clip panel), the engine handles and every
// project action. The sequence list is rebuilt from the engine after every
// change the engine reports, so its rows always follow the engine's order.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>

#include "app/EngineApi.h"
#include "app/LangKeys.h"
#include "app/ListenerWrapper.h"
#include "app/ShellRecords.h"
#include "app/WindowMessages.h"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTimer;
class TExportRunner;
class TfmeFlvCustomize;
class TfmeLocalResource;
class TfmeResourceList;
class TfmeTreeList;
class TfrmLang;
class TfrmLoadFile;
class TmyTrackBar;
class TPreviewSurface;
class TMyLang;
class TSeqQueries;
struct TRepairResult;
struct TResourceEntry;

class TfrmMain : public QMainWindow, public TWindowMessageReceiver {
    Q_OBJECT
public:
    // arguments: the program's command-line arguments without the program name.
    TfrmMain(TfrmLang& holder, TEngineApi& engine, const QStringList& arguments, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Makes the window, its engine and its first project; shows the window.
    void Start();

    const TEngineHandles& Handles() const { return handles_; }
    TMyLang* Lang() const { return lang_; }
    QMenu* LanguagesMenu() const { return mnuLanguages_; }
    TPreviewSurface* ResourcePreview() const { return resPreview_; }
    TfmeTreeList* SequenceList() const { return fmeLoadedList_; }
    TfmeResourceList* ResourceList() const { return fmeResList_; }
    QAction* Action(const QString& name) const { return actions_.value(name); }

    // Another start of the program asked us to come forward (and maybe open its files).
    void ActivateFromOtherInstance(const QStringList& paths);
    // Paths given on a command line: the first project file opens, then the
    // FLV files (and folders) are imported into the open project.
    void OpenCommandLine(const QStringList& paths);

    // Each file becomes a new sequence (merge: all of them one sequence).
    // The engine takes FLV files and pictures and names what it refuses;
    // paths too long for the engine are refused here with a message.
    void ImportFiles(const QStringList& paths, bool merge);
    // Files and folders dropped on the window (or on the list's empty space):
    // a lone project file opens; folders bring their FLV files and pictures
    // as one sequence each; every other file becomes a sequence of its own.
    void DropFiles(const QStringList& paths);

    void OnWindowMessage(int message, const QByteArray& data) override;
    // Posted notes of the resource preview's player: {id, p2, text}.
    static constexpr int kResourcePreviewNote = 3048;

signals:
    // The resource preview reached its end (handled on the window thread).
    void resourcePreviewEnded();

protected:
    void closeEvent(QCloseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void AcquireHandles();

private:
    // Layout (TfrmMainLayout.cpp).
    void BuildActions();
    void BuildMenus();
    void BuildToolBar();
    void BuildPanes();
    QWidget* BuildResourcePane(QWidget* parent);
    QWidget* BuildMetadataPane(QWidget* parent);
    void BuildResourceGroups();
    QAction* MakeAction(const char* name, const QString& caption, const QKeySequence& shortcut = {});
    void SetHint(QWidget* control, const TLangKey& key);
    void BuildLanguageMenu();
    void Retranslate();

    // Project actions (TfrmMain.cpp).
    void Send(CBaseListener* target, int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);
    void OpenPendingProject(const QString& path);
    void CloseProject();
    void OnStartTimer();
    void SetTitle(const QString& title);
    void TitleFromProjectPath();
    bool AnswerPath(intptr_t buffer, intptr_t size, const QString& path);
    QString AskSavePath(const QString& title);
    void ForgetProject();
    void ShowError(const QString& text, int icon);

    // Help, about, companion programs (TfrmMainHelp.cpp).
    void ShowHelp(const QString& anchor);
    void ShowAbout();
    void StartCompanion();

    // The sequence list and the metadata (TfrmMainList.cpp).
    TSeqQueries Queries() const;
    // Sends a command that changes the list, then brings the list up to date.
    void SendToList(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);
    void MarkListChanged();
    void RebuildList();
    // The lengths the list shows for a clip and its sequence, read again.
    void RefreshLengths(int sequence, int clip);
    void UpdateEmptyListActions();
    void OnListFlags(int flags);
    void OnListSelectionChanged();
    void OnDestinationChanged(int sequence, const QString& text);
    void OnSortRequested(int column, bool ascending);
    void OnRowsDropped(int target, const QList<TSeqClipArr>& rows);
    void OnResourceFileDropped(int sequence, int clip, const QString& path);
    void OnFilesDroppedOnList(int sequence, int clip, const QStringList& paths);
    void OnResourceEntryDropped(int sequence, int clip, int groupType, int entry, const QString& data);
    void MoveSelected(bool up);
    void DeleteSelected();
    void MergeSelected(bool copy);
    void BrowseSelectedClip();
    void FillMetadata(int sequence);
    void ClearMetadata();
    void OnMetadataEdited(int property, const QString& text);

    // Importing and dropping (TfrmMainImport.cpp).
    void ChooseAndImport(bool merge);
    // One new sequence from `paths` (already checked); false when the user stopped.
    void SendImport(const QStringList& paths, const QString& destName, int insertPos = -1);
    void AddFilesToSequence(int sequence, int position, const QStringList& paths);
    void ImportFolder(const QString& folder);
    // Still pictures among the clips added at first.. of a sequence that had
    // `before` clips get the "ImageDefLen" length.
    void FitStillPictures(int sequence, int first, int before);
    void ReportTooLong(const QStringList& tooLong);
    void ShowRefusals();
    // While one lives, the engine's refusals are collected and shown together
    // when the last one ends.
    class TRefusalBatch {
    public:
        explicit TRefusalBatch(TfrmMain& window);
        ~TRefusalBatch();
        TRefusalBatch(const TRefusalBatch&) = delete;
        TRefusalBatch& operator=(const TRefusalBatch&) = delete;

    private:
        TfrmMain& window_;
    };
    TfrmLoadFile* ShowProgressWindow();
    void CloseProgressWindow();

    // The resource browser and its preview (TfrmMainResources.cpp).
    TfmeLocalResource* GroupForList(int listIndex) const;  // 0 imported, 1 trash
    void ConnectGroup(TfmeLocalResource* group);
    void RefreshEngineLists();
    void OnResourcePreview(const std::optional<TResourceEntry>& entry);
    void OnResourceDelete(const TResourceEntry& entry);
    void OnResourceClear(int groupType);
    void OnResourceBrowse(const TResourceEntry& entry);
    void PreviewNode(const TResourceNode& node);
    void StopResourcePreview();
    void ResetResourcePreview();
    void ShowResourcePlaying(bool playing);
    void UpdateResourcePosition(int64_t ms);
    void OnResourceNote(int32_t id, const QByteArray& data);

    // Export (TfrmMainExport.cpp).
    void ExportSequences(bool selectedOnly);

    // Repairing FLV files (TfrmMainRepair.cpp).
    void BuildRepairActions();
    void RepairChosenFiles();
    void RepairSelectedClip();
    void UpdateRepairClipAction();
    void ImportRepaired(const QList<TRepairResult>& results);
    void ReplaceClip(int sequence, int clip, const QStringList& repaired);

    // Main wrapper handlers.
    void OnAskSavePath(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnAskOpenPath(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnAskSaveChanges(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnNothing(void*, uint32_t, intptr_t, intptr_t) {}
    void OnSaveFailed(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnOpenFailed(void*, uint32_t, intptr_t, intptr_t);
    void OnNewFailed(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectCreated(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectSaved(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectClosed(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectOpened(void*, uint32_t, intptr_t, intptr_t);
    void OnLoadProgress(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnSeqSelected(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnSeqDeselected(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnSeqStructure(void*, uint32_t, intptr_t, intptr_t);
    void OnSeqAddFailed(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnImportProgress(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnResListStart(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnResEntry(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnResListEnd(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnResRemoving(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnResRestoring(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnResClearing(void*, uint32_t, intptr_t p1, intptr_t p2);
    // Resource wrapper: the player may call from its own threads, so every
    // note is posted to the window thread with a copy of its data.
    void OnResourcePlayerNote(void*, uint32_t id, intptr_t p1, intptr_t p2);

    TfrmLang& holder_;
    TEngineApi& engine_;
    QStringList arguments_;
    TMyLang* lang_ = nullptr;
    std::unique_ptr<TListenerWrapper> mainWrapper_;
    std::unique_ptr<TListenerWrapper> resourceWrapper_;
    std::unique_ptr<TExportRunner> exportRunner_;  // keeps the output settings between exports
    TEngineHandles handles_;
    bool closing_ = false;

    QString pendingProject_;
    bool projectPending_ = false;
    QPointer<TfrmLoadFile> loadWindow_;    // loading a project
    QPointer<TfrmLoadFile> importWindow_;  // importing files
    bool engineProgress_ = false;          // importWindow_ was opened by the engine's progress
    int refusalBatches_ = 0;
    QString refusals_;                     // the engine's refusals not shown yet

    // Set while the window fills controls itself: their change handlers do nothing.
    bool guard_ = false;
    bool listChanged_ = false;            // the engine changed the list since it was built
    TSeqSelection engineSelection_{0, -1, -1};

    // The resource preview.
    std::optional<TResourceNode> previewNode_;
    int64_t previewDuration_ = 0;
    QString previewDurationText_;
    QTimer* resTimer_ = nullptr;

    QHash<QString, QAction*> actions_;
    QHash<QObject*, TLangKey> hints_;
    QMenu* mnuLanguages_ = nullptr;
    QMenu* ppmList_ = nullptr;
    QActionGroup* languageGroup_ = nullptr;
    QLabel* lblLogoCaption_ = nullptr;
    QLabel* lblMainHint_ = nullptr;
    QLabel* lblResName_ = nullptr;
    QLabel* lblResDuration_ = nullptr;
    QLabel* imgResPreviewMask_ = nullptr;
    QPushButton* btnResPlay_ = nullptr;
    QPushButton* btnResPause_ = nullptr;
    QPushButton* btnResStop_ = nullptr;
    TmyTrackBar* fmeResPlayer_ = nullptr;
    TPreviewSurface* resPreview_ = nullptr;
    TfmeResourceList* fmeResList_ = nullptr;
    TfmeTreeList* fmeLoadedList_ = nullptr;
    TfmeFlvCustomize* fmeClip_ = nullptr;
    QLineEdit* metaEdits_[8] = {};
};
