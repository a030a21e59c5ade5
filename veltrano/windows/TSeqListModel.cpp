#include "windows/TSeqListModel.h"

#include <QApplication>
#include <QStyle>
#include <algorithm>

#include "windows/SequenceNames.h"

namespace {
// Clip rows point at their sequence; sequence rows carry no pointer.
constexpr int kIconSequence = 0, kIconMovie = 1, kIconVideo = 2, kIconAudio = 3, kIconPicture = 4;
}  // namespace

TSeqListModel::TSeqListModel(QObject* parent) : QAbstractItemModel(parent) {
    mediaTypes_ = {QStringLiteral("Sequence"), QStringLiteral("Movie"), QStringLiteral("Still image"),
                   QStringLiteral("Video"), QStringLiteral("Audio")};
    captions_ = {QStringLiteral("Name"), QStringLiteral("Media type"), QStringLiteral("Length"),
                 QStringLiteral("Destination")};
    QStyle* style = QApplication::style();
    icons_[kIconSequence] = style->standardIcon(QStyle::SP_DirIcon);
    icons_[kIconMovie] = style->standardIcon(QStyle::SP_MediaPlay);
    icons_[kIconVideo] = style->standardIcon(QStyle::SP_MediaVolumeMuted);
    icons_[kIconAudio] = style->standardIcon(QStyle::SP_MediaVolume);
    icons_[kIconPicture] = style->standardIcon(QStyle::SP_FileIcon);
}

TSeqListModel::~TSeqListModel() = default;

void TSeqListModel::SetMediaTypeTexts(const QStringList& byKind) {
    if (byKind.size() != mediaTypes_.size()) return;
    mediaTypes_ = byKind;
    if (!sequences_.empty())
        emit dataChanged(index(0, kColMediaType), index(SequenceCount() - 1, kColMediaType));
    for (int s = 0; s < SequenceCount(); ++s)
        if (ClipCount(s) > 0)
            emit dataChanged(IndexOf(s, 0, kColMediaType), IndexOf(s, ClipCount(s) - 1, kColMediaType));
}

