// The main window's controls: actions, menus, tool bar and panes. The panes
// are empty frames here; the sequence list, resource browser and clip panel
// fill them.

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QStyle>
#include <QTimer>
#include <QValidator>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MyLang.h"
#include "windows/MainLangKeys.h"
#include "windows/ResourcePlaces.h"
#include "windows/SequenceNames.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfrmPopupPreview.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"
#include "windows/TSeqTreeView.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmPreference.h"
#include "windows/TmyTrackBar.h"

namespace {

// Texts that are not translated (the product name, language names, titles
// made from file names) carry this flag for the language checks.
void MarkUntranslated(QObject* obj) { obj->setProperty("langSkip", true); }

// Refuses any text holding a character a file name cannot have.
class TDestinationValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        for (QChar c : input)
            if (IsForbiddenDestinationChar(c)) return Invalid;
        return Acceptable;
    }
};

}  // namespace

QAction* TfrmMain::MakeAction(const char* name, const QString& caption, const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    actions_.insert(QLatin1String(name), action);
    return action;
}

void TfrmMain::BuildActions() {
    auto act = [this](const char* name, const char* caption, const char* shortcut, auto slot) {
        QAction* action = MakeAction(name, QString::fromLatin1(caption), QKeySequence(QString::fromLatin1(shortcut)));
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    act("actNewProject", "New", "Ctrl+N", [this] { Send(handles_.projectMgr, msg::kProjectNew); });
    act("actOpenProject", "Open", "Ctrl+O", [this] { Send(handles_.projectMgr, msg::kProjectOpen); });
    act("actSaveProject", "Save", "Ctrl+S", [this] { Send(handles_.projectMgr, msg::kProjectSave); });
    act("actSaveAsProject", "Save As", "Ctrl+Alt+S", [this] { Send(handles_.projectMgr, msg::kProjectSaveAs); });
    act("actCloseProject", "Close", "", [this] { CloseProject(); });
    act("actImportFile", "Import FLV", "Ctrl+I", [this] { ChooseAndImport(false); });
    act("actImportMergeFiles", "Import Merge FLVs", "Ctrl+Alt+I", [this] { ChooseAndImport(true); });
    act("actExportAll", "Export", "Ctrl+E", [this] { ExportSequences(false); });
    act("actExportSelected", "Export Selected", "Ctrl+Alt+E", [this] { ExportSequences(true); });
    // These work while the sequence list has the focus (BuildPanes adds them to it).
    act("actCopyMerge", "Copy Merge(Ctrl + M)", "Ctrl+M", [this] { MergeSelected(true); });
    act("actCutMerge", "Merge(Ctrl + Alt + M)", "Ctrl+Alt+M", [this] { MergeSelected(false); });
    act("actDeleteSelected", "Delete(Del)", "Del", [this] { DeleteSelected(); });
    act("actClear", "Clear(Ctrl + Del)", "Ctrl+Del", [this] { SendToList(msg::kSeqRemoveAll); });
    act("actExpandAll", "Expand All(Ctrl + K)", "Ctrl+K", [this] { fmeLoadedList_->ExpandAll(); });
    act("actCollapseAll", "Collapse All(Ctrl + J)", "Ctrl+J", [this] { fmeLoadedList_->CollapseAll(); });
    act("actMoveUp", "Move &Up", "", [this] { MoveSelected(true); });
    act("actMoveDown", "Move &Down", "", [this] { MoveSelected(false); });
    act("actSelectAll", "Select &All", "Ctrl+A", [this] { fmeLoadedList_->SelectAll(); });
    act("actInvertSelected", "&Invert Selected", "", [this] { fmeLoadedList_->InvertSelection(); });
    act("actBrowseClip", "&Browse...", "", [this] { BrowseSelectedClip(); });
    act("actPreferences", "&Preferences", "", [this] {
        TfrmPreference dialog(holder_.Ini(), this);
        if (dialog.exec() == QDialog::Accepted) fmeClip_->Refit();  // the scale method may have changed
    });
    act("actDownloader", "Downloader", "", [this] { StartCompanion(); });
    act("actContent", "&Content", "F1", [this] { ShowHelp(QString()); });
    act("actSupport", "&Support", "", [this] { ShowHelp(QStringLiteral("support")); });
    act("actAbout", "&About", "", [this] { ShowAbout(); });
    act("actExit", "E&xit", "Ctrl+Q", [this] { close(); });
    // Another product's program is offered only when it is installed.
    actions_.value(QStringLiteral("actDownloader"))->setVisible(!resplaces::CompanionProgram().isEmpty());
}

void TfrmMain::BuildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("mmuMain"));
    auto addMenu = [](QWidget* parent, const char* name, const QString& title) {
        auto* menu = new QMenu(title, parent);
        menu->setObjectName(QLatin1String(name));
        return menu;
    };
    auto a = [this](const char* name) { return actions_.value(QLatin1String(name)); };

    QMenu* file = addMenu(bar, "mnuFile", QStringLiteral("&File"));
    file->addActions({a("actNewProject"), a("actOpenProject"), a("actSaveProject"), a("actSaveAsProject"),
                      a("actCloseProject")});
    QMenu* import = addMenu(file, "mnuImport", QStringLiteral("Import"));
    import->addActions({a("actImportFile"), a("actImportMergeFiles")});
    file->addMenu(import);
    QMenu* exportMenu = addMenu(file, "mnuExport", QStringLiteral("Export"));
    exportMenu->addActions({a("actExportAll"), a("actExportSelected")});
    file->addMenu(exportMenu);
    file->addSeparator();
    file->addAction(a("actExit"));
    bar->addMenu(file);

    QMenu* edit = addMenu(bar, "mnuEdit", QStringLiteral("&Edit"));
    edit->addActions({a("actExpandAll"), a("actCollapseAll"), a("actCutMerge"), a("actCopyMerge"), a("actMoveUp"),
                      a("actMoveDown"), a("actDeleteSelected"), a("actClear")});
    bar->addMenu(edit);

    QMenu* tools = addMenu(bar, "mnuTools", QStringLiteral("&Tools"));
    tools->addActions({a("actPreferences"), a("actDownloader")});
    mnuLanguages_ = addMenu(tools, "mnuLanguages", QStringLiteral("Languages"));
    tools->addMenu(mnuLanguages_);
    bar->addMenu(tools);
    BuildLanguageMenu();

    QMenu* help = addMenu(bar, "mnuHelp", QStringLiteral("&Help"));
    help->addActions({a("actContent"), a("actSupport"), a("actAbout")});
    bar->addMenu(help);
}

