#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "avkit/PictureFile.h"
#include "player/MemorySurface.h"
#include "player/PlayerMessageMgr.h"
#include "projcore/projcore.h"

namespace {

using namespace std::chrono;

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

// Runs work on this thread; a deadlock in it ends the run with a message
// instead of hanging it. (The work stays on the test's thread: the sound
// library keeps per-thread data that a short-lived thread would leave behind.)
template <class F>
void FinishesWithin(seconds limit, const char* what, F&& work) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!finished.wait_for(lock, limit, [&] { return done; })) {
            std::fprintf(stderr, "%s\n", what);
            std::_Exit(1);
        }
    });
    work();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_all();
    watchdog.join();
}

// Hears the preview's notifications, from any thread.
struct Host : CBaseListener {
    std::mutex mutex;
    std::condition_variable heard;
    std::vector<int32_t> ids;
    std::vector<intptr_t> p2s;
    PlayerOpenFailure failure{};
    int32_t failureVideoCodec = 0;
    // How long the end of playback keeps the announcing thread after it is
    // heard (a slow listener).
    milliseconds lingerOnEnd{0};
    void OnMessage(void*, int32_t id, intptr_t p1, intptr_t p2) override {
        {
            std::lock_guard lock(mutex);
            ids.push_back(id);
            p2s.push_back(p2);
            if (id == msg::kNotifyPlayerOpenFailed) {
                failure = *reinterpret_cast<const PlayerOpenFailure*>(p1);
                failureVideoCodec = failure.info ? static_cast<const int32_t*>(failure.info)[1] : 0;
            }
            heard.notify_all();
        }
        if (id == msg::kNotifyPlayerEnded) std::this_thread::sleep_for(lingerOnEnd);
    }
    bool WaitFor(int32_t id, seconds limit = seconds(10)) {
        std::unique_lock lock(mutex);
        return heard.wait_for(lock, limit, [&] { return std::find(ids.begin(), ids.end(), id) != ids.end(); });
    }
    std::vector<int32_t> Take() {
        std::lock_guard lock(mutex);
        auto out = ids;
        ids.clear();
        p2s.clear();
        return out;
    }
    int Count(int32_t id) {
        std::lock_guard lock(mutex);
        return static_cast<int>(std::count(ids.begin(), ids.end(), id));
    }
};

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        Send(msg::kPlayerAddListener, reinterpret_cast<intptr_t>(&host));
        Send(msg::kPlayerSetSurface, reinterpret_cast<intptr_t>(&surface));
        Rect area{0, 0, 320, 240};
        Send(msg::kPlayerSetArea, reinterpret_cast<intptr_t>(&area));
    }
    void TearDown() override {
        Send(msg::kPlayerClose);
        Send(msg::kPlayerRemoveListener, reinterpret_cast<intptr_t>(&host));
    }
    void Send(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0) { DirectSendMessage(&preview, id, p1, p2); }
    void Open(const std::string& path, int32_t kind) {
        PlayerOpenRequest r{path.c_str(), nullptr, kind, 0};
        Send(msg::kPlayerOpen, reinterpret_cast<intptr_t>(&r), sizeof r);
    }

    CPlayerMessageMgr preview;
    CMemorySurface surface;
    Host host;
};

TEST_F(PreviewTest, OpenPlayToTheEndAndClose) {
    Open(Fixture("flv1_pcm16_160x120.flv"), 0);
    EXPECT_EQ(host.Take(), (std::vector<int32_t>{msg::kNotifyPlayerStopped, msg::kNotifyPlayerOpened}));
    int32_t duration = 0;
    Send(msg::kPlayerGetDuration, reinterpret_cast<intptr_t>(&duration));
    EXPECT_NEAR(duration, 2000, 60);
    Send(msg::kPlayerPlay);
    ASSERT_TRUE(host.WaitFor(msg::kNotifyPlayerEnded));
    EXPECT_EQ(preview.State(), CPlayerMessageMgr::kStopped);
    EXPECT_GE(surface.PresentedFrames().size(), 40u);
    host.Take();
    // Played again, its end is announced again.
    Send(msg::kPlayerPlay);
    ASSERT_TRUE(host.WaitFor(msg::kNotifyPlayerEnded));
    host.Take();
    Send(msg::kPlayerClose);
    EXPECT_EQ(host.Take(), std::vector<int32_t>{msg::kNotifyPlayerClosed});
}

