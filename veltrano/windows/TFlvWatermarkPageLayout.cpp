// The Watermark page's controls and what each one is wired to.
#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"
#include "windows/TFlvWatermarkPage.h"
#include "windows/TKeyEdit.h"
#include "windows/TMyFontDialog.h"

namespace {
const char* const kOrigins[] = {"Top-Left",    "Top-Center", "Top-Right",   "Left-Center",  "Center",
                                "Right-Center", "Bottom-Left", "Bottom-Center", "Bottom-Right"};
constexpr int kMaxOffset = 9999, kMaxSize = 9999;

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

QLabel* Label(const char* name, const char* caption, QWidget* parent) {
    return Named(new QLabel(QLatin1String(caption), parent), name);
}

QComboBox* OriginBox(const char* name, QWidget* parent) {
    auto* box = Named(new QComboBox(parent), name);
    for (const char* origin : kOrigins) box->addItem(QLatin1String(origin));
    return box;
}

QSpinBox* NumberBox(const char* name, int min, int max, QWidget* parent) {
    auto* box = Named(new QSpinBox(parent), name);
    box->setRange(min, max);
    box->setKeyboardTracking(false);  // one change per typed number
    return box;
}
}  // namespace

TFlvWatermarkPage::TFlvWatermarkPage(TClipEditLink& link, TfmeRangeSlider& slider, TMyLangDispatcher* languages,
                                     QWidget* parent)
    : QWidget(parent), link_(link), slider_(slider), languages_(languages) {
    btnAddWatermark_ = Named(new QPushButton(QStringLiteral("Add"), this), "btnAddWatermark");
    btnDelWatermark_ = Named(new QPushButton(QStringLiteral("Delete"), this), "btnDelWatermark");
    btnClearWatermark_ = Named(new QPushButton(QStringLiteral("Clear"), this), "btnClearWatermark");
    btnMoveUpWater_ = Named(new QPushButton(QStringLiteral("Up"), this), "btnMoveUpWater");
    btnMoveDownWater_ = Named(new QPushButton(QStringLiteral("Down"), this), "btnMoveDownWater");
    btnApplyWatermark_ = Named(new QPushButton(QStringLiteral("Apply..."), this), "btnApplyWatermark");
    ppmLogo_ = Named(new QMenu(this), "ppmLogo");
    Named(ppmLogo_->addAction(QStringLiteral("Add &Image"), this, &TFlvWatermarkPage::AddImage), "miAddImage");
    Named(ppmLogo_->addAction(QStringLiteral("Add &Text"), this, &TFlvWatermarkPage::AddText), "miAddText");
    connect(btnAddWatermark_, &QPushButton::clicked, this, [this] { ppmLogo_->exec(QCursor::pos()); });
    connect(btnDelWatermark_, &QPushButton::clicked, this, [this] {
        if (SelectedRow() >= 0) link_.Send(msg::kWaterMarkRemove, 0, SelectedRow());
    });
    connect(btnClearWatermark_, &QPushButton::clicked, this, [this] {
        if (RowCount() > 0) link_.Send(msg::kWaterMarkClear);
    });
    connect(btnMoveUpWater_, &QPushButton::clicked, this, [this] {
        if (SelectedRow() > 0) link_.Send(msg::kWaterMarkMove, 0, SelectedRow() - 1);
    });
    connect(btnMoveDownWater_, &QPushButton::clicked, this, [this] {
        const int row = SelectedRow();
        if (row >= 0 && row + 1 < RowCount()) link_.Send(msg::kWaterMarkMove, 0, row + 1);
    });

    lvWatermark_ = Named(new QTreeWidget(this), "lvWatermark");
    lvWatermark_->setColumnCount(3);
    lvWatermark_->setHeaderLabels({QString(), QStringLiteral("Type"), QStringLiteral("Value")});
    lvWatermark_->setRootIsDecorated(false);
    lvWatermark_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvWatermark_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvWatermark_->header()->setSectionsClickable(false);
    lvWatermark_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    lvWatermark_->setMinimumHeight(90);
    lvWatermark_->installEventFilter(this);  // the Delete key
    connect(lvWatermark_, &QTreeWidget::itemSelectionChanged, this, &TFlvWatermarkPage::RowSelectionChanged);

    pgcWatermark_ = Named(new QTabWidget(this), "pgcWatermark");
    tsImage_ = Named(new QWidget(pgcWatermark_), "tsImage");
    tsText_ = Named(new QWidget(pgcWatermark_), "tsText");
    tsTimeOffset_ = Named(new QWidget(pgcWatermark_), "tsTimeOffset");
    pgcWatermark_->addTab(tsImage_, QStringLiteral("Image"));
    pgcWatermark_->addTab(tsText_, QStringLiteral("Text"));
    pgcWatermark_->addTab(tsTimeOffset_, QStringLiteral("Time offset"));
    BuildImageTab(tsImage_);
    BuildTextTab(tsText_);
    BuildTimeTab(tsTimeOffset_);

    link_.SetHint(btnAddWatermark_, panelkey::kHintAddWatermark);
    link_.SetHint(btnDelWatermark_, panelkey::kHintDelWatermark);
    link_.SetHint(btnClearWatermark_, panelkey::kHintClearWatermark);
    link_.SetHint(btnMoveUpWater_, panelkey::kHintWatermarkUp);
    link_.SetHint(btnMoveDownWater_, panelkey::kHintWatermarkDown);
    link_.SetHint(btnApplyWatermark_, panelkey::kHintApplyWatermark);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btnAddWatermark_, btnDelWatermark_, btnClearWatermark_, btnMoveUpWater_, btnMoveDownWater_})
        buttons->addWidget(b);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(lvWatermark_, 1);
    layout->addWidget(pgcWatermark_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnApplyWatermark_);
    layout->addLayout(bottom);

    fontDialog_ = new TMyFontDialog(languages_, this);
    fontDialog_->showAlpha = true;
    choosePicture = [this] { return ChoosePictureWithDialog(); };
    ClearAll();
    EnableGroup(false);
}

