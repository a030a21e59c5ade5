#include "windows/TFlvWatermarkPage.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <cstring>
#include <vector>

#include "app/TimeFormat.h"
#include "windows/BlitkitPicture.h"
#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"
#include "windows/TKeyEdit.h"
#include "windows/TMyFontDialog.h"
#include "windows/TfmeRangeSlider.h"
#include "windows/TfrmTranColor.h"
#include "windows/Utf8Fit.h"

namespace {
constexpr uint32_t kImageType = 0;
constexpr uint32_t kNoWatermark = 0xFFFFFFFF;
// Room for the longest caption the editor allows, whatever its characters.
constexpr uint32_t kTextBufferSize = TFlvWatermarkPage::kMaxCaption * 4 + 1;
const QString kZeroTime = QStringLiteral("00:00:00.000");

QString Seconds(float s) { return QString::asprintf("%.3f", static_cast<double>(s)); }
}  // namespace

int TFlvWatermarkPage::SelectedRow() const {
    const QList<QTreeWidgetItem*> items = lvWatermark_->selectedItems();
    return items.isEmpty() ? -1 : lvWatermark_->indexOfTopLevelItem(items.first());
}

int TFlvWatermarkPage::RowCount() const { return lvWatermark_->topLevelItemCount(); }

QString TFlvWatermarkPage::ChoosePictureWithDialog() {
    return QFileDialog::getOpenFileName(this, link_.Text(panelkey::kWatermarkOpenTitle), QString(),
                                        link_.Text(panelkey::kWatermarkFilter));
}

// The watermark's type and its picture path or text.
QString TFlvWatermarkPage::ReadValue(int index, uint32_t* type) {
    uint32_t t = static_cast<uint32_t>(index);
    link_.Send(msg::kWaterMarkGetType, reinterpret_cast<intptr_t>(&t), sizeof t);
    if (type) *type = t;
    if (t == kNoWatermark) return {};
    if (t == kImageType) {
        std::vector<char> buffer(kPathBufferSize, '\0');
        WaterMarkPathBuffer r{static_cast<uint32_t>(index), buffer.data()};
        link_.SendRecord(msg::kWaterMarkGetImageFile, r);
        return QString::fromUtf8(buffer.data());
    }
    std::vector<char> buffer(kTextBufferSize, '\0');
    WaterMarkTextBuffer r{static_cast<uint32_t>(index), buffer.data(), kTextBufferSize};
    link_.SendRecord(msg::kWaterMarkGetText, r);
    return QString::fromUtf8(buffer.data());
}

void TFlvWatermarkPage::SetRow(int index, uint32_t type, const QString& value, bool insert) {
    QTreeWidgetItem* item = insert ? new QTreeWidgetItem : lvWatermark_->topLevelItem(index);
    if (!item) return;
    const bool image = type == kImageType;
    item->setIcon(0, style()->standardIcon(image ? QStyle::SP_FileIcon : QStyle::SP_FileDialogDetailedView));
    item->setData(1, Qt::UserRole, image);  // the type, for a later language
    item->setText(1, link_.Text(image ? panelkey::kImage : panelkey::kText));
    item->setText(2, image ? QFileInfo(value).fileName() : value);
    if (insert) lvWatermark_->insertTopLevelItem(std::min(index, RowCount()), item);
}

void TFlvWatermarkPage::Retranslate() {
    for (int i = 0; i < RowCount(); ++i) {
        QTreeWidgetItem* item = lvWatermark_->topLevelItem(i);
        item->setText(1, link_.Text(item->data(1, Qt::UserRole).toBool() ? panelkey::kImage : panelkey::kText));
    }
}

void TFlvWatermarkPage::Fill() {
    TUpdating updating(link_);
    lvWatermark_->clear();
    uint32_t count = 0;
    link_.Send(msg::kWaterMarkGetCount, reinterpret_cast<intptr_t>(&count), sizeof count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t type = kNoWatermark;
        const QString value = ReadValue(static_cast<int>(i), &type);
        if (type != kNoWatermark) SetRow(static_cast<int>(i), type, value, true);
    }
    RefreshButtons();
}

