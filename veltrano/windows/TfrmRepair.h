#pragma once

// "Repair FLV Files": broken recordings repaired into new files in an output
// folder, with the report of every fix (its kind, where it is in the input,
// the stream time there and what was left out) and the files written. The
// inputs are never touched. Afterwards the repaired files can be imported as
// new sequences or, for a clip, put in the clip's place.

#include <QDialog>
#include <QList>
#include <QStringList>

#include "windows/TRepairRunner.h"

class CBaseListener;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class TEngineApi;
class TMyLang;

class TfrmRepair : public QDialog {
    Q_OBJECT
public:
    // What the dialog ended with (its result code).
    enum Outcome { kClosed = QDialog::Rejected, kImport = 2, kReplaceClip = 3 };

    // forClip: the inputs are one clip's file; the list is fixed and the
    // repaired files may replace the clip.
    TfrmRepair(TEngineApi& engine, CBaseListener* projectMgr, const QStringList& inputs,
               const QString& outputFolder, bool forClip, QWidget* parent = nullptr);
    ~TfrmRepair() override;

    // The FLV files the user picks (the Tools menu's first step); empty when cancelled.
    static QStringList ChooseFiles(QWidget* owner);

    QStringList Inputs() const { return inputs_; }
    void AddInputs(const QStringList& paths);
    QString OutputFolder() const;
    void SetOutputFolder(const QString& folder);

    // Starts the run (as the Repair button); false when there is nothing to
    // repair or the output folder cannot be made.
    bool StartRepair();
    bool Running() const { return runner_.Running(); }
    const QList<TRepairResult>& Results() const { return results_; }
    // Every file written by the last run, in the order of the inputs.
    QStringList RepairedFiles() const;

    void reject() override;  // while running: stop the current file, then close

signals:
    void repairEnded();

private:
    void BuildLayout();
    void Retranslate();
    void ChooseMore();
    void RemoveSelected();
    void BrowseOutput();
    void OnFileStarted(int index);
    void OnFileProgress(int index, qint64 done, qint64 total);
    void OnFileDone(int index, const TRepairResult& result);
    void OnRunEnded(bool stopped);
    void UpdateButtons();

    TRepairRunner runner_;
    bool forClip_;
    bool closeWhenEnded_ = false;
    QStringList inputs_;
    QList<TRepairResult> results_;

    TMyLang* lang_;
    QListWidget* lvFiles_;
    QPushButton* btnAdd_;
    QPushButton* btnRemove_;
    QLineEdit* edtOutput_;
    QPushButton* btnRepair_;
    QPushButton* btnStop_;
    QLabel* lblProgress_;
    QProgressBar* pbRepair_;
    QTreeWidget* lvReport_;
    QPushButton* btnImport_;
    QPushButton* btnReplace_;
    QPushButton* btnClose_;
};
