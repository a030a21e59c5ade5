#include "windows/TfrmTranColor.h"

#include <QCheckBox>
#include <algorithm>
#include <QColorDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>

#include "app/MyLang.h"
#include "windows/BlitkitPicture.h"

namespace {
constexpr int kCorner = 5;

QLabel* Caption(const char* name, const char* text, QWidget* parent) {
    auto* label = new QLabel(QLatin1String(text), parent);
    label->setObjectName(QLatin1String(name));
    return label;
}
}  // namespace

TfrmTranColor::TfrmTranColor(TMyLangDispatcher* languages, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog) {
    setObjectName(QStringLiteral("frmTranColor"));
    setWindowTitle(QStringLiteral("Transparent Color"));
    lang_ = new TMyLang(this, QStringLiteral("frmTranColor"), languages);

    auto* title = Caption("lblCaption", "Transparent Color", this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    auto* btnMinimize = new QPushButton(QStringLiteral("_"), this);
    btnMinimize->setObjectName(QStringLiteral("btnMinimize"));
    btnMinimize->setProperty("langSkip", true);
    auto* btnClose = new QPushButton(QStringLiteral("x"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setProperty("langSkip", true);
    for (QPushButton* b : {btnMinimize, btnClose}) b->setFixedSize(22, 22);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnMinimize, &QPushButton::clicked, this, [this] {
        // Minimises the application, not only the dialog.
        if (parentWidget()) parentWidget()->window()->showMinimized();
        showMinimized();
    });

    img1_ = new QLabel(this);
    img1_->setObjectName(QStringLiteral("img1"));
    img2_ = new QLabel(this);
    img2_->setObjectName(QStringLiteral("img2"));
    for (QLabel* box : {img1_, img2_}) {
        box->setFixedSize(kBoxWidth, kBoxHeight);
        box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        box->setStyleSheet(QStringLiteral("background:#ffffff; border:1px solid #a0a8b8;"));
    }
    img1_->setCursor(Qt::CrossCursor);
    img1_->installEventFilter(this);

    chbTransparency_ = new QCheckBox(QStringLiteral("Enable transparent color"), this);
    chbTransparency_->setObjectName(QStringLiteral("chbTransparency"));
    pnlColor_ = new QFrame(this);
    pnlColor_->setObjectName(QStringLiteral("pnlColor"));
    pnlColor_->setFixedSize(40, 22);
    pnlColor_->setFrameShape(QFrame::Box);
    pnlColor_->setAutoFillBackground(true);
    pnlColor_->installEventFilter(this);
    edtR_ = new QLineEdit(this);
    edtG_ = new QLineEdit(this);
    edtB_ = new QLineEdit(this);
    edtR_->setObjectName(QStringLiteral("edtR"));
    edtG_->setObjectName(QStringLiteral("edtG"));
    edtB_->setObjectName(QStringLiteral("edtB"));
    for (QLineEdit* e : {edtR_, edtG_, edtB_}) {
        e->setMaximumWidth(44);
        connect(e, &QLineEdit::textChanged, this, [this] { ColourFromBoxes(); });
    }
    trbTolerance_ = new QSlider(Qt::Horizontal, this);
    trbTolerance_->setObjectName(QStringLiteral("trbTolerance"));
    trbAlpha_ = new QSlider(Qt::Horizontal, this);
    trbAlpha_->setObjectName(QStringLiteral("trbAlpha"));
    lblTolerance_ = new QLabel(QStringLiteral("0"), this);
    lblTolerance_->setObjectName(QStringLiteral("lblTolerance"));
    lblAlpha_ = new QLabel(QStringLiteral("255"), this);
    lblAlpha_->setObjectName(QStringLiteral("lblAlpha"));
    for (QLabel* l : {lblTolerance_, lblAlpha_}) l->setProperty("langSkip", true);
    for (QSlider* s : {trbTolerance_, trbAlpha_}) s->setRange(0, 255);
    trbAlpha_->setValue(255);
    connect(trbTolerance_, &QSlider::valueChanged, this, [this](int v) {
        lblTolerance_->setText(QString::number(v));
        Redraw();
    });
    connect(trbAlpha_, &QSlider::valueChanged, this, [this](int v) {
        lblAlpha_->setText(QString::number(v));
        Redraw();
    });
    connect(chbTransparency_, &QCheckBox::toggled, this, &TfrmTranColor::SetTransparencyEnabled);

    auto* btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    auto* btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 10);
    auto* top = new QHBoxLayout;
    top->addWidget(title, 1);
    top->addWidget(btnMinimize);
    top->addWidget(btnClose);
    layout->addLayout(top);
    auto* pictures = new QGridLayout;
    pictures->addWidget(Caption("lblPicture", "Picture (click to pick a colour)", this), 0, 0);
    pictures->addWidget(Caption("lblResult", "Result", this), 0, 1);
    pictures->addWidget(img1_, 1, 0);
    pictures->addWidget(img2_, 1, 1);
    layout->addLayout(pictures);
    layout->addWidget(chbTransparency_);
    auto* colour = new QHBoxLayout;
    colour->addWidget(pnlColor_);
    colour->addWidget(Caption("lblR", "R:", this));
    colour->addWidget(edtR_);
    colour->addWidget(Caption("lblG", "G:", this));
    colour->addWidget(edtG_);
    colour->addWidget(Caption("lblB", "B:", this));
    colour->addWidget(edtB_);
    colour->addStretch(1);
    layout->addLayout(colour);
    auto* bars = new QGridLayout;
    bars->addWidget(Caption("lblToleranceCaption", "Tolerance:", this), 0, 0);
    bars->addWidget(trbTolerance_, 0, 1);
    bars->addWidget(lblTolerance_, 0, 2);
    bars->addWidget(Caption("lblAlphaCaption", "Alpha:", this), 1, 0);
    bars->addWidget(trbAlpha_, 1, 1);
    bars->addWidget(lblAlpha_, 1, 2);
    layout->addLayout(bars);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    SetColor(colour_);
    SetTransparencyEnabled(false);
    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->TranslateForm(this); });
    lang_->TranslateForm(this);
}

