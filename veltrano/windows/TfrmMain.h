#pragma once

// The program's main window: the menus, the tool bar and the panes (filled by
// the sequence list, resource browser and clip panel), the engine handles and
// the project actions.

#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>

#include "app/EngineApi.h"
#include "app/LangKeys.h"
#include "app/ListenerWrapper.h"
#include "app/WindowMessages.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class TfrmLang;
class TfrmLoadFile;
class TPreviewSurface;
class TMyLang;

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

    // Another start of the program asked us to come forward (and maybe open a project).
    void ActivateFromOtherInstance(const QString& projectPath);

    void OnWindowMessage(int message, const QByteArray& data) override;

signals:
    // The resource preview reached its end (handled on the window thread).
    void resourcePreviewEnded();

protected:
    void closeEvent(QCloseEvent* e) override;
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
    QAction* MakeAction(const char* name, const QString& caption, const QKeySequence& shortcut = {});
    void SetHint(QWidget* control, const TLangKey& key);
    void BuildLanguageMenu();
    void Retranslate();

    // Project actions.
    void Send(CBaseListener* target, int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);
    void OpenPendingProject(const QString& path);
    void OnStartTimer();
    void SetTitle(const QString& title);
    void TitleFromProjectPath();
    bool AnswerPath(intptr_t buffer, intptr_t size, const QString& path);
    QString AskSavePath(const QString& title);

    // Main wrapper handlers.
    void OnAskSavePath(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnAskOpenPath(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnAskSaveChanges(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnNothingToSave(void*, uint32_t, intptr_t, intptr_t) {}
    void OnSaveFailed(void*, uint32_t, intptr_t p1, intptr_t p2);
    void OnOpenFailed(void*, uint32_t, intptr_t, intptr_t);
    void OnNewFailed(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectCreated(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectSaved(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectClosed(void*, uint32_t, intptr_t, intptr_t);
    void OnProjectOpened(void*, uint32_t, intptr_t, intptr_t);
    void OnLoadProgress(void*, uint32_t, intptr_t p1, intptr_t p2);
    // Resource wrapper: raised on the player's watch thread.
    void OnResourcePlayEnded(void*, uint32_t, intptr_t, intptr_t);

    TfrmLang& holder_;
    TEngineApi& engine_;
    QStringList arguments_;
    TMyLang* lang_ = nullptr;
    std::unique_ptr<TListenerWrapper> mainWrapper_;
    std::unique_ptr<TListenerWrapper> resourceWrapper_;
    TEngineHandles handles_;
    bool closing_ = false;

    QString pendingProject_;
    bool projectPending_ = false;
    QPointer<TfrmLoadFile> loadWindow_;

    QHash<QString, QAction*> actions_;
    QHash<QObject*, TLangKey> hints_;
    QMenu* mnuLanguages_ = nullptr;
    QActionGroup* languageGroup_ = nullptr;
    QLabel* lblLogoCaption_ = nullptr;
    QLabel* lblMainHint_ = nullptr;
    TPreviewSurface* resPreview_ = nullptr;
};
