// The panel's preview: attaching and fitting it, the player's buttons and
// states, pages and drawing modes, the mouse on the picture, the floating
// window, snapshots and applying settings to other clips.
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "app/FileChecks.h"
#include "app/IniInfo.h"
#include "app/TimeFormat.h"
#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"
#include "windows/TFlvClipPage.h"
#include "windows/TFlvEffectPage.h"
#include "windows/TFlvWatermarkPage.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeFlvCustomize.h"
#include "windows/TfmeRangeSlider.h"
#include "windows/TfrmApplySelected.h"
#include "windows/TfrmPopupPreview.h"

// ---- the embedded preview

void TfmeFlvCustomize::AttachEmbedded() {
    CDrawSurface* surface = pnlPreview_;
    link_->Send(msg::kPlayerSetSurface, reinterpret_cast<intptr_t>(surface), sizeof surface);
    MediaFileInfo info{};
    link_->ReadMediaInfo(link_->sequence, link_->clip < 0 ? 0 : link_->clip, info);
    naturalWidth_ = info.isFlv ? info.width : info.imageWidth;
    naturalHeight_ = info.isFlv ? info.height : info.imageHeight;
    Fit();
}

// The preview takes the picture's shape, centred in its parent: the cropped
// picture's when "VideoScale" is on (except while cropping), else the whole one's.
void TfmeFlvCustomize::Fit() {
    int w = naturalWidth_, h = naturalHeight_;
    if (ini_.videoScale && pgcFlvCustomize_->currentIndex() != kClipPage) {
        const Rect cropped = link_->CroppedSize();
        if (cropped.Width() > 0 && cropped.Height() > 0) w = cropped.Width(), h = cropped.Height();
    }
    int x = 0, y = 0, width = pnlPreviewParent_->width(), height = pnlPreviewParent_->height();
    if (w > 0 && h > 0) FitAspect(x, y, width, height, w, h);
    pnlPreview_->setGeometry(x, y, std::max(1, width), std::max(1, height));
    imgPreviewMask_->setGeometry(pnlPreviewParent_->rect());
    Rect area = pnlPreview_->Area();
    link_->SendRecord(msg::kPlayerSetArea, area);
}

void TfmeFlvCustomize::Refit() {
    if (popup_ && popup_->isVisible()) popup_->Resize();
    else Fit();
}

// ---- the player's buttons and states

void TfmeFlvCustomize::Play() {
    if (!link_->Active()) return;
    if (paused_) {
        link_->Send(msg::kPlayerPlay);
        return;
    }
    if (popup_ && popup_->isVisible())
        popup_->Attach(link_->seqMgr, link_->clipEdit, PageMode(), PageCaption(), link_->clip, link_->sequence);
    else AttachEmbedded();
    link_->Send(msg::kPlayerPlay);
}

void TfmeFlvCustomize::ShowPlayingButtons(bool playing) {
    const bool target = link_->sequence != -1;
    btnPlay_->setVisible(!playing);
    btnPlay_->setEnabled(!playing && target);
    btnPause_->setVisible(playing);
    btnPause_->setEnabled(playing && target);
    btnStop_->setEnabled(target);
}

void TfmeFlvCustomize::ShowStopped() {
    ShowPlayingButtons(false);
    btnStop_->setEnabled(false);
    const int start = slider_->GetTrimStart();
    slider_->SetPosition(start < 1 ? 0 : start);
    pnlCurPlayTime_->setText(QStringLiteral("00:00:00.000 / ") + durationText_);
    tmrUpdatePos_->stop();
}

void TfmeFlvCustomize::ShowPosition(int32_t position) {
    slider_->SetPosition(position);
    pnlCurPlayTime_->setText(FormatTime(true, position) + QStringLiteral(" / ") + durationText_);
}

void TfmeFlvCustomize::UpdatePosition() {
    if (!link_->Active()) return;
    ShowPosition(link_->Position());
}

// ---- pages and drawing modes

int TfmeFlvCustomize::PageMode() const {
    switch (pgcFlvCustomize_->currentIndex()) {
        case kClipPage: return 1;
        case kWatermarkPage: return 2;
        case kEffectPage: return 3;
        default: return 0;
    }
}

QString TfmeFlvCustomize::PageCaption() const { return pgcFlvCustomize_->tabText(pgcFlvCustomize_->currentIndex()); }

