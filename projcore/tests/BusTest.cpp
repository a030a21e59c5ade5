#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "bus/BaseBrocaster.h"
#include "bus/BaseException.h"
#include "bus/ListenerImpl.h"
#include "projcore/projcore.h"

namespace {

struct Call {
    const char* who;
    void* sender;
    int32_t id;
    intptr_t p1, p2;
};

class Recorder : public CListenerImpl {
public:
    explicit Recorder(std::vector<Call>* log) : log_(log) {}
    void First(void* s, int32_t id, intptr_t p1, intptr_t p2) { log_->push_back({"first", s, id, p1, p2}); }
    void Second(void* s, int32_t id, intptr_t p1, intptr_t p2) { log_->push_back({"second", s, id, p1, p2}); }
    void Throws(void*, int32_t id, intptr_t, intptr_t) {
        log_->push_back({"throws", nullptr, id, 0, 0});
        throw CBaseException(10580020, "Error:Save Project");
    }
    void ThrowsInt(void*, int32_t, intptr_t, intptr_t) { throw 0; }

private:
    std::vector<Call>* log_;
};

TEST(Bus, RegisteringAPairTwiceCallsItOnceAndEveryOtherHandlerToo) {
    std::vector<Call> log;
    Recorder r(&log);
    RegisterMessageHandler(&r, &r, 7, &Recorder::First);
    RegisterMessageHandler(&r, &r, 7, &Recorder::First);
    RegisterMessageHandler(&r, &r, 7, &Recorder::Second);
    RegisterMessageHandler<Recorder>(nullptr, &r, 7, &Recorder::Second);  // ignored
    RegisterMessageHandler<Recorder>(&r, &r, 7, nullptr);                 // ignored

    r.OnMessage(nullptr, 7, 11, 22);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].p1, 11);
    EXPECT_EQ(log[1].p2, 22);
    EXPECT_NE(std::string(log[0].who), std::string(log[1].who));

    log.clear();
    r.OnMessage(nullptr, 8, 0, 0);  // nobody registered 8
    EXPECT_TRUE(log.empty());
}

TEST(Bus, HandlersOfOneIdRunInContextOrder) {
    std::vector<Call> log;
    Recorder a(&log), b(&log);
    Recorder* low = &a < &b ? &a : &b;
    Recorder* high = low == &a ? &b : &a;
    CListenerImpl target;
    RegisterMessageHandler(high, &target, 5, &Recorder::First);
    RegisterMessageHandler(low, &target, 5, &Recorder::Second);
    target.OnMessage(nullptr, 5, 0, 0);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_STREQ(log[0].who, "second");  // the lower context first, whatever the registration order
    EXPECT_STREQ(log[1].who, "first");
}

TEST(Bus, BroadcastCarriesTheBroadcasterDirectSendCarriesZero) {
    std::vector<Call> log;
    Recorder r(&log);
    RegisterMessageHandler(&r, &r, 3, &Recorder::First);
    CBaseBrocaster caster;

    caster.Notify(3, 1, 2);  // no listeners: nothing happens
    EXPECT_TRUE(log.empty());

    EXPECT_TRUE(caster.AddListener(&r));
    EXPECT_FALSE(caster.AddListener(&r));
    EXPECT_FALSE(caster.AddListener(nullptr));
    caster.Notify(3, 1, 2);
    ASSERT_EQ(log.size(), 1u);  // added twice, called once
    EXPECT_EQ(log[0].sender, static_cast<void*>(&caster));

    DirectSendMessage(&r, 3, 4, 5);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].sender, nullptr);
    EXPECT_EQ(log[1].p1, 4);

    EXPECT_TRUE(caster.RemoveListener(&r));
    EXPECT_FALSE(caster.RemoveListener(&r));
    EXPECT_FALSE(caster.RemoveListener(nullptr));
    caster.Notify(3, 1, 2);
    EXPECT_EQ(log.size(), 2u);
}

TEST(Bus, BroadcastReachesListenersInAddressOrder) {
    struct Self : CBaseListener {
        std::vector<const CBaseListener*>* seen;
        void OnMessage(void*, int32_t, intptr_t, intptr_t) override { seen->push_back(this); }
    };
    std::vector<const CBaseListener*> seen;
    Self s[3];
    CBaseBrocaster caster;
    for (int i = 2; i >= 0; --i) {  // added in reverse: the order is by address
        s[i].seen = &seen;
        caster.AddListener(&s[i]);
    }
    caster.Notify(1, 0, 0);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], &s[0]);
    EXPECT_EQ(seen[1], &s[1]);
    EXPECT_EQ(seen[2], &s[2]);
}

