#include "windows/TSeqTreeView.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>

#include "windows/ResourceDrag.h"
#include "windows/TfmeTreeList.h"

const char* const TSeqTreeView::kRowsMime = "application/x-veltrano-rows";

TSeqTreeView::TSeqTreeView(TfmeTreeList& owner, QWidget* parent) : QTreeView(parent), owner_(owner) {
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
}

bool TSeqTreeView::CanStartDrag(int flags) {
    if (flags & TfmeTreeList::kNone) return false;
    const bool clips = flags & (TfmeTreeList::kFlvClip | TfmeTreeList::kPicture);
    // FLV and picture clips together do not start a drag, nor clips with
    // whole sequences (a move is of clips of one sequence or of sequences).
    if ((flags & TfmeTreeList::kFlvClip) && (flags & TfmeTreeList::kPicture)) return false;
    return !(clips && (flags & TfmeTreeList::kSequenceRow));
}

bool TSeqTreeView::CanDropRows(const QList<TSeqClipArr>& rows, int sequence, int clip) const {
    if (rows.isEmpty() || sequence < 0) return false;
    const bool sequences = rows.first().clip == -1;
    if (clip == -1) return sequences;  // onto a sequence row: only sequences
    if (sequences) return false;
    // Onto a clip: only clips of that clip's own sequence.
    for (const TSeqClipArr& r : rows)
        if (r.clip == -1 || r.sequence != sequence) return false;
    return true;
}

void TSeqTreeView::startDrag(Qt::DropActions) {
    if (!CanStartDrag(owner_.SelectionFlags())) return;
    dragged_ = owner_.SelectedPairs();
    auto* mime = new QMimeData;
    mime->setData(QLatin1String(kRowsMime), QByteArray());
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::MoveAction);
    dragged_.clear();
}

void TSeqTreeView::DropTarget(const QPoint& pos, int& sequence, int& clip, bool& below) const {
    const QModelIndex at = indexAt(pos);
    std::tie(sequence, clip) = owner_.Model().Position(at);
    const QRect rect = visualRect(at);
    below = at.isValid() && pos.y() > rect.center().y();
}

bool TSeqTreeView::Accepts(const QDropEvent* e, int& sequence, int& clip) const {
    bool below = false;
    DropTarget(e->position().toPoint(), sequence, clip, below);
    const QMimeData* mime = e->mimeData();
    if (mime->hasFormat(QLatin1String(kRowsMime)))
        return e->source() == this && CanDropRows(dragged_, sequence, clip);
    TResourceDrag resource;
    if (resdrag::Decode(mime, resource)) return resource.state != 3;  // volumes are not taken
    return mime->hasUrls();
}

void TSeqTreeView::dragEnterEvent(QDragEnterEvent* e) {
    const QMimeData* mime = e->mimeData();
    if ((mime->hasFormat(QLatin1String(kRowsMime)) && e->source() == this) ||
        mime->hasFormat(QLatin1String(resdrag::kMime)) || mime->hasUrls()) {
        setState(DraggingState);
        e->acceptProposedAction();
    } else {
        e->ignore();
    }
}

void TSeqTreeView::dragMoveEvent(QDragMoveEvent* e) {
    int sequence = -1, clip = -1;
    if (Accepts(e, sequence, clip)) e->acceptProposedAction();
    else e->ignore();
    if (hasAutoScroll()) startAutoScroll();
}

void TSeqTreeView::dropEvent(QDropEvent* e) {
    stopAutoScroll();
    setState(NoState);
    int sequence = -1, clip = -1;
    bool below = false;
    DropTarget(e->position().toPoint(), sequence, clip, below);
    if (!Accepts(e, sequence, clip)) {
        e->ignore();
        return;
    }
    e->acceptProposedAction();
    const QMimeData* mime = e->mimeData();
    if (mime->hasFormat(QLatin1String(kRowsMime))) {
        // The rows go before the target row, or after it when dropped on its lower half.
        const int position = clip == -1 ? sequence : clip;
        const QList<TSeqClipArr> rows = dragged_;
        emit owner_.rowsDropped(position + (below ? 1 : 0), rows);
        return;
    }
    TResourceDrag resource;
    if (resdrag::Decode(mime, resource)) {
        const bool file = resource.state == 5 || resource.state == 6;
        if (file && resource.groupType <= 2) emit owner_.resourceFileDropped(sequence, clip, resource.data);
        else emit owner_.resourceEntryDropped(sequence, clip, resource.groupType, resource.entry, resource.data);
        return;
    }
    QStringList paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (!paths.isEmpty()) emit owner_.filesDropped(sequence, clip, paths);
}

void TSeqTreeView::keyPressEvent(QKeyEvent* e) {
    if (e->matches(QKeySequence::SelectAll)) {
        emit owner_.selectAllRequested();
        e->accept();
        return;
    }
    QTreeView::keyPressEvent(e);
}

void TSeqTreeView::mouseDoubleClickEvent(QMouseEvent* e) {
    QTreeView::mouseDoubleClickEvent(e);  // expands or collapses a sequence row
    const QList<TSeqClipArr> selected = owner_.SelectedPairs();
    if (selected.isEmpty()) {
        emit owner_.rowDoubleClicked(std::nullopt);
        return;
    }
    const TSeqRowData* row = owner_.FindRow(selected.first().sequence, selected.first().clip);
    emit owner_.rowDoubleClicked(row ? std::optional<TSeqRowData>(*row) : std::nullopt);
}

void TSeqTreeView::contextMenuEvent(QContextMenuEvent* e) {
    if (owner_.contextMenu_) owner_.contextMenu_->exec(e->globalPos());
}
