#include "windows/TfmeTreeList.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QResizeEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "app/MyLang.h"
#include "windows/MainLangKeys.h"
#include "windows/SequenceNames.h"
#include "windows/TSeqTreeView.h"
#include "windows/TfrmLang.h"

namespace {
// Columns whose first click sorts descending (the longest or the most
// varied first is what the user looks for there).
bool StartsDescending(int column) {
    return column == TSeqListModel::kColMediaType || column == TSeqListModel::kColLength;
}
}  // namespace

TfmeTreeList::TfmeTreeList(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fmeLoadedList"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("fmeTreeList"), holder ? &holder->Languages() : nullptr);
    model_ = new TSeqListModel(this);
    view_ = new TSeqTreeView(*this, this);
    view_->setObjectName(QStringLiteral("vstFlvList"));
    view_->setModel(model_);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setEditTriggers(QAbstractItemView::EditKeyPressed);
    view_->setContextMenuPolicy(Qt::DefaultContextMenu);
    QHeaderView* header = view_->header();
    header->setMinimumSectionSize(10);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setStretchLastSection(true);
    header->resizeSection(TSeqListModel::kColName, 200);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TfmeTreeList::OnSelectionChanged);
    connect(header, &QHeaderView::sectionClicked, this, &TfmeTreeList::OnHeaderClicked);
    connect(model_, &TSeqListModel::destinationEdited, this, &TfmeTreeList::destinationChanged);
    // A click on a sequence's destination starts renaming it.
    connect(view_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() != TSeqListModel::kColDestination) return;
        const QList<TSeqClipArr> selected = SelectedPairs();
        if (selected.isEmpty() || selected.first().clip != -1) return;
        view_->edit(model_->IndexOf(selected.first().sequence, -1, TSeqListModel::kColDestination));
    });
    connect(lang_, &TMyLang::langChanged, this, &TfmeTreeList::Retranslate);
    Retranslate();
}

void TfmeTreeList::Retranslate() {
    QStringList captions;
    for (int i = 0; i < TSeqListModel::kColumnCount; ++i) {
        const QString text = lang_->Text(QStringLiteral("vstFlvList.Column%1").arg(i));
        captions << (text.isEmpty() ? model_->headerData(i, Qt::Horizontal).toString() : text);
    }
    model_->SetColumnCaptions(captions);
    static const TLangKey* const kKinds[] = {&mainkey::kColSequence, &mainkey::kColMovie, &mainkey::kColStillImage,
                                             &mainkey::kColVideo, &mainkey::kColAudio};
    QStringList kinds;
    for (const TLangKey* key : kKinds) kinds << lang_->Text(*key);
    if (std::none_of(kinds.begin(), kinds.end(), [](const QString& k) { return k.isEmpty(); }))
        model_->SetMediaTypeTexts(kinds);
    lang_->ApplyFormFont(this);
}

void TfmeTreeList::Clear() {
    model_->Clear();
    OnSelectionChanged();
}

void TfmeTreeList::AddSequenceRow(const QString& name, const QString& length, int64_t ms, int index,
                                  const QString& destination) {
    TSeqRowData row;
    row.type = TSeqListModel::kSequence;
    row.name = name;
    row.length = length;
    row.ms = ms;
    row.destination = destination;
    model_->AddSequence(row, index);
}

void TfmeTreeList::AddClipRow(bool isPicture, const QString& name, int position, int sequence, int kind,
                              const QString& length, int64_t ms) {
    TSeqRowData row;
    row.type = isPicture ? TSeqListModel::kPictureClip : TSeqListModel::kFlvClip;
    row.name = name;
    row.length = length;
    row.ms = ms;
    row.kind = static_cast<uint8_t>(kind);
    model_->AddClip(row, sequence, position);
}

void TfmeTreeList::SetSelectedDestination(const QString& text) {
    const QList<TSeqClipArr> selected = SelectedPairs(kSequencesOnly);
    if (!selected.isEmpty()) model_->SetDestination(selected.first().sequence, text);
}

void TfmeTreeList::Select(int sequence, int clip) {
    QItemSelectionModel* selection = view_->selectionModel();
    const QModelIndex index = model_->IndexOf(sequence, clip);
    if (!index.isValid()) {
        selection->clearSelection();
        return;
    }
    selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_->scrollTo(index);
}

void TfmeTreeList::ClearSelection() { view_->selectionModel()->clearSelection(); }

void TfmeTreeList::SelectAll() {
    view_->expandAll();  // a hidden clip row is not selected by selectAll
    view_->selectAll();
}

