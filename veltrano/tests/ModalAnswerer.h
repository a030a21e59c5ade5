#pragma once

// Answers the modal windows a test's action opens: every message dialog is
// noted (its text) and answered with the button in `promptSlot`; any other
// modal dialog is handed to `onDialog`, which must close it.

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>

#include "windows/TfrmPrompt.h"

class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(int slot = 2) : promptSlot(slot) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::Check);
        timer_.start();
    }

    int promptSlot;                           // 0 left, 1 middle, 2 right
    std::function<void(QWidget*)> onDialog;   // anything modal that is not a prompt
    QStringList prompts;                      // the texts shown, in order

private:
    // Answers from a queued call, not from the timer: an answer may open
    // another modal window, and the timer must keep firing in its loop.
    void Check() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || busy_.contains(modal)) return;
        busy_ << modal;
        QPointer<QWidget> target(modal);
        QMetaObject::invokeMethod(
            this,
            [this, target] {
                if (target) Answer(target);
                busy_.removeAll(target.data());
            },
            Qt::QueuedConnection);
    }

    void Answer(QWidget* modal) {
        if (auto* prompt = qobject_cast<TfrmPrompt*>(modal)) {
            prompts << prompt->findChild<QLabel*>(QStringLiteral("lblText"))->text();
            QPushButton* button = prompt->SlotButton(promptSlot);
            if (!button) button = prompt->SlotButton(2);
            button->click();
        } else if (onDialog) {
            onDialog(modal);
        }
    }

    QList<QWidget*> busy_;
    QTimer timer_;
};
