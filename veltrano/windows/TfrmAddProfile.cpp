#include "windows/TfrmAddProfile.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "windows/ConvertLangKeys.h"
#include "app/MyLang.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmPrompt.h"

TfrmAddProfile::TfrmAddProfile(const QString& caption, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAddProfile"));
    setWindowTitle(QStringLiteral("Add Profile"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmAddProfile"), holder ? &holder->Languages() : nullptr);

    auto* label = new QLabel(QStringLiteral("Profile name:"), this);
    label->setObjectName(QStringLiteral("lblProfile"));
    edtProfile_ = new QLineEdit(caption, this);
    edtProfile_->setObjectName(QStringLiteral("edtProfile"));
    edtProfile_->selectAll();
    label->setBuddy(edtProfile_);

    btnOk_ = new QPushButton(QStringLiteral("OK"), this);
    btnOk_->setObjectName(QStringLiteral("btnOk"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter in the name only moves to OK: a second Enter confirms.
    btnOk_->setAutoDefault(true);
    cancel->setAutoDefault(false);
    edtProfile_->installEventFilter(this);
    connect(btnOk_, &QPushButton::clicked, this, &TfrmAddProfile::accept);
    connect(cancel, &QPushButton::clicked, this, &TfrmAddProfile::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(edtProfile_);
    layout->addLayout(buttons);

    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->TranslateForm(this); });
    lang_->TranslateForm(this);
}

QString TfrmAddProfile::Name() const { return edtProfile_->text().trimmed(); }

void TfrmAddProfile::accept() {
    if (Name().isEmpty()) {
        ShowPrompt(lang_->Text(convkey::kEmptyName), 0, kIconWarning, 2, this);
        edtProfile_->setFocus();
        return;
    }
    QDialog::accept();
}

bool TfrmAddProfile::eventFilter(QObject* watched, QEvent* e) {
    if (watched == edtProfile_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            btnOk_->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