void TfmeFlvCustomize::PageChanged() {
    if (!link_->clipEdit) return;
    const int page = pgcFlvCustomize_->currentIndex();
    const bool clip = link_->clip >= 0;
    link_->Send(msg::kPlayerSetMode, 0, PageMode());
    // After the mode: leaving watermark editing deselects the watermark, and
    // that notification must not decide the slider of the new page.
    switch (page) {
        case kClipPage: slider_->SetMode(clip ? TfmeRangeSlider::kTrim : TfmeRangeSlider::kPositionOnly); break;
        case kWatermarkPage:
            slider_->SetMode(clip && watermarkPage_->SelectedRow() >= 0 ? TfmeRangeSlider::kBoth
                                                                        : TfmeRangeSlider::kPositionOnly);
            break;
        default: slider_->SetMode(TfmeRangeSlider::kPositionOnly); break;
    }
    if (popup_ && popup_->isVisible()) {
        popup_->SetMode(PageCaption(), PageMode());
        popup_->Resize();
    } else {
        Fit();
    }
    SetPreviewCursor(0);
    if (page == kEffectPage) {
        // What the preview holds may be another clip's last picture, or
        // nothing yet: the next picture it shows makes them again.
        thumbnailsDue_ = true;
        RefreshThumbnails();
        if (paused_) link_->Send(msg::kPlayerRedraw);
    }
}

void TfmeFlvCustomize::OnPresented(TPreviewSurface* surface) {
    if (!thumbnailsDue_ || pgcFlvCustomize_->currentIndex() != kEffectPage) return;
    TPreviewSurface* shown = popup_ && popup_->isVisible() ? popup_->Preview() : pnlPreview_;
    if (surface != shown || shown->FramesPresented() == 0) return;
    thumbnailsDue_ = false;
    RefreshThumbnails();
}

void TfmeFlvCustomize::RefreshThumbnails() {
    if (pgcFlvCustomize_->currentIndex() != kEffectPage) return;
    TPreviewSurface* shown = popup_ && popup_->isVisible() ? popup_->Preview() : pnlPreview_;
    effectPage_->RefreshThumbnails(shown->CurrentFrame());
}

// ---- the mouse on the picture

void TfmeFlvCustomize::PreviewMouse(QPoint point, int kind) {
    const int page = pgcFlvCustomize_->currentIndex();
    if (page != kClipPage && page != kWatermarkPage) return;
    static const int32_t kCrop[] = {msg::kEditCropMouseDown, msg::kEditCropMouseMove, msg::kEditCropMouseUp};
    static const int32_t kWater[] = {msg::kWaterMarkMouseDown, msg::kWaterMarkMouseMove, msg::kWaterMarkMouseUp};
    EditPoint p{point.x(), point.y()};
    link_->SendRecord(page == kClipPage ? kCrop[kind] : kWater[kind], p);
}

void TfmeFlvCustomize::SetPreviewCursor(intptr_t handle) {
    QWidget* shown = popup_ && popup_->isVisible() ? static_cast<QWidget*>(popup_->Preview()) : pnlPreview_;
    switch (handle) {
        case 0: shown->setCursor(Qt::ArrowCursor); break;
        case 1:
        case 5: shown->setCursor(Qt::SizeHorCursor); break;
        case 2:
        case 8: shown->setCursor(Qt::SizeFDiagCursor); break;
        case 3:
        case 7: shown->setCursor(Qt::SizeVerCursor); break;
        case 4:
        case 6: shown->setCursor(Qt::SizeBDiagCursor); break;
        case 9: shown->setCursor(Qt::SizeAllCursor); break;
        default: break;  // any other value leaves the cursor
    }
}

bool TfmeFlvCustomize::eventFilter(QObject* watched, QEvent* e) {
    if (watched == pnlPreviewParent_ && e->type() == QEvent::Resize) {
        imgPreviewMask_->setGeometry(pnlPreviewParent_->rect());
        if (link_->Active() && !(popup_ && popup_->isVisible())) Fit();
    }
    if (watched == pnlPreview_ && !(popup_ && popup_->isVisible())) {
        switch (e->type()) {
            case QEvent::MouseButtonPress: {
                auto* me = static_cast<QMouseEvent*>(e);
                if (me->button() != Qt::LeftButton) break;
                pressed_ = true;
                PreviewMouse(me->position().toPoint(), TfrmPopupPreview::kPress);
                break;
            }
            case QEvent::MouseMove:
                PreviewMouse(static_cast<QMouseEvent*>(e)->position().toPoint(), TfrmPopupPreview::kMove);
                break;
            case QEvent::MouseButtonRelease:
                if (!pressed_) break;  // the press was not ours
                pressed_ = false;
                PreviewMouse(static_cast<QMouseEvent*>(e)->position().toPoint(), TfrmPopupPreview::kRelease);
                break;
            case QEvent::Enter:
            case QEvent::Leave: {
                if (!onHint) break;
                const int page = pgcFlvCustomize_->currentIndex();
                const TLangKey* key = page == kClipPage        ? &panelkey::kHintPreviewClip
                                      : page == kWatermarkPage ? &panelkey::kHintPreviewWatermark
                                                               : nullptr;
                onHint(pnlPreview_, e->type() == QEvent::Enter && key ? link_->Text(*key) : QString());
                break;
            }
            default: break;
        }
    }
    return QFrame::eventFilter(watched, e);
}

