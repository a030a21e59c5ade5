#include "windows/TMyFontDialogFrm.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "app/MyLang.h"

namespace {
const char* const kSizes[] = {"8", "9", "10", "11", "12", "14", "16", "18", "20", "22", "24", "26", "28", "36", "48", "72"};
constexpr int kDefaultSize = 9;
const char* const kColourNames[] = {"Black", "Maroon", "Green", "Olive", "Navy", "Purple", "Teal", "Gray",
                                    "Silver", "Red", "Lime", "Yellow", "Blue", "Fuchsia", "Aqua", "White"};
const QRgb kColours[] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
                         0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};

QPixmap Swatch(const QColor& c) {
    QPixmap pixmap(14, 14);
    pixmap.fill(c);
    return pixmap;
}
}  // namespace

TMyFontDialogFrm::TMyFontDialogFrm(TMyLangDispatcher* languages, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmMyFontDlg"));
    setWindowTitle(QStringLiteral("Select Font"));
    lang_ = new TMyLang(this, QStringLiteral("frmMyFontDlg"), languages);

    fcbbFont_ = new QFontComboBox(this);
    fcbbFont_->setObjectName(QStringLiteral("fcbbFont"));
    cbbFontStyle_ = new QComboBox(this);
    cbbFontStyle_->setObjectName(QStringLiteral("cbbFontStyle"));
    cbbFontStyle_->addItems({QStringLiteral("Normal"), QStringLiteral("Italic"), QStringLiteral("Bold"),
                             QStringLiteral("Bold Italic")});
    cbbFontSize_ = new QComboBox(this);
    cbbFontSize_->setObjectName(QStringLiteral("cbbFontSize"));
    cbbFontSize_->setEditable(true);
    for (const char* size : kSizes) cbbFontSize_->addItem(QLatin1String(size));
    chkStrike_ = new QCheckBox(QStringLiteral("Strike out"), this);
    chkStrike_->setObjectName(QStringLiteral("chkStrike"));
    chkUnderLine_ = new QCheckBox(QStringLiteral("Under line"), this);
    chkUnderLine_->setObjectName(QStringLiteral("chkUnderLine"));
    ccbbFontColor_ = new QComboBox(this);
    ccbbFontColor_->setObjectName(QStringLiteral("ccbbFontColor"));
    for (size_t i = 0; i < std::size(kColours); ++i)
        ccbbFontColor_->addItem(Swatch(QColor(kColours[i])), QLatin1String(kColourNames[i]), QColor(kColours[i]));
    ccbbFontColor_->addItem(QStringLiteral("Custom..."));  // opens the colour dialog
    txtSample_ = new QLabel(QStringLiteral("AaBbYyZz"), this);
    txtSample_->setObjectName(QStringLiteral("txtSample"));
    txtSample_->setProperty("langSkip", true);
    txtSample_->setAlignment(Qt::AlignCenter);
    txtSample_->setMinimumSize(220, 70);
    txtSample_->setFrameShape(QFrame::StyledPanel);
    grpAlpha_ = new QGroupBox(QStringLiteral("Alpha"), this);
    grpAlpha_->setObjectName(QStringLiteral("grpAlpha"));
    trbAlpha_ = new QSlider(Qt::Horizontal, grpAlpha_);
    trbAlpha_->setObjectName(QStringLiteral("trbAlpha"));
    trbAlpha_->setRange(1, 255);
    trbAlpha_->setValue(255);
    lblAlpha_ = new QLabel(QStringLiteral("255"), grpAlpha_);
    lblAlpha_->setObjectName(QStringLiteral("lblAlpha"));
    lblAlpha_->setProperty("langSkip", true);
    auto* alphaLayout = new QHBoxLayout(grpAlpha_);
    alphaLayout->addWidget(trbAlpha_, 1);
    alphaLayout->addWidget(lblAlpha_);

    auto* form = new QFormLayout;
    const auto label = [this](const char* name, const char* text) {
        auto* l = new QLabel(QLatin1String(text), this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    form->addRow(label("lblFont", "Font:"), fcbbFont_);
    form->addRow(label("lblFontStyle", "Style:"), cbbFontStyle_);
    form->addRow(label("lblFontSize", "Size:"), cbbFontSize_);
    form->addRow(label("lblFontColor", "Color:"), ccbbFontColor_);
    auto* effects = new QHBoxLayout;
    effects->addWidget(chkStrike_);
    effects->addWidget(chkUnderLine_);
    auto* btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(effects);
    layout->addWidget(txtSample_);
    layout->addWidget(grpAlpha_);
    layout->addLayout(buttons);

    connect(fcbbFont_, &QFontComboBox::currentFontChanged, this, &TMyFontDialogFrm::FaceChanged);
    connect(cbbFontStyle_, &QComboBox::currentIndexChanged, this, &TMyFontDialogFrm::StyleChanged);
    connect(cbbFontSize_, &QComboBox::currentTextChanged, this, &TMyFontDialogFrm::SizeChanged);
    connect(chkStrike_, &QCheckBox::toggled, this, &TMyFontDialogFrm::EffectsChanged);
    connect(chkUnderLine_, &QCheckBox::toggled, this, &TMyFontDialogFrm::EffectsChanged);
    connect(ccbbFontColor_, &QComboBox::activated, this, &TMyFontDialogFrm::ColourChanged);
    connect(trbAlpha_, &QSlider::valueChanged, this, [this](int v) { lblAlpha_->setText(QString::number(v)); });
    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->TranslateForm(this); });
    lang_->TranslateForm(this);
}

