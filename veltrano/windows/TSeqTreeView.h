#pragma once

// The tree control of the sequence list: drags rows within the list, takes
// drops from the resource browser and the desktop, and reports them to its
// TfmeTreeList, which decides nothing about the engine.

#include <QList>
#include <QTreeView>

#include "projcore/Records.h"

class TfmeTreeList;

class TSeqTreeView : public QTreeView {
    Q_OBJECT
public:
    TSeqTreeView(TfmeTreeList& owner, QWidget* parent);

    // Mime type of a drag of rows inside the list.
    static const char* const kRowsMime;

    // Whether the dragged rows may be dropped onto the row at (sequence,
    // clip); exposed for the tests of the drag rules.
    bool CanDropRows(const QList<TSeqClipArr>& rows, int sequence, int clip) const;
    // Whether rows of this selection may start a drag.
    static bool CanStartDrag(int selectionFlags);

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    bool Accepts(const QDropEvent* e, int& sequence, int& clip) const;
    // The row under the drop point and where, relative to it, the drop goes.
    void DropTarget(const QPoint& pos, int& sequence, int& clip, bool& below) const;

    TfmeTreeList& owner_;
    QList<TSeqClipArr> dragged_;  // the rows of the drag in progress
};
