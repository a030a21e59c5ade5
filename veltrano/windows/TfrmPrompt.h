#pragma once

// The program's message dialog and ShowPrompt, which every window uses to
// report errors and ask questions.

#include <QDialog>
#include <QPoint>

class QLabel;
class QPushButton;
class TMyLang;

// Results of the buttons.
enum TPromptResult { kPromptOk = 1, kPromptCancel = 2, kPromptAbort = 3, kPromptRetry = 4, kPromptIgnore = 5,
                     kPromptYes = 6, kPromptNo = 7 };
// Button sets: 0 OK; 1 OK Cancel; 2 Yes No; 3 Yes No Cancel; 4 Retry Cancel;
// 5 Abort Retry Ignore. Icons: 0 none, 1 information, 2 question, 3 warning, 4 error.
enum TPromptIcon { kIconNone = 0, kIconInformation = 1, kIconQuestion = 2, kIconWarning = 3, kIconError = 4 };

class TfrmPrompt : public QDialog {
    Q_OBJECT
public:
    // defaultButton: the slot (0 left, 1 middle, 2 right) that has focus;
    // one-button sets use the right slot, two-button sets the middle and right.
    TfrmPrompt(QWidget* parent, const QString& text, int buttonSet, int icon, int defaultButton);

    // The button in a slot, or null when the set leaves it empty.
    QPushButton* SlotButton(int slot) const;

    void reject() override;  // Escape and the close button: the last button's result

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void Retranslate();

    TMyLang* lang_;
    int buttonSet_;
    QLabel* lblText_;
    QPushButton* slots_[3];
    int lastResult_ = kPromptCancel;
    QPoint dragStart_;
};

int ShowPrompt(const QString& text, int buttonSet, int icon, int defaultButton = 2, QWidget* parent = nullptr);
