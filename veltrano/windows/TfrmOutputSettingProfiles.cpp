// The output settings dialog's side of the profile file: reading it, showing
// the last used profile, and adding and deleting the user's own profiles.

#include <QComboBox>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/IniInfo.h"
#include "windows/ConvertLangKeys.h"
#include "app/MyLang.h"
#include "profiles/OutputRecord.h"
#include "profiles/ProfileDocument.h"
#include "profiles/ProfileNumbers.h"
#include "windows/TFormatCombo.h"
#include "windows/TfrmAddProfile.h"
#include "windows/TfrmFormat.h"
#include "windows/TfrmOutputSetting.h"
#include "windows/TfrmPrompt.h"

using profiles::ProfileChoices;
using profiles::TXMLExportCategoryType;
using profiles::TXMLExportFormatType;

namespace {
constexpr int kUserCategory = 0, kDefaultCategory = 1;
}

bool TfrmOutputSetting::LoadProfiles() {
    std::string error;
    if (!doc_->LoadFile(profileFile_.toStdString(), &error)) {
        frmFormat_->Clear();
        ShowPrompt(profileFile_ + QStringLiteral("\n\n") + QString::fromStdString(error), 0, kIconError, 2, this);
        return false;
    }
    ReloadChooser();
    return true;
}

void TfrmOutputSetting::ReloadChooser() {
    QString group = lang_->Text(convkey::kPortableDevices);
    if (group.isEmpty()) group = QStringLiteral("Portable devices");
    frmFormat_->Load(*doc_, group);
    if (category_ >= 0) frmFormat_->SetCurrent(category_, index_);
}

// A built-in profile is known by its name and number (the same name may be
// shipped twice); the user's own by name alone.
void TfrmOutputSetting::ChooseLastProfile() {
    const std::string name = ini_.lastProfileName.toStdString();
    const profiles::TXMLExportFormatsType formats = doc_->ExportFormats();
    for (int c = kDefaultCategory; c < formats.Count(); ++c) {
        const TXMLExportCategoryType category = formats.Item(c);
        for (int i = 0; i < category.Count(); ++i)
            if (category.Item(i).Caption() == name && category.Item(i).FormatID() == ini_.lastProfileFormatId &&
                ChooseFormat(c, i))
                return;
    }
    const TXMLExportCategoryType users = formats.Item(kUserCategory);
    for (int i = 0; i < users.Count(); ++i)
        if (users.Item(i).Caption() == name && ChooseFormat(kUserCategory, i)) return;
    ChooseDefault();
}

bool TfrmOutputSetting::ChooseDefault() { return ChooseFormat(kDefaultCategory, 0); }

void TfrmOutputSetting::AddProfile() {
    const TXMLExportFormatType current = Current();
    if (!current || !CheckStreams()) return;
    TfrmAddProfile dialog(CurrentCaption(), this);
    if (dialog.exec() != QDialog::Accepted) return;
    profiles::TXMLExportFormatsType formats = doc_->ExportFormats();
    if (formats.Count() == 0) formats.Add("Custom");
    TXMLExportCategoryType users = formats.Item(kUserCategory);
    const TXMLExportFormatType copy = users.AddCopy(current);
    if (!copy) return;
    FillCopy(copy, current, dialog.Name());
    if (!SaveProfiles()) return;
    ReloadChooser();
    ChooseFormat(kUserCategory, users.Count() - 1);
}

// The copy takes what the controls show now, so choosing it again gives the
// same output.
void TfrmOutputSetting::FillCopy(TXMLExportFormatType copy, const TXMLExportFormatType& from, const QString& caption) {
    copy.SetCaption(caption.toStdString());
    if (profiles::IsBindProfile(from)) return;  // a join has nothing the user set
    const bool audioOnly = from.AudioOnly() == 1;
    if (!audioOnly && chkIncludeVideo_->isEnabled() && !chkIncludeVideo_->isChecked()) copy.SetAudioOnly(1);
    if (!audioOnly) {
        if (cbxVideoSize_->count() > 0) {
            const int size = cbxVideoSize_->currentData().toInt();
            if (size == ProfileChoices::kOriginal) {
                copy.SetDefSize("0x0");
            } else if (size == ProfileChoices::kCustom) {
                const std::string text =
                    QStringLiteral("%1x%2").arg(edtWidth_->value()).arg(edtHeight_->value()).toStdString();
                copy.SetDefSize(text);
                copy.EnsureSupportedSizes().Add(text);
            } else {
                copy.SetDefSize(cbxVideoSize_->currentText().toStdString());
            }
        }
        copy.SetDefBtr(edtVideoBitrate_->text().toInt());
        if (cbxFrameRate_->count() > 0) {
            const int rate = cbxFrameRate_->currentData().toInt();
            if (rate == ProfileChoices::kOriginal) {
                copy.SetDefFPS(0);
            } else if (rate == ProfileChoices::kCustom) {
                // A custom rate that is not a number leaves the rates as they were.
                if (const auto fps = profiles::ParseNumber(edtFrameRate_->text().toStdString())) {
                    copy.SetDefFPS(*fps);
                    copy.EnsureSupportedFPSS().Add(*fps);
                }
            } else if (const auto fps = profiles::ParseNumber(cbxFrameRate_->currentText().toStdString())) {
                copy.SetDefFPS(*fps);
            }
        }
    }
    copy.SetDefSampleRate(cbxSampleRate_->currentText().toInt());
    copy.SetDefABtr(cbxABitrate_->currentData(kBitsPerSecondRole).toInt());
    copy.SetDefChannel(cbxChannels_->currentIndex() >= 0 ? cbxChannels_->currentData().toInt() + 1 : 0);
    if (!audioOnly && chkIncludeAudio_->isEnabled() && !chkIncludeAudio_->isChecked()) copy.RemoveAudioLists();
}

void TfrmOutputSetting::DeleteProfile() {
    if (category_ != kUserCategory) return;
    TXMLExportCategoryType users = doc_->ExportFormats().Item(kUserCategory);
    if (!users.Remove(index_)) return;
    if (!SaveProfiles()) return;
    ReloadChooser();
    if (users.Count() > 0)
        ChooseFormat(kUserCategory, users.Count() - 1);
    else
        ChooseDefault();
}

// On failure the file still holds what the user had, so the document goes
// back to it rather than keep a change that was never written.
bool TfrmOutputSetting::SaveProfiles() {
    std::string error;
    if (doc_->SaveAs(profileFile_.toStdString(), &error)) return true;
    ShowPrompt(lang_->Text(convkey::kErrProfileSave) + QStringLiteral("\n\n") + profileFile_ + QStringLiteral("\n\n") +
                   QString::fromStdString(error),
               0, kIconError, 2, this);
    const int category = category_, index = index_;
    category_ = index_ = -1;
    if (!LoadProfiles()) {
        btnOk_->setEnabled(false);
        btnDelProfile_->setEnabled(false);
        cbxFormat_->clear();
        return false;
    }
    if (!ChooseFormat(category, index)) ChooseDefault();
    return false;
}
