// The main window's side of the resource browser: the imported list and the
// trash as the engine reports them, deleting and emptying them, browsing to
// a resource, and the resource preview with its own player.

#include <QApplication>
#include <QDataStream>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "app/FileChecks.h"
#include "app/MyLang.h"
#include "app/TimeFormat.h"
#include "windows/FlvFileMessages.h"
#include "windows/MainLangKeys.h"
#include "windows/ResourcePlaces.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfmeResourceList.h"
#include "windows/TfrmMain.h"
#include "windows/TfrmPrompt.h"
#include "windows/TmyTrackBar.h"

namespace {
const QString kBlankLine = QStringLiteral("\n\n");

// Which list a resource notification speaks of: by the entry's type when it
// carries one (0, 1 imported; 2, 3 trash), else by p2 (0 imported, 1 trash).
int ListOfEntry(const ResourceInfo& info) { return info.type >= 2 ? 1 : 0; }

const ResourceInfo* InfoOf(intptr_t p1, intptr_t p2) {
    return p1 && p2 == static_cast<intptr_t>(sizeof(ResourceInfo)) ? reinterpret_cast<const ResourceInfo*>(p1)
                                                                     : nullptr;
}

// A file for the preview: an FLV file by name or by its first bytes (cache
// entries have no extension), any other file is tried as a picture.
PlayerOpenRequest FileRequest(const QByteArray& path) {
    const QString name = QString::fromUtf8(path);
    const bool flv = resplaces::HasFlvExtension(name) || IsFlvSignature(name);
    return PlayerOpenRequest{path.constData(), nullptr, flv ? 0 : 1, 0};
}
}  // namespace

TfmeLocalResource* TfrmMain::GroupForList(int listIndex) const {
    return fmeResList_->GroupOfType(listIndex == 0 ? resgroup::kImported : resgroup::kTrash);
}

void TfrmMain::ConnectGroup(TfmeLocalResource* group) {
    connect(group, &TfmeLocalResource::previewRequested, this, &TfrmMain::OnResourcePreview);
    connect(group, &TfmeLocalResource::deleteRequested, this, &TfrmMain::OnResourceDelete);
    connect(group, &TfmeLocalResource::clearRequested, this, &TfrmMain::OnResourceClear);
    connect(group, &TfmeLocalResource::refreshRequested, this, [this] { StopResourcePreview(); });
    connect(group, &TfmeLocalResource::browseRequested, this, &TfrmMain::OnResourceBrowse);
}

void TfrmMain::RefreshEngineLists() {
    // The managers send their whole lists again.
    Send(handles_.importedMgr, msg::kResList);
    Send(handles_.trashMgr, msg::kResList);
}

// ---- the engine's lists

void TfrmMain::OnResListStart(void*, uint32_t, intptr_t, intptr_t p2) {
    if (TfmeLocalResource* group = GroupForList(p2 == 1 ? 1 : 0)) group->Tree()->setUpdatesEnabled(false);
}

void TfrmMain::OnResListEnd(void*, uint32_t, intptr_t, intptr_t p2) {
    if (TfmeLocalResource* group = GroupForList(p2 == 1 ? 1 : 0)) group->Tree()->setUpdatesEnabled(true);
}

void TfrmMain::OnResEntry(void*, uint32_t, intptr_t p1, intptr_t p2) {
    const ResourceInfo* info = InfoOf(p1, p2);
    if (!info) return;
    if (TfmeLocalResource* group = GroupForList(ListOfEntry(*info)))
        group->AddResource(QString::fromUtf8(info->name ? info->name : ""), info->object, info->type, info->index);
}

void TfrmMain::OnResRemoving(void*, uint32_t, intptr_t p1, intptr_t p2) {
    const ResourceInfo* info = InfoOf(p1, p2);
    if (!info) return;
    if (TfmeLocalResource* group = GroupForList(ListOfEntry(*info))) group->DeleteNode(static_cast<int>(info->index));
}

void TfrmMain::OnResRestoring(void*, uint32_t, intptr_t p1, intptr_t p2) {
    const ResourceInfo* info = InfoOf(p1, p2);
    if (!info) return;
    // The restored object is the list's now; a preview of it must not outlive the entry.
    if (previewNode_ && previewNode_->value == info->object) StopResourcePreview();
    if (TfmeLocalResource* group = GroupForList(1)) group->DeleteNode(static_cast<int>(info->index));
}

