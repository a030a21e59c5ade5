// The main window's repair actions: "Repair FLV..." in the Tools menu
// (files the user picks) and on the sequence list's context menu (the
// selected FLV clip's file), and what becomes of the repaired files.

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>

#include "app/MyLang.h"
#include "windows/RepairLangKeys.h"
#include "windows/TSeqQueries.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmPrompt.h"
#include "windows/TfrmRepair.h"

void TfrmMain::BuildRepairActions() {
    QAction* repairFiles = MakeAction("actRepairFlv", QStringLiteral("Repair FLV..."));
    connect(repairFiles, &QAction::triggered, this, &TfrmMain::RepairChosenFiles);
    QAction* repairClip = MakeAction("actRepairClip", QStringLiteral("Repair FLV..."));
    connect(repairClip, &QAction::triggered, this, &TfrmMain::RepairSelectedClip);

    // Tools: after the preferences and the companion program.
    if (auto* tools = menuBar()->findChild<QMenu*>(QStringLiteral("mnuTools"))) {
        QAction* before = mnuLanguages_ ? mnuLanguages_->menuAction() : nullptr;
        tools->insertAction(before, repairFiles);
    }
    if (ppmList_) {
        ppmList_->addSeparator();
        ppmList_->addAction(repairClip);
        connect(ppmList_, &QMenu::aboutToShow, this, &TfrmMain::UpdateRepairClipAction);
    }
    UpdateRepairClipAction();
}

void TfrmMain::UpdateRepairClipAction() {
    // Only a single selected clip whose file is FLV has something to repair.
    const auto [s, c] = fmeLoadedList_->SelectedTarget();
    MediaFileInfo info{};
    const bool flv = s >= 0 && c >= 0 && Queries().ClipInfo(s, c, info) && info.isFlv;
    actions_.value(QStringLiteral("actRepairClip"))->setEnabled(flv);
}

void TfrmMain::RepairChosenFiles() {
    if (!handles_.projectMgr) return;
    const QStringList files = TfrmRepair::ChooseFiles(this);
    if (files.isEmpty()) return;
    TfrmRepair dialog(engine_, handles_.projectMgr, files, holder_.Ini().outputFolder, false, this);
    if (dialog.exec() == TfrmRepair::kImport) ImportRepaired(dialog.Results());
}

void TfrmMain::RepairSelectedClip() {
    const auto [s, c] = fmeLoadedList_->SelectedTarget();
    if (!handles_.projectMgr || !handles_.sequenceMgr || s < 0 || c < 0) return;
    const TSeqQueries q = Queries();
    const QString path = q.ClipPath(s, c);
    MediaFileInfo info{};
    if (!q.ClipInfo(s, c, info) || !info.isFlv) {
        ShowError(lang_->Text(repairkey::kNotFlvClip) + QStringLiteral("\n\n") + path, kIconWarning);
        return;
    }
    TfrmRepair dialog(engine_, handles_.projectMgr, {path}, holder_.Ini().outputFolder, true, this);
    const int outcome = dialog.exec();
    if (outcome == TfrmRepair::kReplaceClip) ReplaceClip(s, c, dialog.RepairedFiles());
    else if (outcome == TfrmRepair::kImport) ImportRepaired(dialog.Results());
}

void TfrmMain::ImportRepaired(const QList<TRepairResult>& results) {
    // The files one recording was split into stay together, as one sequence
    // named after the recording.
    for (const TRepairResult& result : results) {
        const QStringList paths = result.Paths();
        if (!paths.isEmpty()) SendImport(paths, QFileInfo(result.input).completeBaseName());
    }
}

// The engine has no message that changes a clip's file, so the repaired
// files are added right after the broken clip, take over what of its edits
// the engine can copy, and the broken clip goes to the trash (from where it
// can be restored). Effects always carry over; trim, crop and watermarks
// only when the repair gave one file, whose time line is the one the clip
// was edited on (split files start new time lines and may change size).
void TfrmMain::ReplaceClip(int sequence, int clip, const QStringList& repaired) {
    if (!handles_.sequenceMgr || repaired.isEmpty()) return;
    const TSeqQueries q = Queries();
    const int before = q.ClipCount(sequence);
    // One file at a time, each after the last: the engine puts every file
    // of one message at the same position, which reverses them.
    QStringList tooLong;
    {
        const TRefusalBatch batch(*this);   // what the engine refuses, in one message
        for (const QString& file : repaired) {
            const TPathList path({file});
            tooLong << path.Refused();
            SendAddFiles(engine_, handles_.sequenceMgr, sequence, clip + 1 + (q.ClipCount(sequence) - before), path);
        }
    }
    ReportTooLong(tooLong);
    const int added = q.ClipCount(sequence) - before;
    if (added <= 0) {  // nothing was taken: the broken clip stays where it is
        RebuildList();
        return;
    }
    // The clip edit manager copies from the clip it edits: the broken one.
    TSeqSelection none{0, -1, -1}, broken{1, sequence, clip};
    Send(handles_.sequenceMgr, msg::kSeqSelect, reinterpret_cast<intptr_t>(&none), sizeof none);
    Send(handles_.sequenceMgr, msg::kSeqSelect, reinterpret_cast<intptr_t>(&broken), sizeof broken);
    for (int i = 0; i < added; ++i) {
        EditTarget target{1, sequence, clip + 1 + i};
        const auto p1 = reinterpret_cast<intptr_t>(&target);
        Send(handles_.clipEditMgr, msg::kEditEffectsTo, p1, sizeof target);
        if (added > 1) continue;
        Send(handles_.clipEditMgr, msg::kEditTrimCropTo, p1, sizeof target);
        Send(handles_.clipEditMgr, msg::kWaterMarkApplyTo, p1, sizeof target);
    }
    TSeqClipArr old{sequence, clip};
    Send(handles_.sequenceMgr, msg::kSeqDeleteList, reinterpret_cast<intptr_t>(&old), 1);
    // The first repaired file now stands where the broken clip stood.
    TSeqSelection replacement{1, sequence, clip};
    Send(handles_.sequenceMgr, msg::kSeqSelect, reinterpret_cast<intptr_t>(&replacement), sizeof replacement);
    RebuildList();
}
