// The main window's side of the sequence list: rebuilding it from the
// engine, turning what the user does in it into sequence manager commands,
// the actions that depend on the selection, and the metadata edits.

#include <QAction>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <QUrl>

#include "app/MyLang.h"
#include "app/TimeFormat.h"
#include "windows/MainLangKeys.h"
#include "windows/SequenceNames.h"
#include "windows/TSeqQueries.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfrmPopupPreview.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmMain.h"

namespace {
constexpr int kDestinationProperty = 0;
constexpr int kNameProperty = 8;

// Restores a flag when the scope ends.
class TGuard {
public:
    explicit TGuard(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~TGuard() { flag_ = old_; }

private:
    bool& flag_;
    bool old_;
};
}  // namespace

TSeqQueries TfrmMain::Queries() const { return TSeqQueries(engine_, handles_.sequenceMgr); }

// ---- keeping the list equal to the engine's

void TfrmMain::SendToList(int32_t id, intptr_t p1, intptr_t p2) {
    if (!handles_.sequenceMgr) return;
    Send(handles_.sequenceMgr, id, p1, p2);
    if (listChanged_) RebuildList();
}

void TfrmMain::OnSeqStructure(void*, uint32_t, intptr_t, intptr_t) { MarkListChanged(); }

void TfrmMain::MarkListChanged() {
    // The engine announces an item while it is still changing its list (a
    // moved sequence is reported in both places at once), so the rows are
    // read again once the command has finished: at the end of the command
    // the window sent, or on the next turn of the event loop.
    if (listChanged_) return;
    listChanged_ = true;
    QTimer::singleShot(0, this, [this] {
        if (listChanged_) RebuildList();
    });
}

void TfrmMain::RebuildList() {
    listChanged_ = false;
    TGuard guard(guard_);
    const TSeqQueries q = Queries();
    fmeLoadedList_->Clear();
    const int count = q.SequenceCount();
    for (int s = 0; s < count; ++s) {
        const int64_t length = q.SequenceLength(s);
        fmeLoadedList_->AddSequenceRow(q.Property(s, kNameProperty), FormatTime(true, length), length, -1,
                                       q.Property(s, kDestinationProperty));
        const int clips = q.ClipCount(s);
        for (int c = 0; c < clips; ++c) {
            MediaFileInfo info{};
            q.ClipInfo(s, c, info);
            const int64_t clipLength = q.ClipLength(s, c);
            fmeLoadedList_->AddClipRow(!info.isFlv, QFileInfo(q.ClipPath(s, c)).fileName(), -1, s, ClipKind(info),
                                       FormatTime(true, clipLength), clipLength);
        }
    }
    fmeLoadedList_->ExpandAll();
    fmeLoadedList_->FitColumns();
    const TSeqSelection& sel = engineSelection_;
    if (sel.sequence >= 0) fmeLoadedList_->Select(sel.sequence, sel.kind == 1 ? sel.clip : -1);
    UpdateEmptyListActions();
}

void TfrmMain::RefreshLengths(int sequence, int clip) {
    TSeqListModel& model = fmeLoadedList_->Model();
    if (!model.Row(sequence, clip)) return;
    const TSeqQueries q = Queries();
    const int64_t clipLength = q.ClipLength(sequence, clip);
    const int64_t sequenceLength = q.SequenceLength(sequence);
    model.SetLength(sequence, clip, clipLength, FormatTime(true, clipLength));
    model.SetLength(sequence, -1, sequenceLength, FormatTime(true, sequenceLength));
}

// ---- selection

void TfrmMain::OnSeqSelected(void*, uint32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(TSeqSelection))) return;
    engineSelection_ = *reinterpret_cast<const TSeqSelection*>(p1);
    const TSeqSelection sel = engineSelection_;
    if (sel.kind == 0 || sel.clip == -1) FillMetadata(sel.sequence);
    else ClearMetadata();
    if (listChanged_) return;  // the rebuild selects the row
    TGuard guard(guard_);
    fmeLoadedList_->Select(sel.sequence, sel.kind == 1 ? sel.clip : -1);
}

