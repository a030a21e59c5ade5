#pragma once

// The resource browser: five groups stacked from the top (the computer,
// the downloads, the browser caches, the project's imported files and the
// trash), of which one is open at a time. The group trees are
// TfmeLocalResource frames; the main window connects to their signals.

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QToolButton;
class QVBoxLayout;
class TfmeLocalResource;
class TMyLang;

class TfmeResourceList : public QWidget {
    Q_OBJECT
public:
    explicit TfmeResourceList(QWidget* parent = nullptr);

    // Where the cache and download groups look; the real places unless a
    // test sets others before the groups are first opened.
    void SetPlaces(const QStringList& cacheFolders, const QString& historyFile);

    // A group below the existing ones. captionKey: its caption in this
    // frame's language unit; its hint is in the same unit.
    TfmeLocalResource* AddGroup(int groupType, const char* captionKey, const char* hintKey, const QIcon& icon);
    int GroupCount() const { return static_cast<int>(groups_.size()); }
    TfmeLocalResource* Group(int position) const;
    // The group of that type, or null.
    TfmeLocalResource* GroupOfType(int groupType) const;
    int ExpandedGroup() const { return expanded_; }
    // Opens the group at `position` and closes the open one; the cache and
    // download groups are read the first time they open.
    void Expand(int position);
    void Clear();

signals:
    void hintChanged(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    struct TFlvGroupItem {
        QToolButton* header;
        TfmeLocalResource* frame;
        const char* captionKey;
        const char* hintKey;
        bool filled;
    };
    void Retranslate();

    TMyLang* lang_;
    QVBoxLayout* layout_;
    QList<TFlvGroupItem> groups_;
    int expanded_ = -1;
    QStringList cacheFolders_;
    QString historyFile_;
    bool placesSet_ = false;
};