void TfrmMain::OnResClearing(void*, uint32_t, intptr_t, intptr_t p2) {
    if (TfmeLocalResource* group = GroupForList(p2 == 1 ? 1 : 0)) group->ClearNodes();
}

// ---- what the user does in the browser

void TfrmMain::OnResourceDelete(const TResourceEntry& entry) {
    CBaseListener* manager = entry.groupType == resgroup::kTrash      ? handles_.trashMgr
                             : entry.groupType == resgroup::kImported ? handles_.importedMgr
                                                                      : nullptr;
    if (!manager) return;
    if (previewNode_ && previewNode_->path == entry.node.path && previewNode_->value == entry.node.value)
        StopResourcePreview();
    Send(manager, msg::kResRemove, 0, static_cast<intptr_t>(entry.node.id));
}

void TfrmMain::OnResourceClear(int groupType) {
    CBaseListener* manager = groupType == resgroup::kTrash      ? handles_.trashMgr
                             : groupType == resgroup::kImported ? handles_.importedMgr
                                                                : nullptr;
    if (!manager) return;
    StopResourcePreview();
    Send(manager, msg::kResClear);
}

void TfrmMain::OnResourceBrowse(const TResourceEntry& entry) {
    if (entry.groupType == resgroup::kTrash) return;
    const QFileInfo info(entry.node.path);
    // A file shows its folder; a folder opens itself.
    if (info.isFile()) QDesktopServices::openUrl(QUrl::fromLocalFile(info.absolutePath()));
    else if (info.isDir()) QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()));
}

void TfrmMain::OnResourcePreview(const std::optional<TResourceEntry>& entry) {
    if (!entry) return;
    if (entry->groupType == resgroup::kTrash) {
        // A trashed sequence has nothing to show.
        if (entry->node.kind == 3) StopResourcePreview();
        else PreviewNode(entry->node);
        return;
    }
    const QFileInfo info(entry->node.path);
    if (info.isDir()) return;
    if (!info.isFile()) {
        ShowError(lang_->Text(langkey::kErrNotExist) + kBlankLine + entry->node.path, kIconWarning);
        return;
    }
    TResourceNode node;
    node.path = entry->node.path;
    PreviewNode(node);
}

void TfrmMain::PreviewNode(const TResourceNode& node) {
    if (!handles_.resourcePlayer) return;
    StopResourcePreview();
    previewNode_ = node;
    const QByteArray path = node.path.toUtf8();
    PlayerOpenRequest request = node.value ? PlayerOpenRequest{path.constData(), node.value, 2, static_cast<int32_t>(node.id)}
                                           : FileRequest(path);
    Send(handles_.resourcePlayer, msg::kPlayerOpen, reinterpret_cast<intptr_t>(&request), sizeof request);
}

void TfrmMain::StopResourcePreview() {
    if (!previewNode_) return;
    previewNode_.reset();
    Send(handles_.resourcePlayer, msg::kPlayerStop);
    Send(handles_.resourcePlayer, msg::kPlayerClose);
    ResetResourcePreview();
}

// ---- the preview's state

void TfrmMain::ResetResourcePreview() {
    resTimer_->stop();
    previewDuration_ = 0;
    previewDurationText_ = FormatTime(true, 0);
    fmeResPlayer_->SetRange(0, 0);
    fmeResPlayer_->setEnabled(false);
    lblResName_->clear();
    lblResName_->setToolTip(QString());
    lblResDuration_->setText(FormatTime(true, 0) + QStringLiteral(" / ") + previewDurationText_);
    btnResPlay_->show();
    btnResPlay_->setEnabled(false);
    btnResPause_->hide();
    btnResStop_->setEnabled(false);
    imgResPreviewMask_->resize(resPreview_->size());
    imgResPreviewMask_->show();
}

void TfrmMain::ShowResourcePlaying(bool playing) {
    btnResPlay_->setVisible(!playing);
    btnResPlay_->setEnabled(!playing);
    btnResPause_->setVisible(playing);
    btnResPause_->setEnabled(playing);
    btnResStop_->setEnabled(true);
    if (playing) {
        imgResPreviewMask_->hide();
        resTimer_->start();
    } else {
        resTimer_->stop();
    }
}

