#include "EngineHost.h"

#include <cstring>

void EngineHost::OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) {
    switch (id) {
        case msg::kAskOpenPath:
            if (p1 && p2 > 0 && openPath.size() < static_cast<size_t>(p2))
                std::memcpy(reinterpret_cast<char*>(p1), openPath.c_str(), openPath.size() + 1);
            break;
        case msg::kAskSavePath:
        case msg::kAskSaveAsPath:
            break;   // left empty: the converter never saves the project
        case msg::kAskSaveChanges:
            if (p1) *reinterpret_cast<int32_t*>(p1) = kSaveChangesDiscard;
            break;
        case msg::kNotifyOpenFailed:
        case msg::kNotifyNewFailed:
        case msg::kNotifyNewDone:
        case msg::kNotifyOpened:
            lastProjectResult = id;
            break;
        case msg::kNotifyLoadProgress:
            if (p1 && p2 == sizeof(LoadProgress)) {
                const auto& r = *reinterpret_cast<const LoadProgress*>(p1);
                constexpr int32_t kFailed = 2;
                if (r.state == kFailed) loadFailures.push_back(r.path ? r.path : "");
            }
            break;
        case msg::kNotifySeqAddFailed:
            if (p1) {
                const auto& f = *reinterpret_cast<const TAddFailure*>(p1);
                for (int32_t i = 0; i < f.count && f.paths; ++i) {
                    AddFailure a{f.paths[i] ? f.paths[i] : "", f.codes ? f.codes[i] : 0};
                    // The stream description (one per file) begins with the
                    // FLV version, the video codec and the sound format.
                    if (f.detail) {
                        int32_t head[3];
                        std::memcpy(head, static_cast<const uint8_t*>(f.detail) + size_t(i) * 64, sizeof head);
                        a.videoCodec = head[1];
                        a.audioFormat = head[2];
                    }
                    addFailures.push_back(a);
                }
            }
            break;
        case msg::kNotifyConvTaskAdded:
            if (p1 && p2 == sizeof(PvxTaskAdded)) {
                const auto& t = *reinterpret_cast<const PvxTaskAdded*>(p1);
                lastTaskAdded = t.task;
                ConvEvent e(ConvEvent::kTaskAdded);
                e.task = t.task;
                e.text.assign(t.destinationName, strnlen(t.destinationName, sizeof t.destinationName));
                Push(std::move(e));
            }
            break;
        case msg::kNotifyConvTaskState:
            if (p1) {
                const auto& s = *reinterpret_cast<const PvxTaskState*>(p1);
                ConvEvent e(ConvEvent::kState);
                e.task = s.task;
                e.state = s.state;
                Push(std::move(e));
            }
            break;
        case msg::kNotifyConvProgress:
            if (p1) {
                const auto& r = *reinterpret_cast<const PvxProgress*>(p1);
                ConvEvent e(ConvEvent::kProgress);
                e.task = r.task;
                e.position = r.position;
                e.total = r.total;
                Push(std::move(e));
            }
            break;
        case msg::kNotifyConvError: {
            ConvEvent e(ConvEvent::kError);
            e.code = static_cast<int32_t>(p2);
            if (p1) e.text = reinterpret_cast<const char*>(p1);
            Push(std::move(e));
            break;
        }
        case msg::kNotifyConvTaskOutput:
            if (p1 && p2 == sizeof(PvxTaskOutput)) {
                const auto& r = *reinterpret_cast<const PvxTaskOutput*>(p1);
                ConvEvent e(ConvEvent::kOutput);
                e.task = r.task;
                if (r.path) e.text = r.path;
                Push(std::move(e));
            }
            break;
        case msg::kNotifyConvBatchEnded:
            Push(ConvEvent(ConvEvent::kBatchEnded));
            break;
        default:
            break;
    }
}

void EngineHost::Push(ConvEvent event) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        events_.push_back(std::move(event));
    }
    ready_.notify_one();
}

std::optional<ConvEvent> EngineHost::WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> hold(lock_);
    if (!ready_.wait_for(hold, limit, [this] { return !events_.empty(); })) return std::nullopt;
    ConvEvent e = std::move(events_.front());
    events_.pop_front();
    return e;
}
