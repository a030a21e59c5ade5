#include "windows/TFlvEffectPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstring>

#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"

const char* const TFlvEffectPage::kEffectNames[kEffectCount] = {
    "InvertColor", "BlackAndWhite", "Purple", "Spooky", "Emboss", "Exposal",
    "Engrave",     "Saltyawp",      "Coloryawp", "Blur", "Sharpen", "Mirror"};

namespace {
constexpr int kNeutral = 127;  // the engine's brightness and contrast leave the picture as it is here
constexpr int kEffectBufferSize = 261;

QLabel* Label(const char* name, const char* caption, QWidget* parent) {
    auto* l = new QLabel(QLatin1String(caption), parent);
    l->setObjectName(QLatin1String(name));
    return l;
}
}  // namespace

TFlvEffectPage::TFlvEffectPage(TClipEditLink& link, QWidget* parent) : QWidget(parent), link_(link) {
    brightness_ = MakePair("spedtBrightness", "trbBrightness", -127, 128, msg::kEditBrightness, kNeutral);
    contrast_ = MakePair("spedtContrast", "trbContrast", -127, 128, msg::kEditContrast, kNeutral);
    volume_ = MakePair("spedtVolume", "trbVolume", 0, 400, msg::kEditVolume, 0);
    cbxFlip_ = new QComboBox(this);
    cbxFlip_->setObjectName(QStringLiteral("cbxFlip"));
    cbxFlip_->addItems({QStringLiteral("No Flip"), QStringLiteral("Vertical Flip"), QStringLiteral("Horizontal Flip")});
    cbxEffect_ = new QComboBox(this);
    cbxEffect_->setObjectName(QStringLiteral("cbxEffect"));
    cbxEffect_->setIconSize(kThumbnailSize);
    cbxEffect_->addItem(QStringLiteral("No Effect"));
    for (const char* name : kEffectNames) cbxEffect_->addItem(QLatin1String(name));
    chkDeinterlace_ = new QCheckBox(QStringLiteral("Deinterlace"), this);
    chkDeinterlace_->setObjectName(QStringLiteral("chkDeinterlace"));
    btnApplyEffect_ = new QPushButton(QStringLiteral("Apply..."), this);
    btnApplyEffect_->setObjectName(QStringLiteral("btnApplyEffect"));
    btnResetEffect_ = new QPushButton(QStringLiteral("Reset"), this);
    btnResetEffect_->setObjectName(QStringLiteral("btnResetEffect"));

    connect(cbxFlip_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!link_.updating && i >= 0) link_.Send(msg::kEditFlip, 0, i);
    });
    connect(cbxEffect_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (link_.updating || i < 0) return;
        char buffer[kEffectBufferSize] = {};
        if (i >= 1) std::strncpy(buffer, kEffectNames[i - 1], kEffectBufferSize - 1);
        link_.Send(msg::kEditEffectName, reinterpret_cast<intptr_t>(buffer), kEffectBufferSize);
    });
    connect(chkDeinterlace_, &QCheckBox::toggled, this, [this](bool on) {
        if (!link_.updating) link_.Send(msg::kEditDeinterlace, 0, on ? 1 : 0);
    });
    connect(btnResetEffect_, &QPushButton::clicked, this, &TFlvEffectPage::Reset);
    link_.SetHint(brightness_.spin, panelkey::kHintBrightness);
    link_.SetHint(contrast_.spin, panelkey::kHintContrast);
    link_.SetHint(volume_.spin, panelkey::kHintVolume);
    link_.SetHint(cbxEffect_, panelkey::kHintEffect);
    link_.SetHint(cbxFlip_, panelkey::kHintFlip);
    link_.SetHint(chkDeinterlace_, panelkey::kHintDeinterlace);
    link_.SetHint(btnApplyEffect_, panelkey::kHintApplyEffect);
    link_.SetHint(btnResetEffect_, panelkey::kHintResetEffect);

    auto* grid = new QGridLayout;
    QLabel* lblBrightness = Label("lblBrightness", "Brightness:", this);
    QLabel* lblContrast = Label("lblContrast", "Contrast:", this);
    QLabel* lblVolume = Label("lblVolume", "Volume (%):", this);
    QLabel* lblFlip = Label("lblFlip", "Flip:", this);
    QLabel* lblEffect = Label("lblEffect", "Effect:", this);
    const Pair pairs[] = {brightness_, contrast_, volume_};
    QLabel* labels[] = {lblBrightness, lblContrast, lblVolume};
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(labels[i], i, 0);
        grid->addWidget(pairs[i].bar, i, 1);
        grid->addWidget(pairs[i].spin, i, 2);
    }
    grid->addWidget(lblFlip, 3, 0);
    grid->addWidget(cbxFlip_, 3, 1, 1, 2);
    grid->addWidget(lblEffect, 4, 0);
    grid->addWidget(cbxEffect_, 4, 1, 1, 2);
    grid->addWidget(chkDeinterlace_, 5, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnResetEffect_);
    buttons->addWidget(btnApplyEffect_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    layout->addStretch(1);
    pictureControls_ = {brightness_.spin, brightness_.bar, contrast_.spin, contrast_.bar, cbxFlip_, cbxEffect_,
                        chkDeinterlace_, lblBrightness, lblContrast, lblFlip, lblEffect};
    volumeControls_ = {volume_.spin, volume_.bar, lblVolume};
    Clear();
}