void TFlvWatermarkPage::ClearAll() {
    TUpdating updating(link_);
    lvWatermark_->clear();
    ClearEditors();
    EnableItemEditors(false, false);
    RefreshButtons();
}

void TFlvWatermarkPage::EnableGroup(bool on) {
    groupEnabled_ = on;
    for (QWidget* w : {static_cast<QWidget*>(btnAddWatermark_), static_cast<QWidget*>(lvWatermark_),
                       static_cast<QWidget*>(pgcWatermark_)})
        w->setEnabled(on);
    RefreshButtons();
}

void TFlvWatermarkPage::RefreshButtons() {
    const int rows = RowCount(), row = SelectedRow();
    btnClearWatermark_->setEnabled(groupEnabled_ && rows > 0);
    btnApplyWatermark_->setEnabled(groupEnabled_ && rows > 0);
    btnDelWatermark_->setEnabled(groupEnabled_ && row >= 0);
    btnMoveUpWater_->setEnabled(groupEnabled_ && row > 0);
    btnMoveDownWater_->setEnabled(groupEnabled_ && row >= 0 && row + 1 < rows);
}

void TFlvWatermarkPage::EnableItemEditors(bool image, bool text) {
    for (QWidget* w : imageEditors_) w->setEnabled(image);
    for (QWidget* w : textEditors_) w->setEnabled(text);
    for (QWidget* w : timeEditors_) w->setEnabled(image || text);
}

void TFlvWatermarkPage::ClearEditors() {
    TUpdating updating(link_);
    edtBrowse_->clear();
    cbxImageOrigin_->setCurrentIndex(0);
    cbxTextOrigin_->setCurrentIndex(0);
    for (QSpinBox* box : {edtImageLeft_, edtImageTop_, spedtTextLeft_, spedtTextTop_, edtImageWidth_, edtImageHeight_})
        box->setValue(std::max(0, box->minimum()));
    btnImageSizeLock_->setChecked(false);
    mmoCaption_->clear();
    edtWaterStartTime_->setText(kZeroTime);
    edtWaterEndTime_->setText(kZeroTime);
    edtFadein_->setText(QStringLiteral("0.000"));
    edtFadeout_->setText(QStringLiteral("0.000"));
}

void TFlvWatermarkPage::RowSelectionChanged() {
    if (link_.updating) return;
    const int row = SelectedRow();
    if (row >= 0) link_.Send(msg::kWaterMarkSelect, 0, row);
    else link_.Send(msg::kWaterMarkDeselect);
    RefreshButtons();
}

void TFlvWatermarkPage::ReadSelected() {
    const int row = SelectedRow();
    if (row < 0) return;
    uint32_t type = kNoWatermark;
    const QString value = ReadValue(row, &type);
    if (type == kNoWatermark) return;
    TUpdating updating(link_);
    SetRow(row, type, value, false);
    WaterMarkPosition position{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetPosition, position);
    if (type == kImageType) {
        edtBrowse_->setText(value);
        cbxImageOrigin_->setCurrentIndex(position.origin);
        edtImageLeft_->setValue(position.xOffset);
        edtImageTop_->setValue(position.yOffset);
        WaterMarkSize size{static_cast<uint32_t>(row), 0, 0, 0, {}};
        link_.SendRecord(msg::kWaterMarkGetSize, size);
        edtImageWidth_->setValue(size.width);
        edtImageHeight_->setValue(size.height);
        btnImageSizeLock_->setChecked(size.isOrgScale != 0);
        EnableItemEditors(true, false);
        pgcWatermark_->setCurrentWidget(tsImage_);
    } else {
        mmoCaption_->setPlainText(value);
        cbxTextOrigin_->setCurrentIndex(position.origin);
        spedtTextLeft_->setValue(position.xOffset);
        spedtTextTop_->setValue(position.yOffset);
        EnableItemEditors(false, true);
        pgcWatermark_->setCurrentWidget(tsText_);
    }
    ReadTiming();
}

