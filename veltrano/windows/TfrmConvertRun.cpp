// The conversion window while the batch runs: rows following the engine's
// reports, the clocks, the task buttons, and what happens at the end.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

#include "app/EngineApi.h"
#include "app/MyLang.h"
#include "app/TimeFormat.h"
#include "windows/ConvertLangKeys.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfrmConvert.h"
#include "windows/TfrmPrompt.h"
#include "windows/TfrmShutDown.h"

namespace {

constexpr int kNameColumn = 1, kRemainColumn = 2, kProgressColumn = 3;

QIcon IconOf(int icon) {
    static const QStyle::StandardPixmap kPictures[] = {
        QStyle::SP_DialogApplyButton,  // finished
        QStyle::SP_MediaPlay,          // converting
        QStyle::SP_MessageBoxCritical, // failed
        QStyle::SP_MediaPause,         // paused
        QStyle::SP_MediaStop,          // stopped
        QStyle::SP_BrowserReload,      // waiting
    };
    return QApplication::style()->standardIcon(kPictures[std::clamp(icon, 0, 5)]);
}

}  // namespace

int TfrmConvert::RowIconOf(int row) const { return row >= 0 && row < RowCount() ? rows_[row].icon : -1; }

int TfrmConvert::RowProgress(int row) const {
    return row >= 0 && row < RowCount() ? rows_[row].item->text(kProgressColumn).toInt() : -1;
}

QString TfrmConvert::RowText(int row, int column) const {
    return row >= 0 && row < RowCount() ? rows_[row].item->text(column) : QString();
}

QString TfrmConvert::ElapsedText() const { return lblElapsetime_->text(); }

// ---- reports

void TfrmConvert::Progress(const PvxProgress& p) {
    if (p.task < 0 || p.task >= RowCount()) return;
    Row& row = rows_[p.task];
    row.done = p.position;
    row.total = p.total;
    // A report without a total says nothing about how far the task is.
    long permille = 0;
    if (p.total > 0) permille = std::lround(static_cast<double>(p.position) / p.total * 1000);
    row.item->setText(kProgressColumn, QString::number(std::clamp(permille, 0L, 1000L)));
}

void TfrmConvert::StateChanged(const PvxTaskState& s) {
    if (s.task < 0 || s.task >= RowCount()) return;
    Row& row = rows_[s.task];
    const int64_t now = Now();
    auto stopPeriod = [&] {
        if (row.running) row.accumulated += now - row.started;
        row.running = false;
        row.started = 0;
    };
    switch (s.state) {
        case kPvxStopped:
            row.icon = kStopped;
            row.accumulated = row.started = row.done = 0;
            row.running = false;
            row.item->setText(kRemainColumn, QString());
            UpdateRemaining(row);
            break;
        case kPvxPaused:
            row.icon = kPaused;
            stopPeriod();
            if (chkShowPreview_->isChecked()) pnlPreview_->update();
            break;
        case kPvxFinished:
            row.icon = kFinished;
            stopPeriod();
            row.done = row.total;
            row.item->setText(kRemainColumn, QString());
            row.item->setText(kProgressColumn, QStringLiteral("1000"));
            break;
        case kPvxConverting:
            row.icon = kConverting;
            row.started = now;
            row.running = true;
            break;
        case kPvxFailed:
            row = Row{row.item, kFailed};  // its times mean nothing any more
            row.item->setText(kRemainColumn, QString());
            break;
        case kPvxWaiting:  // queued again after a pause before it ever ran
            row.icon = kWaiting;
            stopPeriod();
            break;
        default: return;
    }
    row.item->setIcon(kNameColumn, IconOf(row.icon));
    row.item->setData(kNameColumn, Qt::UserRole, row.icon);
    if (SelectedRow() == s.task) {
        UpdateButtons();
        if (s.state == kPvxConverting) PointPreview();
    }
    AdjustClock();
    emit rowStateChanged(s.task, row.icon);
}

