#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cmath>
#include <cstdio>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "TempDir.h"
#include "WakeLateness.h"
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

// ffmpeg's decode of a file, with the times ffprobe gives its pictures and sound.
struct Reference {
    std::vector<uint8_t> frames;   // BGRA pictures in presentation order
    std::vector<int64_t> times;    // ms, of each picture
    std::vector<uint8_t> pcm;      // 16-bit at the stream's rate and channels
    int64_t soundStart = 0;        // ms, of the first sample

    static std::string Run(const std::string& command) {
        std::string out;
        FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
        if (!p) return out;
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        pclose(p);
        return out;
    }
    static std::vector<int64_t> Numbers(const std::string& text) {
        std::vector<int64_t> v;
        for (size_t i = 0; i < text.size();) {
            if (!isdigit(static_cast<unsigned char>(text[i]))) {
                ++i;
                continue;
            }
            size_t used = 0;
            v.push_back(std::stoll(text.substr(i), &used));
            i += used;
        }
        return v;
    }
    Reference(const std::string& path, int rate, int channels) {
        const std::string f = Run("ffmpeg -nostdin -v error -i '" + path +
                                  "' -an -fps_mode passthrough -f rawvideo -pix_fmt bgra -");
        frames.assign(f.begin(), f.end());
        times = Numbers(Run("ffprobe -v error -select_streams v -show_entries frame=pts -of csv=p=0 '" + path + "'"));
        const std::string a = Run("ffmpeg -nostdin -v error -i '" + path + "' -vn -f s16le -ar " +
                                  std::to_string(rate) + " -ac " + std::to_string(channels) + " -");
        pcm.assign(a.begin(), a.end());
        const auto start = Numbers(Run("ffprobe -v error -select_streams a -show_entries packet=pts -of csv=p=0 '" +
                                       path + "' | head -1"));
        soundStart = start.empty() ? 0 : start[0];
    }
    // The picture on screen at t: the last one shown at or before it.
    const uint8_t* PictureAt(int64_t t, size_t bytes) const {
        size_t i = 0;
        while (i + 1 < times.size() && times[i + 1] <= t) ++i;
        return frames.data() + i * bytes;
    }
};

double Psnr(const uint8_t* a, const uint8_t* b, size_t bytes) {
    double sum = 0;
    for (size_t i = 0; i < bytes; ++i)
        if (i % 4 != 3) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return sum == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / (sum / (bytes * 3 / 4)));
}