void TfrmMain::BuildLanguageMenu() {
    languageGroup_ = new QActionGroup(this);
    TMyLangDispatcher& languages = holder_.Languages();
    const QString current = languages.CurrentLanguageName();
    for (const QString& name : languages.LanguageNames()) {
        QAction* action = mnuLanguages_->addAction(name);
        MarkUntranslated(action);
        action->setCheckable(true);
        action->setChecked(name == current);
        languageGroup_->addAction(action);
        connect(action, &QAction::triggered, this, [this, name] {
            // Every window with a language component retranslates itself.
            holder_.Languages().SelectLanguage(name);
        });
    }
}

void TfrmMain::BuildToolBar() {
    QToolBar* bar = addToolBar(QStringLiteral("Tools"));
    bar->setObjectName(QStringLiteral("toolbarMain"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    struct ToolButton {
        const char* name;
        const char* caption;
        const char* action;
        const char* dropAction;  // the second action of a drop-down button
        const TLangKey* hint;
        QStyle::StandardPixmap icon;
    };
    static const ToolButton kButtons[] = {
        {"btnNew", "New", "actNewProject", nullptr, &langkey::kHintNew, QStyle::SP_FileIcon},
        {"btnOpen", "Open", "actOpenProject", nullptr, &langkey::kHintOpen, QStyle::SP_DialogOpenButton},
        {"btnSave", "Save", "actSaveProject", nullptr, &langkey::kHintSave, QStyle::SP_DialogSaveButton},
        {"btnImport", "Import", "actImportFile", "actImportMergeFiles", &langkey::kHintImport,
         QStyle::SP_FileDialogNewFolder},
        {"btnExport", "Export", "actExportAll", "actExportSelected", &langkey::kHintExport,
         QStyle::SP_ArrowRight},
        {"btnMerge", "Merge", "actCutMerge", "actCopyMerge", &langkey::kHintMerge, QStyle::SP_FileDialogListView},
        {"btnDelete", "Delete", "actDeleteSelected", "actClear", &langkey::kHintDelete, QStyle::SP_TrashIcon},
        {"btnMoveUp", "Move Up", "actMoveUp", nullptr, &langkey::kHintMoveUp, QStyle::SP_ArrowUp},
        {"btnMoveDown", "Move Down", "actMoveDown", nullptr, &langkey::kHintMoveDown, QStyle::SP_ArrowDown},
        {"btnSupport", "Support", "actSupport", nullptr, &langkey::kHintSupport, QStyle::SP_MessageBoxQuestion},
    };
    for (const ToolButton& b : kButtons) {
        auto* button = new QToolButton(bar);
        button->setObjectName(QLatin1String(b.name));
        button->setText(QLatin1String(b.caption));
        button->setIcon(QApplication::style()->standardIcon(b.icon));
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        QAction* action = actions_.value(QLatin1String(b.action));
        QAction* second = b.dropAction ? actions_.value(QLatin1String(b.dropAction)) : nullptr;
        connect(button, &QToolButton::clicked, action, &QAction::trigger);
        if (second) {
            auto* menu = new QMenu(button);
            menu->addActions({action, second});
            button->setMenu(menu);
            button->setPopupMode(QToolButton::MenuButtonPopup);
        }
        // Enabled while either of its actions is.
        auto follow = [button, action, second] {
            button->setEnabled(action->isEnabled() || (second && second->isEnabled()));
        };
        connect(action, &QAction::changed, button, follow);
        if (second) connect(second, &QAction::changed, button, follow);
        follow();
        bar->addWidget(button);
        SetHint(button, *b.hint);
    }
}

void TfrmMain::BuildPanes() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("pnlClient"));
    auto* layout = new QVBoxLayout(central);

    // The window manager draws the frame and its buttons; the header keeps
    // the logo and the title (double-clicking the logo closes, as it always did).
    auto* header = new QFrame(central);
    header->setObjectName(QStringLiteral("pnlHeader"));
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(4, 0, 4, 0);
    auto* logo = new QLabel(header);
    logo->setObjectName(QStringLiteral("imgMainLogo"));
    logo->setPixmap(windowIcon().pixmap(24, 24));
    logo->installEventFilter(this);
    lblLogoCaption_ = new QLabel(QStringLiteral("Veltrano"), header);
    lblLogoCaption_->setObjectName(QStringLiteral("lblLogoCaption"));
    MarkUntranslated(lblLogoCaption_);
    headerLayout->addWidget(logo);
    headerLayout->addWidget(lblLogoCaption_, 1);
    layout->addWidget(header);

    auto* split = new QSplitter(Qt::Horizontal, central);
    split->setObjectName(QStringLiteral("splitResList"));
    split->addWidget(BuildResourcePane(split));

    // Middle: the sequence list above the sequence's metadata.
    auto* middle = new QSplitter(Qt::Vertical, split);
    middle->setObjectName(QStringLiteral("splitFlvList"));
    fmeLoadedList_ = new TfmeTreeList(middle);
    fmeLoadedList_->setMinimumSize(300, 200);
    SetHint(fmeLoadedList_->View(), langkey::kHintMainList);
    for (const char* name : {"actCopyMerge", "actCutMerge", "actDeleteSelected", "actClear", "actExpandAll",
                             "actCollapseAll"}) {
        QAction* action = actions_.value(QLatin1String(name));
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        fmeLoadedList_->addAction(action);
    }
    ppmList_ = new QMenu(fmeLoadedList_);
    ppmList_->setObjectName(QStringLiteral("ppmList"));
    auto a = [this](const char* name) { return actions_.value(QLatin1String(name)); };
    ppmList_->addActions({a("actExpandAll"), a("actCollapseAll")});
    ppmList_->addSeparator();
    ppmList_->addActions({a("actSelectAll"), a("actInvertSelected")});
    ppmList_->addSeparator();
    ppmList_->addActions({a("actImportFile"), a("actImportMergeFiles")});
    ppmList_->addSeparator();
    ppmList_->addActions({a("actExportSelected"), a("actExportAll")});
    ppmList_->addSeparator();
    ppmList_->addActions({a("actDeleteSelected"), a("actClear")});
    ppmList_->addSeparator();
    ppmList_->addAction(a("actBrowseClip"));
    fmeLoadedList_->SetContextMenu(ppmList_);
    middle->addWidget(fmeLoadedList_);
    middle->addWidget(BuildMetadataPane(middle));
    middle->setStretchFactor(0, 1);  // the list takes the height the fields leave
    middle->setStretchFactor(1, 0);
    split->addWidget(middle);

    // Right: the clip panel.
    fmeClip_ = new TfmeFlvCustomize(engine_, holder_.Ini(), &holder_.Languages(), split);
    fmeClip_->setObjectName(QStringLiteral("fmeClip"));
    fmeClip_->onHint = [this](QWidget*, const QString& text) { lblMainHint_->setText(text); };
    fmeClip_->onTrimChanged = [this](int sequence, const EditTrim&, int clip) { RefreshLengths(sequence, clip); };
    // Settings given to other clips may change their lengths too.
    fmeClip_->onApplied = [this](bool, int, int) { RebuildList(); };
    split->addWidget(fmeClip_);
    // The list and the clip panel share the room the window gains; the
    // browser keeps its width.
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setStretchFactor(2, 1);
    split->setSizes({280, 500, 500});
    layout->addWidget(split, 1);
    setCentralWidget(central);

    auto* bottom = new QFrame(this);
    bottom->setObjectName(QStringLiteral("pnlBottom"));
    auto* bottomLayout = new QHBoxLayout(bottom);
    bottomLayout->setContentsMargins(4, 0, 4, 0);
    lblMainHint_ = new QLabel(bottom);
    lblMainHint_->setObjectName(QStringLiteral("lblMainHint"));
    bottomLayout->addWidget(lblMainHint_, 1);
    statusBar()->addWidget(bottom, 1);

    connect(fmeLoadedList_, &TfmeTreeList::selectAllRequested, this, [this] { fmeLoadedList_->SelectAll(); });
    connect(fmeLoadedList_, &TfmeTreeList::selectionFlagsChanged, this, &TfrmMain::OnListFlags);
    connect(fmeLoadedList_, &TfmeTreeList::selectionChanged, this, &TfrmMain::OnListSelectionChanged);
    connect(fmeLoadedList_, &TfmeTreeList::destinationChanged, this, &TfrmMain::OnDestinationChanged);
    connect(fmeLoadedList_, &TfmeTreeList::sortRequested, this, &TfrmMain::OnSortRequested);
    connect(fmeLoadedList_, &TfmeTreeList::rowsDropped, this, &TfrmMain::OnRowsDropped);
    connect(fmeLoadedList_, &TfmeTreeList::resourceFileDropped, this, &TfrmMain::OnResourceFileDropped);
    connect(fmeLoadedList_, &TfmeTreeList::filesDropped, this, &TfrmMain::OnFilesDroppedOnList);
    connect(fmeLoadedList_, &TfmeTreeList::resourceEntryDropped, this, &TfrmMain::OnResourceEntryDropped);
    connect(fmeLoadedList_, &TfmeTreeList::rowDoubleClicked, this, [this](const std::optional<TSeqRowData>& row) {
        if (!row) ChooseAndImport(false);  // a double click on empty space imports
    });
    BuildResourceGroups();
    UpdateEmptyListActions();
}

