#include "windows/TfrmMain.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QTimer>
#include <cstring>

#include "app/AppPaths.h"
#include "app/FileChecks.h"
#include "app/MyLang.h"
#include "app/ProfileRefresh.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfrmPopupPreview.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmLang.h"
#include "windows/TPreviewSurface.h"
#include "windows/TExportRunner.h"
#include "windows/TfrmLoadFile.h"
#include "windows/TfrmPrompt.h"

namespace {
const QString kProduct = QStringLiteral("Veltrano");
const QString kProjectExt = QStringLiteral("pvxp");

bool IsProjectFile(const QString& path) {
    return QFileInfo(path).suffix().compare(kProjectExt, Qt::CaseInsensitive) == 0;
}
}  // namespace

TfrmMain::TfrmMain(TfrmLang& holder, TEngineApi& engine, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), holder_(holder), engine_(engine), arguments_(arguments) {
    setObjectName(QStringLiteral("frmMain"));
    setProperty("langSkip", true);  // the title is the product or the project's name
    setWindowTitle(kProduct);
    setWindowIcon(QIcon(QStringLiteral(":/veltrano/icons/veltrano.png")));
    setMinimumSize(760, 575);
    lang_ = new TMyLang(this, QStringLiteral("frmMain"), &holder_.Languages());
    BuildActions();
    BuildMenus();
    BuildToolBar();
    BuildPanes();
    BuildRepairActions();
    connect(lang_, &TMyLang::langChanged, this, &TfrmMain::Retranslate);
    Retranslate();
}

TfrmMain::~TfrmMain() {
    // Normally closeEvent has let the engine go; a window destroyed without
    // closing must not leave the engine calling freed wrappers.
    if (handles_.projectMgr) engine_.DeleteProjectMgr();
    // The panel outlives the wrappers and the engine: it must hold neither.
    fmeClip_->Unsubscribe();
    fmeClip_->SetHandles(nullptr, nullptr);
}

