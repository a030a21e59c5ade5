#pragma once

// A one-line box that reports Enter and Esc, for the time and fade boxes:
// Enter checks and sends what was typed, Esc shows the stored value again.

#include <QLineEdit>

class TKeyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TKeyEdit(QWidget* parent = nullptr) : QLineEdit(parent) {}

signals:
    void enterPressed();
    void escapePressed();

protected:
    void keyPressEvent(QKeyEvent* e) override;
};
