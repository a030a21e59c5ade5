// The panel's controls, its owner-facing operations and its translation.
#include "windows/TfmeFlvCustomize.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "app/IniInfo.h"
#include "app/MyLang.h"
#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"
#include "windows/TFlvClipPage.h"
#include "windows/TFlvEffectPage.h"
#include "windows/TFlvInfoPage.h"
#include "windows/TFlvWatermarkPage.h"
#include "windows/TPreviewSurface.h"
#include "windows/TfmeRangeSlider.h"
#include "windows/TfrmPopupPreview.h"

namespace {
// Every notification the panel handles.
constexpr uint32_t kNotifications[] = {
    msg::kNotifyEditClip, msg::kNotifyEditNone, 110581103, msg::kNotifyEditChanging,
    msg::kNotifyPlayerOpenFailed, msg::kNotifyPlayerEnded, msg::kNotifyPlayerPlaying, msg::kNotifyPlayerPaused,
    msg::kNotifyPlayerStopped, msg::kNotifyPlayerSteppedForward, msg::kNotifyPlayerSteppedBack,
    msg::kNotifyPlayerSeeked, msg::kNotifyPlayerSnapshotFailed,
    msg::kNotifyBrightness, msg::kNotifyContrast, msg::kNotifyVolume, msg::kNotifyEffectName, msg::kNotifyFlip,
    msg::kNotifyDeinterlace, msg::kNotifyTrimStart, msg::kNotifyTrimEnd, msg::kNotifyTrimDuration,
    msg::kNotifyCropMargins, msg::kNotifyCropHandle,
    4352, msg::kNotifyWaterMarkAdded, msg::kNotifyWaterMarkRemoving, msg::kNotifyWaterMarksCleared,
    msg::kNotifyWaterMarkSelected, msg::kNotifyWaterMarkStart, msg::kNotifyWaterMarkEnd,
    msg::kNotifyWaterMarkFadeIn, msg::kNotifyWaterMarkFadeOut, msg::kNotifyWaterMarkPlace,
    msg::kNotifyWaterMarkHandle, msg::kNotifyWaterMarkDeselected, msg::kNotifyWaterMarkMoved};

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
    auto* b = new QPushButton(QLatin1String(caption), parent);
    b->setObjectName(QLatin1String(name));
    return b;
}
}  // namespace

TfmeFlvCustomize::TfmeFlvCustomize(TEngineApi& engine, TIniInfo& ini, TMyLangDispatcher* languages, QWidget* parent)
    : QFrame(parent), engine_(engine), ini_(ini), languages_(languages) {
    setObjectName(QStringLiteral("fmeClip"));
    lang_ = new TMyLang(this, QStringLiteral("fmeFlvCustomize"), languages);
    link_ = new TClipEditLink(this, lang_);
    link_->engine = &engine_;
    link_->hint = [this](QWidget* control, const QString& text) {
        if (onHint) onHint(control, text);
    };
    slider_ = new TfmeRangeSlider(languages, this);
    BuildPlayer();
    BuildPages();
    WireSlider();
    tmrUpdatePos_ = new QTimer(this);
    tmrUpdatePos_->setObjectName(QStringLiteral("tmrUpdatePos"));
    tmrUpdatePos_->setInterval(500);
    connect(tmrUpdatePos_, &QTimer::timeout, this, &TfmeFlvCustomize::UpdatePosition);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(pnlPreviewParent_, 1);
    layout->addWidget(slider_);
    // Two rows, so that no caption is cut in a narrow panel: the player's
    // own buttons, then the picture's and the time.
    auto* buttons = new QGridLayout;
    int column = 0;
    for (QPushButton* b : {btnPlay_, btnPause_, btnStop_, btnPreFrame_, btnNextFrame_})
        buttons->addWidget(b, 0, b == btnPause_ ? 0 : column++);  // Play and Pause share a place
    column = 0;
    for (QPushButton* b : {btnSnap_, btnOpen_, btnPopup_}) buttons->addWidget(b, 1, column++);
    buttons->addWidget(pnlCurPlayTime_, 1, column, 1, -1, Qt::AlignRight);
    buttons->setColumnStretch(4, 1);
    layout->addLayout(buttons);
    layout->addWidget(pgcFlvCustomize_);

    connect(lang_, &TMyLang::langChanged, this, &TfmeFlvCustomize::Retranslate);
    connect(lang_, &TMyLang::customTranslate, this, [](QObject* component, const TLangItem& item) {
        // A tab page takes its caption on its tab.
        auto* page = qobject_cast<QWidget*>(component);
        if (!page || item.caption.isEmpty() || !page->parentWidget()) return;
        if (auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget())) {
            const int index = tabs->indexOf(page);
            if (index >= 0) tabs->setTabText(index, item.caption);
        }
    });
    Retranslate();
    // The empty state until a clip is edited.
    slider_->SetEnabled(false);
    durationText_ = QStringLiteral("00:00:00.000");
    Clear();
}

