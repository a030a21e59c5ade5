#include "windows/TfrmPreference.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/IniInfo.h"
#include "app/MyLang.h"
#include "windows/BrowseForFolder.h"
#include "windows/TfrmLang.h"

namespace {
template <class W>
W* Named(W* w, const char* name) {
    w->setObjectName(QLatin1String(name));
    return w;
}
}  // namespace

TfrmPreference::TfrmPreference(TIniInfo& ini, QWidget* parent) : QDialog(parent), ini_(ini) {
    setObjectName(QStringLiteral("frmPreference"));
    setWindowTitle(QStringLiteral("Preferences"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmPreference"), holder ? &holder->Languages() : nullptr);

    chkAutoUpdate_ = Named(new QCheckBox(QStringLiteral("Check version and auto update"), this), "chkAutoUpdate");
    chkAutoUpdate_->setChecked(ini.autoUpdate);

    edtProcessNum_ = Named(new QSpinBox(this), "edtProcessNum");
    edtProcessNum_->setRange(1, 4);
    edtProcessNum_->setValue(std::clamp(ini.ProcessNum(), 1, 4));

    auto* scale = Named(new QGroupBox(QStringLiteral("Preview"), this), "grpVideoScale");
    rbOriginal_ = Named(new QRadioButton(QStringLiteral("Letterbox"), scale), "rbOriginal");
    rbStretch_ = Named(new QRadioButton(QStringLiteral("Stretch"), scale), "rbStretch");
    (ini.videoScale ? rbOriginal_ : rbStretch_)->setChecked(true);
    auto* scaleLayout = new QHBoxLayout(scale);
    scaleLayout->addWidget(rbOriginal_);
    scaleLayout->addWidget(rbStretch_);

    cmbSnapImgType_ = Named(new QComboBox(this), "cmbSnapImgType");
    cmbSnapImgType_->addItems({QStringLiteral("BMP"), QStringLiteral("JPEG")});
    cmbSnapImgType_->setCurrentIndex(std::clamp(ini.snapImgType, 0, 1));

    edtDisplaySnap_ = Named(new QLineEdit(ini.snapPath, this), "edtDisplaySnap");
    // Room for a usual folder path of some 45 characters.
    edtDisplaySnap_->setMinimumWidth(edtDisplaySnap_->fontMetrics().averageCharWidth() * 45);
    auto* browse = Named(new QPushButton(QStringLiteral("..."), this), "btnBrowseSnap");
    browse->setProperty("langSkip", true);
    connect(browse, &QPushButton::clicked, this, &TfrmPreference::BrowseSnapFolder);
    auto* snapRow = new QHBoxLayout;
    snapRow->addWidget(edtDisplaySnap_, 1);
    snapRow->addWidget(browse);

    cbxFileExist_ = Named(new QComboBox(this), "cbxFileExist");
    cbxFileExist_->addItems({QStringLiteral("Rename file"), QStringLiteral("Overwrite it"), QStringLiteral("Skip file")});
    cbxFileExist_->setCurrentIndex(std::clamp(ini.dealFileExist, 0, 2));

    auto* form = new QFormLayout;
    form->addRow(chkAutoUpdate_);
    form->addRow(Named(new QLabel(QStringLiteral("Tasks converted at once:"), this), "lblProcessNum"), edtProcessNum_);
    form->addRow(scale);
    form->addRow(Named(new QLabel(QStringLiteral("Snapshot format:"), this), "lblSnapImgType"), cmbSnapImgType_);
    form->addRow(Named(new QLabel(QStringLiteral("Snapshot folder:"), this), "lblDisplaySnap"), snapRow);
    form->addRow(Named(new QLabel(QStringLiteral("When the output file exists:"), this), "lblFileExist"),
                 cbxFileExist_);

    auto* buttons = new QDialogButtonBox(this);
    auto* ok = Named(buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole), "btnOK");
    auto* cancel = Named(buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole), "btnCancel");
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    (void)cancel;

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(lang_, &TMyLang::langChanged, this, &TfrmPreference::Retranslate);
    Retranslate();
}

void TfrmPreference::Retranslate() {
    lang_->TranslateForm(this);
    // The choices of a list are texts of the unit too.
    const TLangKey choices[] = {langkey::kRenameFile, langkey::kOverwriteFile, langkey::kSkipFile};
    for (int i = 0; i < 3; ++i) {
        const QString text = lang_->Text(choices[i]);
        if (!text.isEmpty()) cbxFileExist_->setItemText(i, text);
    }
}

void TfrmPreference::BrowseSnapFolder() {
    const QString folder = BrowseForFolder(this, lang_->Text(langkey::kSelectFolder), edtDisplaySnap_->text(), true);
    if (!folder.isEmpty()) edtDisplaySnap_->setText(folder);
}

void TfrmPreference::accept() {
    ini_.autoUpdate = chkAutoUpdate_->isChecked();
    ini_.SetProcessNum(edtProcessNum_->value());
    ini_.videoScale = rbOriginal_->isChecked();
    ini_.snapImgType = cmbSnapImgType_->currentIndex();
    QString snap = edtDisplaySnap_->text().trimmed();
    if (!snap.isEmpty() && !snap.endsWith(QLatin1Char('/'))) snap += QLatin1Char('/');
    if (!snap.isEmpty()) ini_.snapPath = snap;  // an emptied field keeps the folder there was
    ini_.dealFileExist = cbxFileExist_->currentIndex();
    QDialog::accept();
}