// A spin box sends its value (plus offset) with id; the bar beside it moves
// the spin box, which then sends.
TFlvEffectPage::Pair TFlvEffectPage::MakePair(const char* spinName, const char* barName, int min, int max, int id,
                                              int offset) {
    Pair pair{new QSpinBox(this), new QSlider(Qt::Horizontal, this)};
    pair.spin->setObjectName(QLatin1String(spinName));
    pair.bar->setObjectName(QLatin1String(barName));
    pair.spin->setRange(min, max);
    pair.bar->setRange(min, max);
    pair.spin->setKeyboardTracking(false);
    connect(pair.bar, &QSlider::valueChanged, this, [this, pair](int v) {
        if (!link_.updating) pair.spin->setValue(v);
    });
    connect(pair.spin, &QSpinBox::valueChanged, this, [this, pair, id, offset](int v) {
        const QSignalBlocker block(pair.bar);
        pair.bar->setValue(v);
        if (!link_.updating) link_.Send(id, 0, v + offset);
    });
    return pair;
}

void TFlvEffectPage::SetPair(const Pair& pair, int value) {
    TUpdating updating(link_);
    pair.spin->setValue(value);
    pair.bar->setValue(value);
}

void TFlvEffectPage::SelectEffect(const QString& name, Qt::CaseSensitivity cs) {
    TUpdating updating(link_);
    if (name.isEmpty()) {
        cbxEffect_->setCurrentIndex(0);
        return;
    }
    for (int i = 0; i < kEffectCount; ++i)
        if (name.compare(QLatin1String(kEffectNames[i]), cs) == 0) cbxEffect_->setCurrentIndex(i + 1);
}

void TFlvEffectPage::Clear() {
    TUpdating updating(link_);
    SetPair(brightness_, 0);
    SetPair(contrast_, 0);
    SetPair(volume_, 100);
    cbxFlip_->setCurrentIndex(0);
    cbxEffect_->setCurrentIndex(0);
    chkDeinterlace_->setChecked(false);
}

void TFlvEffectPage::Fill() {
    EditEffects e{nullptr, 0, 0, 100, kNeutral, kNeutral};
    link_.SendRecord(msg::kEditGetEffects, e);
    TUpdating updating(link_);
    SetPair(brightness_, static_cast<int>(e.brightness) - kNeutral);
    SetPair(contrast_, static_cast<int>(e.contrast) - kNeutral);
    SetPair(volume_, static_cast<int>(e.volume));
    if (e.flipIndex >= 0 && e.flipIndex <= 2) cbxFlip_->setCurrentIndex(e.flipIndex);
    cbxEffect_->setCurrentIndex(0);
    SelectEffect(QString::fromUtf8(e.effectName ? e.effectName : ""), Qt::CaseInsensitive);
    chkDeinterlace_->setChecked(e.deinterlaceIndex == 1);
}

void TFlvEffectPage::Enable(bool picture, bool volume) {
    for (QWidget* w : pictureControls_) w->setEnabled(picture);
    for (QWidget* w : volumeControls_) w->setEnabled(volume);
    btnApplyEffect_->setEnabled(picture || volume);
    btnResetEffect_->setEnabled(picture || volume);
}

// Each control goes back to its default only when it differs, so only
// real changes are sent.
void TFlvEffectPage::Reset() {
    if (link_.clipKind == 4) {
        volume_.bar->setValue(100);
        return;
    }
    if (brightness_.bar->value() != 0) brightness_.bar->setValue(0);
    if (contrast_.bar->value() != 0) contrast_.bar->setValue(0);
    if (volume_.bar->value() != 100) volume_.bar->setValue(100);
    if (cbxEffect_->currentIndex() != 0) cbxEffect_->setCurrentIndex(0);
    if (cbxFlip_->currentIndex() != 0) cbxFlip_->setCurrentIndex(0);
    if (chkDeinterlace_->isChecked()) chkDeinterlace_->setChecked(false);
}

void TFlvEffectPage::RefreshThumbnails(const QImage& frame) {
    if (frame.isNull() || !link_.Active()) return;
    // The preview shows the clip's own effect already; thumbnails made from
    // it would show two effects at once, so the last plain ones stay.
    if (cbxEffect_->currentIndex() != 0 && !cbxEffect_->itemIcon(0).isNull()) return;
    const QImage source = frame.scaled(kThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_ARGB32);
    cbxEffect_->setItemIcon(0, QPixmap::fromImage(source));
    for (int i = 0; i < kEffectCount; ++i) {
        QImage picture = source.copy();  // packed: 4 bytes a pixel need no row padding
        EditEffectPicture r{kEffectNames[i], picture.bits(), picture.width(), picture.height(), 0};
        link_.SendRecord(msg::kEditRenderEffect, r);
        cbxEffect_->setItemIcon(i + 1, r.done ? QPixmap::fromImage(picture) : QPixmap());
    }
}

void TFlvEffectPage::OnBrightness(intptr_t value) { SetPair(brightness_, static_cast<int>(value) - kNeutral); }
void TFlvEffectPage::OnContrast(intptr_t value) { SetPair(contrast_, static_cast<int>(value) - kNeutral); }
void TFlvEffectPage::OnVolume(intptr_t value) { SetPair(volume_, static_cast<int>(value)); }

void TFlvEffectPage::OnEffectName(const char* name) {
    SelectEffect(QString::fromUtf8(name ? name : ""), Qt::CaseSensitive);
}

void TFlvEffectPage::OnFlip(intptr_t value) {
    if (value < 0 || value > 2) return;
    TUpdating updating(link_);
    cbxFlip_->setCurrentIndex(static_cast<int>(value));
}

void TFlvEffectPage::OnDeinterlace(intptr_t value) {
    if (value != 0 && value != 1) return;
    TUpdating updating(link_);
    chkDeinterlace_->setChecked(value == 1);
}
