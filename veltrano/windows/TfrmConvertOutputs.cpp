// The names finished outputs were given. The engine may give another name
// than the one asked for (a number added when the name was taken), so each
// finished row shows the name really written, with its whole path as the
// row's tool tip, and its folder can be opened from the row.

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

#include "app/MyLang.h"
#include "windows/ConvertLangKeys.h"
#include "windows/TfrmConvert.h"
#include "windows/TfrmPrompt.h"

namespace {
constexpr int kDestinationColumn = 1;
}

void TfrmConvert::BuildOutputMenu() {
    auto* open = new QAction(QStringLiteral("Open &Folder"), this);
    open->setObjectName(QStringLiteral("actOpenOutputFolder"));
    open->setEnabled(false);
    lvConvert_->addAction(open);
    lvConvert_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(open, &QAction::triggered, this, [this] { OpenRowFolder(SelectedRow()); });
    connect(lvConvert_, &QTreeWidget::itemSelectionChanged, open,
            [this, open] { open->setEnabled(!RowOutput(SelectedRow()).isEmpty()); });
    connect(lvConvert_, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { OpenRowFolder(lvConvert_->indexOfTopLevelItem(item)); });
}

QString TfrmConvert::RowOutput(int row) const {
    return row >= 0 && row < RowCount() ? rows_[static_cast<size_t>(row)].output : QString();
}

void TfrmConvert::OutputNamed(int task, const QString& given) {
    if (task < 0 || task >= RowCount() || given.isEmpty()) return;
    // A picture series' folder may come with its trailing "/": its name is still shown.
    const QString path = QDir::cleanPath(given);
    Row& row = rows_[static_cast<size_t>(task)];
    row.output = path;
    row.item->setText(kDestinationColumn, QFileInfo(path).fileName());
    const QString tip = lang_->Text(convkey::kOutputName).replace(QStringLiteral("%1"), path);
    for (int column = 0; column < lvConvert_->columnCount(); ++column) row.item->setToolTip(column, tip);
    if (task == SelectedRow())
        if (auto* open = findChild<QAction*>(QStringLiteral("actOpenOutputFolder"))) open->setEnabled(true);
}

void TfrmConvert::OpenRowFolder(int row) {
    const QString output = RowOutput(row);
    if (output.isEmpty()) return;
    // A picture series is a folder of its own: that folder opens.
    const QFileInfo info(output);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    const QUrl url = QUrl::fromLocalFile(folder);
    if (!(open_ ? open_(url) : QDesktopServices::openUrl(url)))
        ShowPrompt(lang_->Text(convkey::kErrOpenFile) + QStringLiteral("\n\n") + folder, 0, kIconError, 2, this);
}