void TfrmMain::Start() {
    TIniInfo& ini = holder_.Ini();
    // The user's profile file follows the shipped one (keeping the user's own profiles).
    const QString profileError = RefreshProfileFile(
        AppPaths::BuiltInProfileFile(), holder_.DataFolder() + QStringLiteral("CustomFormats.xml"), ini.profileVersion);
    if (!profileError.isEmpty()) ShowPrompt(profileError, 0, kIconError, 2, this);

    mainWrapper_ = std::make_unique<TListenerWrapper>();
    resourceWrapper_ = std::make_unique<TListenerWrapper>();
    handles_.projectMgr = engine_.GetProjectMgr(mainWrapper_->GetListener());

    TListenerWrapper& w = *mainWrapper_;
    w.AddHandler(msg::kAskSavePath, BindHandler<&TfrmMain::OnAskSavePath>(this));
    w.AddHandler(msg::kAskOpenPath, BindHandler<&TfrmMain::OnAskOpenPath>(this));
    w.AddHandler(msg::kAskSaveAsPath, BindHandler<&TfrmMain::OnAskSavePath>(this));
    w.AddHandler(msg::kAskSaveChanges, BindHandler<&TfrmMain::OnAskSaveChanges>(this));
    w.AddHandler(msg::kNotifyNothingToSave, BindHandler<&TfrmMain::OnNothing>(this));
    w.AddHandler(msg::kNotifySaveFailed, BindHandler<&TfrmMain::OnSaveFailed>(this));
    w.AddHandler(msg::kNotifyOpenFailed, BindHandler<&TfrmMain::OnOpenFailed>(this));
    w.AddHandler(msg::kNotifyNewFailed, BindHandler<&TfrmMain::OnNewFailed>(this));
    w.AddHandler(msg::kNotifyNewDone, BindHandler<&TfrmMain::OnProjectCreated>(this));
    w.AddHandler(msg::kNotifySaved, BindHandler<&TfrmMain::OnProjectSaved>(this));
    w.AddHandler(msg::kNotifyClosed, BindHandler<&TfrmMain::OnProjectClosed>(this));
    w.AddHandler(msg::kNotifyOpened, BindHandler<&TfrmMain::OnProjectOpened>(this));
    w.AddHandler(msg::kNotifyLoadProgress, BindHandler<&TfrmMain::OnLoadProgress>(this));
    // The sequence list follows the sequence manager.
    w.AddHandler(msg::kNotifySeqSelected, BindHandler<&TfrmMain::OnSeqSelected>(this));
    w.AddHandler(msg::kNotifySeqDeselected, BindHandler<&TfrmMain::OnSeqDeselected>(this));
    for (int32_t id : {msg::kNotifySeqImported, msg::kNotifySeqInserted, msg::kNotifySeqTrashed,
                       msg::kNotifySeqAllRemoved, msg::kNotifySeqSorted, msg::kNotifySeqRemoved,
                       msg::kNotifySeqExchanged, msg::kNotifySeqMerged, msg::kNotifySeqFilesAdded})
        w.AddHandler(static_cast<uint32_t>(id), BindHandler<&TfrmMain::OnSeqStructure>(this));
    w.AddHandler(msg::kNotifySeqAddFailed, BindHandler<&TfrmMain::OnSeqAddFailed>(this));
    w.AddHandler(msg::kNotifySeqImportProgress, BindHandler<&TfrmMain::OnImportProgress>(this));
    for (int32_t id : {msg::kNotifySeqPropertySet, msg::kNotifySeqPropertyRead, msg::kNotifySeqRemovedAll})
        w.AddHandler(static_cast<uint32_t>(id), BindHandler<&TfrmMain::OnNothing>(this));
    // The imported list and the trash.
    w.AddHandler(msg::kNotifyResListStart, BindHandler<&TfrmMain::OnResListStart>(this));
    w.AddHandler(msg::kNotifyResEntry, BindHandler<&TfrmMain::OnResEntry>(this));
    w.AddHandler(msg::kNotifyResAdded, BindHandler<&TfrmMain::OnResEntry>(this));
    w.AddHandler(msg::kNotifyResListEnd, BindHandler<&TfrmMain::OnResListEnd>(this));
    w.AddHandler(msg::kNotifyResRemoving, BindHandler<&TfrmMain::OnResRemoving>(this));
    w.AddHandler(msg::kNotifyResRestoring, BindHandler<&TfrmMain::OnResRestoring>(this));
    w.AddHandler(msg::kNotifyResClearing, BindHandler<&TfrmMain::OnResClearing>(this));
    // The resource preview's player.
    for (int32_t id : {msg::kNotifyPlayerOpenFailed, msg::kNotifyPlayerEnded, msg::kNotifyPlayerPlaying,
                       msg::kNotifyPlayerPaused, msg::kNotifyPlayerStopped, msg::kNotifyPlayerOpened,
                       msg::kNotifyPlayerSeeked, msg::kNotifyPlayerClosed})
        resourceWrapper_->AddHandler(static_cast<uint32_t>(id), BindHandler<&TfrmMain::OnResourcePlayerNote>(this));
    fmeClip_->Subscribe(w);
    resPreview_->installEventFilter(this);  // its size goes to the player

    setAcceptDrops(true);
    Send(handles_.projectMgr, msg::kProjectNew);
    if (ini.lastMaxWindow) showMaximized();
    else show();
    QTimer::singleShot(100, this, &TfrmMain::OnStartTimer);
}

void TfrmMain::Send(CBaseListener* target, int32_t id, intptr_t p1, intptr_t p2) {
    if (target) engine_.Send(target, id, p1, p2);  // a missing handle makes the action inert
}

void TfrmMain::OnStartTimer() {
    // The computer's group is filled and opened first.
    if (TfmeLocalResource* computer = fmeResList_->GroupOfType(resgroup::kComputer)) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        computer->FillComputer();
        QApplication::restoreOverrideCursor();
        fmeResList_->Expand(0);
    }
    OpenCommandLine(arguments_);
}

