#include "windows/TfrmOutputPath.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/FileChecks.h"
#include "windows/ConvertLangKeys.h"
#include "app/MyLang.h"
#include "windows/BrowseForFolder.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmPrompt.h"

namespace {
constexpr int kFolderColumn = 2;
}

TfrmOutputPath::TfrmOutputPath(QList<TSeqPathInfo>& sequences, QWidget* parent)
    : QDialog(parent), sequences_(sequences) {
    setObjectName(QStringLiteral("frmOutputPath"));
    setWindowTitle(QStringLiteral("Output Directory"));
    resize(560, 320);
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("frmOutputPath"), holder ? &holder->Languages() : nullptr);

    lvPath_ = new QTreeWidget(this);
    lvPath_->setObjectName(QStringLiteral("lvPath"));
    lvPath_->setRootIsDecorated(false);
    lvPath_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPath_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Destination Name"), QStringLiteral("Output Path")});
    for (const TSeqPathInfo& s : sequences_) {
        folders_ << s.sourceFolder;
        new QTreeWidgetItem(lvPath_, {s.sequenceName, s.destName, s.sourceFolder});
    }

    edtPath_ = new QLineEdit(this);
    edtPath_->setObjectName(QStringLiteral("edtPath"));
    edtPath_->installEventFilter(this);
    QAction* browse = edtPath_->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);
    browse->setObjectName(QStringLiteral("actBrowsePath"));
    connect(browse, &QAction::triggered, this, &TfrmOutputPath::BrowseFolder);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    // Enter belongs to the path edit; OK is pressed, not defaulted to.
    ok->setAutoDefault(false);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &TfrmOutputPath::accept);
    connect(cancel, &QPushButton::clicked, this, &TfrmOutputPath::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvPath_, 1);
    layout->addWidget(edtPath_);
    layout->addLayout(buttons);

    connect(lvPath_, &QTreeWidget::itemSelectionChanged, this, &TfrmOutputPath::RowSelected);
    if (lvPath_->topLevelItemCount() > 0) lvPath_->setCurrentItem(lvPath_->topLevelItem(0));

    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->TranslateForm(this); });
    lang_->TranslateForm(this);
}

void TfrmOutputPath::RowSelected() {
    const int row = lvPath_->indexOfTopLevelItem(lvPath_->currentItem());
    if (row >= 0) edtPath_->setText(folders_.value(row));
}

void TfrmOutputPath::BrowseFolder() {
    const QString folder = BrowseForFolder(this, lang_->Text(convkey::kPathSelectFolder), edtPath_->text(), true);
    if (folder.isEmpty()) return;
    edtPath_->setText(folder);
    AcceptPath();
}

bool TfrmOutputPath::AcceptPath() {
    const int row = lvPath_->indexOfTopLevelItem(lvPath_->currentItem());
    if (row < 0) return true;
    QString folder = edtPath_->text().trimmed();
    // The name check wants a folder name, not a folder ending in "/".
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    if (!IsValidFileName(folder)) {
        ShowPrompt(lang_->Text(convkey::kInvalidPath) + QStringLiteral("\n\n") + edtPath_->text(), 0, kIconWarning, 2,
                   this);
        edtPath_->setFocus();
        edtPath_->selectAll();
        return false;
    }
    folder += QLatin1Char('/');
    folders_[row] = folder;
    lvPath_->topLevelItem(row)->setText(kFolderColumn, folder);
    edtPath_->setText(folder);
    return true;
}

void TfrmOutputPath::accept() {
    // A folder typed without Enter is not lost: it is checked like one confirmed.
    const int row = lvPath_->indexOfTopLevelItem(lvPath_->currentItem());
    if (row >= 0 && edtPath_->text() != folders_.value(row) && !AcceptPath()) return;
    for (int i = 0; i < sequences_.size() && i < folders_.size(); ++i) sequences_[i].sourceFolder = folders_[i];
    QDialog::accept();
}

bool TfrmOutputPath::eventFilter(QObject* watched, QEvent* e) {
    if (watched == edtPath_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            AcceptPath();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
