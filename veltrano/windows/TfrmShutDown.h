#pragma once

// "Shutdown Computer": counts down from 60 seconds and then, or at once on
// request, closes and runs the shut-down it was given. Cancel and the close
// button only close.

#include <QDialog>
#include <QTimer>
#include <functional>

class QLabel;
class TMyLang;

// Starts the shut-down; it reports by itself when the system refuses.
using TShutdownOperation = std::function<void()>;

class TfrmShutDown : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSeconds = 60;

    TfrmShutDown(TShutdownOperation shutdown, QWidget* parent = nullptr);

    int Counter() const { return counter_; }
    // One second passed.
    void Tick();
    void ShutDownNow();

private:
    void Refresh();

    TShutdownOperation shutdown_;
    int counter_ = kSeconds;
    bool fired_ = false;
    QTimer timer_;
    TMyLang* lang_;
    QLabel* lblShow_;
};