void TfrmMain::UpdateResourcePosition(int64_t ms) {
    fmeResPlayer_->SetPosition(ms);
    lblResDuration_->setText(FormatTime(true, ms) + QStringLiteral(" / ") + previewDurationText_);
}

void TfrmMain::OnResourcePlayerNote(void*, uint32_t id, intptr_t p1, intptr_t p2) {
    // Any thread: copy what the note carries and handle it on the window thread.
    if (id == static_cast<uint32_t>(msg::kNotifyPlayerEnded)) {
        PostWindowMessage(this, wm::kResourcePreviewEnded, nullptr, 0);
        return;
    }
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    QString text;
    qint32 code = 0, kind = 0;
    QByteArray head;
    if (id == static_cast<uint32_t>(msg::kNotifyPlayerOpened) && p1) {
        text = QString::fromUtf8(reinterpret_cast<const char*>(p1));
    } else if (id == static_cast<uint32_t>(msg::kNotifyPlayerOpenFailed) && p1 &&
               p2 == static_cast<intptr_t>(sizeof(PlayerOpenFailure))) {
        const auto& failure = *reinterpret_cast<const PlayerOpenFailure*>(p1);
        text = QString::fromUtf8(failure.path ? failure.path : "");
        code = failure.code;
        kind = failure.kind;
        if (failure.info) head = QByteArray(static_cast<const char*>(failure.info), 12);  // version and codecs
    }
    out << qint32(id) << qint64(p2) << text << code << kind << head;
    PostWindowMessage(this, kResourcePreviewNote, data.constData(), static_cast<size_t>(data.size()));
}

void TfrmMain::OnResourceNote(int32_t id, const QByteArray& data) {
    qint64 p2 = 0;
    QString text;
    qint32 code = 0, kind = 0;
    QByteArray head;
    if (id == 0) {
        QDataStream in(data);
        in >> id >> p2 >> text >> code >> kind >> head;
    }
    switch (id) {
        case msg::kNotifyPlayerOpened: {
            int32_t duration = 0;
            Send(handles_.resourcePlayer, msg::kPlayerGetDuration, reinterpret_cast<intptr_t>(&duration),
                 sizeof duration);
            previewDuration_ = duration;
            previewDurationText_ = FormatTime(true, duration);
            UpdateResourcePosition(0);
            const QString name = QFileInfo(text).fileName().isEmpty() ? text : QFileInfo(text).fileName();
            lblResName_->setText(lblResName_->fontMetrics().elidedText(name, Qt::ElideRight,
                                                                       std::max(lblResName_->width(), 60)));
            lblResName_->setToolTip(text);
            fmeResPlayer_->SetRange(0, duration);
            fmeResPlayer_->setEnabled(true);
            Send(handles_.resourcePlayer, msg::kPlayerPlay);
            break;
        }
        case msg::kNotifyPlayerPlaying: ShowResourcePlaying(true); break;
        case msg::kNotifyPlayerPaused:
            ShowResourcePlaying(false);
            Send(handles_.resourcePlayer, msg::kPlayerRedraw);
            break;
        case msg::kNotifyPlayerEnded:
        case msg::kNotifyPlayerStopped:
            ShowResourcePlaying(false);
            fmeResPlayer_->SetPosition(0);
            UpdateResourcePosition(0);
            if (id == msg::kNotifyPlayerStopped) fmeResPlayer_->setEnabled(false);
            else fmeResPlayer_->setEnabled(previewNode_.has_value());
            Send(handles_.resourcePlayer, msg::kPlayerRedraw);
            break;
        case msg::kNotifyPlayerSeeked:
            if (!resTimer_->isActive()) UpdateResourcePosition(p2);
            break;
        case msg::kNotifyPlayerOpenFailed: {
            previewNode_.reset();
            ResetResourcePreview();
            const QString why = code == kUnsupportedFlvCode && kind == 0
                                    ? UnsupportedFileText(*lang_, code, head.size() == 12 ? head.constData() : nullptr)
                                    : lang_->Text(mainkey::kOpenFile);
            ShowError(why + kBlankLine + text, kIconError);
            break;
        }
        case msg::kNotifyPlayerClosed:
            ResetResourcePreview();
            break;
        default: break;
    }
}