void TFlvWatermarkPage::ReadTiming() {
    const int row = SelectedRow();
    if (row < 0) return;
    WaterMarkTiming t{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetTiming, t);
    TUpdating updating(link_);
    edtWaterStartTime_->setText(FormatTime(true, t.startTime));
    edtWaterEndTime_->setText(FormatTime(true, t.endTime));
    edtFadein_->setText(Seconds(t.fadeIn));
    edtFadeout_->setText(Seconds(t.fadeOut));
    slider_.SetWatermarkStart(static_cast<int>(t.startTime));
    slider_.SetWatermarkEnd(static_cast<int>(t.endTime));
    slider_.SetMode(TfmeRangeSlider::kBoth);
}

// ---- notifications

void TFlvWatermarkPage::OnAdded(int index) {
    uint32_t type = kNoWatermark;
    const QString value = ReadValue(index, &type);
    if (type == kNoWatermark) return;
    {
        TUpdating updating(link_);
        SetRow(index, type, value, true);
    }
    if (SelectedRow() < 0) {
        // Selecting the new row selects the watermark in the engine too.
        if (QTreeWidgetItem* item = lvWatermark_->topLevelItem(index)) lvWatermark_->setCurrentItem(item);
        pgcWatermark_->setCurrentWidget(type == kImageType ? tsImage_ : tsText_);
    }
    RefreshButtons();
}

void TFlvWatermarkPage::OnRemoving(int index) {
    TUpdating updating(link_);
    if (index == SelectedRow()) ClearEditors();
    delete lvWatermark_->takeTopLevelItem(index);
    lvWatermark_->clearSelection();
    RefreshButtons();
    EnableItemEditors(false, false);
}

void TFlvWatermarkPage::OnCleared() { ClearAll(); }

void TFlvWatermarkPage::OnSelected(int index) {
    QTreeWidgetItem* item = lvWatermark_->topLevelItem(index);
    if (!item) return;
    {
        TUpdating updating(link_);
        lvWatermark_->setCurrentItem(item);
        RefreshButtons();
        ReadSelected();
    }
    if (onModeChanged) onModeChanged();
}

void TFlvWatermarkPage::OnStartTime(uint32_t start) {
    TUpdating updating(link_);
    edtWaterStartTime_->setText(FormatTime(true, start));
    slider_.SetWatermarkStart(static_cast<int>(start));
}

void TFlvWatermarkPage::OnEndTime(uint32_t end) {
    TUpdating updating(link_);
    edtWaterEndTime_->setText(FormatTime(true, end));
    slider_.SetWatermarkEnd(static_cast<int>(end));
}

// The notification carries the fade cut to whole seconds; the record has it exactly.
void TFlvWatermarkPage::OnFade() {
    const int row = SelectedRow();
    if (row < 0) return;
    WaterMarkTiming t{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetTiming, t);
    TUpdating updating(link_);
    edtFadein_->setText(Seconds(t.fadeIn));
    edtFadeout_->setText(Seconds(t.fadeOut));
}

void TFlvWatermarkPage::OnPlace(const WaterMarkPlace& place) {
    TUpdating updating(link_);
    edtImageLeft_->setValue(place.xOffset);
    edtImageTop_->setValue(place.yOffset);
    edtImageWidth_->setValue(place.width);
    edtImageHeight_->setValue(place.height);
    spedtTextLeft_->setValue(place.xOffset);
    spedtTextTop_->setValue(place.yOffset);
}

void TFlvWatermarkPage::OnDeselected() {
    TUpdating updating(link_);
    slider_.SetMode(TfmeRangeSlider::kTrim);
    lvWatermark_->clearSelection();
    lvWatermark_->setCurrentItem(nullptr);
    RefreshButtons();
    EnableItemEditors(false, false);
}

