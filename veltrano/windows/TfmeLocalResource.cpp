#include "windows/TfmeLocalResource.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <functional>

#include "app/MyLang.h"
#include "windows/MainLangKeys.h"
#include "windows/ResourceDrag.h"
#include "windows/ResourcePlaces.h"
#include "windows/TfrmLang.h"

namespace {

enum Role { kPathRole = Qt::UserRole, kStateRole, kObjectRole, kKindRole, kPlaceholderRole };

// The tree hands a dragged node to the sequence list as a resource drag.
class TResourceTree : public QTreeWidget {
public:
    using Encoder = std::function<QMimeData*(QTreeWidgetItem*)>;
    TResourceTree(QWidget* parent, Encoder encode) : QTreeWidget(parent), encode_(std::move(encode)) {}

protected:
    QStringList mimeTypes() const override { return {QLatin1String(resdrag::kMime)}; }
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override {
        return items.isEmpty() ? nullptr : encode_(items.first());
    }

private:
    Encoder encode_;
};

QIcon StateIcon(int state) {
    QStyle* style = QApplication::style();
    switch (state) {
        case resstate::kDocuments: return style->standardIcon(QStyle::SP_DirHomeIcon);
        case resstate::kDesktop: return style->standardIcon(QStyle::SP_DesktopIcon);
        case resstate::kVolume: return style->standardIcon(QStyle::SP_DriveHDIcon);
        case resstate::kFolder: return style->standardIcon(QStyle::SP_DirIcon);
        case resstate::kFlvFile: return style->standardIcon(QStyle::SP_MediaPlay);
        default: return style->standardIcon(QStyle::SP_FileIcon);
    }
}

// Whether `item` is `ancestor` or lies below it.
bool IsUnder(const QTreeWidgetItem* item, const QTreeWidgetItem* ancestor) {
    for (; item; item = item->parent())
        if (item == ancestor) return true;
    return false;
}

bool IsFolderState(int state) { return state >= resstate::kDocuments && state <= resstate::kFolder; }

}  // namespace