void TfrmMain::OpenCommandLine(const QStringList& paths) {
    QString project;
    QStringList media, missing;
    for (const QString& given : paths) {
        if (given.isEmpty()) continue;
        const QString path = QFileInfo(given).absoluteFilePath();
        if (!IsProjectFile(path)) media << path;
        else if (!QFileInfo(path).isFile()) missing << path;
        else if (project.isEmpty()) project = path;  // one project is open at a time: the first
    }
    // The project opens first, so the files join it.
    if (!project.isEmpty()) OpenPendingProject(project);
    if (!media.isEmpty()) DropFiles(media);
    for (const QString& path : missing)
        ShowError(lang_->Text(langkey::kErrNotExist) + QStringLiteral("\n\n") + path, kIconWarning);
}

void TfrmMain::OpenPendingProject(const QString& path) {
    pendingProject_ = path;
    projectPending_ = true;
    Send(handles_.projectMgr, msg::kProjectOpen);
    projectPending_ = false;  // an engine that never asked leaves nothing behind
}

void TfrmMain::ActivateFromOtherInstance(const QStringList& paths) {
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    // A modal window (a conversion, a repair, a question) works on the
    // project as it is: the files wait until it has closed.
    if (!paths.isEmpty() && QApplication::activeModalWidget()) {
        QTimer::singleShot(500, this, [this, paths] { ActivateFromOtherInstance(paths); });
        return;
    }
    OpenCommandLine(paths);
}

void TfrmMain::SetTitle(const QString& title) {
    setWindowTitle(title);
    lblLogoCaption_->setText(title);
}

void TfrmMain::TitleFromProjectPath() {
    std::vector<char> buffer(kPathBufferSize, '\0');
    Send(handles_.projectMgr, msg::kProjectGetPath, reinterpret_cast<intptr_t>(buffer.data()), kPathBufferSize);
    const QString name = QFileInfo(QString::fromUtf8(buffer.data())).completeBaseName();
    const QString suffix = QStringLiteral(" - ") + kProduct;
    // The name gives way from its end when the title label is too narrow.
    const QFontMetrics metrics(lblLogoCaption_->font());
    const int room = lblLogoCaption_->width();
    QString shown = name;
    if (room > 0 && metrics.horizontalAdvance(shown + suffix) > room) {
        while (!shown.isEmpty() && metrics.horizontalAdvance(shown + QStringLiteral("...") + suffix) > room)
            shown.chop(1);
        shown += QStringLiteral("...");
    }
    setWindowTitle(name + suffix);
    lblLogoCaption_->setText(shown + suffix);
}

bool TfrmMain::AnswerPath(intptr_t buffer, intptr_t size, const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    if (!buffer || size <= 0) return false;
    // A path that does not fit is refused, never cut: a cut path names another file.
    if (utf8.size() >= size) {
        ShowPrompt(lang_->Text(langkey::kErrPathTooLong) + QStringLiteral("\n\n") + path, 0, kIconError, 2, this);
        return false;
    }
    std::memcpy(reinterpret_cast<char*>(buffer), utf8.constData(), static_cast<size_t>(utf8.size()) + 1);
    return true;
}

