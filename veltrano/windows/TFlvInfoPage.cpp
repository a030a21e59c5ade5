#include "windows/TFlvInfoPage.h"

#include <QHeaderView>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/TimeFormat.h"
#include "windows/FlvCodecNames.h"
#include "windows/PanelLangKeys.h"
#include "windows/TClipEditLink.h"

namespace {
const TLangKey* const kKeys[TFlvInfoPage::kRowCount] = {
    &panelkey::kFile,       &panelkey::kVersion,      &panelkey::kDuration,   &panelkey::kVideo,
    &panelkey::kSize,       &panelkey::kVideoCodec,   &panelkey::kFrameRate,  &panelkey::kVideoBitRate,
    &panelkey::kAudio,      &panelkey::kAudioCodec,   &panelkey::kAudioBitRate, &panelkey::kSampleRate,
    &panelkey::kSampleBits, &panelkey::kChannels};
constexpr int kHeadings[] = {3, 8};
const QColor kHeadingColour(0xE7, 0xF5, 0xFD);  // 16643303

// "#,###": thousands grouped, nothing for 0.
QString Grouped(int v) { return v == 0 ? QString() : QLocale(QLocale::English).toString(v); }
}  // namespace

TFlvInfoPage::TFlvInfoPage(TClipEditLink& link, QWidget* parent) : QWidget(parent), link_(link) {
    lvFlvInfo_ = new QTreeWidget(this);
    lvFlvInfo_->setObjectName(QStringLiteral("lvFlvInfo"));
    lvFlvInfo_->setColumnCount(2);
    lvFlvInfo_->setHeaderLabels({QStringLiteral("Item"), QStringLiteral("Value")});
    lvFlvInfo_->setRootIsDecorated(false);
    lvFlvInfo_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvFlvInfo_->setSelectionMode(QAbstractItemView::NoSelection);
    lvFlvInfo_->header()->setSectionsClickable(false);
    lvFlvInfo_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    for (int row = 0; row < kRowCount; ++row) new QTreeWidgetItem(lvFlvInfo_);
    for (int row : kHeadings) {
        QTreeWidgetItem* item = lvFlvInfo_->topLevelItem(row);
        QFont bold = item->font(0);
        bold.setBold(true);
        for (int column = 0; column < 2; ++column) {
            item->setFont(column, bold);
            item->setBackground(column, kHeadingColour);
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->addWidget(lvFlvInfo_);
    Retranslate();
}

void TFlvInfoPage::Retranslate() {
    for (int row = 0; row < kRowCount; ++row) lvFlvInfo_->topLevelItem(row)->setText(0, link_.Text(*kKeys[row]));
}

void TFlvInfoPage::Clear() {
    for (int row = 0; row < kRowCount; ++row) lvFlvInfo_->topLevelItem(row)->setText(1, QString());
}

void TFlvInfoPage::Fill(const MediaFileInfo& info, const QString& path) {
    QStringList v(kRowCount);
    v[0] = path;
    v[1] = QString::number(info.version);
    v[2] = FormatTime(true, info.duration);
    if (info.videoCodec != -1) {
        v[4] = QString::asprintf("%d * %d", info.width, info.height);
        v[5] = FlvVideoCodecName(info.videoCodec);
        v[6] = QString::asprintf("%f", info.frameRate);
        v[7] = Grouped(info.videoDataRate);
    }
    if (info.audioFormat != -1) {
        v[9] = FlvAudioCodecName(info.audioFormat);
        v[10] = Grouped(info.audioDataRate);
        v[11] = Grouped(info.sampleRate);
        v[12] = QString::number(info.bitsPerSample);
        v[13] = info.channels == 1   ? link_.Text(panelkey::kMono)
                : info.channels == 2 ? link_.Text(panelkey::kStereo)
                                     : QString::number(info.channels);
    }
    for (int row = 0; row < kRowCount; ++row) lvFlvInfo_->topLevelItem(row)->setText(1, v[row]);
}
