#pragma once

// The progress window of long loops (loading a project, importing files).
// The loop checks isVisible() after each step and stops when the user has
// closed it with Cancel.

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class TMyLang;

class TfrmLoadFile : public QWidget {
    Q_OBJECT
public:
    explicit TfrmLoadFile(QWidget* parent = nullptr);

    // Shortens the text from its end (adding "...") to fit the label.
    void SetText(const QString& text);
    // -1 leaves the bar where it is.
    void SetPercent(int percent);
    void SetCancelEnabled(bool enabled);

    QString Text() const;
    int Percent() const;

private:
    TMyLang* lang_;
    QLabel* lblText_;
    QProgressBar* pbProgress_;
    QPushButton* btnCancel_;
};