QString TfrmMain::AskSavePath(const QString& title) {
    QFileDialog dialog(this, title);
    dialog.setObjectName(QStringLiteral("sdjSavePrject"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(kProjectExt);
    dialog.setNameFilter(lang_->Text(langkey::kProjectFilter));
    // The dialog stays until the name is one the file system takes.
    while (dialog.exec() == QDialog::Accepted) {
        const QString path = dialog.selectedFiles().value(0);
        if (IsValidFileName(path)) return path;
        ShowPrompt(lang_->Text(langkey::kErrInvalidName) + QStringLiteral("\n\n") + path, 0, kIconWarning, 2, this);
    }
    return {};
}

void TfrmMain::OnAskSavePath(void*, uint32_t, intptr_t p1, intptr_t p2) {
    const QString path = AskSavePath(lang_->Text(langkey::kSaveProjectTitle));
    if (!path.isEmpty()) AnswerPath(p1, p2, path);
}

void TfrmMain::OnAskOpenPath(void*, uint32_t, intptr_t p1, intptr_t p2) {
    QString path;
    if (projectPending_) {
        path = pendingProject_;
        projectPending_ = false;
    } else {
        QFileDialog dialog(this, lang_->Text(langkey::kOpenProjectTitle));
        dialog.setObjectName(QStringLiteral("odgOpenProject"));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(lang_->Text(langkey::kProjectFilter));
        if (dialog.exec() != QDialog::Accepted) return;
        path = dialog.selectedFiles().value(0);
    }
    if (path.isEmpty()) return;
    const QFileInfo info(path);
    if (info.suffix().compare(kProjectExt, Qt::CaseInsensitive) != 0)
        path = info.path() + QLatin1Char('/') + info.completeBaseName() + QLatin1Char('.') + kProjectExt;
    AnswerPath(p1, p2, path);
}

void TfrmMain::OnAskSaveChanges(void*, uint32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    int32_t answer = kSaveChangesCancel;
    switch (ShowPrompt(lang_->Text(langkey::kAskSaveProject), 3, kIconQuestion, 0, this)) {
        case kPromptYes: answer = kSaveChangesSave; break;
        case kPromptNo: answer = kSaveChangesDiscard; break;
        default: answer = kSaveChangesCancel; break;
    }
    *reinterpret_cast<int32_t*>(p1) = answer;
}

void TfrmMain::OnSaveFailed(void*, uint32_t, intptr_t, intptr_t) {
    std::vector<char> buffer(kPathBufferSize, '\0');
    Send(handles_.projectMgr, msg::kProjectGetPath, reinterpret_cast<intptr_t>(buffer.data()), kPathBufferSize);
    ShowPrompt(lang_->Text(langkey::kErrSaveProject) + QStringLiteral("\n\n") + QString::fromUtf8(buffer.data()), 0,
               kIconInformation, 2, this);
}

void TfrmMain::OnOpenFailed(void*, uint32_t, intptr_t, intptr_t) {
    if (loadWindow_) loadWindow_->deleteLater();
    setEnabled(true);
    ShowPrompt(lang_->Text(langkey::kErrOpenProject), 0, kIconError, 2, this);
}

void TfrmMain::OnNewFailed(void*, uint32_t, intptr_t, intptr_t) {
    ShowPrompt(lang_->Text(langkey::kErrCreateProject), 0, kIconError, 2, this);
}

void TfrmMain::AcquireHandles() {
    AcquireProjectHandles(engine_, handles_, resourceWrapper_ ? resourceWrapper_->GetListener() : nullptr,
                          resPreview_, resPreview_->Area());
    fmeClip_->SetHandles(handles_.sequenceMgr, handles_.clipEditMgr);
}

void TfrmMain::ForgetProject() {
    // Nothing on screen may name an object of a project that is gone.
    previewNode_.reset();
    ResetResourcePreview();
    engineSelection_ = {0, -1, -1};
    listChanged_ = false;
    fmeLoadedList_->Clear();
    ClearMetadata();
    for (int list : {0, 1})
        if (TfmeLocalResource* group = GroupForList(list)) group->ClearNodes();
    UpdateEmptyListActions();
}

void TfrmMain::OnProjectCreated(void*, uint32_t, intptr_t, intptr_t) {
    AcquireHandles();
    ForgetProject();
    SetTitle(kProduct);
}

void TfrmMain::OnProjectSaved(void*, uint32_t, intptr_t, intptr_t) { TitleFromProjectPath(); }

void TfrmMain::OnProjectClosed(void*, uint32_t, intptr_t, intptr_t) {
    // Every handle of the closed project goes, so no window sends to a manager
    // that no longer exists.
    handles_.ClearProject();
    fmeClip_->SetHandles(nullptr, nullptr);
    ForgetProject();
    SetTitle(kProduct);
}

void TfrmMain::OnProjectOpened(void*, uint32_t, intptr_t, intptr_t) {
    // Loading has ended, whatever kinds of clip the progress counted.
    if (loadWindow_) loadWindow_->close();
    setEnabled(true);
    AcquireHandles();
    ForgetProject();
    RebuildList();
    RefreshEngineLists();
    TitleFromProjectPath();
}

void TfrmMain::CloseProject() {
    int32_t result = 0;
    Send(handles_.projectMgr, msg::kProjectClose, reinterpret_cast<intptr_t>(&result), sizeof result);
    // A cancelled close keeps everything; a done one was announced by
    // 110581007, which let the project's handles go. The project manager
    // stays either way, so New and Open still work.
}

void TfrmMain::ShowError(const QString& text, int icon) { ShowPrompt(text, 0, icon, 2, this); }

void TfrmMain::OnLoadProgress(void*, uint32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(LoadProgress))) return;
    const auto& progress = *reinterpret_cast<const LoadProgress*>(p1);
    const QString file = QString::fromUtf8(progress.path ? progress.path : "");
    const double total = progress.total > 0 ? progress.total : 1;
    if (progress.state == 0) {
        if (!loadWindow_ && progress.done == 0) {
            loadWindow_ = new TfrmLoadFile(this);
            loadWindow_->setAttribute(Qt::WA_DeleteOnClose);
            loadWindow_->SetCancelEnabled(false);  // a project loads whole or not at all
            loadWindow_->show();
            setEnabled(false);
            loadWindow_->setEnabled(true);
        }
        if (loadWindow_) {
            loadWindow_->SetText(lang_->Text(langkey::kLoadProject).replace(QStringLiteral("%s"), file));
            loadWindow_->SetPercent(static_cast<int>(progress.done / total * 100));
        }
        return;
    }
    if (loadWindow_) loadWindow_->SetPercent(static_cast<int>((progress.done + 1) / total * 100));
    if (progress.state == 2) {
        if (loadWindow_) loadWindow_->hide();
        ShowPrompt(lang_->Text(langkey::kErrNotExist) + QStringLiteral("\n\n") + file, 0, kIconWarning, 2, this);
        if (loadWindow_) loadWindow_->show();
    }
    if (progress.done + 1 >= progress.total) {
        setEnabled(true);
        if (loadWindow_) loadWindow_->close();
    }
}