QWidget* TfrmMain::BuildResourcePane(QWidget* parent) {
    // Left: the resource browser above the resource preview.
    auto* left = new QWidget(parent);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    fmeResList_ = new TfmeResourceList(left);
    fmeResList_->setMinimumSize(200, 200);
    leftLayout->addWidget(fmeResList_, 1);
    lblResName_ = new QLabel(left);
    lblResName_->setObjectName(QStringLiteral("lblResName"));
    MarkUntranslated(lblResName_);  // the previewed file's name
    lblResDuration_ = new QLabel(QStringLiteral("00:00:00.000 / 00:00:00.000"), left);
    lblResDuration_->setObjectName(QStringLiteral("lblResDuration"));
    MarkUntranslated(lblResDuration_);
    resPreview_ = new TPreviewSurface(left);
    resPreview_->setObjectName(QStringLiteral("pnlResPreview"));
    resPreview_->setMinimumSize(200, 150);
    // The mask covers the panel while nothing is previewed.
    imgResPreviewMask_ = new QLabel(resPreview_);
    imgResPreviewMask_->setObjectName(QStringLiteral("imgResPreviewMask"));
    imgResPreviewMask_->setAlignment(Qt::AlignCenter);
    imgResPreviewMask_->setAutoFillBackground(true);
    imgResPreviewMask_->setPixmap(windowIcon().pixmap(64, 64));
    leftLayout->addWidget(lblResName_);
    leftLayout->addWidget(resPreview_, 1);
    fmeResPlayer_ = new TmyTrackBar(left);
    fmeResPlayer_->setEnabled(false);
    leftLayout->addWidget(fmeResPlayer_);
    auto* playerButtons = new QHBoxLayout;
    struct Button {
        const char* name;
        const char* caption;
        const TLangKey* hint;
        QPushButton** field;
    };
    const Button kPlayer[] = {{"btnResPlay", "Play", &langkey::kHintPlay, &btnResPlay_},
                              {"btnResPause", "Pause", &langkey::kHintPause, &btnResPause_},
                              {"btnResStop", "Stop", &langkey::kHintStop, &btnResStop_}};
    for (const Button& b : kPlayer) {
        auto* button = new QPushButton(QLatin1String(b.caption), left);
        button->setObjectName(QLatin1String(b.name));
        button->setEnabled(false);  // nothing to preview yet
        SetHint(button, *b.hint);
        playerButtons->addWidget(button);
        *b.field = button;
    }
    btnResPause_->hide();
    playerButtons->addWidget(lblResDuration_, 1);
    leftLayout->addLayout(playerButtons);

    resTimer_ = new QTimer(this);
    resTimer_->setInterval(500);
    connect(resTimer_, &QTimer::timeout, this, [this] {
        int32_t position = 0;
        Send(handles_.resourcePlayer, msg::kPlayerGetPosition, reinterpret_cast<intptr_t>(&position), sizeof position);
        UpdateResourcePosition(position);
    });
    connect(btnResPlay_, &QPushButton::clicked, this, [this] { Send(handles_.resourcePlayer, msg::kPlayerPlay); });
    connect(btnResPause_, &QPushButton::clicked, this, [this] { Send(handles_.resourcePlayer, msg::kPlayerPause); });
    connect(btnResStop_, &QPushButton::clicked, this, [this] { StopResourcePreview(); });
    connect(fmeResPlayer_, &TmyTrackBar::dragged, this, [this](int64_t ms) {
        UpdateResourcePosition(ms);
        Send(handles_.resourcePlayer, msg::kPlayerThrottledSeek, 0, static_cast<intptr_t>(ms));
    });
    connect(fmeResPlayer_, &TmyTrackBar::released, this, [this](int64_t ms) {
        Send(handles_.resourcePlayer, msg::kPlayerPause);
        Send(handles_.resourcePlayer, msg::kPlayerSeek, 0, static_cast<intptr_t>(ms));
    });
    return left;
}

