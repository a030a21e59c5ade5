#include "windows/TResourceScan.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMetaObject>

#include "app/FileChecks.h"
#include "windows/ResourcePlaces.h"

namespace {
constexpr QDir::Filters kVisible = QDir::AllEntries | QDir::NoDotAndDotDot;
constexpr int kBatch = 64;          // files found before they are handed over
constexpr qint64 kProgressMs = 100;  // at most this often
}  // namespace

TResourceScan::TResourceScan(QObject* parent) : QObject(parent) {
    qRegisterMetaType<QList<TFolderEntry>>();
    worker_ = std::thread([this] { Run(); });
}

TResourceScan::~TResourceScan() {
    {
        std::lock_guard lock(mutex_);
        quit_ = true;
        queue_.clear();
    }
    stop_ = true;
    wake_.notify_all();
    worker_.join();
}

template <class F>
void TResourceScan::Post(F f) {
    // Runs on the window thread, and not at all once this object is gone.
    QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void TResourceScan::Enqueue(Job job) {
    {
        std::lock_guard lock(mutex_);
        queue_.emplace_back(std::move(job), 0);
        busy_ = true;
    }
    wake_.notify_one();
}

void TResourceScan::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_) return;
            job = std::move(queue_.front().first);
            queue_.pop_front();
            stop_ = false;
        }
        job(stop_);
        std::lock_guard lock(mutex_);
        if (queue_.empty()) busy_ = false;
    }
}

void TResourceScan::Stop() {
    std::lock_guard lock(mutex_);
    queue_.clear();
    stop_ = true;
}

void TResourceScan::ListFolder(const QString& folder, quint64 ticket) {
    Enqueue([this, folder, ticket](const std::atomic<bool>& stop) { DoList(folder, ticket, stop); });
}

void TResourceScan::Search(const QStringList& folders, Match match, quint64 ticket) {
    Enqueue([this, folders, match, ticket](const std::atomic<bool>& stop) { DoSearch(folders, match, ticket, stop); });
}

bool TResourceScan::HasContent(const QString& folder) {
    QDirIterator it(folder, kVisible);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir() || resplaces::HasFlvExtension(info.fileName())) return true;
    }
    return false;
}

void TResourceScan::DoList(const QString& folder, quint64 ticket, const std::atomic<bool>& stop) {
    QDir dir(folder);
    QList<TFolderEntry> entries;
    // Names are taken as they are: a folder called "clips.2024" is a folder.
    const QFileInfoList folders = dir.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    for (const QFileInfo& info : folders) {
        if (stop) break;
        entries.append({info.fileName(), info.absoluteFilePath() + QLatin1Char('/'), true,
                        HasContent(info.absoluteFilePath())});
        if (clock.elapsed() > kProgressMs) {
            clock.restart();
            Post([this, ticket, n = ++done, p = info.absoluteFilePath()] { emit progress(ticket, n, p); });
        }
    }
    if (!stop) {
        for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase))
            if (resplaces::HasFlvExtension(info.fileName()))
                entries.append({info.fileName(), info.absoluteFilePath(), false, false});
    }
    const bool stopped = stop;
    Post([this, ticket, folder, entries, stopped] {
        if (!stopped) emit folderListed(ticket, folder, entries);
        emit finished(ticket, stopped);
    });
}

void TResourceScan::DoSearch(const QStringList& folders, Match match, quint64 ticket,
                             const std::atomic<bool>& stop) {
    QStringList batch;
    int searched = 0;
    QElapsedTimer clock;
    clock.start();
    auto handOver = [&] {
        if (!batch.isEmpty()) Post([this, ticket, b = batch] { emit filesFound(ticket, b); });
        batch.clear();
    };
    for (const QString& root : folders) {
        // Depth first by hand, so a stop is seen between any two files.
        QStringList pending{root};
        while (!pending.isEmpty() && !stop) {
            const QString folder = pending.takeLast();
            ++searched;
            QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
            while (it.hasNext() && !stop) {
                it.next();
                const QFileInfo info = it.fileInfo();
                if (info.isDir()) {
                    pending << info.absoluteFilePath();
                } else if (info.isFile()) {
                    const bool flv = match == Match::Extension ? resplaces::HasFlvExtension(info.fileName())
                                                               : IsFlvSignature(info.absoluteFilePath());
                    if (flv) batch << info.absoluteFilePath();
                    if (batch.size() >= kBatch) handOver();
                }
            }
            if (clock.elapsed() > kProgressMs) {
                clock.restart();
                handOver();
                Post([this, ticket, searched, folder] { emit progress(ticket, searched, folder); });
            }
        }
    }
    handOver();
    const bool stopped = stop;
    Post([this, ticket, stopped] { emit finished(ticket, stopped); });
}
