#pragma once

// The sequence list: the project's sequences and their clips in a tree with
// the columns Name, Media type, Length and Destination. It owns no project
// data: the main window fills it from the engine's notifications, and it
// reports what the user does (selection, renaming a destination, dragging
// rows, dropping resources and files, sorting, keys) through its signals.

#include <QList>
#include <QStringList>
#include <QWidget>
#include <optional>

#include "projcore/Records.h"
#include "windows/TSeqListModel.h"

class QMenu;
class TMyLang;
class TSeqTreeView;

class TfmeTreeList : public QWidget {
    Q_OBJECT
public:
    // Selection flags: nothing selected, or one/several rows plus what they are.
    enum Flag { kNone = 0x01, kFlvClip = 0x02, kPicture = 0x04, kSequenceRow = 0x08, kOne = 0x10, kSeveral = 0x30 };
    // Which rows SelectedPairs gives.
    enum Which { kAll = 0, kSequencesOnly = 1, kClipsOnly = 2 };

    explicit TfmeTreeList(QWidget* parent = nullptr);

    TSeqListModel& Model() { return *model_; }
    const TSeqListModel& Model() const { return *model_; }
    TSeqTreeView* View() const { return view_; }
    TMyLang* Lang() const { return lang_; }
    void SetContextMenu(QMenu* menu) { contextMenu_ = menu; }

    void Clear();
    void AddSequenceRow(const QString& name, const QString& length, int64_t ms, int index, const QString& destination);
    void AddClipRow(bool isPicture, const QString& name, int position, int sequence, int kind, const QString& length,
                    int64_t ms);
    bool DeleteRow(int sequence, int clip) { return model_->DeleteRow(sequence, clip); }
    const TSeqRowData* FindRow(int sequence, int clip) const { return model_->Row(sequence, clip); }
    void SetSelectedDestination(const QString& text);
    void Select(int sequence, int clip);
    void ClearSelection();
    void SelectAll();
    // Every sequence and clip row that was selected is not, and the others are.
    void InvertSelection();
    void ExpandAll();
    // The name, type and length columns as wide as their texts (the name at
    // most half the list), the destination taking the rest.
    void FitColumns();
    void CollapseAll();
    bool IsEmpty() const { return model_->SequenceCount() == 0; }
    int SelectedCount() const;
    int SelectionFlags() const;
    // The selected sequence when exactly one row is selected and it is a sequence, else -1.
    int SelectedSequence() const;
    // Exactly one row selected: (sequence, -1) or (parent, clip); else (-1, -1).
    std::pair<int, int> SelectedTarget() const;
    // The selected rows in list order as {sequence, clip} pairs (clip -1 for a sequence).
    QList<TSeqClipArr> SelectedPairs(Which which = kAll) const;
    // Every sequence position, or the selected ones; nothing when a selected
    // row is not a sequence.
    std::optional<QList<int>> AllSequences(bool selectedOnly) const;
    // The previous (up) or next sibling of the only selected row, when it
    // exists and is of the same type (both sequences or both clips).
    struct Neighbour {
        int parent = -1;  // the clips' sequence; -1 for sequences
        int neighbour = -1;
        int selected = -1;
    };
    std::optional<Neighbour> MoveNeighbour(bool up) const;
    // The next free numbered name after every sequence's name and destination.
    QString NextName(const QString& prefix) const;

signals:
    void selectAllRequested();
    void selectionFlagsChanged(int flags);
    void selectionChanged();
    void destinationChanged(int sequence, const QString& text);
    void sortRequested(int column, bool ascending);
    // Rows of the list dragged before the row at `target` (clips of one
    // sequence, or sequences; -1 means after the last).
    void rowsDropped(int target, const QList<TSeqClipArr>& rows);
    // A file from the resource browser, or files from the desktop, dropped
    // onto a sequence (clip -1), before a clip, or onto empty space (-1, -1).
    void resourceFileDropped(int sequence, int clip, const QString& path);
    void filesDropped(int sequence, int clip, const QStringList& paths);
    // A folder of the computer group, or an entry of the imported or trash list.
    void resourceEntryDropped(int sequence, int clip, int groupType, int entry, const QString& data);
    // The first selected row's data; none when nothing is selected.
    void rowDoubleClicked(const std::optional<TSeqRowData>& row);

protected:
    // A wider list gives the names the room they were cut to.
    void resizeEvent(QResizeEvent* e) override;

private:
    friend class TSeqTreeView;
    void OnSelectionChanged();
    void OnHeaderClicked(int column);
    void Retranslate();

    TSeqListModel* model_;
    TSeqTreeView* view_;
    TMyLang* lang_;
    QMenu* contextMenu_ = nullptr;
    int sortColumn_ = -1;
    bool sortAscending_ = true;
};
