// Bringing files into the project: the import actions, files and folders
// dropped on the window or the list, the progress of long imports and the
// engine's reports of files it could not open.

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/FileChecks.h"
#include "app/IniInfo.h"
#include "app/MyLang.h"
#include "windows/FlvFileMessages.h"
#include "windows/MainLangKeys.h"
#include "windows/ResourcePlaces.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeTreeList.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmLoadFile.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmPrompt.h"

namespace {
const QString kBlankLine = QStringLiteral("\n\n");

bool IsProjectPath(const QString& path) {
    return QFileInfo(path).suffix().compare(QStringLiteral("pvxp"), Qt::CaseInsensitive) == 0;
}

// The FLV files and pictures directly inside a folder (not in its sub-folders), by name.
QStringList ClipFilesIn(const QString& folder) {
    QStringList files;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase))
        if (resplaces::IsClipFileName(info.fileName())) files << info.absoluteFilePath();
    return files;
}
}  // namespace

void TfrmMain::ReportTooLong(const QStringList& tooLong) {
    // A path the engine cannot take whole is not sent cut: it would name another file.
    for (const QString& path : tooLong)
        ShowError(lang_->Text(langkey::kErrPathTooLong) + kBlankLine + path, kIconWarning);
}

TfrmLoadFile* TfrmMain::ShowProgressWindow() {
    if (!importWindow_) {
        importWindow_ = new TfrmLoadFile(this);
        importWindow_->setObjectName(QStringLiteral("frmImportProgress"));
    }
    setEnabled(false);
    importWindow_->setEnabled(true);  // its Cancel stays usable
    importWindow_->show();
    return importWindow_;
}

void TfrmMain::CloseProgressWindow() {
    if (importWindow_) {
        importWindow_->hide();
        importWindow_->deleteLater();
    }
    importWindow_ = nullptr;
    setEnabled(true);
}

void TfrmMain::ChooseAndImport(bool merge) {
    if (!handles_.sequenceMgr) return;
    QFileDialog dialog(this, lang_->Text(mainkey::kImportTitle));
    dialog.setObjectName(QStringLiteral("dlgLoadFLV"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(lang_->Text(mainkey::kFlvFilter));
    if (dialog.exec() != QDialog::Accepted) return;
    ImportFiles(dialog.selectedFiles(), merge);
}

void TfrmMain::ImportFiles(const QStringList& paths, bool merge) {
    // Every file goes to the engine, which decides what becomes a clip (FLV
    // files and pictures) and names the files it refuses.
    if (!handles_.sequenceMgr || paths.isEmpty()) return;
    const TRefusalBatch batch(*this);
    if (merge) {
        SendImport(paths, QString());
        return;
    }
    // One sequence per file; several files show their progress and can be stopped.
    TfrmLoadFile* progress = paths.size() > 1 ? ShowProgressWindow() : nullptr;
    for (int i = 0; i < paths.size(); ++i) {
        if (progress) progress->SetText(lang_->Text(mainkey::kLoadFile).replace(QStringLiteral("%s"), paths[i]));
        SendImport({paths[i]}, QString());
        if (!progress) continue;
        if (!importWindow_ || !importWindow_->isVisible()) break;  // the user closed it
        progress->SetPercent(static_cast<int>(std::lround((i + 1) * 100.0 / paths.size())));
    }
    if (progress) CloseProgressWindow();
}

void TfrmMain::SendImport(const QStringList& paths, const QString& destName, int insertPos) {
    const QString seqName = fmeLoadedList_->NextName(lang_->Text(mainkey::kSequence));
    const TImportRecord import(seqName, insertPos, paths, destName, holder_.Ini().imageDefLen);
    if (import.Paths().Count() > 0)
        SendToList(msg::kSeqImport, reinterpret_cast<intptr_t>(&import.Record()), sizeof(TImportedFiles));
    ReportTooLong(import.Paths().Refused());
}

void TfrmMain::AddFilesToSequence(int sequence, int position, const QStringList& paths) {
    const TRefusalBatch batch(*this);
    const TPathList list(paths);
    int32_t before = sequence;
    Send(handles_.sequenceMgr, msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&before), sizeof before);
    SendAddFiles(engine_, handles_.sequenceMgr, sequence, position, list);
    FitStillPictures(sequence, position < 0 ? before : position, before);
    if (listChanged_) RebuildList();
    ReportTooLong(list.Refused());
}

void TfrmMain::FitStillPictures(int sequence, int first, int before) {
    // Adding to a sequence carries no picture length: the still pictures that
    // came in take "ImageDefLen" afterwards, as imported ones do.
    int32_t after = sequence;
    Send(handles_.sequenceMgr, msg::kSeqGetClipCount, reinterpret_cast<intptr_t>(&after), sizeof after);
    for (int clip = first; clip < first + (after - before); ++clip) {
        MediaFileInfo info{};
        TSeqClipQuery query{sequence, clip, reinterpret_cast<intptr_t>(&info)};
        Send(handles_.sequenceMgr, msg::kSeqGetMediaInfo, reinterpret_cast<intptr_t>(&query), sizeof query);
        if (info.isFlv || info.frameCount != 1) continue;
        TSeqClipQuery length{sequence, clip, holder_.Ini().imageDefLen};
        Send(handles_.sequenceMgr, msg::kSeqSetImageTime, reinterpret_cast<intptr_t>(&length), sizeof length);
        listChanged_ = true;
    }
}

void TfrmMain::ImportFolder(const QString& folder) {
    // The folder's FLV files and pictures become one sequence named after the folder.
    const QStringList files = ClipFilesIn(folder);
    if (files.isEmpty()) return;
    SendImport(files, QDir(folder).dirName());
}

void TfrmMain::DropFiles(const QStringList& paths) {
    if (paths.isEmpty()) return;
    // A project file alone opens; together with other files it is just a file.
    if (paths.size() == 1 && IsProjectPath(paths[0]) && QFileInfo(paths[0]).isFile()) {
        OpenPendingProject(QFileInfo(paths[0]).absoluteFilePath());
        return;
    }
    if (!handles_.sequenceMgr) return;
    const TRefusalBatch batch(*this);
    TfrmLoadFile* progress = paths.size() > 1 ? ShowProgressWindow() : nullptr;
    for (int i = 0; i < paths.size(); ++i) {
        const QString& path = paths[i];
        if (progress) progress->SetText(lang_->Text(mainkey::kLoadFile).replace(QStringLiteral("%s"), path));
        if (QFileInfo(path).isDir()) ImportFolder(path);
        else SendImport({path}, QString());
        if (!progress) continue;
        if (!importWindow_ || !importWindow_->isVisible()) break;
        progress->SetPercent(static_cast<int>(std::lround((i + 1) * 100.0 / paths.size())));
    }
    if (progress) CloseProgressWindow();
}

// ---- the engine's side of importing

void TfrmMain::OnImportProgress(void*, uint32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(TImportProgress))) return;
    auto& progress = *reinterpret_cast<TImportProgress*>(p1);
    progress.continueImport = 1;
    // The window may be an import's or a drop's own; only the one made here is closed here.
    if (importWindow_ && !importWindow_->isVisible()) {
        if (engineProgress_) CloseProgressWindow();
        engineProgress_ = false;
        progress.continueImport = 0;  // the user closed it: the engine stops before the next file
        return;
    }
    if (progress.index == 0 && !importWindow_) {
        ShowProgressWindow();
        engineProgress_ = true;
    }
    if (!importWindow_) return;
    if (progress.index >= progress.count) {
        importWindow_->SetPercent(100);
        if (engineProgress_) CloseProgressWindow();
        engineProgress_ = false;
        return;
    }
    importWindow_->SetText(lang_->Text(mainkey::kLoadFile).replace(QStringLiteral("%s"),
                                                                 QString::fromUtf8(progress.path ? progress.path : "")));
    const int count = std::max(progress.count, 1);
    importWindow_->SetPercent(static_cast<int>(std::lround(progress.index * 100.0 / count)));
}

