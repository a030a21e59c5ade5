#include "windows/TFlvClipPage.h"

#include <QGridLayout>
#include <QToolButton>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "app/TimeFormat.h"
#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"
#include "windows/TKeyEdit.h"
#include "windows/TfmeRangeSlider.h"

namespace {
constexpr int kMaxMargin = 9999;
const QString kZeroTime = QStringLiteral("00:00:00.000");

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
    auto* b = new QPushButton(QLatin1String(caption), parent);
    b->setObjectName(QLatin1String(name));
    return b;
}

QLabel* Label(const char* name, const char* caption, QWidget* parent, bool value = false) {
    auto* l = new QLabel(QLatin1String(caption), parent);
    l->setObjectName(QLatin1String(name));
    if (value) l->setProperty("langSkip", true);  // shows numbers, not a translated text
    return l;
}
}  // namespace

QString CropSizeText(int width, int height) {
    if (height <= 0) return QString::asprintf("%d X %d", width, height);
    const double ratio = static_cast<double>(width) / height;
    const int base = ratio < 1.56 ? 3 : 9;
    return QString::asprintf("%d X %d (%.1f : %.1f)", width, height, ratio * base, static_cast<double>(base));
}

TFlvClipPage::TFlvClipPage(TClipEditLink& link, TfmeRangeSlider& slider, QWidget* parent)
    : QWidget(parent), link_(link), slider_(slider) {
    auto* trim = new QGroupBox(QStringLiteral("Trim"), this);
    trim->setObjectName(QStringLiteral("grpTrim"));
    edtStartTime_ = new TKeyEdit(trim);
    edtStartTime_->setObjectName(QStringLiteral("edtStartTime"));
    edtEndTime_ = new TKeyEdit(trim);
    edtEndTime_->setObjectName(QStringLiteral("edtEndTime"));
    lblDuration_ = Label("lblDuration", "00:00:00.000", trim, true);
    struct Step {
        const char* name;
        const char* caption;
        int32_t id;
        const TLangKey* hint;
    };
    const Step steps[] = {{"btnStartPrev", "<", msg::kEditTrimStartEarlier, &panelkey::kHintStartPrev},
                          {"btnStartNext", ">", msg::kEditTrimStartLater, &panelkey::kHintStartNext},
                          {"btnEndPrev", "<", msg::kEditTrimEndEarlier, &panelkey::kHintEndPrev},
                          {"btnEndNext", ">", msg::kEditTrimEndLater, &panelkey::kHintEndNext}};
    QToolButton* stepButtons[4];
    for (int i = 0; i < 4; ++i) {
        // Small arrows; what they do is their hint.
        stepButtons[i] = new QToolButton(trim);
        stepButtons[i]->setObjectName(QLatin1String(steps[i].name));
        stepButtons[i]->setText(QLatin1String(steps[i].caption));
        stepButtons[i]->setArrowType(i % 2 == 0 ? Qt::LeftArrow : Qt::RightArrow);
        stepButtons[i]->setProperty("langSkip", true);
        link_.SetHint(stepButtons[i], *steps[i].hint);
        const int32_t id = steps[i].id;
        connect(stepButtons[i], &QToolButton::clicked, this, [this, id] { link_.Send(id); });
    }
    auto* btnMarkStart = Button("btnMarkStart", "Mark", trim);
    auto* btnMarkEnd = Button("btnMarkEnd", "Mark", trim);
    auto* btnResetTrim = Button("btnResetTrim", "Reset", trim);
    connect(btnMarkStart, &QPushButton::clicked, this, [this] { link_.Send(msg::kEditTrimStart, 0, link_.Position()); });
    connect(btnMarkEnd, &QPushButton::clicked, this, [this] { link_.Send(msg::kEditTrimEnd, 0, link_.Position()); });
    connect(btnResetTrim, &QPushButton::clicked, this, [this] {
        const EditTrim t = link_.Trim();
        link_.Send(msg::kEditTrimEnd, 0, t.duration);
        link_.Send(msg::kEditTrimStart, 0, 0);
        link_.Send(msg::kPlayerSeek, 0, 0);
    });
    connect(edtStartTime_, &TKeyEdit::enterPressed, this, &TFlvClipPage::StartEntered);
    connect(edtEndTime_, &TKeyEdit::enterPressed, this, &TFlvClipPage::EndEntered);
    connect(edtStartTime_, &TKeyEdit::escapePressed, this,
            [this] { edtStartTime_->setText(FormatTime(true, link_.Trim().start)); });
    connect(edtEndTime_, &TKeyEdit::escapePressed, this,
            [this] { edtEndTime_->setText(FormatTime(true, link_.Trim().end)); });
    link_.SetHint(edtStartTime_, panelkey::kHintStartEdit);
    link_.SetHint(edtEndTime_, panelkey::kHintEndEdit);
    link_.SetHint(btnMarkStart, panelkey::kHintMarkStart);
    link_.SetHint(btnMarkEnd, panelkey::kHintMarkEnd);
    link_.SetHint(btnResetTrim, panelkey::kHintResetTrim);

    auto* trimGrid = new QGridLayout(trim);
    auto* lblStart = Label("lblStartTime", "Start:", trim);
    auto* lblEnd = Label("lblEndTime", "End:", trim);
    auto* lblDurationCaption = Label("lblDurationCaption", "Duration:", trim);
    trimGrid->addWidget(lblStart, 0, 0);
    trimGrid->addWidget(edtStartTime_, 0, 1);
    trimGrid->addWidget(btnMarkStart, 0, 2);
    trimGrid->addWidget(stepButtons[0], 0, 3);
    trimGrid->addWidget(stepButtons[1], 0, 4);
    trimGrid->addWidget(lblEnd, 1, 0);
    trimGrid->addWidget(edtEndTime_, 1, 1);
    trimGrid->addWidget(btnMarkEnd, 1, 2);
    trimGrid->addWidget(stepButtons[2], 1, 3);
    trimGrid->addWidget(stepButtons[3], 1, 4);
    trimGrid->addWidget(lblDurationCaption, 2, 0);
    trimGrid->addWidget(lblDuration_, 2, 1);
    trimGrid->addWidget(btnResetTrim, 2, 2, 1, 3);
    trimControls_ = {edtStartTime_, edtEndTime_, btnMarkStart, btnMarkEnd, stepButtons[0], stepButtons[1],
                     stepButtons[2], stepButtons[3], btnResetTrim, lblStart, lblEnd, lblDurationCaption, lblDuration_};

    auto* crop = new QGroupBox(QStringLiteral("Crop"), this);
    crop->setObjectName(QStringLiteral("grpCrop"));
    auto* cropGrid = new QGridLayout(crop);
    const char* const names[] = {"edtL", "edtT", "edtR", "edtB"};
    const char* const labels[][2] = {{"lblL", "Left:"}, {"lblT", "Top:"}, {"lblR", "Right:"}, {"lblB", "Bottom:"}};
    const TLangKey* const hints[] = {&panelkey::kHintCropLeft, &panelkey::kHintCropTop, &panelkey::kHintCropRight,
                                     &panelkey::kHintCropBottom};
    for (int i = 0; i < 4; ++i) {
        margins_[i] = new QSpinBox(crop);
        margins_[i]->setObjectName(QLatin1String(names[i]));
        margins_[i]->setRange(0, kMaxMargin);
        margins_[i]->setKeyboardTracking(false);  // one change per typed number
        link_.SetHint(margins_[i], *hints[i]);
        connect(margins_[i], &QSpinBox::valueChanged, this, [this, i](int v) { MarginEdited(i, v); });
        QLabel* label = Label(labels[i][0], labels[i][1], crop);
        cropGrid->addWidget(label, i / 2, (i % 2) * 2);
        cropGrid->addWidget(margins_[i], i / 2, (i % 2) * 2 + 1);
        cropControls_ << label << margins_[i];
    }
    auto* lblVideoSize = Label("lblVideoSize", "Video size:", crop);
    lblVideoSizeValue_ = Label("lblVideoSizeValue", "", crop, true);
    auto* lblCropSize = Label("lblCropSize", "Cropped size:", crop);
    lblCropSizeValue_ = Label("lblCropSizeValue", "", crop, true);
    auto* btnResetCrop = Button("btnResetCrop", "Reset", crop);
    connect(btnResetCrop, &QPushButton::clicked, this, [this] {
        Rect none{0, 0, 0, 0};
        link_.SendRecord(msg::kEditCropMargins, none);
    });
    link_.SetHint(btnResetCrop, panelkey::kHintResetCrop);
    cropGrid->addWidget(lblVideoSize, 2, 0);
    cropGrid->addWidget(lblVideoSizeValue_, 2, 1, 1, 3);
    cropGrid->addWidget(lblCropSize, 3, 0);
    cropGrid->addWidget(lblCropSizeValue_, 3, 1, 1, 3);
    cropGrid->addWidget(btnResetCrop, 4, 3);
    cropControls_ << lblVideoSize << lblVideoSizeValue_ << lblCropSize << lblCropSizeValue_ << btnResetCrop;

    btnApplyTrimCrop_ = Button("btnApplyTrimCrop", "Apply...", this);
    link_.SetHint(btnApplyTrimCrop_, panelkey::kHintApplyClip);
    trimControls_ << btnApplyTrimCrop_;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(trim);
    layout->addWidget(crop);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(btnApplyTrimCrop_);
    layout->addLayout(bottom);
    layout->addStretch(1);
    Clear();
}