TEST_F(PreviewTest, PauseSeekStepAndSnapshot) {
    TempDir dir;
    Open(Fixture("flv1_mp3_160x120.flv"), 0);
    Send(msg::kPlayerPlay);
    std::this_thread::sleep_for(milliseconds(300));
    Send(msg::kPlayerPause);
    Send(msg::kPlayerPause);  // twice: one notification
    EXPECT_EQ(host.Count(msg::kNotifyPlayerPaused), 1);
    host.Take();
    Send(msg::kPlayerSeek, 0, 1000);
    Send(msg::kPlayerStepForward);
    EXPECT_EQ(host.Take(), (std::vector<int32_t>{msg::kNotifyPlayerSeeked, msg::kNotifyPlayerSteppedForward}));
    Send(msg::kPlayerSeek, 0, 99999);  // beyond the end: to the end, without a notification
    EXPECT_TRUE(host.Take().empty());

    Send(msg::kPlayerSeek, 0, 1000);
    const std::string shot = dir.File("shot.png");
    Send(msg::kPlayerSnapshot, reinterpret_cast<intptr_t>(shot.c_str()));
    AvkPictureFile* picture = APF_Open(shot.c_str());
    ASSERT_NE(picture, nullptr) << "the snapshot was not written";
    int w = 0, h = 0;
    const auto drawn = surface.LastFrame(w, h);
    ASSERT_EQ(APF_Width(picture), w);
    ASSERT_EQ(APF_Height(picture), h);
    const uint8_t* px = APF_FrameBGRA(picture, 0);
    size_t differing = 0;
    for (size_t i = 0; i < drawn.size(); i += 4)
        differing += px[i] != drawn[i] || px[i + 1] != drawn[i + 1] || px[i + 2] != drawn[i + 2];
    EXPECT_EQ(differing, 0u);  // the frame drawn, upright and unscaled
    APF_Close(picture);

    host.Take();
    const std::string nowhere = dir.File("no/such/folder/shot.png");
    Send(msg::kPlayerSnapshot, reinterpret_cast<intptr_t>(nowhere.c_str()));
    EXPECT_EQ(host.Take(), std::vector<int32_t>{msg::kNotifyPlayerSnapshotFailed});
}

// Played again while its end is still being announced (here by a slow
// listener), the source's next end is announced too: the play needs a watch
// thread of its own, as the announcing one is about to finish.
TEST_F(PreviewTest, PlayedAgainWhileItsEndIsAnnouncedItEndsAgain) {
    host.lingerOnEnd = milliseconds(300);
    Open(Fixture("flv1_pcm16_160x120.flv"), 0);
    for (int round = 0; round < 2; ++round) {
        host.Take();
        Send(msg::kPlayerPlay);
        ASSERT_TRUE(host.WaitFor(msg::kNotifyPlayerEnded, seconds(20))) << "round " << round;
    }
}

// Stopping ends the sound and the pictures (and a source without one of
// them has ended it at once), so a watch thread just started by play may see
// the playback end while a stop holds the command lock and waits for that
// thread: neither may wait for the other.
TEST_F(PreviewTest, AStopRightAfterPlayNeverHangs) {
    const std::pair<const char*, int32_t> sources[] = {{"flv1_mp3_160x120.flv", 0},
                                                       {"flv1_video_only_160x120.flv", 0},
                                                       {"mp3_audio_only.flv", 0},
                                                       {"still_160x120.png", 1}};
    for (const auto& [name, kind] : sources) {
        Open(Fixture(name), kind);
        FinishesWithin(seconds(60), "play and stop wait for each other", [this] {
            CPlayer::Hooks& hooks = preview.Player().hooks;
            for (int i = 0; i < 20; ++i) {
                Send(msg::kPlayerPlay);
                Send(msg::kPlayerSetMode, 0, i % 4);  // pauses the playing player and plays again
                // The end of both streams arrives as the user stops.
                hooks.audioEnded(hooks.audioEndedUser);
                hooks.videoEnded(hooks.videoEndedUser);
                Send(msg::kPlayerStop);
            }
        });
    }
}

// The panel redraws the paused picture and tells the player a new preview
// area while paused: the picture is drawn at once, the caller never waits,
// also where the renderer's redraw stops the thread that was waiting at the
// pause (pictures), and playing on afterwards still reaches the end.
TEST_F(PreviewTest, APausedPictureIsRedrawnAtOnce) {
    const std::pair<const char*, int32_t> sources[] = {
        {"flv1_mp3_160x120.flv", 0}, {"still_160x120.png", 1}, {"anim_64x48_5x100ms.gif", 1}};
    for (const auto& [name, kind] : sources) {
        SCOPED_TRACE(name);
        Open(Fixture(name), kind);
        const size_t opened = surface.PresentedFrames().size();
        Send(msg::kPlayerPlay);
        for (auto until = steady_clock::now() + seconds(5);
             surface.PresentedFrames().size() < opened + 3 && steady_clock::now() < until;)
            std::this_thread::sleep_for(milliseconds(10));
        Send(msg::kPlayerPause);
        const size_t before = surface.PresentedFrames().size();
        FinishesWithin(seconds(20), "a redraw while paused waits for the pause to end", [this] {
            Send(msg::kPlayerRedraw);
            Rect area{0, 0, 200, 150};
            Send(msg::kPlayerSetArea, reinterpret_cast<intptr_t>(&area));
        });
        EXPECT_GE(surface.PresentedFrames().size(), before + 2);
        EXPECT_EQ(preview.State(), CPlayerMessageMgr::kPaused);
        host.Take();
        Send(msg::kPlayerPlay);
        EXPECT_TRUE(host.WaitFor(msg::kNotifyPlayerEnded, seconds(20)));
        Rect area{0, 0, 320, 240};
        Send(msg::kPlayerSetArea, reinterpret_cast<intptr_t>(&area));
    }
}