void TFlvWatermarkPage::BuildImageTab(QWidget* tab) {
    edtBrowse_ = Named(new QLineEdit(tab), "edtBrowse");
    edtBrowse_->setReadOnly(true);
    btnBrowseFile_ = Named(new QToolButton(tab), "btnBrowseFile");
    btnBrowseFile_->setText(QStringLiteral("..."));
    btnBrowseFile_->setProperty("langSkip", true);
    cbxImageOrigin_ = OriginBox("cbxImageOrigin", tab);
    edtImageLeft_ = NumberBox("edtImageLeft", -kMaxOffset, kMaxOffset, tab);
    edtImageTop_ = NumberBox("edtImageTop", -kMaxOffset, kMaxOffset, tab);
    edtImageWidth_ = NumberBox("edtImageWidth", 1, kMaxSize, tab);
    edtImageHeight_ = NumberBox("edtImageHeight", 1, kMaxSize, tab);
    btnImageSizeLock_ = Named(new QToolButton(tab), "btnImageSizeLock");
    btnImageSizeLock_->setText(QStringLiteral("Lock"));
    btnImageSizeLock_->setCheckable(true);
    btnBrowse_ = Named(new QPushButton(QStringLiteral("Transparency..."), tab), "btnBrowse");

    connect(btnBrowseFile_, &QToolButton::clicked, this, &TFlvWatermarkPage::ChangeImageFile);
    connect(cbxImageOrigin_, &QComboBox::currentIndexChanged, this, [this](int i) { ChangePosition(0, i); });
    connect(edtImageLeft_, &QSpinBox::valueChanged, this, [this](int v) { ChangePosition(1, v); });
    connect(edtImageTop_, &QSpinBox::valueChanged, this, [this](int v) { ChangePosition(2, v); });
    connect(edtImageWidth_, &QSpinBox::valueChanged, this, &TFlvWatermarkPage::ChangeSize);
    connect(edtImageHeight_, &QSpinBox::valueChanged, this, &TFlvWatermarkPage::ChangeSize);
    connect(btnImageSizeLock_, &QToolButton::toggled, this, &TFlvWatermarkPage::ChangeSize);
    connect(btnBrowse_, &QPushButton::clicked, this, &TFlvWatermarkPage::ChooseSeeThrough);
    link_.SetHint(edtBrowse_, panelkey::kHintBrowse);
    link_.SetHint(btnBrowse_, panelkey::kHintImageSet);
    link_.SetHint(cbxImageOrigin_, panelkey::kHintOrigin);
    link_.SetHint(edtImageLeft_, panelkey::kHintLeft);
    link_.SetHint(edtImageTop_, panelkey::kHintTop);
    link_.SetHint(edtImageWidth_, panelkey::kHintWidth);
    link_.SetHint(edtImageHeight_, panelkey::kHintHeight);
    link_.SetHint(btnImageSizeLock_, panelkey::kHintLock);

    auto* grid = new QGridLayout(tab);
    grid->addWidget(Label("lblImageFile", "File:", tab), 0, 0);
    grid->addWidget(edtBrowse_, 0, 1, 1, 3);
    grid->addWidget(btnBrowseFile_, 0, 4);
    grid->addWidget(Label("lblImageOrigin", "Origin:", tab), 1, 0);
    grid->addWidget(cbxImageOrigin_, 1, 1);
    grid->addWidget(btnBrowse_, 1, 2, 1, 3);
    grid->addWidget(Label("lblImageLeft", "X:", tab), 2, 0);
    grid->addWidget(edtImageLeft_, 2, 1);
    grid->addWidget(Label("lblImageTop", "Y:", tab), 2, 2);
    grid->addWidget(edtImageTop_, 2, 3);
    grid->addWidget(Label("lblImageWidth", "Width:", tab), 3, 0);
    grid->addWidget(edtImageWidth_, 3, 1);
    grid->addWidget(Label("lblImageHeight", "Height:", tab), 3, 2);
    grid->addWidget(edtImageHeight_, 3, 3);
    grid->addWidget(btnImageSizeLock_, 3, 4);
    imageEditors_ = {edtBrowse_, btnBrowseFile_, cbxImageOrigin_, edtImageLeft_, edtImageTop_, edtImageWidth_,
                     edtImageHeight_, btnImageSizeLock_, btnBrowse_};
}

