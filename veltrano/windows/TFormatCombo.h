#pragma once

// The output settings' format box: it holds the chosen profile as its only
// item and, instead of a list, asks for the profile chooser when opened or
// when Down is pressed.

#include <QComboBox>

class TFormatCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TFormatCombo(QWidget* parent = nullptr) : QComboBox(parent) {}

    void showPopup() override { emit chooserRequested(); }

signals:
    void chooserRequested();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
};