// The clock runs while some task converts.
void TfrmConvert::AdjustClock() {
    if (ended_ || !started_) return;
    const bool converting = std::any_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.icon == kConverting; });
    if (converting && !elapsedTimer_.isActive()) {
        periodStart_ = Now();
        elapsedTimer_.start();
    } else if (!converting && elapsedTimer_.isActive()) {
        elapsedAccumulated_ += Now() - periodStart_;
        elapsedTimer_.stop();
    }
}

void TfrmConvert::TickElapsed() {
    lblElapsetime_->setText(FormatTime(false, elapsedAccumulated_ + Now() - periodStart_));
    for (Row& row : rows_)
        if (row.icon == kConverting) UpdateRemaining(row);
}

// What is left, at the pace the task has kept so far.
void TfrmConvert::UpdateRemaining(Row& row) {
    const int64_t elapsed = row.accumulated + (row.running ? Now() - row.started : 0);
    if (row.done <= 0 || elapsed <= 0 || row.total <= row.done) return;
    const auto remaining =
        static_cast<int64_t>(std::llround(static_cast<double>(row.total - row.done) * elapsed / row.done));
    if (remaining > 0) row.item->setText(kRemainColumn, FormatTime(false, remaining));
}

void TfrmConvert::AddErrorLine(int32_t code, const QString& text) {
    QString line = lang_->Text(convkey::kErrCode).replace(QStringLiteral("%s"), QString::number(code));
    if (!text.isEmpty()) {
        QString known = lang_->Text(QStringLiteral("err_%1").arg(code));
        line += QLatin1Char(' ') + (known.contains(QStringLiteral("%s")) ? known.replace(QStringLiteral("%s"), text) : text);
    }
    errorLog_ << line;
}

// ---- buttons

int TfrmConvert::SelectedRow() const {
    QTreeWidgetItem* item = lvConvert_->currentItem();
    return item && item->isSelected() ? lvConvert_->indexOfTopLevelItem(item) : -1;
}

void TfrmConvert::UpdateButtons() {
    const int icon = ended_ ? -1 : RowIconOf(SelectedRow());
    btnSkip_->setEnabled(icon == kConverting || icon == kPaused || icon == kWaiting);
    btnPause_->setEnabled(icon == kConverting);
    // A held task offers Resume where Pause was.
    const bool held = icon == kPaused || icon == kStopped;
    btnPause_->setVisible(!held);
    btnResume_->setVisible(held);
    btnResume_->setEnabled(held);
}

void TfrmConvert::PointPreview() {
    const int row = SelectedRow();
    if (row < 0 || rows_[row].icon != kConverting || !started_) return;
    PvxPreviewTask preview{row, chkShowPreview_->isChecked() ? 1 : 0};
    Send(msg::kConvSetPreviewTask, reinterpret_cast<intptr_t>(&preview), sizeof preview);
}

void TfrmConvert::ShowPreviewClicked() {
    const int row = SelectedRow();
    PvxPreviewTask preview{row >= 0 && rows_[row].icon == kConverting ? row : -1, chkShowPreview_->isChecked() ? 1 : 0};
    Send(msg::kConvSetPreviewTask, reinterpret_cast<intptr_t>(&preview), sizeof preview);
}

void TfrmConvert::SendAction(int row, int32_t action) {
    PvxTaskAction record{row, action};
    Send(msg::kConvTaskAction, reinterpret_cast<intptr_t>(&record), sizeof record);
}

void TfrmConvert::Skip() {
    const int row = SelectedRow();
    const int icon = RowIconOf(row);
    if (icon != kConverting && icon != kPaused && icon != kWaiting) return;
    if (ShowPrompt(lang_->Text(convkey::kAskSkip), 2, kIconQuestion, 1, this) == kPromptYes) SendAction(row, kPvxStop);
}

void TfrmConvert::Pause() {
    const int row = SelectedRow();
    if (RowIconOf(row) == kConverting) SendAction(row, kPvxPause);
}

void TfrmConvert::Resume() {
    const int row = SelectedRow();
    if (RowIconOf(row) == kPaused) SendAction(row, kPvxResume);
}