// ---- the floating preview

void TfmeFlvCustomize::TogglePopup() {
    if (!link_->Active()) return;
    if (popup_ && popup_->isVisible()) {
        popup_->close();  // PopupClosed attaches the embedded preview again
        return;
    }
    if (!popup_) {
        popup_ = new TfrmPopupPreview(engine_, ini_, languages_, this);
        popup_->onClosed = [this] { PopupClosed(); };
        connect(popup_->Preview(), &TPreviewSurface::presented, this, [this] { OnPresented(popup_->Preview()); });
        popup_->onMouse = [this](QPoint point, int kind) { PreviewMouse(point, kind); };
        popup_->onHover = [this](QWidget* control, bool entered) {
            if (!onHint) return;
            const int page = pgcFlvCustomize_->currentIndex();
            const TLangKey* key = page == kClipPage        ? &panelkey::kHintPreviewClip
                                  : page == kWatermarkPage ? &panelkey::kHintPreviewWatermark
                                                           : nullptr;
            onHint(control, entered && key ? link_->Text(*key) : QString());
        };
    }
    // Shown first: sized while hidden, its panel would tell the engine the
    // size it has before any layout.
    popup_->show();
    popup_->Attach(link_->seqMgr, link_->clipEdit, PageMode(), PageCaption(), link_->clip, link_->sequence);
    pnlPreview_->update();
}

void TfmeFlvCustomize::PopupClosed() {
    if (!link_->Active()) return;
    AttachEmbedded();
    link_->Send(msg::kPlayerRedraw);
}

// ---- snapshots

QString TfmeFlvCustomize::NextSnapshotPath() const {
    MediaFileInfo info{};
    QString clipPath;
    link_->ReadMediaInfo(link_->sequence, link_->clip, info, &clipPath);
    const QString base = QFileInfo(clipPath).completeBaseName();
    QString folder = ini_.snapPath;
    if (!folder.endsWith(QLatin1Char('/'))) folder += QLatin1Char('/');
    const QString ext = ini_.snapImgType == 1 ? QStringLiteral(".jpg") : QStringLiteral(".bmp");
    QString path = folder + base + ext;
    for (int n = 0; QFileInfo::exists(path); ++n) path = folder + base + QLatin1Char('_') + QString::number(n) + ext;
    return path;
}

void TfmeFlvCustomize::TakeSnapshot() {
    if (!link_->Active() || link_->clip < 0) return;
    QDir().mkpath(ini_.snapPath);
    const QByteArray path = NextSnapshotPath().toUtf8();
    link_->Send(msg::kPlayerSnapshot, reinterpret_cast<intptr_t>(path.constData()), path.size() + 1);
}

void TfmeFlvCustomize::OpenSnapshotFolder() {
    QDir().mkpath(ini_.snapPath);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(ini_.snapPath)))
        link_->Warn(link_->Text(panelkey::kErrOpenSnap) + QStringLiteral("\n\n") + ini_.snapPath);
}

// ---- applying to other clips

void TfmeFlvCustomize::ApplyToAll() {
    switch (pgcFlvCustomize_->currentIndex()) {
        case kEffectPage: link_->Send(msg::kEditEffectsToAll); break;
        case kWatermarkPage: link_->Send(msg::kWaterMarkApplyToAll); break;
        case kClipPage:
            link_->Send(msg::kEditCropTrimToAll);
            if (onApplied) onApplied(true, -1, -1);
            break;
        default: break;
    }
}

void TfmeFlvCustomize::ApplyToSelected() {
    if (!link_->Active()) return;
    const int page = pgcFlvCustomize_->currentIndex();
    if (page != kEffectPage && page != kWatermarkPage && page != kClipPage) return;
    TfrmApplySelected chooser(engine_, link_->seqMgr, languages_, this);
    if (chooser.exec() != QDialog::Accepted) return;
    for (const TfrmApplySelected::Target& t : chooser.Targets()) {
        EditTarget target{1, t.sequence, t.clip};
        switch (page) {
            case kEffectPage: link_->SendRecord(msg::kEditEffectsTo, target); break;
            case kWatermarkPage: link_->SendRecord(msg::kWaterMarkApplyTo, target); break;
            default:
                link_->SendRecord(msg::kEditTrimCropTo, target);
                if (onApplied) onApplied(false, t.clip, t.sequence);
                break;
        }
    }
}
