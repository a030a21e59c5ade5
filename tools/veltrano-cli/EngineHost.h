#pragma once

// The converter's host listener: answers the engine's questions the way a
// user who never saves would, remembers what the project manager and the
// sequence manager said, and queues the conversion manager's notifications,
// which arrive on its worker thread, for the main thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "projcore/projcore.h"

struct ConvEvent {
    enum Kind { kTaskAdded, kState, kProgress, kError, kOutput, kBatchEnded, kInterrupt };
    explicit ConvEvent(Kind k) : kind(k) {}
    Kind kind;
    int32_t task = -1;
    int32_t state = 0;
    int32_t position = 0, total = 0;
    int32_t code = 0;
    std::string text;   // the destination name of a new task, an error's text, the file written
};

struct AddFailure {
    std::string path;
    int32_t code;
    int32_t videoCodec = -1;    // from the file's stream description, when the engine gave one
    int32_t audioFormat = -1;
};

class EngineHost : public CBaseListener {
public:
    void OnMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2) override;

    // The file the next "which project to open" question gets.
    std::string openPath;

    // What the project manager and sequence manager said (main thread only).
    int32_t lastProjectResult = 0;   // the last of 110581003 ... 110581008
    std::vector<AddFailure> addFailures;
    std::vector<std::string> loadFailures;   // clips of the opened project that could not be loaded
    int32_t lastTaskAdded = -1;

    // Conversion events, in the order they came, from any thread.
    void Push(ConvEvent event);
    // The next event, waiting at most `limit`; none when nothing came.
    std::optional<ConvEvent> WaitFor(std::chrono::milliseconds limit);
    std::optional<ConvEvent> TryTake() { return WaitFor(std::chrono::milliseconds(0)); }

private:
    std::mutex lock_;
    std::condition_variable ready_;
    std::deque<ConvEvent> events_;
};