void TfrmMain::OnSeqAddFailed(void*, uint32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(TAddFailure))) return;
    const auto& failure = *reinterpret_cast<const TAddFailure*>(p1);
    for (int i = 0; i < failure.count && failure.paths; ++i) {
        const int32_t code = failure.codes ? failure.codes[i] : 0;
        const QString path = QString::fromUtf8(failure.paths[i] ? failure.paths[i] : "");
        // Only the first file carries a stream description.
        refusals_ += UnsupportedFileText(*lang_, code, i == 0 ? failure.detail : nullptr) + kBlankLine + path + kBlankLine;
    }
    if (refusalBatches_ == 0) ShowRefusals();
}

void TfrmMain::ShowRefusals() {
    // Every file refused during one import or drop is listed in one dialog.
    const QString text = refusals_.trimmed();
    refusals_.clear();
    if (!text.isEmpty()) ShowError(text, kIconWarning);
}

TfrmMain::TRefusalBatch::TRefusalBatch(TfrmMain& window) : window_(window) { ++window_.refusalBatches_; }

TfrmMain::TRefusalBatch::~TRefusalBatch() {
    if (--window_.refusalBatches_ == 0) window_.ShowRefusals();
}

// ---- drops onto the sequence list

void TfrmMain::OnResourceFileDropped(int sequence, int clip, const QString& path) {
    OnFilesDroppedOnList(sequence, clip, {path});
}

void TfrmMain::OnFilesDroppedOnList(int sequence, int clip, const QStringList& paths) {
    // Onto a sequence: its clips (before the clip dropped on); elsewhere: new sequences.
    if (sequence >= 0) AddFilesToSequence(sequence, clip, paths);
    else DropFiles(paths);
}

void TfrmMain::OnResourceEntryDropped(int sequence, int clip, int groupType, int entry, const QString& data) {
    if (groupType == resgroup::kComputer) {
        if (QFileInfo(data).isDir()) ImportFolder(data);
        return;
    }
    if (groupType == resgroup::kImported) {
        OnFilesDroppedOnList(sequence, clip, {data});
        return;
    }
    if (groupType != resgroup::kTrash || !handles_.trashMgr) return;
    // The entry as the trash holds it now; a drag of an entry that has
    // changed meanwhile does nothing.
    TfmeLocalResource* trash = GroupForList(1);
    const std::optional<TResourceEntry> node = trash ? trash->NodeData(entry) : std::nullopt;
    if (!node || node->node.path != data || !node->node.value) return;
    const bool isClip = node->node.kind == 2;
    QByteArray seqName, destName;
    TSeqInsertItem insert{node->node.value, isClip ? 1 : 0, sequence, isClip ? clip : -1, nullptr, nullptr};
    if (isClip && sequence < 0) {
        // Alone, a clip comes back as a sequence of its own.
        seqName = fmeLoadedList_->NextName(lang_->Text(mainkey::kSequence)).toUtf8();
        destName = QFileInfo(node->node.path).completeBaseName().toUtf8();
        insert.seqName = seqName.constData();
        insert.destName = destName.constData();
    }
    SendToList(msg::kSeqInsert, reinterpret_cast<intptr_t>(&insert), sizeof insert);
    Send(handles_.trashMgr, msg::kResRestore, 0, static_cast<intptr_t>(node->node.id));
}
