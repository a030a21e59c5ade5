#include "windows/TfrmOutputSetting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>
#include <limits>
#include <strings.h>

#include "app/IniInfo.h"
#include "windows/ConvertLangKeys.h"
#include "app/MyLang.h"
#include "profiles/OutputRecord.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileNumbers.h"
#include "windows/BrowseForFolder.h"
#include "windows/TFormatCombo.h"
#include "windows/TfrmFormat.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmOutputPath.h"
#include "windows/TfrmPrompt.h"

using profiles::ProfileChoices;
using profiles::TXMLExportFormatType;

namespace {

// Item data of the list entries: a position in the profile's own list, or
// one of these for the "original" and "custom" entries.
constexpr int kOriginal = ProfileChoices::kOriginal;
constexpr int kCustom = ProfileChoices::kCustom;
// Item data of the channel entries that name a layout by text.
constexpr int kMonoText = -3, kStereoText = -4;
constexpr int kMinSide = 20, kMaxSide = 3000;

template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}

int DataOf(const QComboBox* box, int fallback) {
    return box->currentIndex() >= 0 ? box->currentData().toInt() : fallback;
}

void SelectData(QComboBox* box, int data) {
    const int at = box->findData(data);
    box->setCurrentIndex(at >= 0 ? at : (box->count() > 0 ? 0 : -1));
}

// Empties a list and disables it.
void Disable(QComboBox* box) {
    box->clear();
    box->setEnabled(false);
}

}  // namespace

