#pragma once

// One group of the resource browser: a tree of places and files (the
// computer, the browser caches, the downloads) or of the project's entries
// (imported files, the trash), its context menu, and a progress line with a
// Stop button while the computer is being read.

#include <QHash>
#include <QString>
#include <QWidget>
#include <optional>

#include "app/ShellRecords.h"
#include "windows/TResourceScan.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;
class TMyLang;
class TResourceScan;

// The group types (on screen they come in the order 0, 2, 1, 3, 4).
namespace resgroup {
inline constexpr int kComputer = 0, kBrowserCache = 1, kDownloads = 2, kImported = 3, kTrash = 4;
}

// Node states, which are also their icons.
namespace resstate {
inline constexpr int kDocuments = 1, kDesktop = 2, kVolume = 3, kFolder = 4, kFlvFile = 5, kOtherFile = 6;
}

// A node as the main window sees it.
struct TResourceEntry {
    int groupType = -1;
    int position = -1;  // among its siblings
    int state = 0;
    TResourceNode node;  // path (or trash name), engine value, kind, identifier
};

class TfmeLocalResource : public QWidget {
    Q_OBJECT
public:
    TfmeLocalResource(int groupType, QWidget* parent = nullptr);
    ~TfmeLocalResource() override;

    int GroupType() const { return type_; }
    QTreeWidget* Tree() const { return tree_; }
    TMyLang* Lang() const { return lang_; }
    QMenu* Menu() const { return menu_; }

    // The scans (each empties the tree first). The computer's folders are
    // read on the worker as they are opened; the caches are searched whole.
    void FillComputer();
    void FillBrowserCache(const QStringList& folders);
    void FillDownloads(const QString& historyFile);
    bool IsScanning() const;
    void StopScan();

    // Engine entries (imported list, trash). Types: 0 an FLV file, 1 another
    // file, 2 a trashed clip, 3 a trashed sequence.
    void AddResource(const QString& name, void* object, int type, uint32_t index);
    bool DeleteNode(int index);
    void ClearNodes();
    int NodeCount() const;
    std::optional<TResourceEntry> NodeData(int index) const;
    std::optional<TResourceEntry> SelectedData() const;
    // Opens the context menu's rules for the current state (also used by the tests).
    void UpdateMenu();

signals:
    void previewRequested(const std::optional<TResourceEntry>& entry);
    void deleteRequested(const TResourceEntry& entry);
    void clearRequested(int groupType);
    void refreshRequested(int groupType);
    void browseRequested(const TResourceEntry& entry);
    void hintChanged(const QString& text);
    // A scan of the computer or the caches ended (stopped or not).
    void scanFinished(bool stopped);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QTreeWidgetItem* AddNode(QTreeWidgetItem* parent, const QString& caption, const QString& path, int state,
                             bool marker);
    std::optional<TResourceEntry> EntryOf(const QTreeWidgetItem* item) const;
    void OnExpanded(QTreeWidgetItem* item);
    void OnCollapsed(QTreeWidgetItem* item);
    void OnFolderListed(quint64 ticket, const QString& folder, const QList<TFolderEntry>& entries);
    void OnFilesFound(quint64 ticket, const QStringList& paths);
    void OnProgress(quint64 ticket, int folders, const QString& current);
    void OnFinished(quint64 ticket, bool stopped);
    void Refresh();
    void ForgetPending(const QTreeWidgetItem* under);
    void Retranslate();

    int type_;
    TMyLang* lang_;
    QTreeWidget* tree_;
    QMenu* menu_;
    QAction* miRefresh_;
    QAction* miDelete_;
    QAction* miClear_;
    QAction* miBrowse_;
    QWidget* pnlScan_;
    QLabel* lblScan_;
    QProgressBar* pbScan_;
    QPushButton* btnStopScan_;
    QTimer* showScan_;
    TResourceScan* scan_;
    quint64 nextTicket_ = 1;
    quint64 searchTicket_ = 0;                      // the cache search running
    QHash<quint64, QTreeWidgetItem*> pendingLists_;  // folders being read, by ticket
    QStringList cacheFolders_;
    QString historyFile_;
};