void TFlvClipPage::EnableTrim(bool on) {
    for (QWidget* w : trimControls_) w->setEnabled(on);
}

void TFlvClipPage::EnableCrop(bool on) {
    for (QWidget* w : cropControls_) w->setEnabled(on);
}

void TFlvClipPage::Clear() {
    TUpdating updating(link_);
    edtStartTime_->setText(kZeroTime);
    edtEndTime_->setText(kZeroTime);
    lblDuration_->setText(kZeroTime);
    for (QSpinBox* box : margins_) box->setValue(0);
    lblVideoSizeValue_->clear();
    lblCropSizeValue_->clear();
}

void TFlvClipPage::SliderFromTrim(const EditTrim& trim) {
    // Min first, then the end before the start, so neither is refused for
    // lying beyond the other's old place.
    slider_.SetMax(static_cast<int>(trim.duration));
    slider_.SetMin(0);
    slider_.SetTrimStart(0);
    slider_.SetTrimEnd(static_cast<int>(trim.end));
    slider_.SetTrimStart(static_cast<int>(trim.start));
}

void TFlvClipPage::Fill(const MediaFileInfo& info) {
    TUpdating updating(link_);
    OnCropMargins(link_.Crop());
    const int w = info.isFlv ? info.width : info.imageWidth, h = info.isFlv ? info.height : info.imageHeight;
    lblVideoSizeValue_->setText(QString::asprintf("%d X %d", w, h));
    const EditTrim trim = link_.Trim();
    edtStartTime_->setText(FormatTime(true, trim.start));
    edtEndTime_->setText(FormatTime(true, trim.end));
    lblDuration_->setText(FormatTime(true, static_cast<int64_t>(trim.end) - trim.start));
    SliderFromTrim(trim);
}

