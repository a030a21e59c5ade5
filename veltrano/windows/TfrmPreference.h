#pragma once

// The preferences dialog: edits the settings directly. OK copies every
// control into the settings; Cancel, Escape and the close button do not.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;
class TIniInfo;
class TMyLang;

class TfrmPreference : public QDialog {
    Q_OBJECT
public:
    TfrmPreference(TIniInfo& ini, QWidget* parent = nullptr);

    void accept() override;

private:
    void BrowseSnapFolder();
    void Retranslate();

    TIniInfo& ini_;
    TMyLang* lang_;
    QCheckBox* chkAutoUpdate_;
    QSpinBox* edtProcessNum_;
    QRadioButton* rbOriginal_;
    QRadioButton* rbStretch_;
    QComboBox* cmbSnapImgType_;
    QLineEdit* edtDisplaySnap_;
    QComboBox* cbxFileExist_;
};