TEST(Bus, NoFailureEscapesAHandlerOrTheEntryPoint) {
    std::vector<Call> log;
    Recorder r(&log);
    RegisterMessageHandler(&r, &r, 9, &Recorder::Throws);
    RegisterMessageHandler(&r, &r, 9, &Recorder::ThrowsInt);
    RegisterMessageHandler(&r, &r, 9, &Recorder::First);
    EXPECT_NO_THROW(DirectSendMessage(&r, 9, 0, 0));
    // A failing handler does not keep the others from running.
    EXPECT_EQ(log.size(), 2u);

    struct Rude : CBaseListener {
        void OnMessage(void*, int32_t, intptr_t, intptr_t) override { throw 42; }
    } rude;
    EXPECT_NO_THROW(DirectSendMessage(&rude, 1, 0, 0));
    CBaseBrocaster caster;
    caster.AddListener(&rude);
    caster.AddListener(&r);
    EXPECT_NO_THROW(caster.Notify(9, 0, 0));
    EXPECT_EQ(log.size(), 4u);  // r still heard the broadcast
}

TEST(Bus, AListenerRemovedDuringABroadcastIsNotCalledAfterwards) {
    struct Node : CBaseListener {
        CBaseBrocaster* caster = nullptr;
        CBaseListener* victim = nullptr;  // removed by this node when it is called
        int calls = 0;
        void OnMessage(void*, int32_t, intptr_t, intptr_t) override {
            ++calls;
            if (victim) {
                caster->RemoveListener(victim);
                caster->RemoveListener(this);
            }
        }
    };
    CBaseBrocaster caster;
    Node nodes[3];  // array order is address order: nodes[0] is called first
    nodes[0].caster = &caster;
    nodes[0].victim = &nodes[2];
    for (auto& n : nodes) caster.AddListener(&n);
    caster.Notify(1, 0, 0);
    EXPECT_EQ(nodes[0].calls, 1);
    EXPECT_EQ(nodes[1].calls, 1);
    EXPECT_EQ(nodes[2].calls, 0);
    caster.Notify(1, 0, 0);
    EXPECT_EQ(nodes[0].calls, 1);
    EXPECT_EQ(nodes[1].calls, 2);
}

TEST(Bus, RemoveListenerWaitsForACallInProgressOnAnotherThread) {
    struct Slow : CBaseListener {
        std::atomic<bool> inside{false}, release{false}, done{false};
        void OnMessage(void*, int32_t, intptr_t, intptr_t) override {
            inside = true;
            while (!release) std::this_thread::yield();
            done = true;
        }
    } slow;
    CBaseBrocaster caster;
    caster.AddListener(&slow);
    std::thread worker([&] { caster.Notify(1, 0, 0); });
    while (!slow.inside) std::this_thread::yield();
    std::atomic<bool> removed{false};
    std::thread remover([&] {
        caster.RemoveListener(&slow);
        removed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(removed);  // still inside the listener
    slow.release = true;
    remover.join();
    worker.join();
    EXPECT_TRUE(slow.done);
    EXPECT_TRUE(removed);
}

TEST(Bus, ConcurrentBroadcastsAndSubscriptionsStaySound) {
    struct Counter : CBaseListener {
        std::atomic<int> calls{0};
        void OnMessage(void*, int32_t, intptr_t, intptr_t) override { ++calls; }
    };
    CBaseBrocaster caster;
    Counter fixed, churn[8];
    caster.AddListener(&fixed);
    std::atomic<bool> stop{false};
    std::thread broadcaster([&] {
        for (int i = 0; i < 20000; ++i) caster.Notify(1, 0, 0);
        stop = true;
    });
    while (!stop) {
        for (auto& c : churn) caster.AddListener(&c);
        for (auto& c : churn) caster.RemoveListener(&c);
    }
    broadcaster.join();
    EXPECT_EQ(fixed.calls, 20000);
}

TEST(Bus, ExceptionKeepsItsTextThroughACopy) {
    CBaseException with(10580020, "Error:Save Project");
    CBaseException copy = with;
    EXPECT_EQ(copy.Code(), 10580020);
    EXPECT_EQ(copy.Text(), "Error:Save Project");
    CBaseException without(1000);
    EXPECT_EQ(CBaseException(without).Text(), "");
    EXPECT_EQ(CBaseException(5, nullptr).Text(), "");
}

}  // namespace