TfrmOutputSetting::TfrmOutputSetting(TIniInfo& ini, const QString& profileFile, QWidget* parent)
    : QDialog(parent), ini_(ini), profileFile_(profileFile), doc_(std::make_unique<profiles::TXMLNewDataSetType>()) {
    setObjectName(QStringLiteral("frmOutputSetting"));
    setWindowTitle(QStringLiteral("Output Settings"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmOutputSetting"), holder ? &holder->Languages() : nullptr);
    record_.audioCodec = record_.videoCodec = -1;
    BuildLayout();
    connect(lang_, &TMyLang::langChanged, this, &TfrmOutputSetting::Retranslate);
    Retranslate();
}

TfrmOutputSetting::~TfrmOutputSetting() = default;

void TfrmOutputSetting::BuildLayout() {
    frmFormat_ = new TfrmFormat(this);
    cbxFormat_ = Named(new TFormatCombo(this), "cbxFormat");
    cbxFormat_->setMinimumWidth(320);
    connect(cbxFormat_, &TFormatCombo::chooserRequested, this, [this] { frmFormat_->ToggleUnder(cbxFormat_); });
    connect(frmFormat_, &TfrmFormat::formatChosen, this, &TfrmOutputSetting::ChooseFormat);
    btnAddProfile_ = Named(new QPushButton(QStringLiteral("+"), this), "btnAddProfile");
    btnAddProfile_->setToolTip(QStringLiteral("Save the current settings as a new profile"));
    btnDelProfile_ = Named(new QPushButton(QStringLiteral("-"), this), "btnDelProfile");
    btnDelProfile_->setToolTip(QStringLiteral("Delete the current profile from the profile list"));
    btnDelProfile_->setEnabled(false);
    connect(btnAddProfile_, &QPushButton::clicked, this, &TfrmOutputSetting::AddProfile);
    connect(btnDelProfile_, &QPushButton::clicked, this, &TfrmOutputSetting::DeleteProfile);
    auto* formatRow = new QHBoxLayout;
    formatRow->addWidget(Named(new QLabel(QStringLiteral("Format:"), this), "lblFormat"));
    formatRow->addWidget(cbxFormat_, 1);
    formatRow->addWidget(btnAddProfile_);
    formatRow->addWidget(btnDelProfile_);

    // Where a copied clip trimmed between key frames starts (the record's cutMode).
    lblCutMode_ = Named(new QLabel(QStringLiteral("Trim start:"), this), "lblCutMode");
    cbxCutMode_ = Named(new QComboBox(this), "cbxCutMode");
    cbxCutMode_->addItems({QStringLiteral("Exact (the pictures up to the next key frame are encoded again)"),
                           QStringLiteral("At the key frame before (nothing is encoded again)")});
    auto* cutRow = new QHBoxLayout;
    cutRow->addWidget(lblCutMode_);
    cutRow->addWidget(cbxCutMode_, 1);
    lblCutMode_->setVisible(false);
    cbxCutMode_->setVisible(false);

    // Video.
    chkIncludeVideo_ = Named(new QCheckBox(QStringLiteral("Include video"), this), "chkIncludeVideo");
    connect(chkIncludeVideo_, &QCheckBox::clicked, this, &TfrmOutputSetting::IncludeVideoClicked);
    grpVideo_ = Named(new QGroupBox(QStringLiteral("Video"), this), "grpVideo");
    cbxVideoSize_ = Named(new QComboBox(grpVideo_), "cbxVideoSize");
    edtWidth_ = Named(new QSpinBox(grpVideo_), "edtWidth");
    edtHeight_ = Named(new QSpinBox(grpVideo_), "edtHeight");
    for (QSpinBox* side : {edtWidth_, edtHeight_}) {
        side->setRange(kMinSide, kMaxSide);
        side->setEnabled(false);
    }
    edtWidth_->setValue(640);
    edtHeight_->setValue(480);
    edtVideoBitrate_ = Named(new QLineEdit(grpVideo_), "edtVideoBitrate");
    edtVideoBitrate_->setValidator(new QIntValidator(0, std::numeric_limits<int>::max() / 1000, edtVideoBitrate_));
    cbxFrameRate_ = Named(new QComboBox(grpVideo_), "cbxFrameRate");
    edtFrameRate_ = Named(new QLineEdit(grpVideo_), "edtFrameRate");
    edtFrameRate_->setEnabled(false);
    connect(cbxVideoSize_, &QComboBox::currentIndexChanged, this, &TfrmOutputSetting::SizeChosen);
    connect(edtWidth_, &QSpinBox::valueChanged, this, &TfrmOutputSetting::WidthChanged);
    connect(edtHeight_, &QSpinBox::valueChanged, this, &TfrmOutputSetting::HeightChanged);
    connect(cbxFrameRate_, &QComboBox::currentIndexChanged, this, &TfrmOutputSetting::FrameRateChosen);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(cbxVideoSize_, 1);
    sizeRow->addWidget(Named(new QLabel(QStringLiteral("Width:"), grpVideo_), "lblWidth"));
    sizeRow->addWidget(edtWidth_);
    sizeRow->addWidget(Named(new QLabel(QStringLiteral("Height:"), grpVideo_), "lblHeight"));
    sizeRow->addWidget(edtHeight_);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(cbxFrameRate_, 1);
    rateRow->addWidget(edtFrameRate_);
    auto* video = new QFormLayout(grpVideo_);
    video->addRow(Named(new QLabel(QStringLiteral("Size:"), grpVideo_), "lblVideoSize"), sizeRow);
    video->addRow(Named(new QLabel(QStringLiteral("Bit rate (kbit/s):"), grpVideo_), "lblVideoBitrate"),
                  edtVideoBitrate_);
    video->addRow(Named(new QLabel(QStringLiteral("Frame rate:"), grpVideo_), "lblFrameRate"), rateRow);

    // Audio.
    chkIncludeAudio_ = Named(new QCheckBox(QStringLiteral("Include audio"), this), "chkIncludeAudio");
    connect(chkIncludeAudio_, &QCheckBox::clicked, this, &TfrmOutputSetting::IncludeAudioClicked);
    grpAudio_ = Named(new QGroupBox(QStringLiteral("Audio"), this), "grpAudio");
    cbxSampleRate_ = Named(new QComboBox(grpAudio_), "cbxSampleRate");
    cbxABitrate_ = Named(new QComboBox(grpAudio_), "cbxABitrate");
    cbxChannels_ = Named(new QComboBox(grpAudio_), "cbxChannels");
    auto* audio = new QFormLayout(grpAudio_);
    audio->addRow(Named(new QLabel(QStringLiteral("Sample rate:"), grpAudio_), "lblSampleRate"), cbxSampleRate_);
    audio->addRow(Named(new QLabel(QStringLiteral("Bit rate:"), grpAudio_), "lblABitrate"), cbxABitrate_);
    audio->addRow(Named(new QLabel(QStringLiteral("Channels:"), grpAudio_), "lblChannels"), cbxChannels_);

    // Where the outputs go.
    cbxOutputFolderType_ = Named(new QComboBox(this), "cbxOutputFolderType");
    cbxOutputFolderType_->addItems({QStringLiteral("All in one folder"), QStringLiteral("In original folders")});
    connect(cbxOutputFolderType_, &QComboBox::currentIndexChanged, this, &TfrmOutputSetting::FolderTypeChosen);
    lblOutputPath_ = Named(new QLabel(QStringLiteral("Output folder:"), this), "lblOutputPath");
    edtOutputPath_ = Named(new QLineEdit(this), "edtOutputPath");
    btnBrowse_ = Named(new QPushButton(QStringLiteral("Select..."), this), "btnBrowse");
    btnEditPath_ = Named(new QPushButton(QStringLiteral("Edit..."), this), "btnEditPath");
    connect(btnBrowse_, &QPushButton::clicked, this, &TfrmOutputSetting::BrowseFolder);
    connect(btnEditPath_, &QPushButton::clicked, this, &TfrmOutputSetting::EditPaths);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(cbxOutputFolderType_);
    folderRow->addWidget(btnEditPath_);
    folderRow->addStretch(1);
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(lblOutputPath_);
    pathRow->addWidget(edtOutputPath_, 1);
    pathRow->addWidget(btnBrowse_);

    btnOk_ = Named(new QPushButton(QStringLiteral("OK"), this), "btnOk");
    auto* cancel = Named(new QPushButton(QStringLiteral("Cancel"), this), "btnCancel");
    btnOk_->setDefault(true);
    btnOk_->setEnabled(false);  // until a profile is shown
    connect(btnOk_, &QPushButton::clicked, this, &TfrmOutputSetting::accept);
    connect(cancel, &QPushButton::clicked, this, &TfrmOutputSetting::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(formatRow);
    layout->addLayout(cutRow);
    layout->addWidget(chkIncludeVideo_);
    layout->addWidget(grpVideo_);
    layout->addWidget(chkIncludeAudio_);
    layout->addWidget(grpAudio_);
    layout->addLayout(folderRow);
    layout->addLayout(pathRow);
    layout->addLayout(buttons);
}

QString TfrmOutputSetting::SpecialText(int role) const {
    const TLangKey* key = nullptr;
    const char* design = "";
    switch (role) {
        case kOriginal: key = &convkey::kOriginal, design = "Original"; break;
        case kCustom: key = &convkey::kCustom, design = "Custom"; break;
        case kMonoText: key = &convkey::kMono, design = "Mono"; break;
        case kStereoText: key = &convkey::kStereo, design = "Stereo"; break;
        default: return {};
    }
    const QString text = lang_->Text(*key);
    return text.isEmpty() ? QString::fromLatin1(design) : text;
}

void TfrmOutputSetting::Retranslate() {
    lang_->TranslateForm(this);
    const TLangKey folderTypes[] = {convkey::kAllInOneFolder, convkey::kInOriginalFolders};
    const TLangKey cutModes[] = {convkey::kCutExact, convkey::kCutKey};
    for (int i = 0; i < 2; ++i) {
        const QString text = lang_->Text(folderTypes[i]);
        if (!text.isEmpty()) cbxOutputFolderType_->setItemText(i, text);
        const QString cut = lang_->Text(cutModes[i]);
        if (!cut.isEmpty()) cbxCutMode_->setItemText(i, cut);
    }
    // The entries that are texts of ours rather than values of the profile.
    for (QComboBox* box : {cbxVideoSize_, cbxFrameRate_})
        for (int i = 0; i < box->count(); ++i)
            if (box->itemData(i).toInt() < 0) box->setItemText(i, SpecialText(box->itemData(i).toInt()));
    for (int i = 0; i < cbxChannels_->count(); ++i) {
        const QString caption = cbxChannels_->itemData(i, Qt::UserRole + 1).toString();
        cbxChannels_->setItemText(i, SpecialText(caption == QLatin1String("mono") ? kMonoText : kStereoText));
    }
    if (loaded_) ReloadChooser();
}

// ---- opening

void TfrmOutputSetting::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (!e->spontaneous()) Prepare();
}

void TfrmOutputSetting::Prepare() {
    edtOutputPath_->setText(ini_.outputFolder);
    cbxOutputFolderType_->setCurrentIndex(ini_.outputFolderType == 1 ? 1 : 0);
    FolderTypeChosen();
    if (!loaded_ && LoadProfiles()) {
        loaded_ = true;
        ChooseLastProfile();
    }
}

QString TfrmOutputSetting::CurrentCaption() const { return QString::fromStdString(Current().Caption()); }

TXMLExportFormatType TfrmOutputSetting::Current() const {
    if (category_ < 0) return TXMLExportFormatType();
    return doc_->ExportFormats().Item(category_).Item(index_);
}

// ---- showing a profile

bool TfrmOutputSetting::ChooseFormat(int category, int index) {
    const TXMLExportFormatType p = doc_->ExportFormats().Item(category).Item(index);
    if (!p) return false;
    category_ = category;
    index_ = index;
    frmFormat_->SetCurrent(category, index);
    ShowProfile(p);
    btnDelProfile_->setEnabled(category == 0);  // only the user's own profiles go
    btnOk_->setEnabled(true);
    return true;
}

void TfrmOutputSetting::ShowProfile(const TXMLExportFormatType& p) {
    showing_ = true;
    cbxFormat_->clear();
    cbxFormat_->addItem(frmFormat_->FormatIcon(category_), QString::fromStdString(p.Caption()));
    // Only the outputs copied into another container start clips on a
    // picture of the user's choosing; the FLV join starts at key frames.
    const bool copiedElsewhere = profiles::IsBindProfile(p) && strcasecmp(p.FileFormat().c_str(), "flvbind") != 0;
    lblCutMode_->setVisible(copiedElsewhere);
    cbxCutMode_->setVisible(copiedElsewhere);
    if (profiles::IsBindProfile(p)) {
        // The files are joined as they are: both streams, nothing to adjust.
        for (QCheckBox* include : {chkIncludeVideo_, chkIncludeAudio_}) {
            include->setChecked(true);
            include->setEnabled(false);
        }
        grpVideo_->setEnabled(false);
        grpAudio_->setEnabled(false);
    } else {
        ShowVideo(p);
        ShowAudio(p);
    }
    showing_ = false;
}

void TfrmOutputSetting::ShowVideo(const TXMLExportFormatType& p) {
    if (p.AudioOnly() == 1) {
        chkIncludeVideo_->setChecked(false);
        chkIncludeVideo_->setEnabled(false);
        grpVideo_->setEnabled(false);
        return;
    }
    grpVideo_->setEnabled(true);
    chkIncludeVideo_->setEnabled(true);
    chkIncludeVideo_->setChecked(true);
    edtVideoBitrate_->setText(QString::number(p.DefBtr()));
    const ProfileChoices defaults = profiles::DefaultChoices(p);

    cbxVideoSize_->clear();
    edtWidth_->setEnabled(false);
    edtHeight_->setEnabled(false);
    const profiles::TXMLSupportedSizesType sizes = p.SupportedSizes();
    if (sizes && sizes.Count() > 0) {
        cbxVideoSize_->setEnabled(true);
        if (sizes.AllowOrg() == 1) cbxVideoSize_->addItem(SpecialText(kOriginal), kOriginal);
        for (int i = 0; i < sizes.Count(); ++i) cbxVideoSize_->addItem(QString::fromStdString(sizes.Item(i)), i);
        if (sizes.AllowCustom() == 1) cbxVideoSize_->addItem(SpecialText(kCustom), kCustom);
        SelectData(cbxVideoSize_, defaults.size);
    } else {
        cbxVideoSize_->setEnabled(false);
        edtWidth_->clear();
        edtHeight_->clear();
    }

    cbxFrameRate_->clear();
    edtFrameRate_->setEnabled(false);
    const profiles::TXMLSupportedFPSSType rates = p.SupportedFPSS();
    if (rates && rates.Count() > 0) {
        cbxFrameRate_->setEnabled(true);
        edtVideoBitrate_->setEnabled(true);
        if (rates.AllowOrg() == 1) cbxFrameRate_->addItem(SpecialText(kOriginal), kOriginal);
        // Printed with "." whatever the locale, as the file writes them.
        for (int i = 0; i < rates.Count(); ++i)
            cbxFrameRate_->addItem(QString::fromStdString(profiles::FormatNumber(rates.Item(i))), i);
        if (rates.AllowCustom() == 1) cbxFrameRate_->addItem(SpecialText(kCustom), kCustom);
        SelectData(cbxFrameRate_, defaults.frameRate);
    } else {
        // Without frame rates to choose from the bit rate is not the user's either.
        cbxFrameRate_->setEnabled(false);
        edtFrameRate_->clear();
        edtVideoBitrate_->setEnabled(false);
    }
}

void TfrmOutputSetting::ShowAudio(const TXMLExportFormatType& p) {
    grpAudio_->setEnabled(true);
    chkIncludeAudio_->setEnabled(true);
    chkIncludeAudio_->setChecked(true);
    const ProfileChoices defaults = profiles::DefaultChoices(p);

    cbxSampleRate_->clear();
    const profiles::TXMLSupportedSampleRatesType rates = p.SupportedSampleRates();
    if (rates && rates.Count() > 0) {
        cbxSampleRate_->setEnabled(true);
        for (int i = 0; i < rates.Count(); ++i) cbxSampleRate_->addItem(QString::number(rates.Item(i)), i);
        SelectData(cbxSampleRate_, defaults.sampleRate);
    } else {
        // No sample rate to offer: the output cannot carry sound.
        chkIncludeAudio_->setChecked(false);
        chkIncludeAudio_->setEnabled(false);
        grpAudio_->setEnabled(false);
        cbxSampleRate_->setEnabled(false);
    }

    cbxABitrate_->clear();
    const profiles::TXMLSupportedAudioBitRatesType bitRates = p.SupportedAudioBitRates();
    if (bitRates && bitRates.Count() > 0) {
        cbxABitrate_->setEnabled(true);
        for (int i = 0; i < bitRates.Count(); ++i) {
            // Shown in kbit/s; the bits per second stay with the item for a saved profile.
            const int bps = bitRates.Item(i);
            const QString text = bps % 1000 == 0 ? QStringLiteral("%1 kbit/s").arg(bps / 1000)
                                                 : QStringLiteral("%1 bit/s").arg(bps);
            cbxABitrate_->addItem(text, i);
            cbxABitrate_->setItemData(cbxABitrate_->count() - 1, bps, kBitsPerSecondRole);
        }
        SelectData(cbxABitrate_, defaults.audioBitRate);
    } else {
        Disable(cbxABitrate_);
    }

    cbxChannels_->clear();
    const profiles::TXMLSupportedChannelsType channels = p.SupportedChannels();
    if (channels && channels.Count() > 0) {
        cbxChannels_->setEnabled(true);
        for (int i = 0; i < channels.Count(); ++i) {
            const std::string caption = channels.Item(i).Caption();
            const bool mono = strcasecmp(caption.c_str(), "mono") == 0;
            if (!mono && strcasecmp(caption.c_str(), "stereo") != 0) continue;  // a layout we cannot name
            cbxChannels_->addItem(SpecialText(mono ? kMonoText : kStereoText), i);
            cbxChannels_->setItemData(cbxChannels_->count() - 1, mono ? QStringLiteral("mono") : QStringLiteral("stereo"),
                                      Qt::UserRole + 1);
        }
        SelectData(cbxChannels_, defaults.channel);
    } else {
        Disable(cbxChannels_);
    }
}

// ---- control behaviour

void TfrmOutputSetting::SizeChosen() {
    if (showing_) return;
    const bool custom = DataOf(cbxVideoSize_, kOriginal) == kCustom;
    edtWidth_->setEnabled(custom);
    edtHeight_->setEnabled(custom);
    if (!custom) return;
    edtWidth_->setValue(Current().DAR() == "16/9" ? 640 : 620);
    edtHeight_->setValue(480);
    // The height decides: with an aspect ratio the width follows it even
    // when the height already was 480.
    HeightChanged(edtHeight_->value());
    edtWidth_->setFocus();
}

double TfrmOutputSetting::LinkRatio() const {
    const double ratio = profiles::AspectRatioOf(Current().DAR());
    return ratio > 0 ? ratio : 1.0;  // a ratio that is not two numbers links 1:1
}

void TfrmOutputSetting::WidthChanged(int width) {
    if (showing_ || linking_ || Current().DAR().empty()) return;
    linking_ = true;
    edtHeight_->setValue(static_cast<int>(std::lround(width / LinkRatio())));
    linking_ = false;
}

void TfrmOutputSetting::HeightChanged(int height) {
    if (showing_ || linking_ || Current().DAR().empty()) return;
    linking_ = true;
    edtWidth_->setValue(static_cast<int>(std::lround(height * LinkRatio())));
    linking_ = false;
}

void TfrmOutputSetting::FrameRateChosen() {
    if (showing_) return;
    const bool custom = DataOf(cbxFrameRate_, kOriginal) == kCustom;
    edtFrameRate_->setEnabled(custom);
    if (!custom) return;
    edtFrameRate_->setText(QStringLiteral("25"));
    edtFrameRate_->setFocus();
}

void TfrmOutputSetting::IncludeVideoClicked() {
    if (profiles::IsBindProfile(Current())) return;
    grpVideo_->setEnabled(chkIncludeVideo_->isChecked());
}

void TfrmOutputSetting::IncludeAudioClicked() {
    if (profiles::IsBindProfile(Current())) return;
    grpAudio_->setEnabled(chkIncludeAudio_->isChecked());
}

void TfrmOutputSetting::FolderTypeChosen() {
    const bool oneFolder = cbxOutputFolderType_->currentIndex() != 1;
    lblOutputPath_->setEnabled(oneFolder);
    edtOutputPath_->setEnabled(oneFolder);
    btnBrowse_->setEnabled(oneFolder);
    btnEditPath_->setEnabled(!oneFolder);
}

void TfrmOutputSetting::BrowseFolder() {
    const QString folder =
        BrowseForFolder(this, lang_->Text(convkey::kSelectFolder), edtOutputPath_->text(), true);
    if (folder.isEmpty()) return;
    edtOutputPath_->setText(folder);
    ini_.outputFolder = folder;
}

void TfrmOutputSetting::EditPaths() {
    QList<TSeqPathInfo> none;
    TfrmOutputPath dialog(sequences_ ? *sequences_ : none, this);
    dialog.exec();
}

// ---- building the record

bool TfrmOutputSetting::CheckStreams() {
    const bool audioOnly = Current().AudioOnly() == 1;
    if ((audioOnly && !chkIncludeAudio_->isChecked()) ||
        (!chkIncludeVideo_->isChecked() && !chkIncludeAudio_->isChecked())) {
        ShowPrompt(lang_->Text(convkey::kInfoAudioVideo), 0, kIconError, 2, this);
        return false;
    }
    return true;
}

ProfileChoices TfrmOutputSetting::Choices() const {
    const TXMLExportFormatType p = Current();
    ProfileChoices c = profiles::DefaultChoices(p);
    c.includeVideo = p.AudioOnly() != 1 && chkIncludeVideo_->isChecked();
    c.includeAudio = chkIncludeAudio_->isChecked();
    c.size = DataOf(cbxVideoSize_, kOriginal);
    c.customWidth = edtWidth_->value();
    c.customHeight = edtHeight_->value();
    c.videoBitRateKbps = edtVideoBitrate_->text().toInt();  // 0 when not a number
    c.frameRate = DataOf(cbxFrameRate_, kOriginal);
    // A custom rate that is not a number becomes 30.
    c.customFrameRate = profiles::ParseNumber(edtFrameRate_->text().toStdString()).value_or(30.0);
    c.sampleRate = DataOf(cbxSampleRate_, c.sampleRate);
    c.audioBitRate = DataOf(cbxABitrate_, c.audioBitRate);
    c.channel = DataOf(cbxChannels_, c.channel);
    c.letterbox = ini_.videoScale;
    return c;
}

bool TfrmOutputSetting::BuildRecord() {
    const bool oneFolder = cbxOutputFolderType_->currentIndex() != 1;
    QString folder = edtOutputPath_->text().trimmed();
    if (oneFolder) {
        // An empty or relative folder would land wherever the program was started.
        if (folder.isEmpty() || QDir::isRelativePath(folder) || !QDir().mkpath(folder)) {
            ShowPrompt(lang_->Text(convkey::kInvalidFolder).replace(QStringLiteral("%s"), folder), 0, kIconError, 2,
                       this);
            edtOutputPath_->setFocus();
            edtOutputPath_->selectAll();
            return false;
        }
    }
    if (!CheckStreams()) return false;
    ini_.outputFolderType = oneFolder ? 0 : 1;
    if (oneFolder) ini_.outputFolder = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    switch (profiles::BuildOutputSettings(Current(), Choices(), record_)) {
        case profiles::RecordResult::kOk:
            if (cbxCutMode_->isVisibleTo(this)) record_.cutMode = cbxCutMode_->currentIndex();
            return true;
        case profiles::RecordResult::kNoStream:
            ShowPrompt(lang_->Text(convkey::kInfoAudioVideo), 0, kIconError, 2, this);
            return false;
        case profiles::RecordResult::kBadChoice: break;
    }
    return false;
}

void TfrmOutputSetting::accept() {
    if (!Current() || !BuildRecord()) return;
    ini_.lastProfileName = CurrentCaption();
    ini_.lastProfileFormatId = Current().FormatID();
    QDialog::accept();
}