void TfrmMain::OnSeqDeselected(void*, uint32_t, intptr_t, intptr_t) {
    engineSelection_ = {0, -1, -1};
    ClearMetadata();
    fmeClip_->Clear();
    TGuard guard(guard_);
    fmeLoadedList_->ClearSelection();
}

void TfrmMain::OnListSelectionChanged() {
    if (guard_) return;
    const auto [s, c] = fmeLoadedList_->SelectedTarget();
    if (s < 0) return;  // several rows: the engine keeps what it had
    TSeqSelection sel{c == -1 ? 0 : 1, s, c};
    Send(handles_.sequenceMgr, msg::kSeqSelect, reinterpret_cast<intptr_t>(&sel), sizeof sel);
}

void TfrmMain::UpdateEmptyListActions() {
    const bool empty = fmeLoadedList_->IsEmpty() || !handles_.sequenceMgr;
    for (const char* name : {"actExportAll", "actClear", "actExpandAll", "actCollapseAll", "actSelectAll", "actInvertSelected"})
        actions_.value(QLatin1String(name))->setEnabled(!empty);
    OnListFlags(fmeLoadedList_->SelectionFlags());
}

void TfrmMain::OnListFlags(int flags) {
    const bool any = !(flags & TfmeTreeList::kNone) && !fmeLoadedList_->IsEmpty() && handles_.sequenceMgr;
    const bool one = any && (flags & TfmeTreeList::kSeveral) == TfmeTreeList::kOne;
    const bool clips = flags & (TfmeTreeList::kFlvClip | TfmeTreeList::kPicture);
    const bool sequences = flags & TfmeTreeList::kSequenceRow;
    auto enable = [this](const char* name, bool on) { actions_.value(QLatin1String(name))->setEnabled(on); };
    enable("actDeleteSelected", any);
    enable("actExportSelected", any && sequences && !clips);
    enable("actMoveUp", one && fmeLoadedList_->MoveNeighbour(true).has_value());
    enable("actMoveDown", one && fmeLoadedList_->MoveNeighbour(false).has_value());
    enable("actBrowseClip", one && clips);
    enable("actCopyMerge", any && !one && clips);
    enable("actCutMerge", any && !one && clips);
    if ((flags & TfmeTreeList::kNone) && !guard_ && handles_.sequenceMgr) {
        TSeqSelection none{0, -1, -1};
        Send(handles_.sequenceMgr, msg::kSeqSelect, reinterpret_cast<intptr_t>(&none), sizeof none);
    }
}

// ---- what the user does in the list

void TfrmMain::OnDestinationChanged(int sequence, const QString& text) {
    Queries().SetProperty(sequence, kDestinationProperty, text);
    if (engineSelection_.sequence == sequence && engineSelection_.clip == -1) {
        TGuard guard(guard_);
        metaEdits_[kDestinationProperty]->setText(text);
    }
}

void TfrmMain::OnSortRequested(int column, bool ascending) {
    // Name, length and destination are the engine's keys 0, 1 and 2. Its
    // flag means "descending" for names and "ascending" for lengths; the list
    // speaks of ascending only, and ascending must stay ascending.
    int32_t key = -1;
    if (column == TSeqListModel::kColName) key = 0;
    else if (column == TSeqListModel::kColLength) key = 1;
    else if (column == TSeqListModel::kColDestination) key = 2;
    if (key < 0) return;
    TSeqSort sort{};
    sort.key = key;
    sort.flag = key == 1 ? (ascending ? 1 : 0) : (ascending ? 0 : 1);
    SendToList(msg::kSeqSort, reinterpret_cast<intptr_t>(&sort), sizeof sort);
}