void TfrmTranColor::SetTransparencyEnabled(bool enabled) {
    if (chbTransparency_->isChecked() != enabled) chbTransparency_->setChecked(enabled);  // comes back here
    for (QWidget* w : {static_cast<QWidget*>(edtR_), static_cast<QWidget*>(edtG_), static_cast<QWidget*>(edtB_),
                       static_cast<QWidget*>(trbTolerance_)})
        w->setEnabled(enabled);
    Redraw();
}

bool TfrmTranColor::TransparencyEnabled() const { return chbTransparency_->isChecked(); }

void TfrmTranColor::SetAlpha(int alpha) { trbAlpha_->setValue(std::clamp(alpha, 0, 255)); }
int TfrmTranColor::GetAlpha() const { return trbAlpha_->value(); }
void TfrmTranColor::SetTolerance(int tolerance) { trbTolerance_->setValue(std::clamp(tolerance, 0, 255)); }
int TfrmTranColor::GetTolerance() const { return trbTolerance_->value(); }

void TfrmTranColor::SetColor(const QColor& colour) {
    colour_ = colour.isValid() ? colour : QColor(Qt::white);
    filling_ = true;
    edtR_->setText(QString::number(colour_.red()));
    edtG_->setText(QString::number(colour_.green()));
    edtB_->setText(QString::number(colour_.blue()));
    filling_ = false;
    QPalette palette = pnlColor_->palette();
    palette.setColor(QPalette::Window, colour_);
    pnlColor_->setPalette(palette);
    Redraw();
}

// A box holding no number, or one outside 0 ... 255, is set to "0".
void TfrmTranColor::ColourFromBoxes() {
    if (filling_) return;
    int rgb[3];
    QLineEdit* boxes[] = {edtR_, edtG_, edtB_};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const int v = boxes[i]->text().toInt(&ok);
        rgb[i] = ok && v >= 0 && v <= 255 ? v : 0;
        if (!ok || v < 0 || v > 255) {
            filling_ = true;
            boxes[i]->setText(QStringLiteral("0"));
            filling_ = false;
        }
    }
    SetColor(QColor(rgb[0], rgb[1], rgb[2]));
}

void TfrmTranColor::ShowPicture(const QImage& picture) {
    picture_ = picture.convertToFormat(QImage::Format_ARGB32);
    // Scaled into the box keeping its shape: the box's width where the
    // picture is relatively wider, else its height.
    shown_ = picture_.size().scaled(QSize(kBoxWidth, kBoxHeight), Qt::KeepAspectRatio);
    if (shown_.isEmpty()) shown_ = QSize(1, 1);
    img1_->setPixmap(QPixmap::fromImage(picture_.scaled(shown_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    Redraw();
}

void TfrmTranColor::SetBitmap(const QImage& bitmap) {
    path_.clear();
    ShowPicture(bitmap);
}

bool TfrmTranColor::SetPicturePath(const QString& path) {
    const QImage picture = LoadPictureFile(path);
    if (picture.isNull()) return false;  // "Invalid image format!": the caller checks first
    path_ = path;
    ShowPicture(picture);
    return true;
}

void TfrmTranColor::PickAt(QPoint point) {
    if (!TransparencyEnabled() || picture_.isNull() || shown_.isEmpty()) return;
    if (point.x() < 0 || point.y() < 0 || point.x() >= shown_.width() || point.y() >= shown_.height()) return;
    const int x = point.x() * picture_.width() / shown_.width();
    const int y = point.y() * picture_.height() / shown_.height();
    SetColor(QColor(picture_.pixel(x, y)).toRgb());
}

void TfrmTranColor::Redraw() {
    if (picture_.isNull()) return;
    result_ = ComposeSeeThrough(path_, picture_, shown_, TransparencyEnabled() ? colour_ : QColor(), GetTolerance(),
                                GetAlpha());
    img2_->setPixmap(QPixmap::fromImage(result_));
}

void TfrmTranColor::accept() {
    ColourFromBoxes();
    QDialog::accept();
}

bool TfrmTranColor::eventFilter(QObject* watched, QEvent* e) {
    if (watched == img1_ && e->type() == QEvent::MouseButtonPress) {
        PickAt(static_cast<QMouseEvent*>(e)->position().toPoint());
        return true;
    }
    if (watched == pnlColor_ && e->type() == QEvent::MouseButtonDblClick) {
        const QColor chosen = QColorDialog::getColor(colour_, this);
        if (chosen.isValid()) SetColor(chosen);
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

// The window has no frame: it is dragged by its background and labels.
void TfrmTranColor::mousePressEvent(QMouseEvent* e) {
    if (e->button() == Qt::LeftButton) dragStart_ = e->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(e);
}

void TfrmTranColor::mouseMoveEvent(QMouseEvent* e) {
    if (e->buttons() & Qt::LeftButton) move(e->globalPosition().toPoint() - dragStart_);
    QDialog::mouseMoveEvent(e);
}

void TfrmTranColor::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xF2, 0xF7, 0xFD));
    p.setPen(QColor(0x8a, 0x94, 0xa6));
    p.drawRoundedRect(rect().adjusted(0, 0, -1, -1), kCorner, kCorner);
}

void TfrmTranColor::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCorner, kCorner);
    setMask(QRegion(path.toFillPolygon().toPolygon()));
}
