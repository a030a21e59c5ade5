#pragma once

// Repairs FLV files one after the other on a thread of its own, so the
// window stays alive while the engine works. The engine tells how far it is
// about once per megabyte and asks then whether to stop, so a stop takes
// effect inside the file being repaired (its unfinished output removed).
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

    // A file that gave nothing, or lost an output on the way, failed (or was stopped).
    bool Failed() const { return result != kFlvRepairDone || outputs == 0; }
    bool Stopped() const { return result == kFlvRepairStopped; }
    QStringList Paths() const;
};

class TRepairRunner : public QObject {
    Q_OBJECT
public:
    TRepairRunner(TEngineApi& engine, CBaseListener* projectMgr, QObject* parent = nullptr);
    ~TRepairRunner() override;  // stops the current file and waits for it

    // Starts repairing `inputs` into `outputFolder`; false while a run is on.
    bool Start(const QStringList& inputs, const QString& outputFolder);
    // The file being repaired stops at the engine's next progress call
    // (nothing half-written is left) and no further file is begun.
    void Stop() { stop_ = true; }
    bool Running() const { return running_; }

signals:
    void fileStarted(int index);
    // done of total, both passes of the engine's repair together; told when
    // it moves by a thousandth.
    void fileProgress(int index, qint64 done, qint64 total);
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
