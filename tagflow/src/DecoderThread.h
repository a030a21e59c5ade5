// The common part of the audio and the video decoder thread: a bounded tag
// queue feeding a worker thread, the output clock, and the pairing of an
// audio and a video thread as brothers that keep each other within
// maxIntervalTime. Every wait is on a condition variable: a waiting thread
// wakes as soon as anything it waits for changes.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "TagQueue.h"
#include "tagflow/tagflow.h"

class CDecoderThread {
public:
    enum State { kRunning = 0, kStopped = 1, kTerminated = 2, kStopping = 3, kTerminating = 4 };
    enum Kind { kAudio = 1, kVideo = 2 };

    explicit CDecoderThread(int kind) : m_kind(kind) {}
    // Subclasses terminate a running worker in their own destructor, before
    // their members go; this one only checks that it was done.
    virtual ~CDecoderThread();
    CDecoderThread(const CDecoderThread&) = delete;
    CDecoderThread& operator=(const CDecoderThread&) = delete;

    virtual int SetSampleRate(int) { return 0; }
    virtual int SetNumberOfChannels(int) { return 0; }
    virtual int SetOutputSize(int, int) { return 0; }
    virtual int SetOutputFPS(double) { return 0; }
    virtual int SetDecodeAlphaChannel(int) { return 0; }
    virtual void SetCropRect(const FLVCropRect*) {}
    virtual void SetResizeMode(int) {}
    virtual int SetOutputImageFormat(int) { return 0; }
    virtual int SetDecodeThreads(int) { return 0; }
    // Sync mode decoding on the caller's thread; refused while the worker runs.
    virtual int DecodeFLVTag(FLVTag* tag, const uint8_t** data, int32_t* size) = 0;

    int SetOutputCallBack(FLVDecoderOutputCallBack f, void* user);
    int SetOutputEndCallBack(FLVDecoderEndCallBack f, void* user);
    int SetDeleteFLVTagCallBack(FLVDecoderDeleteTagCallBack f, void* user);
    int SetMaxFLVTagQueue(int count);
    int SetBrother(CDecoderThread* brother);
    int SetMaxIntervalTime(int ms);
    int SetDecodeSyncMode(int flag);

    int Run();
    int DeliverFLVPacket(FLVTag* tag);
    // Like DeliverFLVPacket, but waits up to timeoutMs for room in a full
    // queue; woken as soon as the worker takes a tag or the thread stops.
    int DeliverFLVPacketWait(FLVTag* tag, int timeoutMs);
    int DeliverEnd();
    int FLVTagQueueEmpty();
    int Stop();
    int Terminate();
    int GetState() const { return m_state.load(); }
    int Kind() const { return m_kind; }

    // What the brother sees of this thread.
    bool Finished() const { return m_finished.load(); }
    bool StoppingFlag() const { return m_stopping.load(); }
    int64_t Clock() const { return m_clock.load(); }
    size_t QueueSize();
    bool QueueFull();   // more than maxFLVTagQueue tags, or more data than its byte bound
    bool QueueEmpty() { return QueueSize() == 0; }
    void Wake();        // something this thread may wait for changed

protected:
    virtual void Body() = 0;
    // Called on the worker before Body and after it (buffers, decoders).
    virtual void OnStart() {}
    virtual void OnEnd() {}

    bool Stopped() const { return m_state.load() == kStopped || m_state.load() == kTerminated; }
    bool Terminating() const { return m_state.load() == kTerminating; }
    bool SyncMode() const { return m_syncMode != 0; }
    bool Running() const { return m_worker.joinable() && !Stopped(); }

    // Worker side. WakeSeq before looking at conditions, WaitForChange after
    // finding nothing to do: any change in between returns at once.
    uint64_t WakeSeq();
    void WaitForChange(uint64_t seq);
    FLVTag* TakeTag();
    void ReleaseTag(FLVTag* tag);   // to the delete-tag callback
    // Calls the output callback, moves the clock to timestamp and keeps pace
    // with the brother.
    void Output(const uint8_t* data, int32_t size, int64_t timestamp, int64_t duration,
                int32_t once, int32_t filler);
    void SetClock(int64_t t) { m_clock.store(t); }
    void SyncWithBrother();
    // The body ends on its own and leaves the thread stopped; the state
    // changes only once the worker is done, so Stop still waits for it.
    void EndStopped() { m_endStopped = true; }
    bool EndOfInput() const { return m_endOfInput.load(); }
    CDecoderThread* Brother() const { return m_brother; }
    int MaxIntervalTime() const { return m_maxIntervalTime.load(); }

    FLVDecoderOutputCallBack m_outputCb = nullptr;
    void* m_outputUser = nullptr;

private:
    void Main();
    void SetPause(bool on);
    // Under the queue lock: more tags than tags, or more data than bytes over
    // at least spanMs.
    bool Beyond(size_t tags, uint64_t bytes, int64_t spanMs) const;
    bool FullLocked() const;
    int Join(int finalState, int passingState);

    const int m_kind;
    std::atomic<int> m_state{kStopped};
    std::thread m_worker;
    std::mutex m_control;   // Run, Stop and Terminate one at a time
    std::atomic<bool> m_finished{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_endOfInput{false};
    bool m_endStopped = false;   // worker only

    std::mutex m_queueLock;              // queue, wake sequence, crop rectangle
    std::condition_variable m_queueCv;
    uint64_t m_wakeSeq = 0;
    CTagQueue m_queue;
    int m_maxFLVTagQueue = 1000;
    uint32_t m_lastDelivered = 0;
    std::condition_variable m_spaceCv;   // a deliverer waits here for room
    int m_spaceWaiters = 0;

    std::atomic<int64_t> m_clock{0};     // 100 ns: start of the last output

    std::mutex m_pauseLock;
    std::condition_variable m_pauseCv;
    bool m_pauseFlag = false;
    int m_pauseStep = 50;                // ms; the longest a paused thread sleeps unwoken
    std::atomic<int> m_maxIntervalTime{1000};

    CDecoderThread* m_brother = nullptr;
    int m_syncMode = 0;
    FLVDecoderEndCallBack m_endCb = nullptr;
    void* m_endUser = nullptr;
    FLVDecoderDeleteTagCallBack m_deleteCb = nullptr;
    void* m_deleteUser = nullptr;

protected:
    std::mutex& QueueLock() { return m_queueLock; }
    // Subclass destructors call this first so the worker never runs on a
    // half-destroyed object.
    void TerminateForDelete();
};
