#pragma once

// The profile chooser: a borderless drop-down tree under the format box. The
// categories of the profile file are its branches (the portable devices'
// ones gathered under one group node) and the profiles its leaves; only a
// leaf can be chosen (click or Enter). Escape, or a click elsewhere, hides it.

#include <QIcon>
#include <QWidget>

class QTreeWidget;
class QTreeWidgetItem;

namespace profiles {
class TXMLNewDataSetType;
}

class TfrmFormat : public QWidget {
    Q_OBJECT
public:
    // Categories 4 to 13 go under the portable devices' group node.
    static constexpr int kFirstPortable = 4, kLastPortable = 13;
    static constexpr int kItemHeight = 28, kHeight = 230;

    explicit TfrmFormat(QWidget* parent = nullptr);

    // Rebuilds the tree from the document; groupCaption names the group node.
    void Load(const profiles::TXMLNewDataSetType& doc, const QString& groupCaption);
    void Clear();

    // The leaf of a profile, null when there is none.
    QTreeWidgetItem* FormatNode(int category, int index) const;
    // Makes that leaf the tree's current node (nothing is chosen).
    void SetCurrent(int category, int index);
    // Chooses the current node when it is a profile: emits formatChosen and hides.
    bool ChooseCurrent();

    // Below `anchor`, as wide as it; hidden again when shown.
    void ToggleUnder(QWidget* anchor);

    // The picture of a profile of that category.
    QIcon FormatIcon(int category) const;

    QTreeWidget* Tree() const { return tvFormat_; }

signals:
    void formatChosen(int category, int index);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QTreeWidget* tvFormat_;
};