void TfmeTreeList::InvertSelection() {
    view_->expandAll();  // hidden clip rows take part too
    QItemSelectionModel* selection = view_->selectionModel();
    const QAbstractItemModel* model = view_->model();
    // The rows not selected now, as one new selection (toggled ranges are
    // not reported back as whole selected rows).
    QItemSelection others;
    auto add = [&](const QModelIndex& row) {
        if (!selection->isRowSelected(row.row(), row.parent())) others.select(row, row);
    };
    for (int s = 0; s < model->rowCount(); ++s) {
        const QModelIndex sequence = model->index(s, 0);
        add(sequence);
        for (int c = 0; c < model->rowCount(sequence); ++c) add(model->index(c, 0, sequence));
    }
    selection->select(others, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void TfmeTreeList::ExpandAll() { view_->expandAll(); }

void TfmeTreeList::FitColumns() {
    for (int column : {TSeqListModel::kColName, TSeqListModel::kColMediaType, TSeqListModel::kColLength,
                       TSeqListModel::kColDestination})
        view_->resizeColumnToContents(column);
    // The name gives way first, so that the type, length and destination
    // stay readable; it never gets narrower than a short name.
    int others = 0;
    for (int column : {TSeqListModel::kColMediaType, TSeqListModel::kColLength, TSeqListModel::kColDestination})
        others += view_->columnWidth(column);
    const int room = std::max(120, view_->viewport()->width() - others);
    if (view_->columnWidth(TSeqListModel::kColName) > room) view_->setColumnWidth(TSeqListModel::kColName, room);
}
void TfmeTreeList::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    if (e->size().width() != e->oldSize().width()) FitColumns();
}

void TfmeTreeList::CollapseAll() { view_->collapseAll(); }

int TfmeTreeList::SelectedCount() const { return static_cast<int>(view_->selectionModel()->selectedRows().size()); }

int TfmeTreeList::SelectionFlags() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return kNone;
    int flags = rows.size() == 1 ? kOne : kSeveral;
    for (const QModelIndex& index : rows) {
        const auto [s, c] = model_->Position(index);
        const TSeqRowData* row = model_->Row(s, c);
        if (!row) continue;
        if (row->type == TSeqListModel::kSequence) flags |= kSequenceRow;
        else if (row->type == TSeqListModel::kPictureClip) flags |= kPicture;
        else flags |= kFlvClip;
    }
    return flags;
}

int TfmeTreeList::SelectedSequence() const {
    const auto [s, c] = SelectedTarget();
    return c == -1 ? s : -1;
}

std::pair<int, int> TfmeTreeList::SelectedTarget() const {
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.size() != 1) return {-1, -1};
    return model_->Position(rows.first());
}

QList<TSeqClipArr> TfmeTreeList::SelectedPairs(Which which) const {
    QList<TSeqClipArr> pairs;
    for (const QModelIndex& index : view_->selectionModel()->selectedRows()) {
        const auto [s, c] = model_->Position(index);
        if (s < 0) continue;
        if ((c == -1 && which == kClipsOnly) || (c != -1 && which == kSequencesOnly)) continue;
        pairs.append({s, c});
    }
    // List order: a sequence before its clips, clips by position.
    std::sort(pairs.begin(), pairs.end(), [](const TSeqClipArr& a, const TSeqClipArr& b) {
        return a.sequence != b.sequence ? a.sequence < b.sequence : a.clip < b.clip;
    });
    return pairs;
}

std::optional<QList<int>> TfmeTreeList::AllSequences(bool selectedOnly) const {
    QList<int> sequences;
    if (!selectedOnly) {
        for (int s = 0; s < model_->SequenceCount(); ++s) sequences << s;
        return sequences;
    }
    for (const TSeqClipArr& pair : SelectedPairs()) {
        if (pair.clip != -1) return std::nullopt;
        sequences << pair.sequence;
    }
    return sequences;
}

std::optional<TfmeTreeList::Neighbour> TfmeTreeList::MoveNeighbour(bool up) const {
    const auto [s, c] = SelectedTarget();
    if (s < 0) return std::nullopt;
    Neighbour n;
    if (c == -1) {
        n.selected = s;
        n.neighbour = up ? s - 1 : s + 1;
        if (n.neighbour < 0 || n.neighbour >= model_->SequenceCount()) return std::nullopt;
    } else {
        n.parent = s;
        n.selected = c;
        n.neighbour = up ? c - 1 : c + 1;
        if (n.neighbour < 0 || n.neighbour >= model_->ClipCount(s)) return std::nullopt;
    }
    return n;
}

QString TfmeTreeList::NextName(const QString& prefix) const {
    QStringList taken;
    for (int s = 0; s < model_->SequenceCount(); ++s) {
        const TSeqRowData* row = model_->Row(s, -1);
        taken << row->name << row->destination;
    }
    return NextFreeName(prefix, taken);
}

void TfmeTreeList::OnSelectionChanged() {
    const int flags = SelectionFlags();
    emit selectionFlagsChanged(flags);
    if (!(flags & kNone)) emit selectionChanged();
}

void TfmeTreeList::OnHeaderClicked(int column) {
    if (column == sortColumn_) {
        sortAscending_ = !sortAscending_;
    } else {
        sortColumn_ = column;
        sortAscending_ = !StartsDescending(column);
    }
    QHeaderView* header = view_->header();
    header->setSortIndicatorShown(true);
    header->setSortIndicator(column, sortAscending_ ? Qt::AscendingOrder : Qt::DescendingOrder);
    emit sortRequested(column, sortAscending_);
}
