#pragma once

// Repairs FLV files one after the other on a thread of its own, so the
// window stays alive while the engine works. The engine repairs a file in
// one call that cannot be interrupted: a stop takes effect between files.
// Everything the engine reports is copied and handed to the window thread.
// The engine runs the repair message on the caller's thread and keeps no
// state between calls, so it may be sent from this thread while the window
// thread goes on sending others.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <thread>

#include "projcore/Records.h"

class CBaseListener;
class TEngineApi;

// One fix, as the engine reported it (its kind's name copied).
struct TRepairFix {
    FlvRepairFixRecord record{};
    QString kindName;
};

// One output, as the engine reported it (its path copied; empty when it failed).
struct TRepairOutput {
    FlvRepairOutputRecord record{};
    QString path;
};

struct TRepairResult {
    QString input;
    int32_t result = kFlvRepairDone;
    int32_t outputs = 0;  // files written whole
    QString error;        // the engine's reason, empty when done
    QList<TRepairFix> fixes;
    QList<TRepairOutput> written;

    // A file that gave nothing, or lost an output on the way, failed.
    bool Failed() const { return result != kFlvRepairDone || outputs == 0; }
    QStringList Paths() const;
};

class TRepairRunner : public QObject {
    Q_OBJECT
public:
    TRepairRunner(TEngineApi& engine, CBaseListener* projectMgr, QObject* parent = nullptr);
    ~TRepairRunner() override;  // stops after the current file and waits for it

    // Starts repairing `inputs` into `outputFolder`; false while a run is on.
    bool Start(const QStringList& inputs, const QString& outputFolder);
    // No further file is begun; the one being repaired is finished.
    void Stop() { stop_ = true; }
    bool Running() const { return running_; }

signals:
    void fileStarted(int index);
    void fileDone(int index, const TRepairResult& result);
    // stopped: files were left out because Stop() was called.
    void runEnded(bool stopped);

private:
    void Run(QStringList inputs, QByteArray folder);
    void Join();

    TEngineApi& engine_;
    CBaseListener* projectMgr_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    bool running_ = false;  // window thread only
};
