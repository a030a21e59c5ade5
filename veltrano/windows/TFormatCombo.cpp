#include "windows/TFormatCombo.h"

#include <QKeyEvent>
#include <QWheelEvent>

void TFormatCombo::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Down) {
        emit chooserRequested();
        return;
    }
    // Up, Home, End and typing would move among items; there is only one.
    if (e->key() == Qt::Key_Up || e->key() == Qt::Key_Home || e->key() == Qt::Key_End) return;
    QComboBox::keyPressEvent(e);
}

// The wheel has nothing to step through.
void TFormatCombo::wheelEvent(QWheelEvent* e) { e->ignore(); }