void TSeqListModel::SetColumnCaptions(const QStringList& captions) {
    if (captions.size() != kColumnCount) return;
    captions_ = captions;
    emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void TSeqListModel::Clear() {
    beginResetModel();
    sequences_.clear();
    endResetModel();
}

int TSeqListModel::AddSequence(const TSeqRowData& row, int index) {
    const int count = SequenceCount();
    const int at = index < 0 || index >= count ? count : index;
    beginInsertRows({}, at, at);
    auto s = std::make_unique<Sequence>();
    s->row = row;
    s->row.type = kSequence;
    s->row.kind = 0;
    sequences_.insert(sequences_.begin() + at, std::move(s));
    endInsertRows();
    return at;
}

bool TSeqListModel::AddClip(const TSeqRowData& row, int sequence, int position) {
    if (sequences_.empty()) return false;
    if (sequence < 0 || sequence >= SequenceCount()) sequence = SequenceCount() - 1;
    Sequence& s = *sequences_[static_cast<size_t>(sequence)];
    const int count = static_cast<int>(s.clips.size());
    const int at = position < 0 || position >= count ? count : position;
    beginInsertRows(index(sequence, 0), at, at);
    TSeqRowData clip = row;
    clip.destination.clear();
    s.clips.insert(s.clips.begin() + at, clip);
    endInsertRows();
    return true;
}

bool TSeqListModel::DeleteRow(int sequence, int clip) {
    if (!Row(sequence, clip)) return false;
    if (clip < 0) {
        beginRemoveRows({}, sequence, sequence);
        sequences_.erase(sequences_.begin() + sequence);
    } else {
        beginRemoveRows(index(sequence, 0), clip, clip);
        auto& clips = sequences_[static_cast<size_t>(sequence)]->clips;
        clips.erase(clips.begin() + clip);
    }
    endRemoveRows();
    return true;
}

int TSeqListModel::ClipCount(int sequence) const {
    if (sequence < 0 || sequence >= SequenceCount()) return 0;
    return static_cast<int>(sequences_[static_cast<size_t>(sequence)]->clips.size());
}

const TSeqRowData* TSeqListModel::Row(int sequence, int clip) const {
    if (sequence < 0 || sequence >= SequenceCount()) return nullptr;
    const Sequence& s = *sequences_[static_cast<size_t>(sequence)];
    if (clip == -1) return &s.row;
    if (clip < 0 || clip >= static_cast<int>(s.clips.size())) return nullptr;
    return &s.clips[static_cast<size_t>(clip)];
}

bool TSeqListModel::SetLength(int sequence, int clip, int64_t ms, const QString& text) {
    auto* row = const_cast<TSeqRowData*>(Row(sequence, clip));
    if (!row) return false;
    row->ms = ms;
    row->length = text;
    const QModelIndex i = IndexOf(sequence, clip, kColLength);
    emit dataChanged(i, i);
    return true;
}

bool TSeqListModel::SetDestination(int sequence, const QString& text) {
    if (!Row(sequence, -1)) return false;
    sequences_[static_cast<size_t>(sequence)]->row.destination = text;
    const QModelIndex i = IndexOf(sequence, -1, kColDestination);
    emit dataChanged(i, i);
    return true;
}

QModelIndex TSeqListModel::IndexOf(int sequence, int clip, int column) const {
    if (!Row(sequence, clip)) return {};
    if (clip < 0) return index(sequence, column);
    return createIndex(clip, column, sequences_[static_cast<size_t>(sequence)].get());
}

std::pair<int, int> TSeqListModel::Position(const QModelIndex& i) const {
    if (!i.isValid() || i.model() != this) return {-1, -1};
    if (!i.internalPointer()) return {i.row(), -1};
    return {PositionOf(static_cast<const Sequence*>(i.internalPointer())), i.row()};
}

int TSeqListModel::PositionOf(const Sequence* s) const {
    for (size_t i = 0; i < sequences_.size(); ++i)
        if (sequences_[i].get() == s) return static_cast<int>(i);
    return -1;
}

QModelIndex TSeqListModel::index(int row, int column, const QModelIndex& parent) const {
    if (column < 0 || column >= kColumnCount || row < 0) return {};
    if (!parent.isValid()) return row < SequenceCount() ? createIndex(row, column, nullptr) : QModelIndex();
    if (parent.internalPointer()) return {};  // clips have no children
    if (row >= ClipCount(parent.row())) return {};
    return createIndex(row, column, sequences_[static_cast<size_t>(parent.row())].get());
}

QModelIndex TSeqListModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || !child.internalPointer()) return {};
    const int s = PositionOf(static_cast<const Sequence*>(child.internalPointer()));
    return s < 0 ? QModelIndex() : createIndex(s, 0, nullptr);
}

int TSeqListModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return SequenceCount();
    if (parent.internalPointer() || parent.column() != 0) return 0;
    return ClipCount(parent.row());
}

int TSeqListModel::columnCount(const QModelIndex&) const { return kColumnCount; }

QIcon TSeqListModel::IconFor(const TSeqRowData& row) const {
    if (row.type == kSequence) return icons_[kIconSequence];
    if (row.type == kPictureClip) return icons_[kIconPicture];
    switch (row.kind) {
        case 3: return icons_[kIconVideo];
        case 4: return icons_[kIconAudio];
        default: return icons_[kIconMovie];
    }
}

QVariant TSeqListModel::data(const QModelIndex& i, int role) const {
    const auto [s, c] = Position(i);
    const TSeqRowData* row = Row(s, c);
    if (!row) return {};
    if (role == Qt::DecorationRole && i.column() == kColName) return IconFor(*row);
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole) return {};
    switch (i.column()) {
        case kColName: return row->name;
        case kColMediaType: return mediaTypes_.value(row->kind);
        case kColLength: return row->length;
        case kColDestination: return row->destination;
        default: return {};
    }
}

QVariant TSeqListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return captions_.value(section);
}

Qt::ItemFlags TSeqListModel::flags(const QModelIndex& i) const {
    if (!i.isValid()) return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (i.column() == kColDestination && !i.internalPointer()) f |= Qt::ItemIsEditable;
    return f;
}

bool TSeqListModel::setData(const QModelIndex& i, const QVariant& value, int role) {
    if (role != Qt::EditRole || i.column() != kColDestination || i.internalPointer()) return false;
    const QString text = value.toString();
    if (!IsAcceptableDestination(text)) return false;  // the cell keeps its text
    const int sequence = i.row();
    if (!SetDestination(sequence, text)) return false;
    emit destinationEdited(sequence, text);
    return true;
}
