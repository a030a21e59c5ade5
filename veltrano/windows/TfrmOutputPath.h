#pragma once

// "Output Directory": the folder each exported sequence is written to when
// outputs go beside their sources. Rows are edited here and written back to
// the caller's list on OK only.

#include <QDialog>
#include <QList>

#include "app/ShellRecords.h"

class QLineEdit;
class QTreeWidget;
class TMyLang;

class TfrmOutputPath : public QDialog {
    Q_OBJECT
public:
    TfrmOutputPath(QList<TSeqPathInfo>& sequences, QWidget* parent = nullptr);

    // Takes the edit's text as the selected row's folder when it is a valid
    // folder name (with a trailing "/" added); otherwise warns, selects the
    // text and returns false.
    bool AcceptPath();

    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void RowSelected();
    void BrowseFolder();

    QList<TSeqPathInfo>& sequences_;
    QStringList folders_;  // the rows' folders while the dialog is open
    TMyLang* lang_;
    QTreeWidget* lvPath_;
    QLineEdit* edtPath_;
};