TEST_F(PreviewTest, FailuresToOpenSayWhy) {
    Open(Fixture("still_160x120.png"), 0);
    ASSERT_EQ(host.Count(msg::kNotifyPlayerOpenFailed), 1);
    EXPECT_EQ(host.failure.code, 10070002);
    EXPECT_EQ(host.failure.kind, 0);
    EXPECT_EQ(host.failureVideoCodec, -1);
    host.Take();
    Open(Fixture("flv1_mp3_160x120.flv"), 3);  // a sequence: nothing
    EXPECT_TRUE(host.Take().empty());
    Open(Fixture("missing.png"), 1);
    EXPECT_EQ(host.Count(msg::kNotifyPlayerOpenFailed), 1);
    host.Take();

    Open(Fixture("still_160x120.png"), 1);
    host.Take();
    Open(Fixture("anim_64x48_5x100ms.gif"), 1);  // opening while open closes first
    EXPECT_EQ(host.Take(), (std::vector<int32_t>{msg::kNotifyPlayerStopped, msg::kNotifyPlayerClosed,
                                                 msg::kNotifyPlayerStopped, msg::kNotifyPlayerOpened}));
}

TEST_F(PreviewTest, ThrottledSeeksShowTheLastRequest) {
    Open(Fixture("flv1_mp3_160x120.flv"), 0);
    host.Take();
    auto last = steady_clock::now();
    milliseconds widest{0};
    for (uint32_t ms : {100u, 200u, 300u}) {
        const auto now = steady_clock::now();
        widest = std::max(widest, duration_cast<milliseconds>(now - last));
        last = now;
        Send(msg::kPlayerThrottledSeek, 0, ms);
        std::this_thread::sleep_for(milliseconds(50));
    }
    std::this_thread::sleep_for(milliseconds(400));
    // A machine that held this thread for the throttle's whole 200 ms made it
    // a new drag: nothing to check then.
    if (widest >= milliseconds(190)) GTEST_SKIP() << "the test's own 50 ms steps took " << widest.count() << " ms";
    std::lock_guard lock(host.mutex);
    std::vector<intptr_t> seeks;
    for (size_t i = 0; i < host.ids.size(); ++i)
        if (host.ids[i] == msg::kNotifyPlayerSeeked) seeks.push_back(host.p2s[i]);
    EXPECT_EQ(seeks, (std::vector<intptr_t>{100, 300}));  // the first at once, the last once the drag stops
}

// Each drag, not only the first, ends on its last position; a drag cut short
// by a close is not carried on to the source opened next; and a close with
// nothing open says nothing.
TEST_F(PreviewTest, TheEndOfEachDragIsShownOnItsOwnSource) {
    auto seeks = [this] {
        std::lock_guard lock(host.mutex);
        std::vector<intptr_t> out;
        for (size_t i = 0; i < host.ids.size(); ++i)
            if (host.ids[i] == msg::kNotifyPlayerSeeked) out.push_back(host.p2s[i]);
        return out;
    };
    Send(msg::kPlayerClose);
    EXPECT_TRUE(host.Take().empty()) << "a close with nothing open";

    Open(Fixture("flv1_mp3_160x120.flv"), 0);
    host.Take();
    Send(msg::kPlayerThrottledSeek, 0, 900);  // shown at once
    Send(msg::kPlayerThrottledSeek, 0, 1100);  // dropped, held for the end of the drag
    Send(msg::kPlayerClose);
    Open(Fixture("flv1_mp3_160x120.flv"), 0);
    std::this_thread::sleep_for(milliseconds(600));
    EXPECT_EQ(seeks(), std::vector<intptr_t>{900}) << "the closed source's drag was carried on to the next one";

    for (const std::vector<uint32_t>& drag : {std::vector<uint32_t>{100, 300}, std::vector<uint32_t>{500, 700}}) {
        host.Take();
        for (uint32_t ms : drag) Send(msg::kPlayerThrottledSeek, 0, ms);
        std::this_thread::sleep_for(milliseconds(600));
        EXPECT_EQ(seeks(), (std::vector<intptr_t>{drag.front(), drag.back()}));
    }
}

}  // namespace