void TfrmConvert::PauseAll() {
    bool any = false;
    for (int i = 0; i < RowCount(); ++i)
        if (rows_[i].icon == kConverting) {
            SendAction(i, kPvxPause);
            any = true;
        }
    if (!any) return;
    btnPauseAll_->setVisible(false);
    btnPauseAll_->setEnabled(false);
    btnResumeAll_->setVisible(true);
    btnResumeAll_->setEnabled(true);
}

void TfrmConvert::ResumeAll() {
    bool any = false;
    for (int i = 0; i < RowCount(); ++i)
        if (rows_[i].icon == kPaused) {
            SendAction(i, kPvxResume);
            any = true;
        }
    if (!any) return;
    btnResumeAll_->setVisible(false);
    btnResumeAll_->setEnabled(false);
    btnPauseAll_->setVisible(true);
    btnPauseAll_->setEnabled(true);
}

// ---- the end

void TfrmConvert::RunHasEnded() {
    if (ended_) return;
    ended_ = true;
    startTimer_.stop();
    UpdateButtons();
    btnPauseAll_->setVisible(true);
    btnPauseAll_->setEnabled(false);
    btnResumeAll_->setVisible(false);
    btnResumeAll_->setEnabled(false);
    const QString ok = lang_->Text(convkey::kConvertOk);
    btnCancel_->setText(ok.isEmpty() ? QStringLiteral("OK") : ok);
    if (elapsedTimer_.isActive()) {
        elapsedTimer_.stop();
        elapsedAccumulated_ += Now() - periodStart_;
    }
    lblElapsetime_->setText(FormatTime(false, elapsedAccumulated_));
    if (chkShowPreview_->isChecked()) pnlPreview_->update();
    emit runEnded();

    const int after = cbxAfterConversion_->currentIndex();
    if (after != kShutDown) ShowResult();
    if (after == kOpenFolder) OpenOutputFolders();
    if (after == kShutDown) {
        TfrmShutDown countdown(shutdown_, this);
        countdown.exec();
    }
}

void TfrmConvert::ShowResult() {
    const bool allFinished =
        skipped_ == 0 && std::all_of(rows_.begin(), rows_.end(), [](const Row& r) { return r.icon == kFinished; });
    if (allFinished) {
        ShowPrompt(lang_->Text(convkey::kTaskFinish), 0, kIconInformation, 2, this);
    } else if (!errorLog_.isEmpty()) {
        if (ShowPrompt(lang_->Text(convkey::kTaskFail), 2, kIconQuestion, 1, this) == kPromptYes) SaveAndOpenLog();
    } else {
        ShowPrompt(lang_->Text(convkey::kTaskInterrupt), 0, kIconInformation, 2, this);
    }
}

void TfrmConvert::SaveAndOpenLog() {
    const QString path = dataFolder_ + QStringLiteral("ErrorInfo.txt");
    QSaveFile file(path);
    bool written = file.open(QIODevice::WriteOnly | QIODevice::Text);
    if (written) {
        file.write(errorLog_.join(QLatin1Char('\n')).toUtf8());
        file.write("\n");
        written = file.commit();
    }
    if (!written) {
        ShowPrompt(lang_->Text(convkey::kErrSaveLog) + QStringLiteral("\n\n") + path + QStringLiteral("\n\n") +
                       file.errorString(),
                   0, kIconError, 2, this);
        return;
    }
    const QUrl url = QUrl::fromLocalFile(path);
    if (!(open_ ? open_(url) : QDesktopServices::openUrl(url)))
        ShowPrompt(lang_->Text(convkey::kErrOpenFile) + QStringLiteral("\n\n") + path, 0, kIconError, 2, this);
}

void TfrmConvert::OpenOutputFolders() {
    // With one output folder it is opened once; beside the sources, each
    // folder once, in the order of the tasks.
    QStringList folders;
    for (const QString& folder : rowFolders_)
        if (!folder.isEmpty() && !folders.contains(folder)) folders << folder;
    for (const QString& folder : folders) {
        const QUrl url = QUrl::fromLocalFile(folder);
        if (!(open_ ? open_(url) : QDesktopServices::openUrl(url)))
            ShowPrompt(lang_->Text(convkey::kErrOpenFile) + QStringLiteral("\n\n") + folder, 0, kIconError, 2, this);
    }
}