TfmeFlvCustomize::~TfmeFlvCustomize() {
    Unsubscribe();
    // The engine must not draw into our surfaces once they are gone.
    if (link_->clipEdit) engine_.Send(link_->clipEdit, msg::kPlayerSetSurface, 0, sizeof(void*));
}

void TfmeFlvCustomize::BuildPlayer() {
    pnlPreviewParent_ = new QWidget(this);
    pnlPreviewParent_->setObjectName(QStringLiteral("pnlPreviewParent"));
    pnlPreviewParent_->setMinimumSize(240, 180);
    pnlPreviewParent_->setAutoFillBackground(true);
    QPalette black = pnlPreviewParent_->palette();
    black.setColor(QPalette::Window, Qt::black);
    pnlPreviewParent_->setPalette(black);
    pnlPreviewParent_->installEventFilter(this);  // its size fits the preview
    pnlPreview_ = new TPreviewSurface(pnlPreviewParent_);
    pnlPreview_->setObjectName(QStringLiteral("pnlPreview"));
    pnlPreview_->setMouseTracking(true);
    pnlPreview_->installEventFilter(this);  // the mouse goes to the engine
    connect(pnlPreview_, &TPreviewSurface::presented, this, [this] { OnPresented(pnlPreview_); });
    imgPreviewMask_ = new QLabel(pnlPreviewParent_);
    imgPreviewMask_->setObjectName(QStringLiteral("imgPreviewMask"));
    imgPreviewMask_->setAlignment(Qt::AlignCenter);
    imgPreviewMask_->setPixmap(QIcon(QStringLiteral(":/veltrano/icons/veltrano.png")).pixmap(64, 64));

    btnPlay_ = Button("btnPlay", "Play", this);
    btnPause_ = Button("btnPause", "Pause", this);
    btnStop_ = Button("btnStop", "Stop", this);
    btnPreFrame_ = Button("btnPreFrame", "<|", this);
    btnNextFrame_ = Button("btnNextFrame", "|>", this);
    btnSnap_ = Button("btnSnap", "Snapshot", this);
    btnOpen_ = Button("btnOpen", "Folder", this);
    btnPopup_ = Button("btnPopup", "Float", this);
    for (QPushButton* b : {btnPreFrame_, btnNextFrame_}) b->setProperty("langSkip", true);
    btnPause_->hide();
    pnlCurPlayTime_ = new QLabel(QStringLiteral("00:00:00.000 / 00:00:00.000"), this);
    pnlCurPlayTime_->setObjectName(QStringLiteral("pnlCurPlayTime"));
    pnlCurPlayTime_->setProperty("langSkip", true);

    connect(btnPlay_, &QPushButton::clicked, this, &TfmeFlvCustomize::Play);
    connect(btnPause_, &QPushButton::clicked, this, [this] { link_->Send(msg::kPlayerPause); });
    connect(btnStop_, &QPushButton::clicked, this, [this] { link_->Send(msg::kPlayerStop); });
    connect(btnPreFrame_, &QPushButton::clicked, this, [this] { link_->Send(msg::kPlayerStepBack); });
    connect(btnNextFrame_, &QPushButton::clicked, this, [this] { link_->Send(msg::kPlayerStepForward); });
    connect(btnSnap_, &QPushButton::clicked, this, &TfmeFlvCustomize::TakeSnapshot);
    connect(btnOpen_, &QPushButton::clicked, this, &TfmeFlvCustomize::OpenSnapshotFolder);
    connect(btnPopup_, &QPushButton::clicked, this, &TfmeFlvCustomize::TogglePopup);
    link_->SetHint(btnPlay_, panelkey::kHintPlay);
    link_->SetHint(btnPause_, panelkey::kHintPause);
    link_->SetHint(btnStop_, panelkey::kHintStop);
    link_->SetHint(btnPreFrame_, panelkey::kHintPreFrame);
    link_->SetHint(btnNextFrame_, panelkey::kHintNextFrame);
    link_->SetHint(btnPopup_, panelkey::kHintFloat);
    link_->SetHint(btnSnap_, panelkey::kHintSnap);
    link_->SetHint(btnOpen_, panelkey::kHintOpenSnap);
}