void TFlvWatermarkPage::OnMoved(const WaterMarkMove& move) {
    const uint32_t rows = static_cast<uint32_t>(RowCount());
    if (move.from == move.to || move.from > 255 || move.to > 255 || move.from >= rows || move.to >= rows) return;
    TUpdating updating(link_);
    QTreeWidgetItem* a = lvWatermark_->topLevelItem(static_cast<int>(move.from));
    QTreeWidgetItem* b = lvWatermark_->topLevelItem(static_cast<int>(move.to));
    for (int column = 0; column < 3; ++column) {
        const QIcon icon = a->icon(column);
        const QString text = a->text(column);
        a->setIcon(column, b->icon(column));
        a->setText(column, b->text(column));
        b->setIcon(column, icon);
        b->setText(column, text);
    }
}

// ---- the slider's watermark marks

void TFlvWatermarkPage::OnSliderPressed() { pgcWatermark_->setCurrentWidget(tsTimeOffset_); }

void TFlvWatermarkPage::OnSliderMoved(int start, int end, int which) {
    const int row = SelectedRow();
    if (row < 0) return;
    WaterMarkTiming t{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetTiming, t);
    if (which == TfmeRangeSlider::kStartMark) t.startTime = static_cast<uint32_t>(std::max(0, start));
    else t.endTime = static_cast<uint32_t>(std::max(0, end));
    link_.SendRecord(msg::kWaterMarkSetTiming, t);
    ReadTiming();
}

// ---- adding

void TFlvWatermarkPage::AddImage() {
    if (!link_.Active()) return;
    const QString path = choosePicture ? choosePicture() : QString();
    if (path.isEmpty()) return;
    const QByteArray utf8 = path.toUtf8();
    if (utf8.size() >= kPathBufferSize) {  // refused, never cut: a cut path names another file
        link_.Warn(link_.Text(panelkey::kErrPathTooLong) + QStringLiteral("\n\n") + path);
        return;
    }
    WaterMarkString r{static_cast<uint32_t>(RowCount()), utf8.constData()};
    link_.SendRecord(msg::kWaterMarkAddImage, r);
}

void TFlvWatermarkPage::AddText() {
    if (!link_.Active()) return;
    const int index = RowCount();
    const QByteArray text = (link_.Text(panelkey::kTitle) + QLatin1Char(' ') + QString::number(index + 1)).toUtf8();
    WaterMarkString r{static_cast<uint32_t>(index), text.constData()};
    link_.SendRecord(msg::kWaterMarkAddText, r);
    if (RowCount() <= index) return;  // refused: there is no new row to style
    WaterMarkTextStyle style{};
    style.index = static_cast<uint32_t>(index);
    CopyUtf8Field(style.font, sizeof style.font, font().family());
    style.textSize = static_cast<uint16_t>(font().pointSize() > 0 ? font().pointSize() : 10);
    const uint8_t red[] = {255, 0, 0, 255};
    std::memcpy(style.textColor, red, sizeof red);
    link_.SendRecord(msg::kWaterMarkSetTextStyle, style);
}

// ---- the item editors

void TFlvWatermarkPage::ChangePosition(int field, int value) {
    const int row = SelectedRow();
    if (link_.updating || row < 0) return;
    WaterMarkPosition p{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetPosition, p);
    if (field == 0) p.origin = static_cast<int16_t>(value);
    else if (field == 1) p.xOffset = static_cast<int16_t>(value);
    else p.yOffset = static_cast<int16_t>(value);
    link_.SendRecord(msg::kWaterMarkSetPosition, p);
}

void TFlvWatermarkPage::ChangeSize() {
    const int row = SelectedRow();
    if (link_.updating || row < 0) return;
    WaterMarkSize s{static_cast<uint32_t>(row), 0, 0, 0, {}};
    link_.SendRecord(msg::kWaterMarkGetSize, s);
    s.width = static_cast<uint16_t>(edtImageWidth_->value());
    s.height = static_cast<uint16_t>(edtImageHeight_->value());
    s.isOrgScale = btnImageSizeLock_->isChecked() ? 1 : 0;
    link_.SendRecord(msg::kWaterMarkSetSize, s);
    ReadSelected();  // a locked ratio may have changed the other side
}