void TfrmMain::OnWindowMessage(int message, const QByteArray& data) {
    if (message == wm::kResourcePreviewEnded) {
        OnResourceNote(msg::kNotifyPlayerEnded, data);
        emit resourcePreviewEnded();
    } else if (message == kResourcePreviewNote) {
        OnResourceNote(0, data);
    }
}

void TfrmMain::closeEvent(QCloseEvent* e) {
    if (closing_) {
        e->accept();
        return;
    }
    if (handles_.projectMgr) {
        StopResourcePreview();
        int32_t result = 0;
        Send(handles_.projectMgr, msg::kProjectClose, reinterpret_cast<intptr_t>(&result), 0);
        if (result == -1) {  // the user kept the project open
            e->ignore();
            return;
        }
        // The engine goes before the wrappers it calls back into.
        engine_.DeleteProjectMgr();
        handles_ = TEngineHandles{};
        fmeClip_->SetHandles(nullptr, nullptr);
    }
    fmeClip_->Unsubscribe();  // the program is closing
    // The scans end before their trees go.
    for (int i = 0; i < fmeResList_->GroupCount(); ++i) fmeResList_->Group(i)->StopScan();
    mainWrapper_.reset();
    resourceWrapper_.reset();
    closing_ = true;
    e->accept();
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    e->acceptProposedAction();
    DropFiles(paths);
}

void TfrmMain::changeEvent(QEvent* e) {
    // "LastMaxWindow" follows the window manager's maximise and restore.
    if (e->type() == QEvent::WindowStateChange && !isMinimized() && isVisible())
        holder_.Ini().lastMaxWindow = isMaximized();
    QMainWindow::changeEvent(e);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::MouseButtonDblClick && watched->objectName() == QLatin1String("imgMainLogo")) {
        close();
        return true;
    }
    if (watched == resPreview_ && e->type() == QEvent::Resize) imgResPreviewMask_->resize(resPreview_->size());
    if (watched == resPreview_ && e->type() == QEvent::Resize && handles_.resourcePlayer) {
        Rect area = resPreview_->Area();
        Send(handles_.resourcePlayer, msg::kPlayerSetArea, reinterpret_cast<intptr_t>(&area), sizeof area);
    }
    if (e->type() == QEvent::Enter || e->type() == QEvent::Leave) {
        auto it = hints_.constFind(watched);
        if (it != hints_.constEnd())
            lblMainHint_->setText(e->type() == QEvent::Enter ? lang_->Text(*it) : QString());
    }
    return QMainWindow::eventFilter(watched, e);
}