void TFlvWatermarkPage::BuildTextTab(QWidget* tab) {
    mmoCaption_ = Named(new QPlainTextEdit(tab), "mmoCaption");
    mmoCaption_->setMaximumHeight(54);
    btnFont_ = Named(new QPushButton(QStringLiteral("Font..."), tab), "btnFont");
    cbxTextOrigin_ = OriginBox("cbxTextOrigin", tab);
    spedtTextLeft_ = NumberBox("spedtTextLeft", -kMaxOffset, kMaxOffset, tab);
    spedtTextTop_ = NumberBox("spedtTextTop", -kMaxOffset, kMaxOffset, tab);
    connect(mmoCaption_, &QPlainTextEdit::textChanged, this, &TFlvWatermarkPage::ChangeCaption);
    connect(btnFont_, &QPushButton::clicked, this, &TFlvWatermarkPage::ChooseFont);
    connect(cbxTextOrigin_, &QComboBox::currentIndexChanged, this, [this](int i) { ChangePosition(0, i); });
    connect(spedtTextLeft_, &QSpinBox::valueChanged, this, [this](int v) { ChangePosition(1, v); });
    connect(spedtTextTop_, &QSpinBox::valueChanged, this, [this](int v) { ChangePosition(2, v); });
    link_.SetHint(mmoCaption_, panelkey::kHintCaption);
    link_.SetHint(btnFont_, panelkey::kHintFont);
    link_.SetHint(cbxTextOrigin_, panelkey::kHintOrigin);
    link_.SetHint(spedtTextLeft_, panelkey::kHintLeft);
    link_.SetHint(spedtTextTop_, panelkey::kHintTop);

    auto* grid = new QGridLayout(tab);
    grid->addWidget(Label("lblCaption", "Text:", tab), 0, 0);
    grid->addWidget(mmoCaption_, 0, 1, 1, 3);
    grid->addWidget(Label("lblTextOrigin", "Origin:", tab), 1, 0);
    grid->addWidget(cbxTextOrigin_, 1, 1);
    grid->addWidget(btnFont_, 1, 2, 1, 2);
    grid->addWidget(Label("lblTextLeft", "X:", tab), 2, 0);
    grid->addWidget(spedtTextLeft_, 2, 1);
    grid->addWidget(Label("lblTextTop", "Y:", tab), 2, 2);
    grid->addWidget(spedtTextTop_, 2, 3);
    textEditors_ = {mmoCaption_, btnFont_, cbxTextOrigin_, spedtTextLeft_, spedtTextTop_};
}