void TfmeFlvCustomize::BuildPages() {
    pgcFlvCustomize_ = new QTabWidget(this);
    pgcFlvCustomize_->setObjectName(QStringLiteral("pgcFlvCustomize"));
    infoPage_ = new TFlvInfoPage(*link_, pgcFlvCustomize_);
    infoPage_->setObjectName(QStringLiteral("tsFlvPreview"));
    clipPage_ = new TFlvClipPage(*link_, *slider_, pgcFlvCustomize_);
    clipPage_->setObjectName(QStringLiteral("tsFlvClip"));
    watermarkPage_ = new TFlvWatermarkPage(*link_, *slider_, languages_, pgcFlvCustomize_);
    watermarkPage_->setObjectName(QStringLiteral("tsFlvWatermark"));
    effectPage_ = new TFlvEffectPage(*link_, pgcFlvCustomize_);
    effectPage_->setObjectName(QStringLiteral("tsFlvEffect"));
    pgcFlvCustomize_->addTab(infoPage_, QStringLiteral("Preview"));
    pgcFlvCustomize_->addTab(clipPage_, QStringLiteral("Clip"));
    pgcFlvCustomize_->addTab(watermarkPage_, QStringLiteral("Watermark"));
    pgcFlvCustomize_->addTab(effectPage_, QStringLiteral("Effect"));
    connect(pgcFlvCustomize_, &QTabWidget::currentChanged, this, &TfmeFlvCustomize::PageChanged);

    clipPage_->onTrimChanged = [this] { TrimChanged(); };
    watermarkPage_->onModeChanged = [this] { PageChanged(); };

    ppmApply_ = new QMenu(this);
    ppmApply_->setObjectName(QStringLiteral("ppmApply"));
    ppmApply_->addAction(QStringLiteral("Apply &All"), this, &TfmeFlvCustomize::ApplyToAll)
        ->setObjectName(QStringLiteral("miClipApplyAll"));
    ppmApply_->addAction(QStringLiteral("&Apply..."), this, &TfmeFlvCustomize::ApplyToSelected)
        ->setObjectName(QStringLiteral("miClipApplySelected"));
    for (QPushButton* b : {clipPage_->ApplyButton(), watermarkPage_->ApplyButton(), effectPage_->ApplyButton()})
        connect(b, &QPushButton::clicked, this, [this] { ppmApply_->exec(QCursor::pos()); });
}

void TfmeFlvCustomize::WireSlider() {
    slider_->onHint = [this](QWidget* control, const QString& text) {
        if (onHint) onHint(control, text);
    };
    slider_->onTrimMoved = [this](int s, int e, int which) { clipPage_->OnSliderTrimMoved(s, e, which); };
    slider_->onTrimReleased = [this](int s, int e, int which) { clipPage_->OnSliderTrimReleased(s, e, which); };
    slider_->onWaterPressed = [this](int, int, int) { watermarkPage_->OnSliderPressed(); };
    slider_->onWaterMoved = [this](int s, int e, int which) { watermarkPage_->OnSliderMoved(s, e, which); };
    slider_->onWaterReleased = [this](int s, int e, int which) { watermarkPage_->OnSliderMoved(s, e, which); };
    slider_->onPositionMoved = [this](int position) {
        link_->Send(msg::kPlayerThrottledSeek, 0, position);
        ShowPosition(position);
    };
    slider_->onPositionReleased = [this](int position, Qt::MouseButton) {
        link_->Send(msg::kPlayerSeek, 0, position);
    };
}

void TfmeFlvCustomize::Retranslate() {
    try {
        lang_->LockUnit();
        lang_->TranslateTree(this);
        lang_->UnlockUnit();
    } catch (const std::runtime_error&) {
        // No unit for the panel in this language: it keeps its texts.
    }
    infoPage_->Retranslate();
    watermarkPage_->Retranslate();
    // No layout may squeeze a caption: each button keeps room for its text
    // in the current language, and the panel's least width follows.
    for (QPushButton* b : findChildren<QPushButton*>()) b->setMinimumWidth(b->sizeHint().width());
}

void TfmeFlvCustomize::Subscribe(TListenerWrapper& wrapper) {
    Unsubscribe();
    wrapper_ = &wrapper;
    for (uint32_t id : kNotifications) wrapper.AddHandler(id, BindHandler<&TfmeFlvCustomize::OnNotify>(this));
}

void TfmeFlvCustomize::Unsubscribe() {
    if (!wrapper_) return;
    for (uint32_t id : kNotifications) wrapper_->RemoveHandler(id, BindHandler<&TfmeFlvCustomize::OnNotify>(this));
    wrapper_ = nullptr;
}

void TfmeFlvCustomize::SetHandles(CBaseListener* seqMgr, CBaseListener* clipEdit) {
    link_->seqMgr = seqMgr;
    link_->clipEdit = clipEdit;
    if (!clipEdit) Clear();
}

void TfmeFlvCustomize::SetTarget(int sequence, int clip) {
    link_->sequence = sequence;
    link_->clip = clip;
}

int TfmeFlvCustomize::ClipKind() const { return link_->clipKind; }
