#include "DecoderThread.h"

#include <chrono>
#include <system_error>

namespace {
// A safety net only: every change that matters to a waiting thread wakes it.
constexpr auto kWaitGuard = std::chrono::milliseconds(100);
// Besides its count of tags, a queue is full once its tags hold this much
// data and cover at least kQueueSpanMs: large pictures would otherwise keep
// tens of megabytes read ahead. The span keeps a file's sound and pictures,
// which may lie this far apart in it (six times the pace the decoders keep
// with each other), both within reach of their decoders.
constexpr uint64_t kQueueBytes = 1024 * 1024;
constexpr int64_t kQueueSpanMs = 3000;
}  // namespace

CDecoderThread::~CDecoderThread() {
    // Normally done by the subclass; a worker must never outlive its object.
    if (m_worker.joinable()) TerminateForDelete();
}

void CDecoderThread::TerminateForDelete() {
    if (m_worker.joinable()) Terminate();
}

// ---- settings (stopped only)

int CDecoderThread::SetOutputCallBack(FLVDecoderOutputCallBack f, void* user) {
    if (m_state.load() != kStopped) return 0;
    m_outputCb = f;
    m_outputUser = user;
    return 1;
}

int CDecoderThread::SetOutputEndCallBack(FLVDecoderEndCallBack f, void* user) {
    if (m_state.load() != kStopped) return 0;
    m_endCb = f;
    m_endUser = user;
    return 1;
}

int CDecoderThread::SetDeleteFLVTagCallBack(FLVDecoderDeleteTagCallBack f, void* user) {
    if (m_state.load() != kStopped) return 0;
    m_deleteCb = f;
    m_deleteUser = user;
    return 1;
}

int CDecoderThread::SetMaxFLVTagQueue(int count) {
    if (m_state.load() != kStopped || count < 0) return 0;
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_maxFLVTagQueue = count;
    return 1;
}

int CDecoderThread::SetBrother(CDecoderThread* brother) {
    if (m_state.load() != kStopped || brother == this) return 0;
    m_brother = brother;
    return 1;
}

int CDecoderThread::SetMaxIntervalTime(int ms) {
    if (m_state.load() != kStopped) return 0;
    m_maxIntervalTime.store(ms);
    return 1;
}

int CDecoderThread::SetDecodeSyncMode(int flag) {
    if (m_state.load() != kStopped) return 0;
    m_syncMode = flag != 0;
    return 1;
}

// ---- life

int CDecoderThread::Run() {
    std::lock_guard<std::mutex> control(m_control);
    if (m_state.load() == kRunning) return 0;
    if (m_worker.joinable()) m_worker.join();   // a body that ended on its own
    m_stopping.store(false);
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_lastDelivered = 0;
    }
    SetPause(false);
    m_clock.store(0);
    m_state.store(kRunning);
    try {
        m_worker = std::thread([this] { Main(); });
    } catch (const std::system_error&) {
        m_state.store(kStopped);
        return 0;
    }
    m_finished.store(false);
    return 1;
}

void CDecoderThread::Main() {
    m_endStopped = false;
    OnStart();
    Body();
    // Whatever is still queued (Terminate, or a brother that went away) goes
    // back to its owner.
    for (;;) {
        FLVTag* tag = TakeTag();
        if (!tag) break;
        ReleaseTag(tag);
    }
    OnEnd();
    // A brother paused by this thread would otherwise wait for it for ever.
    if (m_brother) {
        m_brother->SetPause(false);
        m_brother->Wake();
    }
    if (m_endOfInput.load() && m_endCb) m_endCb(m_endUser);
    if (m_endStopped) {
        int running = kRunning;
        m_state.compare_exchange_strong(running, kStopped);
    }
}

int CDecoderThread::Join(int finalState, int passingState) {
    std::lock_guard<std::mutex> control(m_control);
    // A worker that ended by itself as stopped may still be finishing: wait for it all the same.
    if (m_state.load() == finalState && !m_worker.joinable()) return 0;
    if (m_worker.joinable() && m_worker.get_id() == std::this_thread::get_id())
        return 0;   // from one of our own callbacks: joining would never return
    m_state.store(passingState);
    m_stopping.store(true);
    if (m_brother) {
        m_brother->m_stopping.store(true);
        m_brother->Wake();
    }
    Wake();
    {
        std::lock_guard<std::mutex> lock(m_pauseLock);
        m_pauseCv.notify_all();
    }
    if (m_worker.joinable()) m_worker.join();
    m_finished.store(true);
    m_state.store(finalState);
    if (m_brother) m_brother->Wake();
    return 1;
}

int CDecoderThread::Stop() { return Join(kStopped, kStopping); }

int CDecoderThread::Terminate() { return Join(kTerminated, kTerminating); }