QWidget* TfrmMain::BuildMetadataPane(QWidget* parent) {
    auto* meta = new QFrame(parent);
    meta->setObjectName(QStringLiteral("pnlVideMetaInfo"));
    auto* form = new QFormLayout(meta);
    struct Meta {
        const char* label;
        const char* edit;
        const char* caption;
        const TLangKey* hint;
    };
    static const Meta kMeta[] = {
        {"lblExportName", "edtExportName", "Destination:", &langkey::kHintDestName},
        {"lblTrack", "edtTrack", "Track:", &langkey::kHintTrack},
        {"lblAlbum", "edtAlbum", "Album:", &langkey::kHintAlbum},
        {"lblTitle", "edtTitle", "Title:", &langkey::kHintTitle},
        {"lblYear", "edtYear", "Year:", &langkey::kHintYear},
        {"lblAuthor", "edtAuthor", "Author:", &langkey::kHintAuthor},
        {"lblCopyRight", "edtCopyRight", "Copyright:", &langkey::kHintCopyright},
        {"lblComment", "edtComment", "Comment:", &langkey::kHintComment},
    };
    for (int property = 0; property < 8; ++property) {
        const Meta& m = kMeta[property];
        auto* label = new QLabel(QLatin1String(m.caption), meta);
        label->setObjectName(QLatin1String(m.label));
        auto* edit = new QLineEdit(meta);
        edit->setObjectName(QLatin1String(m.edit));
        edit->setEnabled(false);  // enabled while a sequence is selected
        SetHint(edit, *m.hint);
        form->addRow(label, edit);
        metaEdits_[property] = edit;
        // Only what the user types is sent; the window's own filling is not.
        connect(edit, &QLineEdit::textEdited, this,
                [this, property](const QString& text) { OnMetadataEdited(property, text); });
    }
    // The destination becomes a file name: those characters are not typed at all.
    metaEdits_[0]->setValidator(new TDestinationValidator(metaEdits_[0]));
    return meta;
}

