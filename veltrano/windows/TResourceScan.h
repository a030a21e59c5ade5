#pragma once

// The resource browser's file system work, done on a worker thread so that
// a large folder or a slow volume never holds up the window. Requests queue
// up and run one at a time; results, progress and the end of each request
// come back as signals on the window thread. Stop ends the running request
// at its next file and drops the queued ones.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct TFolderEntry {
    QString name;
    QString path;             // a folder's ends with "/"
    bool isFolder = false;
    bool hasContent = false;  // folders: holds an FLV file or a sub-folder
};

class TResourceScan : public QObject {
    Q_OBJECT
public:
    enum class Match { Extension, Signature };

    explicit TResourceScan(QObject* parent = nullptr);
    ~TResourceScan() override;

    // Lists one folder: its visible sub-folders, then its FLV files by name.
    void ListFolder(const QString& folder, quint64 ticket);
    // Searches the folders and all their sub-folders (symbolic links are not
    // followed) for FLV files, by name or by their first bytes.
    void Search(const QStringList& folders, Match match, quint64 ticket);
    void Stop();
    bool IsBusy() const { return busy_.load(); }

    // Whether a folder would show the expand marker (blocking; the worker uses it).
    static bool HasContent(const QString& folder);

signals:
    void folderListed(quint64 ticket, const QString& folder, const QList<TFolderEntry>& entries);
    void filesFound(quint64 ticket, const QStringList& paths);
    void progress(quint64 ticket, int foldersSearched, const QString& current);
    // stopped: the request was ended by Stop before it was done.
    void finished(quint64 ticket, bool stopped);

private:
    using Job = std::function<void(const std::atomic<bool>& stop)>;
    void Enqueue(Job job);
    void Run();
    void DoList(const QString& folder, quint64 ticket, const std::atomic<bool>& stop);
    void DoSearch(const QStringList& folders, Match match, quint64 ticket, const std::atomic<bool>& stop);
    template <class F>
    void Post(F f);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::pair<Job, quint64>> queue_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> busy_{false};
    bool quit_ = false;
    std::thread worker_;
};
