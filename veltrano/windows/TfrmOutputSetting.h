#pragma once

// The output settings dialog: the user picks an output profile from the
// profile file, adjusts its size, frame rate, bit rates and channels, says
// where the outputs go, and OK turns it into the output settings record the
// conversion engine receives. The user's own profiles (the file's first
// category) can be added from the current settings and deleted.
//
// Created once by the main window and kept; each opening refreshes the
// folder controls from the settings.

#include <QDialog>
#include <QList>
#include <memory>

#include "app/ShellRecords.h"
#include "profiles/ExportFormat.h"
#include "projcore/Records.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TFormatCombo;
class TfrmFormat;
class TIniInfo;
class TMyLang;

namespace profiles {
class TXMLNewDataSetType;
struct ProfileChoices;
}

class TfrmOutputSetting : public QDialog {
    Q_OBJECT
public:
    // The audio bit rate item's bits per second (its text shows kbit/s).
    static constexpr int kBitsPerSecondRole = Qt::UserRole + 1;
    // profileFile: the user's "CustomFormats.xml", read on first use and
    // written whenever a profile is added or deleted.
    TfrmOutputSetting(TIniInfo& ini, const QString& profileFile, QWidget* parent = nullptr);
    ~TfrmOutputSetting() override;

    // The sequences being exported; "Edit..." changes their output folders.
    // Not owned; must outlive the dialog's use.
    void SetSequences(QList<TSeqPathInfo>* sequences) { sequences_ = sequences; }

    // Fills the folder controls from the settings and, until the profile
    // file has been read, reads it and shows the last used profile. Runs
    // whenever the dialog is shown.
    void Prepare();

    // Shows the profile at `index` of category `category`; false when there is none.
    bool ChooseFormat(int category, int index);
    int CurrentCategory() const { return category_; }
    int CurrentIndex() const { return index_; }
    QString CurrentCaption() const;

    // The record the last successful OK built. A join of FLV files changes
    // only its texts and codecs, so the rest keeps what it held before.
    const OutputSettings& Record() const { return record_; }

    TfrmFormat* Chooser() const { return frmFormat_; }

    void accept() override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // Layout and texts.
    void BuildLayout();
    void Retranslate();
    QString SpecialText(int role) const;

    // Showing a profile; the change handlers stay quiet meanwhile.
    profiles::TXMLExportFormatType Current() const;
    void ShowProfile(const profiles::TXMLExportFormatType& p);
    void ShowVideo(const profiles::TXMLExportFormatType& p);
    void ShowAudio(const profiles::TXMLExportFormatType& p);

    // Control behaviour.
    void SizeChosen();
    void WidthChanged(int width);
    void HeightChanged(int height);
    double LinkRatio() const;
    void FrameRateChosen();
    void IncludeVideoClicked();
    void IncludeAudioClicked();
    void FolderTypeChosen();
    void BrowseFolder();
    void EditPaths();

    // Building the record.
    bool CheckStreams();
    profiles::ProfileChoices Choices() const;
    bool BuildRecord();

    // The profile file (TfrmOutputSettingProfiles.cpp).
    bool LoadProfiles();
    void ChooseLastProfile();
    bool ChooseDefault();
    void AddProfile();
    void DeleteProfile();
    void FillCopy(profiles::TXMLExportFormatType copy, const profiles::TXMLExportFormatType& from,
                  const QString& caption);
    bool SaveProfiles();
    void ReloadChooser();

    TIniInfo& ini_;
    QString profileFile_;
    std::unique_ptr<profiles::TXMLNewDataSetType> doc_;
    bool loaded_ = false;
    int category_ = -1, index_ = -1;
    bool showing_ = false;  // a profile is being shown: change handlers do nothing
    bool linking_ = false;  // width and height are following each other
    OutputSettings record_{};
    QList<TSeqPathInfo>* sequences_ = nullptr;

    TMyLang* lang_;
    TfrmFormat* frmFormat_;
    TFormatCombo* cbxFormat_;
    QLabel* lblCutMode_;
    QComboBox* cbxCutMode_;   // outputs copied into MP4, MOV or MKV: exact or key-frame trim starts
    QCheckBox* chkIncludeVideo_;
    QGroupBox* grpVideo_;
    QComboBox* cbxVideoSize_;
    QSpinBox* edtWidth_;
    QSpinBox* edtHeight_;
    QLineEdit* edtVideoBitrate_;
    QComboBox* cbxFrameRate_;
    QLineEdit* edtFrameRate_;
    QCheckBox* chkIncludeAudio_;
    QGroupBox* grpAudio_;
    QComboBox* cbxSampleRate_;
    QComboBox* cbxABitrate_;
    QComboBox* cbxChannels_;
    QComboBox* cbxOutputFolderType_;
    QLabel* lblOutputPath_;
    QLineEdit* edtOutputPath_;
    QPushButton* btnBrowse_;
    QPushButton* btnEditPath_;
    QPushButton* btnAddProfile_;
    QPushButton* btnDelProfile_;
    QPushButton* btnOk_;
};
