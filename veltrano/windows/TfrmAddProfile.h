#pragma once

// Names a new output profile. OK with a blank name says so and keeps the
// dialog open; Enter in the name moves to OK; Escape closes.

#include <QDialog>

class QLineEdit;
class QPushButton;
class TMyLang;

class TfrmAddProfile : public QDialog {
    Q_OBJECT
public:
    // caption: the current profile's name, offered as the start.
    explicit TfrmAddProfile(const QString& caption, QWidget* parent = nullptr);

    // The name without surrounding blanks.
    QString Name() const;

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    TMyLang* lang_;
    QLineEdit* edtProfile_;
    QPushButton* btnOk_;
};