TfmeLocalResource::TfmeLocalResource(int groupType, QWidget* parent) : QWidget(parent), type_(groupType) {
    setObjectName(QStringLiteral("fmeLocalResource%1").arg(groupType));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("fmeLocalResource"), holder ? &holder->Languages() : nullptr);

    tree_ = new TResourceTree(this, [this](QTreeWidgetItem* item) -> QMimeData* {
        const std::optional<TResourceEntry> entry = EntryOf(item);
        if (!entry) return nullptr;
        return resdrag::Encode({type_, entry->position, entry->state, entry->node.path});
    });
    tree_->setObjectName(QStringLiteral("tvSrc"));
    tree_->setProperty("groupType", groupType);
    tree_->setHeaderHidden(true);
    tree_->setColumnCount(1);
    tree_->setSelectionMode(QAbstractItemView::SingleSelection);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree_->setDragEnabled(true);
    tree_->setDragDropMode(QAbstractItemView::DragOnly);
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->installEventFilter(this);
    tree_->viewport()->installEventFilter(this);

    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("ppmRes"));
    miRefresh_ = menu_->addAction(QStringLiteral("&Refresh"));
    miRefresh_->setObjectName(QStringLiteral("miRefresh"));
    miRefresh_->setShortcut(QKeySequence(Qt::Key_F5));
    miRefresh_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    tree_->addAction(miRefresh_);  // F5 works while the tree has the focus
    miDelete_ = menu_->addAction(QStringLiteral("&Delete"));
    miDelete_->setObjectName(QStringLiteral("miDelete"));
    miClear_ = menu_->addAction(QStringLiteral("&Clear"));
    miClear_->setObjectName(QStringLiteral("miClear"));
    miBrowse_ = menu_->addAction(QStringLiteral("&Browse..."));
    miBrowse_->setObjectName(QStringLiteral("miBrowse"));
    const bool engineList = type_ == resgroup::kImported || type_ == resgroup::kTrash;
    miDelete_->setVisible(engineList);
    miClear_->setVisible(engineList);
    miBrowse_->setVisible(type_ != resgroup::kTrash);
    miRefresh_->setEnabled(type_ != resgroup::kTrash);

    connect(miRefresh_, &QAction::triggered, this, [this] {
        if (miRefresh_->isVisible() && miRefresh_->isEnabled()) Refresh();
    });
    connect(miDelete_, &QAction::triggered, this, [this] {
        if (auto entry = SelectedData()) emit deleteRequested(*entry);
    });
    connect(miClear_, &QAction::triggered, this, [this] { emit clearRequested(type_); });
    connect(miBrowse_, &QAction::triggered, this, [this] {
        if (auto entry = SelectedData()) emit browseRequested(*entry);
    });
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        // A right click first selects the node under the mouse.
        if (QTreeWidgetItem* item = tree_->itemAt(pos)) tree_->setCurrentItem(item);
        UpdateMenu();
        menu_->exec(tree_->viewport()->mapToGlobal(pos));
    });
    connect(tree_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { emit previewRequested(EntryOf(item)); });
    connect(tree_, &QTreeWidget::itemExpanded, this, &TfmeLocalResource::OnExpanded);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &TfmeLocalResource::OnCollapsed);

    // The scan line: shown while the computer or a cache is being read
    // (after a moment, so quick reads do not flicker).
    pnlScan_ = new QWidget(this);
    pnlScan_->setObjectName(QStringLiteral("pnlScan"));
    auto* scanLayout = new QHBoxLayout(pnlScan_);
    scanLayout->setContentsMargins(0, 0, 0, 0);
    lblScan_ = new QLabel(pnlScan_);
    lblScan_->setObjectName(QStringLiteral("lblScan"));
    lblScan_->setProperty("langSkip", true);  // filled from "str_searching"
    lblScan_->setMinimumWidth(10);
    pbScan_ = new QProgressBar(pnlScan_);
    pbScan_->setRange(0, 0);  // how much is left is not known
    pbScan_->setMaximumHeight(12);
    btnStopScan_ = new QPushButton(QStringLiteral("Stop"), pnlScan_);
    btnStopScan_->setObjectName(QStringLiteral("btnStopScan"));
    scanLayout->addWidget(lblScan_, 1);
    scanLayout->addWidget(pbScan_);
    scanLayout->addWidget(btnStopScan_);
    pnlScan_->hide();
    connect(btnStopScan_, &QPushButton::clicked, this, &TfmeLocalResource::StopScan);
    showScan_ = new QTimer(this);
    showScan_->setSingleShot(true);
    showScan_->setInterval(250);
    connect(showScan_, &QTimer::timeout, this, [this] { pnlScan_->setVisible(IsScanning()); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(tree_, 1);
    layout->addWidget(pnlScan_);

    scan_ = new TResourceScan(this);
    connect(scan_, &TResourceScan::folderListed, this, &TfmeLocalResource::OnFolderListed);
    connect(scan_, &TResourceScan::filesFound, this, &TfmeLocalResource::OnFilesFound);
    connect(scan_, &TResourceScan::progress, this, &TfmeLocalResource::OnProgress);
    connect(scan_, &TResourceScan::finished, this, &TfmeLocalResource::OnFinished);
    connect(lang_, &TMyLang::langChanged, this, &TfmeLocalResource::Retranslate);
    Retranslate();
}

TfmeLocalResource::~TfmeLocalResource() = default;

void TfmeLocalResource::Retranslate() {
    lang_->TranslateForm(this);  // the menu is a child and comes along
    if (type_ != resgroup::kComputer) return;
    // The named places follow the language; folders and volumes keep their names.
    for (int i = 0; i < tree_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree_->topLevelItem(i);
        const QString path = item->data(0, kPathRole).toString();
        const TLangKey* key = path == resplaces::DesktopFolder()     ? &mainkey::kDesktop
                              : path == resplaces::DocumentsFolder() ? &mainkey::kDocuments
                              : path == resplaces::HomeFolder()      ? &mainkey::kHome
                                                                     : nullptr;
        if (key) item->setText(0, lang_->Text(*key));
    }
}

QTreeWidgetItem* TfmeLocalResource::AddNode(QTreeWidgetItem* parent, const QString& caption, const QString& path,
                                            int state, bool marker) {
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree_);
    item->setText(0, caption);
    item->setToolTip(0, path);
    item->setIcon(0, StateIcon(state));
    item->setData(0, kPathRole, path);
    item->setData(0, kStateRole, state);
    item->setChildIndicatorPolicy(marker ? QTreeWidgetItem::ShowIndicator
                                         : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return item;
}

std::optional<TResourceEntry> TfmeLocalResource::EntryOf(const QTreeWidgetItem* item) const {
    if (!item || item->data(0, kPlaceholderRole).toBool()) return std::nullopt;
    TResourceEntry entry;
    entry.groupType = type_;
    entry.position = item->parent() ? item->parent()->indexOfChild(const_cast<QTreeWidgetItem*>(item))
                                    : tree_->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item));
    entry.state = item->data(0, kStateRole).toInt();
    entry.node.path = item->data(0, kPathRole).toString();
    entry.node.value = reinterpret_cast<void*>(item->data(0, kObjectRole).value<quintptr>());
    entry.node.kind = item->data(0, kKindRole).toInt();
    // The engine numbers its entries by position and renumbers them when one
    // goes, so the position is the identifier.
    entry.node.id = static_cast<uint32_t>(std::max(entry.position, 0));
    return entry;
}

