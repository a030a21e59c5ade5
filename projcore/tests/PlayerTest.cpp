#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/ImageClip.h"
#include "player/MemorySurface.h"
#include "player/Player.h"
#include "WakeLateness.h"

namespace {

using namespace std::chrono;

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

// A renderer of a made-up clip: 44.1 kHz stereo sound in 1024-sample blocks
// and 64x48 frames at 25 fps, the sound kept a little ahead of the pictures
// as the decoders keep it.
class SyntheticRender : public CBaseClipRender {
public:
    explicit SyntheticRender(int seconds) : seconds_(seconds) {}
    ~SyntheticRender() override { Close(); }
    bool Open() override {
        info_ = FLVInfo{};
        info_.audioFormat = 2;
        info_.channels = 2;
        info_.sampleRate = 44100;
        info_.videoCodec = 2;
        info_.width = 64;
        info_.height = 48;
        info_.frameRate = 25;
        duration_ = static_cast<uint32_t>(seconds_ * 1000);
        frame_.assign(64 * 48 * 4, 128);
        sound_.resize(1024 * 2);
        for (size_t i = 0; i < sound_.size(); ++i)
            sound_[i] = static_cast<int16_t>(8000 * std::sin(static_cast<double>(i / 2) * 0.05));
        return true;
    }
    void Close() override { Stop(); }
    void Play() override {
        if (worker_.joinable() && !stop_) return;  // resumes: the player held the callbacks
        Stop();
        stop_ = false;
        worker_ = std::thread([this] { Run(); });
    }
    void Pause() override {}
    void Stop() override {
        stop_ = true;
        if (worker_.joinable()) worker_.join();
    }
    bool StepForward() override { return false; }
    bool StepBack() override { return false; }
    bool ShowAt(uint32_t ms) override {
        Stop();
        videoCallback_(videoUser_, nullptr, frame_.data(), static_cast<int>(frame_.size()), int64_t{ms} * 10000,
                       400000, true, false);
        return true;
    }
    void Redraw() override {}

private:
    void Run() {
        const int64_t block = 1024LL * 10000000 / 44100;
        int64_t soundTime = 0;
        const int frames = seconds_ * 25;
        for (int k = 0; k < frames && !stop_; ++k) {
            const int64_t frameTime = int64_t{k} * 400000;
            while (soundTime < frameTime + 2000000 && soundTime < int64_t{seconds_} * 10000000 && !stop_) {
                audioCallback_(audioUser_, nullptr, reinterpret_cast<const uint8_t*>(sound_.data()), 4096, soundTime,
                               block, true, false);
                soundTime += block;
            }
            videoCallback_(videoUser_, nullptr, frame_.data(), static_cast<int>(frame_.size()), frameTime, 400000,
                           true, false);
        }
        if (stop_) return;
        if (audioEnd_) audioEnd_(audioEndUser_, nullptr);
        if (videoEnd_) videoEnd_(videoEndUser_, nullptr);
    }

    int seconds_;
    std::atomic<bool> stop_{true};
    std::vector<uint8_t> frame_;
    std::vector<int16_t> sound_;
};

// A renderer of pictures only, driven by the test: each frame is handed to
// the player on the thread that calls Deliver, flagged as a single picture
// the way decoded FLV frames are; Redraw hands back the last one.
class HandRender : public CBaseClipRender {
public:
    bool Open() override {
        info_ = FLVInfo{};
        info_.audioFormat = -1;
        info_.videoCodec = 2;
        info_.width = 64;
        info_.height = 48;
        info_.frameRate = 25;
        duration_ = 10000;
        frame_.assign(64 * 48 * 4, 200);
        return true;
    }
    void Close() override {}
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    bool StepForward() override { return false; }
    bool StepBack() override { return false; }
    bool ShowAt(uint32_t) override { return false; }
    void Redraw() override { Deliver(last_); }
    void Deliver(int64_t ms) {
        last_ = ms;
        videoCallback_(videoUser_, nullptr, frame_.data(), static_cast<int>(frame_.size()), ms * 10000, 400000, true,
                       false);
    }

private:
    std::vector<uint8_t> frame_;
    std::atomic<int64_t> last_{0};
};

struct Watch {
    std::mutex mutex;
    std::condition_variable done;
    bool ended = false;
    CPlayer* player = nullptr;
    std::vector<std::pair<int64_t, int64_t>> shown;  // frame ms, audio clock ms when shown
    std::vector<steady_clock::time_point> when;

    static Rect OnFrame(void* user, uint8_t*, int, int, int64_t t) {
        auto* w = static_cast<Watch*>(user);
        std::lock_guard lock(w->mutex);
        w->shown.emplace_back(t / 10000, w->player->AudioTime());
        w->when.push_back(steady_clock::now());
        return Rect{0, 0, 0, 0};
    }
    static void OnEnded(void* user) {
        auto* w = static_cast<Watch*>(user);
        std::lock_guard lock(w->mutex);
        w->ended = true;
        w->done.notify_all();
    }
    bool WaitEnd(seconds limit) {
        std::unique_lock lock(mutex);
        return done.wait_for(lock, limit, [&] { return ended; });
    }
};

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        watch.player = &player;
        player.hooks.frame = &Watch::OnFrame;
        player.hooks.frameUser = &watch;
        player.SetSurface(&surface, Rect{0, 0, 64, 48}, Rect{0, 0, 128, 96});
    }
    CMemorySurface surface;
    CPlayer player;
    Watch watch;
};