void TfrmMain::OnRowsDropped(int target, const QList<TSeqClipArr>& rows) {
    if (rows.isEmpty()) return;
    const bool sequences = rows.first().clip == -1;
    std::vector<int32_t> indices;
    for (const TSeqClipArr& r : rows) indices.push_back(sequences ? r.sequence : r.clip);
    TSeqMove move{target, indices.data(), static_cast<int32_t>(indices.size()), sequences ? -1 : rows.first().sequence};
    SendToList(msg::kSeqMove, reinterpret_cast<intptr_t>(&move), sizeof move);
}

void TfrmMain::MoveSelected(bool up) {
    const std::optional<TfmeTreeList::Neighbour> n = fmeLoadedList_->MoveNeighbour(up);
    if (!n) return;
    // The neighbour moves to the other side of the selected row.
    const int32_t index = n->neighbour;
    TSeqMove move{up ? n->selected + 1 : n->selected, &index, 1, n->parent};
    SendToList(msg::kSeqMove, reinterpret_cast<intptr_t>(&move), sizeof move);
}

void TfrmMain::DeleteSelected() {
    QList<TSeqClipArr> pairs = fmeLoadedList_->SelectedPairs();
    // A clip of a sequence that goes as a whole goes with it, not on its own.
    QList<TSeqClipArr> items;
    for (const TSeqClipArr& p : pairs) {
        const bool parentGoes = p.clip != -1 && std::any_of(pairs.begin(), pairs.end(), [&](const TSeqClipArr& q) {
                                    return q.clip == -1 && q.sequence == p.sequence;
                                });
        if (!parentGoes) items << p;
    }
    if (items.isEmpty()) return;
    SendToList(msg::kSeqDeleteList, reinterpret_cast<intptr_t>(items.data()), items.size());
}

void TfrmMain::MergeSelected(bool copy) {
    const QList<TSeqClipArr> clips = fmeLoadedList_->SelectedPairs(TfmeTreeList::kClipsOnly);
    if (clips.isEmpty()) return;
    const QByteArray name = fmeLoadedList_->NextName(lang_->Text(mainkey::kMerge)).toUtf8();
    TSeqMerge merge{copy ? 1 : 0, clips.data(), static_cast<int32_t>(clips.size()), name.constData(),
                    name.constData()};
    SendToList(msg::kSeqMerge, reinterpret_cast<intptr_t>(&merge), sizeof merge);
}

void TfrmMain::BrowseSelectedClip() {
    const auto [s, c] = fmeLoadedList_->SelectedTarget();
    if (s < 0 || c < 0) return;
    const QFileInfo file(Queries().ClipPath(s, c));
    if (!file.isFile()) return;
    // The file manager opens the clip's folder.
    QDesktopServices::openUrl(QUrl::fromLocalFile(file.absolutePath()));
}

// ---- metadata

void TfrmMain::FillMetadata(int sequence) {
    TGuard guard(guard_);
    const TSeqQueries q = Queries();
    for (int property = 0; property < 8; ++property) {
        metaEdits_[property]->setText(sequence >= 0 ? q.Property(sequence, property) : QString());
        metaEdits_[property]->setEnabled(sequence >= 0);
    }
}

void TfrmMain::ClearMetadata() {
    TGuard guard(guard_);
    for (QLineEdit* edit : metaEdits_) {
        edit->clear();
        edit->setEnabled(false);
    }
}

void TfrmMain::OnMetadataEdited(int property, const QString& text) {
    const TSeqSelection sel = engineSelection_;
    if (guard_ || sel.sequence < 0 || sel.clip != -1) return;
    const TSeqQueries q = Queries();
    if (property == kDestinationProperty) {
        if (!IsAcceptableDestination(text)) {
            // Back to what the engine holds, without coming here again.
            TGuard guard(guard_);
            const int cursor = metaEdits_[property]->cursorPosition();
            metaEdits_[property]->setText(q.Property(sel.sequence, kDestinationProperty));
            metaEdits_[property]->setCursorPosition(cursor);
            return;
        }
        fmeLoadedList_->Model().SetDestination(sel.sequence, text);
    }
    q.SetProperty(sel.sequence, property, text);
}