void TFlvWatermarkPage::BuildTimeTab(QWidget* tab) {
    edtWaterStartTime_ = Named(new TKeyEdit(tab), "edtWaterStartTime");
    edtWaterEndTime_ = Named(new TKeyEdit(tab), "edtWaterEndTime");
    edtFadein_ = Named(new TKeyEdit(tab), "edtFadein");
    edtFadeout_ = Named(new TKeyEdit(tab), "edtFadeout");
    TKeyEdit* boxes[] = {edtWaterStartTime_, edtWaterEndTime_, edtFadein_, edtFadeout_};
    for (int i = 0; i < 4; ++i) {
        connect(boxes[i], &TKeyEdit::enterPressed, this, [this, i] { TimingEntered(i); });
        connect(boxes[i], &TKeyEdit::escapePressed, this, [this, i] { TimingEscaped(i); });
    }
    auto* btnWaterMarkStart = Named(new QPushButton(QStringLiteral("Mark"), tab), "btnWaterMarkStart");
    auto* btnWaterMarkEnd = Named(new QPushButton(QStringLiteral("Mark"), tab), "btnWaterMarkEnd");
    connect(btnWaterMarkStart, &QPushButton::clicked, this, [this] { MarkTime(false); });
    connect(btnWaterMarkEnd, &QPushButton::clicked, this, [this] { MarkTime(true); });
    struct Step {
        const char* name;
        const char* caption;
        int32_t id;
        const TLangKey* hint;
    };
    const Step steps[] = {
        {"btnWaterStartPreFrame", "<", msg::kWaterMarkStartEarlier, &panelkey::kHintWaterStartPre},
        {"btnWaterStartNextFrame", ">", msg::kWaterMarkStartLater, &panelkey::kHintWaterStartNext},
        {"btnWaterEndPreFrame", "<", msg::kWaterMarkEndEarlier, &panelkey::kHintWaterEndPre},
        {"btnWaterEndNextFrame", ">", msg::kWaterMarkEndLater, &panelkey::kHintWaterEndNext}};
    QPushButton* stepButtons[4];
    for (int i = 0; i < 4; ++i) {
        stepButtons[i] = Named(new QPushButton(QLatin1String(steps[i].caption), tab), steps[i].name);
        stepButtons[i]->setProperty("langSkip", true);
        stepButtons[i]->setMaximumWidth(28);
        const int32_t id = steps[i].id;
        connect(stepButtons[i], &QPushButton::clicked, this, [this, id] { link_.Send(id); });
        link_.SetHint(stepButtons[i], *steps[i].hint);
    }
    link_.SetHint(edtWaterStartTime_, panelkey::kHintOffsetStart);
    link_.SetHint(edtWaterEndTime_, panelkey::kHintOffsetEnd);
    link_.SetHint(edtFadein_, panelkey::kHintFadeIn);
    link_.SetHint(edtFadeout_, panelkey::kHintFadeOut);
    link_.SetHint(btnWaterMarkStart, panelkey::kHintWaterStart);
    link_.SetHint(btnWaterMarkEnd, panelkey::kHintWaterEnd);

    auto* grid = new QGridLayout(tab);
    grid->addWidget(Label("lblWaterStart", "Start:", tab), 0, 0);
    grid->addWidget(edtWaterStartTime_, 0, 1);
    grid->addWidget(btnWaterMarkStart, 0, 2);
    grid->addWidget(stepButtons[0], 0, 3);
    grid->addWidget(stepButtons[1], 0, 4);
    grid->addWidget(Label("lblWaterEnd", "End:", tab), 1, 0);
    grid->addWidget(edtWaterEndTime_, 1, 1);
    grid->addWidget(btnWaterMarkEnd, 1, 2);
    grid->addWidget(stepButtons[2], 1, 3);
    grid->addWidget(stepButtons[3], 1, 4);
    grid->addWidget(Label("lblFadein", "Fade in (s):", tab), 2, 0);
    grid->addWidget(edtFadein_, 2, 1);
    grid->addWidget(Label("lblFadeout", "Fade out (s):", tab), 3, 0);
    grid->addWidget(edtFadeout_, 3, 1);
    timeEditors_ = {edtWaterStartTime_, edtWaterEndTime_, edtFadein_, edtFadeout_, btnWaterMarkStart,
                    btnWaterMarkEnd, stepButtons[0], stepButtons[1], stepButtons[2], stepButtons[3]};
}