// ---- the computer

void TfmeLocalResource::FillComputer() {
    ClearNodes();
    // Folders get the marker at once; reading them when opened tells the truth.
    if (const QString desktop = resplaces::DesktopFolder(); !desktop.isEmpty())
        AddNode(nullptr, lang_->Text(mainkey::kDesktop), desktop, resstate::kDesktop, true);
    if (const QString docs = resplaces::DocumentsFolder(); !docs.isEmpty())
        AddNode(nullptr, lang_->Text(mainkey::kDocuments), docs, resstate::kDocuments, true);
    if (const QString home = resplaces::HomeFolder(); !home.isEmpty())
        AddNode(nullptr, lang_->Text(mainkey::kHome), home, resstate::kFolder, true);
    for (const resplaces::Volume& volume : resplaces::MountedVolumes())
        AddNode(nullptr, volume.caption, volume.root, resstate::kVolume, true);
}

void TfmeLocalResource::OnExpanded(QTreeWidgetItem* item) {
    if (type_ != resgroup::kComputer || !IsFolderState(item->data(0, kStateRole).toInt())) return;
    // Read again on every opening: the folder may have changed.
    ForgetPending(item);
    qDeleteAll(item->takeChildren());
    auto* reading = new QTreeWidgetItem(item, {lang_->Text(mainkey::kReading)});
    reading->setData(0, kPlaceholderRole, true);
    reading->setFlags(Qt::NoItemFlags);
    const quint64 ticket = nextTicket_++;
    pendingLists_.insert(ticket, item);
    scan_->ListFolder(item->data(0, kPathRole).toString(), ticket);
    showScan_->start();
}

