// The main window's controls: actions, menus, tool bar and panes. The panes
// are empty frames here; the sequence list, resource browser and clip panel
// fill them.

#include <QAction>
#include <QActionGroup>
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
#include "windows/TfrmLang.h"
#include "windows/TfrmMain.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfrmPreference.h"

namespace {

// Texts that are not translated (the product name, language names, titles
// made from file names) carry this flag for the language checks.
void MarkUntranslated(QObject* obj) { obj->setProperty("langSkip", true); }

QFrame* EmptyPane(QWidget* parent, const char* name, int minWidth, int minHeight) {
    auto* pane = new QFrame(parent);
    pane->setObjectName(QLatin1String(name));
    pane->setFrameShape(QFrame::StyledPanel);
    pane->setMinimumSize(minWidth, minHeight);
    return pane;
}

}  // namespace

QAction* TfrmMain::MakeAction(const char* name, const QString& caption, const QKeySequence& shortcut) {
    auto* action = new QAction(caption, this);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    actions_.insert(QLatin1String(name), action);
    return action;
}

void TfrmMain::BuildActions() {
    connect(MakeAction("actNewProject", QStringLiteral("New"), QKeySequence(QStringLiteral("Ctrl+N"))), &QAction::triggered,
            this, [this] { Send(handles_.projectMgr, msg::kProjectNew); });
    connect(MakeAction("actOpenProject", QStringLiteral("Open"), QKeySequence(QStringLiteral("Ctrl+O"))), &QAction::triggered,
            this, [this] { Send(handles_.projectMgr, msg::kProjectOpen); });
    connect(MakeAction("actSaveProject", QStringLiteral("Save"), QKeySequence(QStringLiteral("Ctrl+S"))), &QAction::triggered,
            this, [this] { Send(handles_.projectMgr, msg::kProjectSave); });
    connect(MakeAction("actSaveAsProject", QStringLiteral("Save As"), QKeySequence(QStringLiteral("Ctrl+Alt+S"))),
            &QAction::triggered, this, [this] { Send(handles_.projectMgr, msg::kProjectSaveAs); });
    connect(MakeAction("actExit", QStringLiteral("E&xit"), QKeySequence(QStringLiteral("Ctrl+Q"))), &QAction::triggered, this,
            &QWidget::close);
    connect(MakeAction("actPreferences", QStringLiteral("&Preferences")), &QAction::triggered, this, [this] {
        TfrmPreference dialog(holder_.Ini(), this);
        dialog.exec();
    });
    // The actions below belong to the sequence list, the resource browser,
    // the conversion and the preferences; they stay disabled until those
    // windows exist.
    struct Pending {
        const char* name;
        const char* caption;
        const char* shortcut;
    };
    static const Pending kPending[] = {
        {"actImportFile", "Import FLV", "Ctrl+I"},
        {"actImportMergeFiles", "Import Merge FLVs", "Ctrl+Alt+I"},
        {"actExportAll", "Export", "Ctrl+E"},
        {"actExportSelected", "Export Selected", "Ctrl+Alt+E"},
        {"actCopyMerge", "Copy Merge(Ctrl + M)", ""},
        {"actCutMerge", "Merge(Ctrl + Alt + M)", ""},
        {"actMoveUp", "Move &Up", ""},
        {"actMoveDown", "Move &Down", ""},
        {"actDeleteSelected", "Delete(Del)", ""},
        {"actClear", "Clear(Ctrl + Del)", ""},
        {"actSelectAll", "Select &All", "Ctrl+A"},
        {"actExpandAll", "Expand All(Ctrl + K)", ""},
        {"actCollapseAll", "Collapse All(Ctrl + J)", ""},
        {"actBrowseClip", "&Browse...", ""},
        {"actContent", "&Content", "F1"},
        {"actSupport", "&Support", ""},
        {"actAbout", "&About", ""},
    };
    for (const Pending& p : kPending)
        MakeAction(p.name, QString::fromLatin1(p.caption), QKeySequence(QString::fromLatin1(p.shortcut)))
            ->setEnabled(false);
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
    file->addActions({a("actNewProject"), a("actOpenProject"), a("actSaveProject"), a("actSaveAsProject")});
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
    tools->addAction(a("actPreferences"));
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
    };
    static const ToolButton kButtons[] = {
        {"btnNew", "New", "actNewProject", nullptr, &langkey::kHintNew},
        {"btnOpen", "Open", "actOpenProject", nullptr, &langkey::kHintOpen},
        {"btnSave", "Save", "actSaveProject", nullptr, &langkey::kHintSave},
        {"btnImport", "Import", "actImportFile", "actImportMergeFiles", &langkey::kHintImport},
        {"btnExport", "Export", "actExportAll", "actExportSelected", &langkey::kHintExport},
        {"btnMerge", "Merge", "actCutMerge", "actCopyMerge", &langkey::kHintMerge},
        {"btnDelete", "Delete", "actDeleteSelected", "actClear", &langkey::kHintDelete},
        {"btnMoveUp", "Move Up", "actMoveUp", nullptr, &langkey::kHintMoveUp},
        {"btnMoveDown", "Move Down", "actMoveDown", nullptr, &langkey::kHintMoveDown},
        {"btnSupport", "Support", "actSupport", nullptr, &langkey::kHintSupport},
    };
    for (const ToolButton& b : kButtons) {
        auto* button = new QToolButton(bar);
        button->setObjectName(QLatin1String(b.name));
        button->setText(QLatin1String(b.caption));
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

    auto* header = new QFrame(central);
    header->setObjectName(QStringLiteral("pnlHeader"));
    auto* headerLayout = new QHBoxLayout(header);
    auto* logo = new QLabel(header);
    logo->setObjectName(QStringLiteral("imgMainLogo"));
    logo->setPixmap(windowIcon().pixmap(24, 24));
    lblLogoCaption_ = new QLabel(QStringLiteral("Veltrano"), header);
    lblLogoCaption_->setObjectName(QStringLiteral("lblLogoCaption"));
    MarkUntranslated(lblLogoCaption_);
    headerLayout->addWidget(logo);
    headerLayout->addWidget(lblLogoCaption_, 1);
    layout->addWidget(header);

    auto* split = new QSplitter(Qt::Horizontal, central);
    split->setObjectName(QStringLiteral("splitResList"));

    // Left: the resource browser above the resource preview.
    auto* left = new QWidget(split);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(EmptyPane(left, "fmeResList", 200, 200), 1);
    auto* lblResName = new QLabel(left);
    lblResName->setObjectName(QStringLiteral("lblResName"));
    auto* lblResDuration = new QLabel(QStringLiteral("00:00:00.000 / 00:00:00.000"), left);
    lblResDuration->setObjectName(QStringLiteral("lblResDuration"));
    MarkUntranslated(lblResDuration);
    resPreview_ = new TPreviewSurface(left);
    resPreview_->setObjectName(QStringLiteral("pnlResPreview"));
    resPreview_->setMinimumSize(200, 150);
    auto* mask = new QLabel(resPreview_);
    mask->setObjectName(QStringLiteral("imgResPreviewMask"));
    leftLayout->addWidget(lblResName);
    leftLayout->addWidget(resPreview_, 1);
    leftLayout->addWidget(EmptyPane(left, "fmeResPlayer", 200, 16));
    auto* playerButtons = new QHBoxLayout;
    struct Button {
        const char* name;
        const char* caption;
        const TLangKey* hint;
    };
    static const Button kPlayer[] = {{"btnResPlay", "Play", &langkey::kHintPlay},
                                     {"btnResPause", "Pause", &langkey::kHintPause},
                                     {"btnResStop", "Stop", &langkey::kHintStop}};
    for (const Button& b : kPlayer) {
        auto* button = new QPushButton(QLatin1String(b.caption), left);
        button->setObjectName(QLatin1String(b.name));
        button->setEnabled(false);  // nothing to preview yet
        SetHint(button, *b.hint);
        playerButtons->addWidget(button);
    }
    findChild<QPushButton*>(QStringLiteral("btnResPause"))->hide();
    playerButtons->addWidget(lblResDuration, 1);
    leftLayout->addLayout(playerButtons);

    // Middle: the sequence list above the sequence's metadata.
    auto* middle = new QSplitter(Qt::Vertical, split);
    middle->setObjectName(QStringLiteral("splitFlvList"));
    QFrame* list = EmptyPane(middle, "fmeLoadedList", 300, 200);
    SetHint(list, langkey::kHintMainList);
    auto* meta = new QFrame(middle);
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
    for (const Meta& m : kMeta) {
        auto* label = new QLabel(QLatin1String(m.caption), meta);
        label->setObjectName(QLatin1String(m.label));
        auto* edit = new QLineEdit(meta);
        edit->setObjectName(QLatin1String(m.edit));
        edit->setEnabled(false);  // enabled while a sequence is selected
        SetHint(edit, *m.hint);
        form->addRow(label, edit);
    }
    middle->addWidget(list);
    middle->addWidget(meta);

    split->addWidget(left);
    split->addWidget(middle);
    split->addWidget(EmptyPane(split, "fmeClip", 280, 300));
    split->setStretchFactor(1, 1);
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