void TMyFontDialogFrm::Show(const QFont& font, const QColor& colour, int alpha, bool showAlpha) {
    showing_ = true;
    font_ = font;
    colour_ = colour;
    grpAlpha_->setVisible(showAlpha);
    trbAlpha_->setValue(std::clamp(alpha, 1, 255));
    fcbbFont_->setCurrentFont(QFont(font.family()));
    const QString size = QString::number(font.pointSize() > 0 ? font.pointSize() : kDefaultSize);
    cbbFontSize_->setEditText(size);
    const int item = cbbFontSize_->findText(size);
    if (item >= 0) cbbFontSize_->setCurrentIndex(item);
    cbbFontStyle_->setCurrentIndex(font.bold() && font.italic() ? 3 : font.bold() ? 2 : font.italic() ? 1 : 0);
    chkStrike_->setChecked(font.strikeOut());
    chkUnderLine_->setChecked(font.underline());
    SelectColour(colour);
    showing_ = false;
    Sample();
}

int TMyFontDialogFrm::ChosenAlpha() const { return trbAlpha_->value(); }

// Each control changes only its own part of the chosen font.
void TMyFontDialogFrm::FaceChanged() {
    if (showing_) return;
    font_.setFamily(fcbbFont_->currentFont().family());
    Sample();
}

void TMyFontDialogFrm::SizeChanged() {
    if (showing_) return;
    bool ok = false;
    const int size = cbbFontSize_->currentText().trimmed().toInt(&ok);
    font_.setPointSize(ok && size > 0 ? size : kDefaultSize);
    Sample();
}

void TMyFontDialogFrm::StyleChanged() {
    if (showing_) return;
    const int style = cbbFontStyle_->currentIndex();
    font_.setBold(style >= 2);
    font_.setItalic(style == 1 || style == 3);
    Sample();
}

void TMyFontDialogFrm::EffectsChanged() {
    if (showing_) return;
    font_.setStrikeOut(chkStrike_->isChecked());
    font_.setUnderline(chkUnderLine_->isChecked());
    Sample();
}

void TMyFontDialogFrm::ColourChanged() {
    if (showing_) return;
    QColor chosen = ccbbFontColor_->currentData().value<QColor>();
    if (!chosen.isValid()) {  // "Custom..."
        chosen = QColorDialog::getColor(colour_, this);
        if (!chosen.isValid()) chosen = colour_;
    }
    SelectColour(chosen);
    Sample();
}

// Picks the list entry of a colour, adding one for a colour the list lacks.
void TMyFontDialogFrm::SelectColour(const QColor& colour) {
    colour_ = colour.isValid() ? colour : QColor(Qt::black);
    const QSignalBlocker block(ccbbFontColor_);
    int item = ccbbFontColor_->findData(colour_);
    if (item < 0) {
        item = ccbbFontColor_->count() - 1;
        ccbbFontColor_->insertItem(item, Swatch(colour_), colour_.name(), colour_);
    }
    ccbbFontColor_->setCurrentIndex(item);
}

void TMyFontDialogFrm::Sample() {
    txtSample_->setFont(font_);
    QPalette palette = txtSample_->palette();
    palette.setColor(QPalette::WindowText, colour_);
    txtSample_->setPalette(palette);
}
