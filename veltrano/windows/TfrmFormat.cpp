#include "windows/TfrmFormat.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "profiles/ProfileDocument.h"

namespace {

constexpr int kCategoryRole = Qt::UserRole;
constexpr int kIndexRole = Qt::UserRole + 1;  // -1 on category and group nodes

// A branch shows a closed folder, and an open one while selected.
QIcon BranchIcon(QStyle::StandardPixmap normal, QStyle::StandardPixmap selected) {
    QStyle* style = QApplication::style();
    QIcon icon;
    icon.addPixmap(style->standardIcon(normal).pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(style->standardIcon(selected).pixmap(16, 16), QIcon::Selected);
    return icon;
}

QTreeWidgetItem* Branch(const QString& caption, int category, const QIcon& icon) {
    auto* node = new QTreeWidgetItem({caption});
    node->setData(0, kCategoryRole, category);
    node->setData(0, kIndexRole, -1);
    node->setIcon(0, icon);
    return node;
}

}  // namespace

TfrmFormat::TfrmFormat(QWidget* parent) : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmFormat"));
    tvFormat_ = new QTreeWidget(this);
    tvFormat_->setObjectName(QStringLiteral("tvFormat"));
    tvFormat_->setHeaderHidden(true);
    tvFormat_->setColumnCount(1);
    tvFormat_->setUniformRowHeights(true);
    tvFormat_->setStyleSheet(QStringLiteral("QTreeView::item { height: %1px; }").arg(kItemHeight));
    tvFormat_->setMouseTracking(true);
    tvFormat_->viewport()->setMouseTracking(true);
    tvFormat_->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tvFormat_);

    // The node under the mouse becomes the current one.
    connect(tvFormat_, &QTreeWidget::itemEntered, this, [this](QTreeWidgetItem* item) { tvFormat_->setCurrentItem(item); });
    connect(tvFormat_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) {
        tvFormat_->setCurrentItem(item);
        ChooseCurrent();
    });
}

QIcon TfrmFormat::FormatIcon(int category) const {
    return QApplication::style()->standardIcon(category == 0 ? QStyle::SP_FileDialogContentsView : QStyle::SP_FileIcon);
}

void TfrmFormat::Clear() { tvFormat_->clear(); }

void TfrmFormat::Load(const profiles::TXMLNewDataSetType& doc, const QString& groupCaption) {
    tvFormat_->clear();
    const profiles::TXMLExportFormatsType formats = doc.ExportFormats();
    const QIcon categoryIcon = BranchIcon(QStyle::SP_DirClosedIcon, QStyle::SP_DirOpenIcon);
    QTreeWidgetItem* group = nullptr;
    for (int c = 0; c < formats.Count(); ++c) {
        const profiles::TXMLExportCategoryType category = formats.Item(c);
        QTreeWidgetItem* node = Branch(QString::fromStdString(category.Caption()), c, categoryIcon);
        if (c >= kFirstPortable && c <= kLastPortable) {
            if (!group) {
                group = Branch(groupCaption, -1, BranchIcon(QStyle::SP_ComputerIcon, QStyle::SP_ComputerIcon));
                tvFormat_->addTopLevelItem(group);
            }
            group->addChild(node);
        } else {
            tvFormat_->addTopLevelItem(node);
        }
        const QIcon icon = FormatIcon(c);
        for (int i = 0; i < category.Count(); ++i) {
            auto* leaf = new QTreeWidgetItem(node, {QString::fromStdString(category.Item(i).Caption())});
            leaf->setData(0, kCategoryRole, c);
            leaf->setData(0, kIndexRole, i);
            leaf->setIcon(0, icon);
        }
    }
}

QTreeWidgetItem* TfrmFormat::FormatNode(int category, int index) const {
    for (QTreeWidgetItemIterator it(tvFormat_); *it; ++it) {
        QTreeWidgetItem* node = *it;
        if (node->data(0, kIndexRole).toInt() == index && index >= 0 && node->data(0, kCategoryRole).toInt() == category)
            return node;
    }
    return nullptr;
}

void TfrmFormat::SetCurrent(int category, int index) {
    if (QTreeWidgetItem* node = FormatNode(category, index)) {
        tvFormat_->setCurrentItem(node);
        tvFormat_->scrollToItem(node);
    }
}

bool TfrmFormat::ChooseCurrent() {
    QTreeWidgetItem* node = tvFormat_->currentItem();
    if (!node || node->data(0, kIndexRole).toInt() < 0) return false;  // a category or the group
    hide();
    emit formatChosen(node->data(0, kCategoryRole).toInt(), node->data(0, kIndexRole).toInt());
    return true;
}

void TfrmFormat::ToggleUnder(QWidget* anchor) {
    if (isVisible()) {
        hide();
        return;
    }
    setFixedSize(anchor->width(), kHeight);
    move(anchor->mapToGlobal(QPoint(0, anchor->height())));
    show();
    tvFormat_->setFocus();
    if (QTreeWidgetItem* current = tvFormat_->currentItem()) tvFormat_->scrollToItem(current);
}

bool TfrmFormat::eventFilter(QObject* watched, QEvent* e) {
    if (watched == tvFormat_ && e->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(e)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                ChooseCurrent();
                return true;
            case Qt::Key_Escape:
                hide();
                return true;
            default:
                break;
        }
    }
    return QWidget::eventFilter(watched, e);
}
