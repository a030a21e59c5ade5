#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "model/ImageClip.h"
#include "render/ImageClipRender.h"

namespace {

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

struct Frames {
    struct Frame {
        int64_t time, duration;
        bool once, filler;
        uint8_t firstByte;
    };
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<Frame> frames;
    bool end = false;

    static void OnVideo(void* user, CBaseClip*, const uint8_t* pixels, int, int64_t t, int64_t d, bool once,
                        bool filler) {
        auto* self = static_cast<Frames*>(user);
        std::lock_guard lock(self->mutex);
        self->frames.push_back({t, d, once, filler, pixels[0]});
    }
    static void OnEnd(void* user, CBaseClip*) {
        auto* self = static_cast<Frames*>(user);
        std::lock_guard lock(self->mutex);
        self->end = true;
        self->ended.notify_all();
    }
    bool WaitEnd() {
        std::unique_lock lock(mutex);
        return ended.wait_for(lock, std::chrono::seconds(5), [&] { return end; });
    }
};

std::unique_ptr<CImageClipRender> RenderOf(CImageClip& clip, Frames& f) {
    std::unique_ptr<CImageClipRender> r(static_cast<CImageClipRender*>(clip.CreateRender().release()));
    if (r) {
        r->SetVideoCallback(&Frames::OnVideo, &f);
        r->SetVideoEndCallback(&Frames::OnEnd, &f);
    }
    return r;
}

TEST(ImageClipRender, AStillPictureShowsForTheClipsTime) {
    CImageClip clip;
    clip.SetFilePath(Fixture("still_160x120.png"));
    Frames f;
    auto r = RenderOf(clip, f);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->Duration(), 5000u);
    EXPECT_EQ(r->FrameDuration(), 400000);
    r->Play();
    ASSERT_TRUE(f.WaitEnd());
    ASSERT_EQ(f.frames.size(), 125u);  // frames 0 ... 124
    EXPECT_TRUE(f.frames.front().once);
    EXPECT_FALSE(f.frames.front().filler);
    EXPECT_TRUE(f.frames[1].filler);
    EXPECT_EQ(f.frames.back().time, 124 * 400000);
    EXPECT_EQ(r->State(), CBaseClipRender::kStopped);
}

TEST(ImageClipRender, AnAnimationPlaysAtItsAverageRate) {
    CImageClip clip;
    clip.SetFilePath(Fixture("anim_64x48_5x100ms.gif"));
    Frames f;
    auto r = RenderOf(clip, f);
    ASSERT_NE(r, nullptr);
    EXPECT_DOUBLE_EQ(r->FrameRate(), 10.0);
    EXPECT_EQ(r->Duration(), 500u);
    r->Play();
    ASSERT_TRUE(f.WaitEnd());
    ASSERT_EQ(f.frames.size(), 5u);
    for (const auto& frame : f.frames) EXPECT_TRUE(frame.once);
    EXPECT_EQ(f.frames[4].time, 4000000);
}

TEST(ImageClipRender, StepsAndShowAtStayInsideTheRange) {
    CImageClip clip;
    clip.SetFilePath(Fixture("anim_64x48_5x100ms.gif"));
    Frames f;
    auto r = RenderOf(clip, f);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(r->StepBack());  // frame 0 has nothing before it
    EXPECT_TRUE(r->ShowAt(300));
    EXPECT_EQ(f.frames.back().time, 3000000);
    EXPECT_TRUE(r->StepForward());
    EXPECT_FALSE(r->StepForward());  // frame 4 is the last
    EXPECT_FALSE(r->ShowAt(500));
    EXPECT_TRUE(r->StepBack());
    EXPECT_EQ(r->CurrentTime(), 300);
    r->Redraw();
    EXPECT_EQ(f.frames.back().time, 3000000);
}

TEST(ImageClipRender, PauseHoldsAndStopReturnsPromptly) {
    struct Slow : Frames {
        static void OnVideo(void* user, CBaseClip* c, const uint8_t* p, int s, int64_t t, int64_t d, bool o,
                            bool fl) {
            Frames::OnVideo(user, c, p, s, t, d, o, fl);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));  // a consumer pacing itself
        }
    } f;
    CImageClip clip;
    clip.SetFilePath(Fixture("still_160x120.png"));
    auto r = clip.CreateRender();
    ASSERT_NE(r, nullptr);
    r->SetVideoCallback(&Slow::OnVideo, &f);
    r->Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    r->Pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    size_t held;
    {
        std::lock_guard lock(f.mutex);
        held = f.frames.size();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    {
        std::lock_guard lock(f.mutex);
        EXPECT_EQ(f.frames.size(), held);
    }
    r->Play();  // resumes where it was
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto before = std::chrono::steady_clock::now();
    r->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(200));
    std::lock_guard lock(f.mutex);
    EXPECT_GT(f.frames.size(), held);
    EXPECT_LT(f.frames.size(), 125u);
    for (size_t i = 1; i < f.frames.size(); ++i) EXPECT_EQ(f.frames[i].time, f.frames[i - 1].time + 400000);
}

TEST(ImageClipRender, WhatIsNoPictureGivesNoRenderer) {
    CImageClip clip;
    EXPECT_EQ(clip.CreateRender(), nullptr);
}

}  // namespace
