// The engine's notifications to the panel: the edited clip, its settings and
// its preview player.
#include <QDataStream>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include "app/TimeFormat.h"
#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"
#include "windows/TFlvClipPage.h"
#include "windows/TFlvEffectPage.h"
#include "windows/TFlvInfoPage.h"
#include "windows/TFlvWatermarkPage.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfmeRangeSlider.h"
#include "windows/TfrmPopupPreview.h"

namespace {
bool IsPlayerNote(uint32_t id) { return id >= 110581201 && id <= 110581211; }
}  // namespace

void TfmeFlvCustomize::OnNotify(void*, uint32_t id, intptr_t p1, intptr_t p2) {
    if (IsPlayerNote(id) && QThread::currentThread() != thread()) {
        // The player's own threads (the end of playback, a deferred seek, a
        // snapshot that failed): copy the words and handle them on ours.
        if (id == msg::kNotifyPlayerEnded) {
            PostWindowMessage(this, wm::kClipPreviewEnded, nullptr, 0);
            return;
        }
        QByteArray data;
        QDataStream out(&data, QIODevice::WriteOnly);
        out << static_cast<qint32>(id) << static_cast<qint64>(p2)
            << (id == msg::kNotifyPlayerSnapshotFailed && p1 ? QString::fromUtf8(reinterpret_cast<const char*>(p1))
                                                               : QString());
        PostWindowMessage(this, kClipPreviewNote, data.constData(), static_cast<size_t>(data.size()));
        return;
    }
    switch (id) {
        case msg::kNotifyEditClip:
            if (p1 && p2 == static_cast<intptr_t>(sizeof(TSeqSelection)))
                OnEditClip(*reinterpret_cast<const TSeqSelection*>(p1));
            return;
        case msg::kNotifyEditNone: Clear(); return;
        case msg::kNotifyEditChanging: watermarkPage_->ClearAll(); return;
        case msg::kNotifyBrightness: effectPage_->OnBrightness(p2); return;
        case msg::kNotifyContrast: effectPage_->OnContrast(p2); return;
        case msg::kNotifyVolume: effectPage_->OnVolume(p2); return;
        case msg::kNotifyEffectName: effectPage_->OnEffectName(reinterpret_cast<const char*>(p1)); return;
        case msg::kNotifyFlip: effectPage_->OnFlip(p2); return;
        case msg::kNotifyDeinterlace: effectPage_->OnDeinterlace(p2); return;
        case msg::kNotifyTrimStart:
            if (p1) clipPage_->OnTrimStart(*reinterpret_cast<const uint32_t*>(p1));
            return;
        case msg::kNotifyTrimEnd:
            if (p1) clipPage_->OnTrimEnd(*reinterpret_cast<const uint32_t*>(p1));
            return;
        case msg::kNotifyTrimDuration: TrimChanged(); return;
        case msg::kNotifyCropMargins:
            if (p1 && p2 == static_cast<intptr_t>(sizeof(Rect))) clipPage_->OnCropMargins(*reinterpret_cast<const Rect*>(p1));
            return;
        case msg::kNotifyCropHandle:
        case msg::kNotifyWaterMarkHandle: SetPreviewCursor(p2); return;
        case msg::kNotifyWaterMarkAdded: watermarkPage_->OnAdded(static_cast<int>(p2)); return;
        case msg::kNotifyWaterMarkRemoving: watermarkPage_->OnRemoving(static_cast<int>(p2)); return;
        case msg::kNotifyWaterMarksCleared: watermarkPage_->OnCleared(); return;
        case msg::kNotifyWaterMarkSelected: watermarkPage_->OnSelected(static_cast<int>(p2)); return;
        case msg::kNotifyWaterMarkStart: watermarkPage_->OnStartTime(static_cast<uint32_t>(p2)); return;
        case msg::kNotifyWaterMarkEnd: watermarkPage_->OnEndTime(static_cast<uint32_t>(p2)); return;
        case msg::kNotifyWaterMarkFadeIn:
        case msg::kNotifyWaterMarkFadeOut: watermarkPage_->OnFade(); return;
        case msg::kNotifyWaterMarkPlace:
            if (p1 && p2 == static_cast<intptr_t>(sizeof(WaterMarkPlace))) {
                watermarkPage_->OnPlace(*reinterpret_cast<const WaterMarkPlace*>(p1));
                clipPage_->UpdateCropLabel();
            }
            return;
        case msg::kNotifyWaterMarkDeselected: watermarkPage_->OnDeselected(); return;
        case msg::kNotifyWaterMarkMoved:
            if (p1 && p2 == static_cast<intptr_t>(sizeof(WaterMarkMove)))
                watermarkPage_->OnMoved(*reinterpret_cast<const WaterMarkMove*>(p1));
            return;
        case msg::kNotifyPlayerOpenFailed:
            if (p1 && p2 == static_cast<intptr_t>(sizeof(PlayerOpenFailure))) {
                const auto& failure = *reinterpret_cast<const PlayerOpenFailure*>(p1);
                link_->Warn(link_->Text(panelkey::kErrPlay) + QStringLiteral("\r\n\r\n") +
                            QString::fromUtf8(failure.path ? failure.path : ""));
            }
            return;
        case msg::kNotifyPlayerSnapshotFailed:
            OnPlayerNote(static_cast<int32_t>(id), p2, QString::fromUtf8(p1 ? reinterpret_cast<const char*>(p1) : ""));
            return;
        default:
            if (IsPlayerNote(id)) OnPlayerNote(static_cast<int32_t>(id), p2, QString());
            return;
    }
}