void TFlvWatermarkPage::ChangeImageFile() {
    const int row = SelectedRow();
    if (row < 0) return;
    const QString path = choosePicture ? choosePicture() : QString();
    if (path.isEmpty()) return;
    const QByteArray utf8 = path.toUtf8();
    if (utf8.size() >= kPathBufferSize) {
        link_.Warn(link_.Text(panelkey::kErrPathTooLong) + QStringLiteral("\n\n") + path);
        return;
    }
    WaterMarkString r{static_cast<uint32_t>(row), utf8.constData()};
    link_.SendRecord(msg::kWaterMarkSetImageFile, r);
    ReadSelected();
}

void TFlvWatermarkPage::ChangeCaption() {
    const int row = SelectedRow();
    if (link_.updating || row < 0) return;
    QString text = mmoCaption_->toPlainText();
    if (text.size() > kMaxCaption) {
        TUpdating updating(link_);
        text.truncate(kMaxCaption);
        if (text.back().isHighSurrogate()) text.chop(1);  // never half a character
        mmoCaption_->setPlainText(text);
        mmoCaption_->moveCursor(QTextCursor::End);
    }
    if (QTreeWidgetItem* item = lvWatermark_->topLevelItem(row)) item->setText(2, text);
    const QByteArray utf8 = text.toUtf8();
    WaterMarkString r{static_cast<uint32_t>(row), utf8.constData()};
    link_.SendRecord(msg::kWaterMarkSetText, r);
}

void TFlvWatermarkPage::TimingEntered(int which) {
    const int row = SelectedRow();
    if (row < 0) return;
    WaterMarkTiming t{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetTiming, t);
    TKeyEdit* boxes[] = {edtWaterStartTime_, edtWaterEndTime_, edtFadein_, edtFadeout_};
    const QString text = boxes[which]->text();
    if (which == 0 || which == 1) {
        const int64_t value = ParseTime(text);
        const bool valid = which == 0 ? value >= 0 && value < t.endTime : value > t.startTime && value <= UINT32_MAX;
        if (!valid) {
            link_.Warn(link_.Text(which == 0 ? panelkey::kInvalidStart : panelkey::kInvalidEnd));
            boxes[which]->setText(FormatTime(true, which == 0 ? t.startTime : t.endTime));
            boxes[which]->setFocus();
            if (which == 1) ReadTiming();
            return;
        }
        (which == 0 ? t.startTime : t.endTime) = static_cast<uint32_t>(value);
    } else {
        bool ok = false;
        const double seconds = text.trimmed().toDouble(&ok);
        (which == 2 ? t.fadeIn : t.fadeOut) = ok ? static_cast<float>(seconds) : 0.0f;
    }
    link_.SendRecord(msg::kWaterMarkSetTiming, t);
    ReadTiming();
}

void TFlvWatermarkPage::TimingEscaped(int which) {
    const int row = SelectedRow();
    if (row < 0) return;
    WaterMarkTiming t{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetTiming, t);
    TUpdating updating(link_);
    switch (which) {
        case 0: edtWaterStartTime_->setText(FormatTime(true, t.startTime)); break;
        case 1: edtWaterEndTime_->setText(FormatTime(true, t.endTime)); break;
        case 2: edtFadein_->setText(Seconds(t.fadeIn)); break;
        default: edtFadeout_->setText(Seconds(t.fadeOut)); break;
    }
}

void TFlvWatermarkPage::MarkTime(bool end) {
    const int row = SelectedRow();
    if (row < 0) return;
    const int32_t position = link_.Position();
    WaterMarkTiming t{static_cast<uint32_t>(row), 0, 0, 0, 0};
    link_.SendRecord(msg::kWaterMarkGetTiming, t);
    (end ? t.endTime : t.startTime) = static_cast<uint32_t>(std::max(0, position));
    link_.SendRecord(msg::kWaterMarkSetTiming, t);
}