void TfmeLocalResource::OnCollapsed(QTreeWidgetItem* item) {
    if (type_ != resgroup::kComputer || !IsFolderState(item->data(0, kStateRole).toInt())) return;
    // The children go and the marker comes back, so the folder is read again next time.
    ForgetPending(item);
    qDeleteAll(item->takeChildren());
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

void TfmeLocalResource::ForgetPending(const QTreeWidgetItem* under) {
    for (auto it = pendingLists_.begin(); it != pendingLists_.end();) {
        if (IsUnder(it.value(), under)) it = pendingLists_.erase(it);
        else ++it;
    }
}

void TfmeLocalResource::OnFolderListed(quint64 ticket, const QString&, const QList<TFolderEntry>& entries) {
    QTreeWidgetItem* item = pendingLists_.take(ticket);
    if (!item) return;  // collapsed, refreshed or stopped meanwhile
    qDeleteAll(item->takeChildren());
    for (const TFolderEntry& e : entries)
        AddNode(item, e.name, e.path, e.isFolder ? resstate::kFolder : resstate::kFlvFile, e.isFolder && e.hasContent);
    if (entries.isEmpty()) item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

// ---- the caches and the downloads

void TfmeLocalResource::FillBrowserCache(const QStringList& folders) {
    ClearNodes();
    cacheFolders_ = folders;
    if (folders.isEmpty()) return;
    searchTicket_ = nextTicket_++;
    scan_->Search(folders, TResourceScan::Match::Signature, searchTicket_);
    showScan_->start();
}

void TfmeLocalResource::OnFilesFound(quint64 ticket, const QStringList& paths) {
    if (ticket != searchTicket_) return;
    for (const QString& path : paths) AddNode(nullptr, QFileInfo(path).fileName(), path, resstate::kFlvFile, false);
}

void TfmeLocalResource::FillDownloads(const QString& historyFile) {
    ClearNodes();
    historyFile_ = historyFile;
    for (const QString& path : resplaces::ReadDownloadHistory(historyFile))
        AddNode(nullptr, QFileInfo(path).fileName(), path, resstate::kFlvFile, false);
}

void TfmeLocalResource::OnProgress(quint64 ticket, int folders, const QString& current) {
    if (ticket != searchTicket_ && !pendingLists_.contains(ticket)) return;
    const QString text = lang_->Text(mainkey::kSearching)
                             .replace(QStringLiteral("%1"), QString::number(folders))
                             .replace(QStringLiteral("%2"), current);
    lblScan_->setText(lblScan_->fontMetrics().elidedText(text, Qt::ElideMiddle, std::max(lblScan_->width(), 40)));
    lblScan_->setToolTip(current);
}

void TfmeLocalResource::OnFinished(quint64 ticket, bool stopped) {
    if (ticket == searchTicket_) {
        searchTicket_ = 0;
        emit scanFinished(stopped);
    } else if (QTreeWidgetItem* item = pendingLists_.take(ticket)) {
        tree_->collapseItem(item);  // a stopped read is tried again on the next opening
    }
    if (!IsScanning()) pnlScan_->hide();
}

bool TfmeLocalResource::IsScanning() const { return searchTicket_ != 0 || !pendingLists_.isEmpty(); }

void TfmeLocalResource::StopScan() {
    scan_->Stop();
    const bool searching = searchTicket_ != 0;
    searchTicket_ = 0;
    // Folders whose reading was dropped close, to be read on the next opening.
    const QList<QTreeWidgetItem*> waiting = pendingLists_.values();
    pendingLists_.clear();
    for (QTreeWidgetItem* item : waiting) tree_->collapseItem(item);
    pnlScan_->hide();
    showScan_->stop();
    if (searching) emit scanFinished(true);
}

void TfmeLocalResource::Refresh() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    emit refreshRequested(type_);
    if (type_ == resgroup::kComputer) FillComputer();
    else if (type_ == resgroup::kBrowserCache) FillBrowserCache(cacheFolders_);
    else if (type_ == resgroup::kDownloads) FillDownloads(historyFile_);
    QApplication::restoreOverrideCursor();
}

// ---- engine entries

void TfmeLocalResource::AddResource(const QString& name, void* object, int type, uint32_t index) {
    const int state = type == 1 ? resstate::kOtherFile : type == 3 ? resstate::kFolder : resstate::kFlvFile;
    const QString caption = QFileInfo(name).fileName().isEmpty() ? name : QFileInfo(name).fileName();
    auto* item = new QTreeWidgetItem({caption});
    item->setToolTip(0, name);
    item->setIcon(0, StateIcon(state));
    item->setData(0, kPathRole, name);
    item->setData(0, kStateRole, state);
    item->setData(0, kObjectRole, QVariant::fromValue(reinterpret_cast<quintptr>(object)));
    item->setData(0, kKindRole, type);
    const int at = std::min<int>(static_cast<int>(index), tree_->topLevelItemCount());
    tree_->insertTopLevelItem(at, item);
}

bool TfmeLocalResource::DeleteNode(int index) {
    if (index < 0 || index >= tree_->topLevelItemCount()) return false;
    QTreeWidgetItem* item = tree_->takeTopLevelItem(index);
    ForgetPending(item);
    delete item;
    return true;
}

void TfmeLocalResource::ClearNodes() {
    StopScan();
    tree_->clear();
}

int TfmeLocalResource::NodeCount() const { return tree_->topLevelItemCount(); }

std::optional<TResourceEntry> TfmeLocalResource::NodeData(int index) const {
    return EntryOf(tree_->topLevelItem(index));
}

std::optional<TResourceEntry> TfmeLocalResource::SelectedData() const {
    const QList<QTreeWidgetItem*> selected = tree_->selectedItems();
    return selected.isEmpty() ? std::nullopt : EntryOf(selected.first());
}

void TfmeLocalResource::UpdateMenu() {
    const bool selected = SelectedData().has_value();
    if (type_ != resgroup::kTrash) miBrowse_->setEnabled(selected);
    if (type_ == resgroup::kImported || type_ == resgroup::kTrash) {
        miClear_->setEnabled(tree_->topLevelItemCount() > 0);
        miDelete_->setEnabled(selected);
    }
}

bool TfmeLocalResource::eventFilter(QObject* watched, QEvent* e) {
    if (watched == tree_ && (e->type() == QEvent::Enter || e->type() == QEvent::Leave))
        emit hintChanged(e->type() == QEvent::Enter ? lang_->Text(mainkey::kHintDrag) : QString());
    // A double click on empty space previews nothing (the main window stops the preview).
    if (watched == tree_->viewport() && e->type() == QEvent::MouseButtonDblClick &&
        !tree_->itemAt(static_cast<QMouseEvent*>(e)->position().toPoint()))
        emit previewRequested(std::nullopt);
    return QWidget::eventFilter(watched, e);
}