void TfmeFlvCustomize::OnWindowMessage(int message, const QByteArray& data) {
    if (message == wm::kClipPreviewEnded) {
        ShowStopped();
        return;
    }
    if (message != kClipPreviewNote) return;
    QDataStream in(data);
    qint32 id = 0;
    qint64 p2 = 0;
    QString text;
    in >> id >> p2 >> text;
    OnPlayerNote(id, static_cast<intptr_t>(p2), text);
}

void TfmeFlvCustomize::OnPlayerNote(int32_t id, intptr_t p2, const QString& text) {
    const bool pictures = link_->clipKind != 4;
    switch (id) {
        case msg::kNotifyPlayerPlaying:
            paused_ = false;
            slider_->SetEnabled(true);
            if (link_->clip >= 0) {
                clipPage_->SliderFromTrim(link_->Trim());
            } else {
                slider_->SetMax(static_cast<int>(p2));
                slider_->SetMin(0);
                slider_->SetTrimStart(0);
                slider_->SetTrimEnd(static_cast<int>(p2));
            }
            PageChanged();
            ShowPlayingButtons(true);
            for (QPushButton* b : {btnPreFrame_, btnNextFrame_, btnSnap_, btnPopup_}) b->setEnabled(pictures);
            tmrUpdatePos_->start();
            return;
        case msg::kNotifyPlayerPaused:
            paused_ = true;
            ShowPlayingButtons(false);
            for (QPushButton* b : {btnPreFrame_, btnNextFrame_, btnSnap_, btnPopup_}) b->setEnabled(pictures);
            tmrUpdatePos_->stop();
            RefreshThumbnails();
            return;
        case msg::kNotifyPlayerStopped:
            ShowStopped();
            link_->Send(msg::kPlayerRedraw);
            return;
        case msg::kNotifyPlayerSteppedForward:
        case msg::kNotifyPlayerSteppedBack: UpdatePosition(); return;
        case msg::kNotifyPlayerSeeked: ShowPosition(static_cast<int32_t>(p2)); return;
        case msg::kNotifyPlayerSnapshotFailed:
            link_->Warn(link_->Text(panelkey::kErrSnapshot) + QStringLiteral("\n\n") + text);
            return;
        default: return;
    }
}

void TfmeFlvCustomize::OnEditClip(const TSeqSelection& selection) {
    link_->sequence = selection.sequence;
    link_->clip = selection.clip;
    paused_ = false;
    MediaFileInfo info{};
    QString path;
    link_->ReadMediaInfo(selection.sequence, selection.clip, info, &path);
    durationText_ = FormatTime(true, info.duration);
    link_->clipKind = ClipKindOf(info);
    naturalWidth_ = info.isFlv ? info.width : info.imageWidth;
    naturalHeight_ = info.isFlv ? info.height : info.imageHeight;
    if (link_->clipKind == 4 && popup_ && popup_->isVisible()) popup_->close();
    {
        TUpdating updating(*link_);
        infoPage_->Fill(info, path);
        clipPage_->Fill(info);
        effectPage_->Fill();
        watermarkPage_->Fill();
    }
    EnableGroups(true);
    imgPreviewMask_->hide();
    pnlPreview_->show();
    Play();
}

void TfmeFlvCustomize::EnableGroups(bool on) {
    const int kind = link_->clipKind;
    const bool target = on && link_->sequence != -1;
    slider_->SetEnabled(on);
    for (QPushButton* b : {btnPlay_, btnPause_, btnStop_}) b->setEnabled(target);
    for (QPushButton* b : {btnPreFrame_, btnNextFrame_, btnSnap_, btnOpen_, btnPopup_}) b->setEnabled(on && kind != 4);
    clipPage_->EnableTrim(on);
    clipPage_->EnableCrop(on && kind != 4);
    watermarkPage_->EnableGroup(on && kind != 4);
    effectPage_->Enable(on && kind != 4, on && kind != 3);
}

void TfmeFlvCustomize::Clear() {
    link_->sequence = link_->clip = -1;
    link_->clipKind = 1;
    paused_ = false;
    pressed_ = false;
    tmrUpdatePos_->stop();
    slider_->Reset();
    slider_->SetEnabled(false);
    pnlCurPlayTime_->setText(QStringLiteral("00:00:00.000 / 00:00:00.000"));
    durationText_ = QStringLiteral("00:00:00.000");
    EnableGroups(false);
    ShowPlayingButtons(false);
    pnlPreview_->hide();
    imgPreviewMask_->show();
    imgPreviewMask_->setGeometry(pnlPreviewParent_->rect());
    if (popup_ && popup_->isVisible()) popup_->Preview()->update();
    watermarkPage_->ClearAll();
    clipPage_->Clear();
    effectPage_->Clear();
    infoPage_->Clear();
}

void TfmeFlvCustomize::TrimChanged() {
    if (onTrimChanged) onTrimChanged(link_->sequence, link_->Trim(), link_->clip);
}