void TFlvWatermarkPage::ChooseSeeThrough() {
    const int row = SelectedRow();
    if (row < 0) return;
    WaterMarkTransparency tr{static_cast<uint32_t>(row), 255, {255, 255, 255, 255}, 0, {}};
    link_.SendRecord(msg::kWaterMarkGetTransparency, tr);
    const QString path = edtBrowse_->text();
    const QImage picture = LoadPictureFile(path);
    if (picture.isNull()) {
        link_.Warn(link_.Text(panelkey::kInvalidImage));
        return;
    }
    TfrmTranColor dialog(languages_, this);
    dialog.SetTransparencyEnabled(tr.transparent[3] != 255);
    dialog.SetAlpha(tr.alpha);
    dialog.SetColor(QColor(tr.transparent[0], tr.transparent[1], tr.transparent[2]));
    dialog.SetTolerance(tr.tolerance);
    dialog.SetBitmap(picture);
    dialog.SetPicturePath(path);
    if (dialog.exec() != QDialog::Accepted) return;
    // The alpha is kept with or without a see-through colour: the dialog
    // showed the watermark with both.
    tr.alpha = static_cast<uint8_t>(dialog.GetAlpha());
    tr.transparent[3] = dialog.TransparencyEnabled() ? 0 : 255;
    const QColor colour = dialog.Color();
    tr.transparent[0] = static_cast<uint8_t>(colour.red());
    tr.transparent[1] = static_cast<uint8_t>(colour.green());
    tr.transparent[2] = static_cast<uint8_t>(colour.blue());
    tr.tolerance = static_cast<uint8_t>(dialog.GetTolerance());
    link_.SendRecord(msg::kWaterMarkSetTransparency, tr);
}

void TFlvWatermarkPage::ChooseFont() {
    const int row = SelectedRow();
    if (row < 0) return;
    WaterMarkTextStyle style{};
    style.index = static_cast<uint32_t>(row);
    link_.SendRecord(msg::kWaterMarkGetTextStyle, style);
    WaterMarkTransparency tr{static_cast<uint32_t>(row), 255, {255, 255, 255, 255}, 0, {}};
    link_.SendRecord(msg::kWaterMarkGetTransparency, tr);
    QFont font(QString::fromUtf8(style.font, static_cast<int>(strnlen(style.font, sizeof style.font))));
    font.setPointSize(style.textSize > 0 ? style.textSize : 10);
    font.setBold(style.fontStyle == 2 || style.fontStyle == 3);
    font.setItalic(style.fontStyle == 1 || style.fontStyle == 3);
    font.setStrikeOut(style.isStrikeOut != 0);
    font.setUnderline(style.isUnderLine != 0);
    fontDialog_->font = font;
    fontDialog_->colour = QColor(style.textColor[0], style.textColor[1], style.textColor[2]);
    fontDialog_->alpha = tr.alpha;
    if (!fontDialog_->Execute(this)) return;
    const QFont& chosen = fontDialog_->font;
    CopyUtf8Field(style.font, sizeof style.font, chosen.family());
    style.textSize = static_cast<uint16_t>(std::clamp(chosen.pointSize(), 1, 1000));
    style.textColor[0] = static_cast<uint8_t>(fontDialog_->colour.red());
    style.textColor[1] = static_cast<uint8_t>(fontDialog_->colour.green());
    style.textColor[2] = static_cast<uint8_t>(fontDialog_->colour.blue());
    style.textColor[3] = 0;
    style.fontStyle = chosen.bold() && chosen.italic() ? 3 : chosen.bold() ? 2 : chosen.italic() ? 1 : 0;
    style.isStrikeOut = chosen.strikeOut() ? 1 : 0;
    style.isUnderLine = chosen.underline() ? 1 : 0;
    tr.alpha = static_cast<uint8_t>(fontDialog_->alpha);
    link_.SendRecord(msg::kWaterMarkSetTransparency, tr);
    link_.SendRecord(msg::kWaterMarkSetTextStyle, style);
}

bool TFlvWatermarkPage::eventFilter(QObject* watched, QEvent* e) {
    if (watched == lvWatermark_ && e->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete && SelectedRow() >= 0) {
        link_.Send(msg::kWaterMarkRemove, 0, SelectedRow());
        return true;
    }
    return QWidget::eventFilter(watched, e);
}