TEST_F(PlayerTest, FramesFollowTheAudioClockToTheEnd) {
    player.hooks.audioEnded = &Watch::OnEnded;
    player.hooks.audioEndedUser = &watch;
    ASSERT_TRUE(player.LoadRenderer(std::make_unique<SyntheticRender>(2), nullptr));
    EXPECT_TRUE(player.HasAudio());
    WakeLateness lateness;
    player.Play();
    ASSERT_TRUE(watch.WaitEnd(seconds(10)));
    lateness.Stop();
    const int64_t tolerance = 40 + lateness.WorstMs();
    std::lock_guard lock(watch.mutex);
    EXPECT_GE(watch.shown.size(), 45u);
    EXPECT_EQ(FramesOffTheClock(watch.shown, tolerance), "");
    EXPECT_GE(player.AudioTime(), 1900);
}

TEST_F(PlayerTest, PauseHoldsBothClocks) {
    ASSERT_TRUE(player.LoadRenderer(std::make_unique<SyntheticRender>(3), nullptr));
    WakeLateness lateness;
    player.Play();
    std::this_thread::sleep_for(milliseconds(400));
    player.Pause();
    std::this_thread::sleep_for(milliseconds(60));
    const int64_t clock = player.AudioTime();
    size_t drawn;
    {
        std::lock_guard lock(watch.mutex);
        drawn = watch.shown.size();
    }
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(player.AudioTime(), clock);
    {
        std::lock_guard lock(watch.mutex);
        EXPECT_EQ(watch.shown.size(), drawn);
    }
    player.Play();
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_GT(player.AudioTime(), clock);
    const auto before = steady_clock::now();
    player.Unload();  // while playing: prompt, and nothing arrives afterwards
    EXPECT_LT(steady_clock::now() - before, milliseconds(500 + lateness.WorstMs()));
    size_t after;
    {
        std::lock_guard lock(watch.mutex);
        after = watch.shown.size();
    }
    std::this_thread::sleep_for(milliseconds(100));
    std::lock_guard lock(watch.mutex);
    EXPECT_EQ(watch.shown.size(), after);
}

TEST_F(PlayerTest, APictureFollowsTheSteadyClockForItsTime) {
    CImageClip clip;
    clip.SetFilePath(Fixture("still_160x120.png"));
    clip.SetImageTime(1000);
    player.SetSurface(&surface, Rect{0, 0, 160, 120}, Rect{0, 0, 160, 120});
    player.hooks.videoEnded = &Watch::OnEnded;
    player.hooks.videoEndedUser = &watch;
    ASSERT_TRUE(player.LoadImageClip(&clip));
    EXPECT_FALSE(player.HasAudio());
    WakeLateness lateness;
    const auto start = steady_clock::now();
    player.Play();
    ASSERT_TRUE(watch.WaitEnd(seconds(5)));
    const auto took = steady_clock::now() - start;
    lateness.Stop();
    // A frame is due at its time after the first; waking it may be as late
    // as the machine woke the probe, never more than that beside 40 ms.
    const int64_t tolerance = 40 + lateness.WorstMs();
    EXPECT_GT(took, milliseconds(900));
    EXPECT_LT(took, milliseconds(1500 + lateness.WorstMs()));
    std::lock_guard lock(watch.mutex);
    ASSERT_EQ(watch.shown.size(), 25u);
    for (size_t i = 0; i < watch.when.size(); ++i) {
        const auto late = duration_cast<milliseconds>(watch.when[i] - watch.when[0]).count() - watch.shown[i].first;
        EXPECT_LE(std::abs(late), tolerance) << "frame " << i << " (the machine woke threads up to "
                                             << lateness.WorstMs() << " ms late)";
    }
}

TEST_F(PlayerTest, SeekShowsTheFrameAtOnce) {
    ASSERT_TRUE(player.LoadRenderer(std::make_unique<SyntheticRender>(2), nullptr));
    EXPECT_TRUE(player.Seek(1000));
    EXPECT_EQ(player.VideoTime(), 1000);
    EXPECT_EQ(player.GetState(), CPlayer::kStopped);
    EXPECT_EQ(surface.PresentedFrames().size(), 1u);
}

// A stream frame that reaches a paused player waits for the play, whatever
// its flags say: drawn at once it would show ahead of the sound, from the
// renderer's thread while the window thread may be redrawing. Only the
// picture a redraw asks for is drawn during the pause.
TEST_F(PlayerTest, APauseDrawsOnlyWhatARedrawAsksFor) {
    auto owned = std::make_unique<HandRender>();
    HandRender* render = owned.get();
    ASSERT_TRUE(player.LoadRenderer(std::move(owned), nullptr));
    auto shown = [&] {
        std::lock_guard lock(watch.mutex);
        std::vector<int64_t> times;
        for (const auto& s : watch.shown) times.push_back(s.first);
        return times;
    };
    player.Play();
    render->Deliver(0);  // the first frame sets the clock: drawn at once
    ASSERT_EQ(shown(), std::vector<int64_t>{0});
    player.Pause();

    std::atomic<bool> returned{false};
    std::thread decoder([&] {
        render->Deliver(40);
        returned = true;
    });
    std::this_thread::sleep_for(milliseconds(150));
    EXPECT_EQ(shown(), std::vector<int64_t>{0}) << "a frame of the stream was drawn during the pause";
    EXPECT_FALSE(returned);

    // The redraw shows the renderer's last picture on this thread, and lets
    // the frame that waited go without drawing it (it is the picture shown).
    player.Redraw();
    EXPECT_EQ(shown(), (std::vector<int64_t>{0, 40}));
    decoder.join();
    EXPECT_EQ(shown(), (std::vector<int64_t>{0, 40}));

    // After the redraw, the stream waits at the pause again.
    std::thread next([&] { render->Deliver(80); });
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(shown().size(), 2u);
    player.Play();
    next.join();
    EXPECT_EQ(shown(), (std::vector<int64_t>{0, 40, 80}));
    player.Unload();
}

}  // namespace
