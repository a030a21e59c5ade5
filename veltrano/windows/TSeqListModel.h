#pragma once

// The rows of the sequence list: sequences at the top level, their clips
// below them, in the engine's order. The model owns no project data; the
// main window changes it when the sequence manager reports a change.

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// One row. Types: 0 FLV clip, 1 picture clip, 2 sequence. Kind (clips):
// 1 video and audio, 2 still picture, 3 video only, 4 audio only.
struct TSeqRowData {
    uint8_t type = 2;
    QString name;
    QString length;       // the duration as FormatTime shows it
    QString destination;  // sequences only
    uint8_t kind = 0;
    int64_t ms = 0;       // the duration the length shows
};

class TSeqListModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { kColName, kColMediaType, kColLength, kColDestination, kColumnCount };
    enum Type : uint8_t { kFlvClip = 0, kPictureClip = 1, kSequence = 2 };

    explicit TSeqListModel(QObject* parent = nullptr);
    ~TSeqListModel() override;

    // The texts of the "Media type" column by kind (0 for a sequence) and
    // the column captions; changed when the language changes.
    void SetMediaTypeTexts(const QStringList& byKind);
    void SetColumnCaptions(const QStringList& captions);

    void Clear();
    // Inserted before the sequence at `index`; appended for -1 or an index
    // past the end. Returns the new row's position.
    int AddSequence(const TSeqRowData& row, int index);
    // Under the sequence at `sequence` (the last one for -1 or a missing
    // index), before the clip at `position` (appended for -1 or past the end).
    // False when there is no sequence at all.
    bool AddClip(const TSeqRowData& row, int sequence, int position);
    // clip -1 removes the sequence with its clips. False when there is no such row.
    bool DeleteRow(int sequence, int clip);

    int SequenceCount() const { return static_cast<int>(sequences_.size()); }
    int ClipCount(int sequence) const;
    // Null for negative or missing indexes; clip -1 names the sequence row.
    const TSeqRowData* Row(int sequence, int clip) const;
    bool SetLength(int sequence, int clip, int64_t ms, const QString& text);
    bool SetDestination(int sequence, const QString& text);

    QModelIndex IndexOf(int sequence, int clip, int column = 0) const;
    // (sequence, clip) of an index; clip -1 for a sequence row; (-1, -1) for none.
    std::pair<int, int> Position(const QModelIndex& index) const;

    // QAbstractItemModel.
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Only a sequence's destination can be edited, and only to an
    // acceptable name; the accepted text is reported by destinationEdited.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }

signals:
    void destinationEdited(int sequence, const QString& text);

private:
    struct Sequence {
        TSeqRowData row;
        std::vector<TSeqRowData> clips;
    };
    int PositionOf(const Sequence* s) const;
    QIcon IconFor(const TSeqRowData& row) const;

    std::vector<std::unique_ptr<Sequence>> sequences_;
    QStringList mediaTypes_;
    QStringList captions_;
    QIcon icons_[5];  // sequence, movie, video only, audio only, picture
};
