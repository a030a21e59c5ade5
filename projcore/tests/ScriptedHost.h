#pragma once

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "projcore/projcore.h"

// A host listener that records every message and answers the engine's
// questions from a script.
class ScriptedHost : public CBaseListener {
public:
    struct Message {
        int32_t id;
        std::string text;  // p1's text for 110581002, the path of 110581401
        intptr_t p2;
        LoadProgress progress;
    };

    std::deque<std::string> pathAnswers;  // for 210581401 - 210581403, in order
    std::deque<int32_t> saveChangesAnswers;
    std::vector<Message> log;

    void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
        Message m{id, "", p2, {}};
        if (id == msg::kAskSavePath || id == msg::kAskOpenPath || id == msg::kAskSaveAsPath) {
            std::string answer;
            if (!pathAnswers.empty()) {
                answer = pathAnswers.front();
                pathAnswers.pop_front();
            }
            std::strncpy(reinterpret_cast<char*>(p1), answer.c_str(), static_cast<size_t>(p2));
        } else if (id == msg::kAskSaveChanges) {
            if (!saveChangesAnswers.empty()) {
                *reinterpret_cast<int32_t*>(p1) = saveChangesAnswers.front();
                saveChangesAnswers.pop_front();
            }
        } else if (id == msg::kNotifySaveFailed && p1) {
            m.text = reinterpret_cast<const char*>(p1);
        } else if (id == msg::kNotifyLoadProgress) {
            m.progress = *reinterpret_cast<const LoadProgress*>(p1);
            m.text = m.progress.path;
        }
        log.push_back(m);
    }

    std::vector<int32_t> Ids() const {
        std::vector<int32_t> ids;
        for (const auto& m : log) ids.push_back(m.id);
        return ids;
    }
    std::vector<int32_t> TakeIds() {
        auto ids = Ids();
        log.clear();
        return ids;
    }
};
