#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "edit/TrimMgr.h"
#include "model/FLVClip.h"
#include "player/MemorySurface.h"
#include "player/Player.h"
#include "render/FLVCache.h"
#include "render/FLVClipRender.h"

namespace {

using namespace std::chrono;

std::string Fixture(const std::string& name) { return std::string(VELTRANO_FIXTURES_DIR) + "/" + name; }

struct Output {
    std::mutex mutex;
    std::condition_variable ended;
    std::vector<int64_t> frames;  // ms
    std::vector<int64_t> sounds;  // ms
    int soundBytes = 0;
    int ends = 0;

    static void OnVideo(void* u, CBaseClip*, const uint8_t*, int, int64_t t, int64_t, bool, bool) {
        auto* o = static_cast<Output*>(u);
        std::lock_guard lock(o->mutex);
        o->frames.push_back(t / 10000);
    }
    static void OnAudio(void* u, CBaseClip*, const uint8_t* s, int size, int64_t t, int64_t, bool, bool) {
        auto* o = static_cast<Output*>(u);
        std::lock_guard lock(o->mutex);
        o->sounds.push_back(t / 10000);
        if (s) o->soundBytes += size;
    }
    static void OnEnd(void* u, CBaseClip*) {
        auto* o = static_cast<Output*>(u);
        std::lock_guard lock(o->mutex);
        ++o->ends;
        o->ended.notify_all();
    }
    bool WaitEnds(int n) {
        std::unique_lock lock(mutex);
        return ended.wait_for(lock, seconds(10), [&] { return ends >= n; });
    }
};

std::unique_ptr<CFLVClipRender> Render(CFLVClip& clip, CFLVCache& cache, Output& out) {
    auto base = clip.CreateRender(&cache);
    std::unique_ptr<CFLVClipRender> r(static_cast<CFLVClipRender*>(base.release()));
    r->SetVideoCallback(&Output::OnVideo, &out);
    r->SetAudioCallback(&Output::OnAudio, &out);
    r->SetVideoEndCallback(&Output::OnEnd, &out);
    r->SetAudioEndCallback(&Output::OnEnd, &out);
    return r;
}

TEST(FLVClipRender, DeliversTheTrimmedRangeAndEnds) {
    CFLVCache cache;
    CFLVClip clip;
    clip.SetFilePath(Fixture("flv1_mp3_160x120.flv"));
    clip.Trim().SetEnd(2200);
    clip.Trim().SetStart(1100);
    Output out;
    auto r = Render(clip, cache, out);
    ASSERT_TRUE(r->Open());
    r->Play();
    ASSERT_TRUE(out.WaitEnds(2));  // sound and pictures both end
    std::lock_guard lock(out.mutex);
    ASSERT_FALSE(out.frames.empty());
    EXPECT_GE(out.frames.front(), 1100);  // decoded frames before the trim start are dropped
    EXPECT_LE(out.frames.front(), 1140);
    EXPECT_LT(out.frames.back(), 2200);   // the trim end is exclusive
    EXPECT_GE(out.frames.back(), 2200 - 80);
    ASSERT_FALSE(out.sounds.empty());
    EXPECT_GE(out.sounds.front(), 1100);
    EXPECT_LT(out.sounds.back(), 2200);
    EXPECT_GT(out.soundBytes, 0);
}

TEST(FLVClipRender, StepsAndShowAt) {
    CFLVCache cache;
    CFLVClip clip;
    clip.SetFilePath(Fixture("flv1_mp3_160x120.flv"));
    Output out;
    auto r = Render(clip, cache, out);
    ASSERT_TRUE(r->Open());
    EXPECT_FALSE(r->StepBack());  // frame 0 has nothing before it
    EXPECT_TRUE(r->ShowAt(1000));
    EXPECT_EQ(out.frames.back(), 1000);
    // Frames follow the file's measured rate.
    const double fps = r->FrameRate();
    const int64_t at = CBaseClipRender::FrameOfTime(10000000, fps);
    EXPECT_TRUE(r->StepForward());
    EXPECT_EQ(out.frames.back(), CBaseClipRender::TimeOfFrame(at + 1, fps) / 10000);
    EXPECT_TRUE(r->StepBack());
    EXPECT_EQ(out.frames.back(), CBaseClipRender::TimeOfFrame(at, fps) / 10000);

    CFLVClip sound;
    sound.SetFilePath(Fixture("mp3_audio_only.flv"));
    Output heard;
    auto a = Render(sound, cache, heard);
    ASSERT_TRUE(a->Open());
    EXPECT_EQ(a->FrameDuration(), 400000);
    EXPECT_TRUE(a->StepForward());
    ASSERT_EQ(heard.sounds.size(), 1u);
    EXPECT_EQ(heard.sounds[0], 40);
    EXPECT_EQ(heard.soundBytes, 0);  // the time moves, without samples
}

TEST(FLVClipRender, ADamagedFileStillEndsTheStream) {
    CFLVCache cache;
    TempDir dir;
    // A file cut inside a tag: it opens (the complete tags are indexed) and
    // playing it must end properly instead of leaving the owner waiting.
    const std::string cut = dir.File("cut.flv");
    std::filesystem::copy_file(Fixture("bad_truncated_mid_tag.flv"), cut);
    CFLVClip clip;
    try {
        clip.SetFilePath(cut);
    } catch (...) {
        GTEST_SKIP() << "the damaged file is refused at examination";
    }
    Output out;
    auto r = Render(clip, cache, out);
    if (!r->Open()) GTEST_SKIP() << "the damaged file is refused by the cache";
    r->Play();
    EXPECT_TRUE(out.WaitEnds(1));
}

TEST(FLVClipRender, ThePlayerKeepsFramesOnTheAudioClock) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    CFLVCache cache;
    CFLVClip clip;
    clip.SetFilePath(Fixture("flv1_mp3_160x120.flv"));
    clip.Trim().SetEnd(1500);
    CMemorySurface surface;
    CPlayer player(&cache);
    struct Seen {
        std::mutex mutex;
        std::condition_variable done;
        bool ended = false;
        CPlayer* player;
        std::vector<std::pair<int64_t, int64_t>> shown;
    } seen;
    seen.player = &player;
    player.hooks.frame = [](void* u, uint8_t*, int, int, int64_t t) {
        auto* s = static_cast<Seen*>(u);
        std::lock_guard lock(s->mutex);
        s->shown.emplace_back(t / 10000, s->player->AudioTime());
        return Rect{0, 0, 0, 0};
    };
    player.hooks.frameUser = &seen;
    player.hooks.audioEnded = [](void* u) {
        auto* s = static_cast<Seen*>(u);
        std::lock_guard lock(s->mutex);
        s->ended = true;
        s->done.notify_all();
    };
    player.hooks.audioEndedUser = &seen;
    player.SetSurface(&surface, Rect{0, 0, 160, 120}, Rect{0, 0, 160, 120});
    ASSERT_TRUE(player.LoadClip(&clip));
    player.Play();
    {
        std::unique_lock lock(seen.mutex);
        ASSERT_TRUE(seen.done.wait_for(lock, seconds(10), [&] { return seen.ended; }));
    }
    std::lock_guard lock(seen.mutex);
    EXPECT_GE(seen.shown.size(), 30u);
    for (const auto& [frame, clock] : seen.shown) EXPECT_LE(std::abs(frame - clock), 40) << "frame " << frame;
}

}  // namespace
