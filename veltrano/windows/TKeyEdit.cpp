#include "windows/TKeyEdit.h"

#include <QKeyEvent>

void TKeyEdit::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            emit enterPressed();
            e->accept();
            return;
        case Qt::Key_Escape:
            emit escapePressed();
            e->accept();
            return;
        default: QLineEdit::keyPressEvent(e);
    }
}
