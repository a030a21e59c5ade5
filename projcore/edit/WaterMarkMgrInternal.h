#pragma once

// Pieces shared by the files that make up CWaterMarkMgr.

#include <array>

#include "edit/WaterMarkMgr.h"

// Notifications gathered while the lock is held and sent once it is released,
// so that a listener never runs inside the lock (it may wait for the thread
// that draws). Fixed storage: nothing is allocated.
struct CWaterMarkMgr::Outbox {
    struct Message {
        int32_t id;
        int kind;  // 0: p1 = 0; 1: p1 = &place; 2: p1 = &move
        intptr_t p2;
    };
    std::array<Message, 8> messages{};
    int count = 0;
    WaterMarkPlace place{};
    WaterMarkMove move{};

    void Add(int32_t id, intptr_t p2) { Push(Message{id, 0, p2}); }
    void AddPlace(int32_t id, const WaterMarkPlace& p) {
        place = p;
        Push(Message{id, 1, sizeof place});
    }
    void AddMove(int32_t id, const WaterMarkMove& m) {
        move = m;
        Push(Message{id, 2, sizeof move});
    }

private:
    void Push(const Message& m) {
        if (count < static_cast<int>(messages.size())) messages[count++] = m;
    }
};

// Where the watermarks are drawn: the visible picture's box in the drawn
// frames, and the scale from reference pixels (ref) to drawn pixels (to).
struct CWaterMarkMgr::Target {
    Rect box;
    int64_t toW, toH;
    int64_t refW, refH;
    bool identity;
};