void TfrmMain::BuildResourceGroups() {
    QStyle* style = QApplication::style();
    struct GroupDef {
        int type;
        const TLangKey* caption;
        const TLangKey* hint;
        QStyle::StandardPixmap icon;
    };
    // The order on screen; the types say what each holds.
    const GroupDef kGroups[] = {
        {resgroup::kComputer, &mainkey::kGroupPc, &mainkey::kHintGroupPc, QStyle::SP_ComputerIcon},
        {resgroup::kDownloads, &mainkey::kGroupDownloads, &mainkey::kHintGroupDownloads, QStyle::SP_ArrowDown},
        {resgroup::kBrowserCache, &mainkey::kGroupCache, &mainkey::kHintGroupCache, QStyle::SP_DriveNetIcon},
        {resgroup::kImported, &mainkey::kGroupImported, &mainkey::kHintGroupImported,
         QStyle::SP_FileDialogDetailedView},
        {resgroup::kTrash, &mainkey::kGroupTrash, &mainkey::kHintGroupTrash, QStyle::SP_TrashIcon},
    };
    for (const GroupDef& g : kGroups)
        ConnectGroup(fmeResList_->AddGroup(g.type, g.caption->key, g.hint->key, style->standardIcon(g.icon)));
    connect(fmeResList_, &TfmeResourceList::hintChanged, lblMainHint_, &QLabel::setText);
}

void TfrmMain::SetHint(QWidget* control, const TLangKey& key) {
    hints_.insert(control, key);
    control->installEventFilter(this);
}

void TfrmMain::Retranslate() {
    lang_->TranslateForm(this);
    // The check follows the current language. The entries stay: the one
    // that was chosen is still running its triggered signal.
    const QString current = holder_.Languages().CurrentLanguageName();
    for (QAction* action : mnuLanguages_->actions()) action->setChecked(action->text() == current);
}