// ---- queue

int CDecoderThread::DeliverFLVPacket(FLVTag* tag) {
    if (!tag || m_state.load() != kRunning) return 0;
    bool becameFull = false;
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        if (FullLocked()) return 0;
        try {
            m_queue.Push(tag);
        } catch (const std::bad_alloc&) {
            return 0;
        }
        m_lastDelivered = tag->timestamp;
        ++m_wakeSeq;
        m_queueCv.notify_all();
        becameFull = FullLocked();
    }
    // The brother waits for this queue to fill (it then stops waiting for
    // our sound or pictures); waking it on every tag would only make it spin.
    if (m_brother && becameFull) m_brother->Wake();
    return 1;
}

int CDecoderThread::DeliverFLVPacketWait(FLVTag* tag, int timeoutMs) {
    if (!tag) return 0;
    {
        std::unique_lock<std::mutex> lock(m_queueLock);
        ++m_spaceWaiters;
        m_spaceCv.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0), [&] {
            return m_state.load() != kRunning || !FullLocked();
        });
        --m_spaceWaiters;
    }
    return DeliverFLVPacket(tag);
}

int CDecoderThread::DeliverEnd() {
    if (m_state.load() != kRunning) return 0;
    m_endOfInput.store(true);
    Wake();
    return 1;
}

int CDecoderThread::FLVTagQueueEmpty() { return QueueEmpty() ? 1 : 0; }

size_t CDecoderThread::QueueSize() {
    std::lock_guard<std::mutex> lock(m_queueLock);
    return m_queue.Size();
}

bool CDecoderThread::QueueFull() {
    std::lock_guard<std::mutex> lock(m_queueLock);
    return FullLocked();
}

bool CDecoderThread::Beyond(size_t tags, uint64_t bytes, int64_t spanMs) const {
    return m_queue.Size() > tags || (m_queue.DataBytes() > bytes && m_queue.SpanMs() >= spanMs);
}

bool CDecoderThread::FullLocked() const { return Beyond(size_t(m_maxFLVTagQueue), kQueueBytes, kQueueSpanMs); }

FLVTag* CDecoderThread::TakeTag() {
    std::lock_guard<std::mutex> lock(m_queueLock);
    if (m_queue.Empty()) return nullptr;
    FLVTag* tag = m_queue.Pop();
    // A waiting deliverer is woken once the queue is half empty, so it hands
    // over a run of tags instead of one tag per wake.
    if (m_spaceWaiters && !Beyond(size_t(m_maxFLVTagQueue) / 2, kQueueBytes / 2, kQueueSpanMs / 2))
        m_spaceCv.notify_all();
    return tag;
}

void CDecoderThread::ReleaseTag(FLVTag* tag) {
    if (tag && m_deleteCb && !m_syncMode) m_deleteCb(m_deleteUser, tag);
}

uint64_t CDecoderThread::WakeSeq() {
    std::lock_guard<std::mutex> lock(m_queueLock);
    return m_wakeSeq;
}

void CDecoderThread::WaitForChange(uint64_t seq) {
    std::unique_lock<std::mutex> lock(m_queueLock);
    m_queueCv.wait_for(lock, kWaitGuard, [&] { return m_wakeSeq != seq; });
}

void CDecoderThread::Wake() {
    std::lock_guard<std::mutex> lock(m_queueLock);
    ++m_wakeSeq;
    m_queueCv.notify_all();
    if (m_spaceWaiters) m_spaceCv.notify_all();   // a stop ends a deliverer's wait too
}

// ---- output and the brother

void CDecoderThread::Output(const uint8_t* data, int32_t size, int64_t timestamp,
                            int64_t duration, int32_t once, int32_t filler) {
    if (m_outputCb) m_outputCb(m_outputUser, data, size, timestamp, duration, once, filler);
    m_clock.store(timestamp);
    SyncWithBrother();
}

void CDecoderThread::SetPause(bool on) {
    std::lock_guard<std::mutex> lock(m_pauseLock);
    if (m_pauseFlag == on) return;
    m_pauseFlag = on;
    if (!on) m_pauseCv.notify_all();
}

void CDecoderThread::SyncWithBrother() {
    CDecoderThread* b = m_brother;
    if (!b) return;
    const int64_t d = (b->Clock() - Clock()) / 10000;
    b->SetPause(d > m_maxIntervalTime.load());
    b->Wake();   // our clock moved: a brother waiting for data may act now
    std::unique_lock<std::mutex> lock(m_pauseLock);
    // Paused until the brother catches up; a brother that has finished never will.
    while (m_pauseFlag && m_state.load() != kTerminating && !b->Finished())
        m_pauseCv.wait_for(lock, std::chrono::milliseconds(m_pauseStep));
}