// H.264 with B-frames and AAC, trimmed to start between key frames: the
// pictures and the sound start at the trim, each picture is the one ffmpeg
// shows at its time (presentation order), and the sound at each time is
// ffmpeg's sound at that time, sample for sample.
TEST(FLVClipRender, H264AndAacPlayInPresentationOrderFromANonKeyTrim) {
    struct Case { const char* file; uint32_t start, end; int rate; } cases[] = {
        {"h264_aac_bf2_160x120.flv", 1300, 2500, 44100},   // key frames at 0, 1000, 2000
        {"h264_aac22k_bf2_160x120.flv", 700, 1900, 22050}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = Fixture(c.file);
        const Reference ref(path, c.rate, 2);
        const size_t frameBytes = 160 * 120 * 4;
        ASSERT_EQ(ref.frames.size(), ref.times.size() * frameBytes) << "ffmpeg and ffprobe are needed";
        CFLVCache cache;
        CFLVClip clip;
        clip.SetFilePath(path);
        clip.Trim().SetEnd(c.end);
        clip.Trim().SetStart(c.start);
        struct Capture {
            std::mutex mutex;
            std::condition_variable ended;
            int ends = 0;
            std::vector<std::pair<int64_t, std::vector<uint8_t>>> pictures, sound;
        } cap;
        auto base = clip.CreateRender(&cache);
        ASSERT_NE(base, nullptr);
        std::unique_ptr<CFLVClipRender> r(static_cast<CFLVClipRender*>(base.release()));
        r->SetVideoCallback([](void* u, CBaseClip*, const uint8_t* d, int n, int64_t t, int64_t, bool, bool) {
            auto* k = static_cast<Capture*>(u);
            std::lock_guard lock(k->mutex);
            k->pictures.emplace_back(t, std::vector<uint8_t>(d, d + n));
        }, &cap);
        r->SetAudioCallback([](void* u, CBaseClip*, const uint8_t* d, int n, int64_t t, int64_t, bool, bool) {
            auto* k = static_cast<Capture*>(u);
            std::lock_guard lock(k->mutex);
            if (d && n > 0) k->sound.emplace_back(t, std::vector<uint8_t>(d, d + n));
        }, &cap);
        auto end = [](void* u, CBaseClip*) {
            auto* k = static_cast<Capture*>(u);
            std::lock_guard lock(k->mutex);
            ++k->ends;
            k->ended.notify_all();
        };
        r->SetVideoEndCallback(end, &cap);
        r->SetAudioEndCallback(end, &cap);
        ASSERT_TRUE(r->Open());
        EXPECT_DOUBLE_EQ(r->FrameRate(), 25.0);
        r->Play();
        {
            std::unique_lock lock(cap.mutex);
            ASSERT_TRUE(cap.ended.wait_for(lock, seconds(10), [&] { return cap.ends >= 2; }));
        }
        r->Close();
        std::lock_guard lock(cap.mutex);
        ASSERT_FALSE(cap.pictures.empty());
        EXPECT_GE(cap.pictures.front().first, int64_t(c.start) * 10000) << "nothing before the trim";
        EXPECT_LT(cap.pictures.front().first, int64_t(c.start + 40) * 10000) << "from the trim on";
        EXPECT_EQ(cap.pictures.size(), (c.end - c.start) / 40);
        double worst = 99;
        for (const auto& [t, pixels] : cap.pictures) {
            ASSERT_EQ(pixels.size(), frameBytes);
            worst = std::min(worst, Psnr(pixels.data(), ref.PictureAt((t + 5000) / 10000, frameBytes), frameBytes));
        }
        EXPECT_GE(worst, 45.0);

        ASSERT_FALSE(cap.sound.empty());
        const int64_t first = cap.sound.front().first;
        EXPECT_GE(first, int64_t(c.start) * 10000);
        EXPECT_LT(first, int64_t(c.start + 50) * 10000);
        // Each block against ffmpeg's sound at the block's time: FLV times are
        // whole milliseconds, so the two may place it a few samples apart.
        int worstDiff = 0;
        size_t compared = 0;
        for (const auto& [t, bytes] : cap.sound) {
            const int64_t at = (t - ref.soundStart * 10000) * c.rate / 10000000;
            int best = INT32_MAX;
            for (int64_t off = -3; off <= 3; ++off) {
                int diff = 0;
                for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
                    const int64_t p = (at + off) * 4 + int64_t(i);
                    if (p < 0 || size_t(p) + 1 >= ref.pcm.size()) break;
                    const int16_t a = int16_t(bytes[i] | bytes[i + 1] << 8);
                    const int16_t b = int16_t(ref.pcm[size_t(p)] | ref.pcm[size_t(p) + 1] << 8);
                    diff = std::max(diff, std::abs(a - b));
                }
                best = std::min(best, diff);
            }
            worstDiff = std::max(worstDiff, best);
            compared += bytes.size() / 4;
        }
        EXPECT_GT(compared, size_t(c.rate));   // about a second of sound
        EXPECT_LE(worstDiff, 1);
    }
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

// The player shows each frame on the sound's clock, for H.263 + MP3 as for
// H.264 with B-frames + AAC (whose pictures come out of the decoder later
// than their tags and whose sound starts after a setup).
TEST(FLVClipRender, ThePlayerKeepsFramesOnTheAudioClock) {
    for (const char* file : {"flv1_mp3_160x120.flv", "h264_aac_bf2_160x120.flv"}) {
        SCOPED_TRACE(file);
        ::setenv("SDL_AUDIODRIVER", "dummy", 0);
        CFLVCache cache;
        CFLVClip clip;
        clip.SetFilePath(Fixture(file));
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
        WakeLateness lateness;
        player.Play();
        {
            std::unique_lock lock(seen.mutex);
            ASSERT_TRUE(seen.done.wait_for(lock, seconds(10), [&] { return seen.ended; }));
        }
        lateness.Stop();
        std::lock_guard lock(seen.mutex);
        EXPECT_GE(seen.shown.size(), 30u);
        EXPECT_EQ(FramesOffTheClock(seen.shown, 40 + lateness.WorstMs()), "");
    }
}

}  // namespace
