#include "windows/TfrmPopupPreview.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "app/IniInfo.h"
#include "app/MyLang.h"
#include "windows/TPreviewSurface.h"

TfrmPopupPreview::TfrmPopupPreview(TEngineApi& engine, TIniInfo& ini, TMyLangDispatcher* languages, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), engine_(engine), ini_(ini) {
    setObjectName(QStringLiteral("frmPopupPreview"));
    setProperty("langSkip", true);  // the caption is the clip's name and the page's
    lang_ = new TMyLang(this, QStringLiteral("frmPopupPreview"), languages);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    pnlPreview_ = new TPreviewSurface(this);
    pnlPreview_->setObjectName(QStringLiteral("pnlPreview"));
    pnlPreview_->setMouseTracking(true);
    pnlPreview_->installEventFilter(this);
    layout->addWidget(pnlPreview_);

    ppmPreview_ = new QMenu(this);
    ppmPreview_->setObjectName(QStringLiteral("ppmPreview"));
    auto* group = new QActionGroup(this);
    const char* const names[] = {"miHalfSize", "miFullSize", "miTwiceSize"};
    const char* const captions[] = {"Half size", "Full size", "Twice size"};
    for (int i = 0; i < 3; ++i) {
        sizeItems_[i] = ppmPreview_->addAction(QLatin1String(captions[i]));
        sizeItems_[i]->setObjectName(QLatin1String(names[i]));
        sizeItems_[i]->setCheckable(true);
        group->addAction(sizeItems_[i]);
        connect(sizeItems_[i], &QAction::triggered, this, [this, i] { ChooseSize(i); });
    }
    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->TranslateForm(this); });
    lang_->TranslateForm(this);
}

void TfrmPopupPreview::Send(int32_t id, intptr_t p1, intptr_t p2) {
    if (clipEdit_) engine_.Send(clipEdit_, id, p1, p2);
}

void TfrmPopupPreview::Attach(CBaseListener* seqMgr, CBaseListener* clipEdit, int mode, const QString& pageCaption,
                              int clip, int sequence) {
    seqMgr_ = seqMgr;
    clipEdit_ = clipEdit;
    clip_ = clip;
    sequence_ = sequence;
    mode_ = mode;
    pressed_ = false;
    sentArea_ = Rect{0, 0, 0, 0};  // the engine hears this window's area anew
    QString caption;
    if (clip < 0 && seqMgr_ && sequence >= 0) {
        TSeqProperty name{sequence, 8, nullptr};
        engine_.Send(seqMgr_, msg::kSeqGetProperty, reinterpret_cast<intptr_t>(&name), sizeof name);
        caption = QString::fromUtf8(name.text ? name.text : "") + QStringLiteral(" - ") + pageCaption;
    }
    MediaFileInfo info{};
    if (seqMgr_ && sequence >= 0) {
        TSeqClipQuery query{sequence, clip < 0 ? 0 : clip, reinterpret_cast<intptr_t>(&info)};
        engine_.Send(seqMgr_, msg::kSeqGetMediaInfo, reinterpret_cast<intptr_t>(&query), sizeof query);
    }
    naturalWidth_ = info.isFlv ? info.width : info.imageWidth;
    naturalHeight_ = info.isFlv ? info.height : info.imageHeight;
    if (clip >= 0)
        caption = QFileInfo(QString::fromUtf8(info.path ? info.path : "")).fileName() + QStringLiteral(" - ") + pageCaption;
    setWindowTitle(caption);
    CDrawSurface* surface = pnlPreview_;
    Send(msg::kPlayerSetSurface, reinterpret_cast<intptr_t>(surface), sizeof surface);
    Resize();
}

void TfrmPopupPreview::SetMode(const QString& pageCaption, int mode) {
    mode_ = mode;
    QString caption = windowTitle();
    const int dash = caption.lastIndexOf(QStringLiteral("- "));
    if (dash >= 0) setWindowTitle(caption.left(dash + 2) + pageCaption);
}

void TfrmPopupPreview::Resize() {
    int w = naturalWidth_, h = naturalHeight_;
    if (ini_.videoScale && mode_ != 1 && clipEdit_) {
        Rect cropped{0, 0, 0, 0};
        Send(msg::kEditGetCroppedSize, reinterpret_cast<intptr_t>(&cropped), sizeof cropped);
        if (cropped.Width() > 0 && cropped.Height() > 0) w = cropped.Width(), h = cropped.Height();
    }
    const int sizeType = ini_.popupSizeType;
    if (sizeType == 0) w /= 2, h /= 2;
    else if (sizeType == 2) w *= 2, h *= 2;
    if (sizeType >= 0 && sizeType < 3) sizeItems_[sizeType]->setChecked(true);
    resize(std::max(w, 16), std::max(h, 16));
    // The panel's resize event tells the engine its new area; a window not
    // shown yet lays out when it is, and tells it then.
    QApplication::processEvents();
    SendArea();
}

void TfrmPopupPreview::SendArea() {
    // Until the window is shown its panel has no size of its own.
    if (!isVisible()) return;
    Rect area = pnlPreview_->Area();
    if (area.Width() <= 0 || area.Height() <= 0 || area == sentArea_) return;
    sentArea_ = area;
    Send(msg::kPlayerSetArea, reinterpret_cast<intptr_t>(&area), sizeof area);
    Send(msg::kPlayerRedraw);
}

void TfrmPopupPreview::ChooseSize(int sizeType) {
    ini_.popupSizeType = sizeType;
    Resize();
}

void TfrmPopupPreview::closeEvent(QCloseEvent* e) {
    QWidget::closeEvent(e);
    if (onClosed) onClosed();
}

void TfrmPopupPreview::contextMenuEvent(QContextMenuEvent* e) { ppmPreview_->popup(e->globalPos()); }

bool TfrmPopupPreview::eventFilter(QObject* watched, QEvent* e) {
    if (watched != pnlPreview_) return QWidget::eventFilter(watched, e);
    switch (e->type()) {
        case QEvent::Resize:
        case QEvent::Show:
            // Shown, or sized by the user's drag: the engine draws to the new size.
            SendArea();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            if (mode_ != 1 && mode_ != 2) break;  // only crop and watermark editing take the mouse
            auto* me = static_cast<QMouseEvent*>(e);
            if (e->type() == QEvent::MouseButtonPress && me->button() != Qt::LeftButton) break;
            int kind = e->type() == QEvent::MouseButtonPress ? kPress : e->type() == QEvent::MouseMove ? kMove : kRelease;
            if (kind == kPress) pressed_ = true;
            if (kind == kRelease) {
                if (!pressed_) break;  // a release without our press started elsewhere
                pressed_ = false;
            }
            if (onMouse) onMouse(me->position().toPoint(), kind);
            break;
        }
        case QEvent::Enter:
        case QEvent::Leave:
            if (onHover) onHover(pnlPreview_, e->type() == QEvent::Enter);
            break;
        default: break;
    }
    return QWidget::eventFilter(watched, e);
}
