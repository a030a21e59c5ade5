#pragma once

// Draws a task's progress as a bar: the cell's text is the progress in
// tenths of a percent ("0" to "1000"); the bar shows the done part in light
// blue, the rest white, and "12.3%" centred over both.

#include <QStyledItemDelegate>

class TDrawLVProgress : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // The tenths of a percent a cell text stands for, within 0 ... 1000.
    static int Value(const QString& text);
    // How many of `width` pixels the done part covers: at least 1, and one
    // short of the whole until the end.
    static int DoneWidth(int width, int value);
};