void TFlvClipPage::ShowDuration() {
    lblDuration_->setText(FormatTime(true, static_cast<int64_t>(slider_.GetTrimEnd()) - slider_.GetTrimStart()));
}

void TFlvClipPage::OnTrimStart(uint32_t start) {
    {
        TUpdating updating(link_);
        edtStartTime_->setText(FormatTime(true, start));
        slider_.SetTrimStart(static_cast<int>(start));
        ShowDuration();
    }
    if (onTrimChanged) onTrimChanged();
}

void TFlvClipPage::OnTrimEnd(uint32_t end) {
    {
        TUpdating updating(link_);
        edtEndTime_->setText(FormatTime(true, end));
        slider_.SetTrimEnd(static_cast<int>(end));
        ShowDuration();
    }
    if (onTrimChanged) onTrimChanged();
}

// A typed start must lie before the end and inside the clip; otherwise the
// box shows the stored start again and keeps the focus.
void TFlvClipPage::StartEntered() {
    const EditTrim t = link_.Trim();
    const int64_t value = ParseTime(edtStartTime_->text());
    if (value >= 0 && value < t.end && value < t.duration) {
        link_.Send(msg::kEditTrimStart, 0, static_cast<intptr_t>(value));
        return;
    }
    link_.Warn(link_.Text(panelkey::kInvalidStart));
    edtStartTime_->setText(FormatTime(true, t.start));
    edtStartTime_->setFocus();
}

void TFlvClipPage::EndEntered() {
    const EditTrim t = link_.Trim();
    const int64_t value = ParseTime(edtEndTime_->text());
    if (value > t.start && value <= t.duration) {
        link_.Send(msg::kEditTrimEnd, 0, static_cast<intptr_t>(value));
        return;
    }
    link_.Warn(link_.Text(panelkey::kInvalidEnd));
    edtEndTime_->setText(FormatTime(true, t.end));
    edtEndTime_->setFocus();
}

void TFlvClipPage::OnSliderTrimMoved(int start, int end, int which) {
    link_.Send(which == TfmeRangeSlider::kStartMark ? msg::kEditTrimStart : msg::kEditTrimEnd, 0,
               which == TfmeRangeSlider::kStartMark ? start : end);
    link_.Send(msg::kPlayerSeek, 0, slider_.GetPosition());
}

void TFlvClipPage::OnSliderTrimReleased(int start, int end, int which) {
    link_.Send(which == TfmeRangeSlider::kStartMark ? msg::kEditTrimStart : msg::kEditTrimEnd, 0,
               which == TfmeRangeSlider::kStartMark ? start : end);
}

void TFlvClipPage::MarginEdited(int side, int value) {
    if (link_.updating) return;
    Rect m = link_.Crop();
    int32_t* fields[] = {&m.left, &m.top, &m.right, &m.bottom};
    *fields[side] = value;
    link_.SendRecord(msg::kEditCropMargins, m);
}

void TFlvClipPage::OnCropMargins(const Rect& m) {
    {
        TUpdating updating(link_);
        const int32_t values[] = {m.left, m.top, m.right, m.bottom};
        for (int i = 0; i < 4; ++i) margins_[i]->setValue(values[i]);
    }
    UpdateCropLabel();
}

void TFlvClipPage::UpdateCropLabel() {
    const Rect size = link_.CroppedSize();
    lblCropSizeValue_->setText(CropSizeText(size.Width(), size.Height()));
}
