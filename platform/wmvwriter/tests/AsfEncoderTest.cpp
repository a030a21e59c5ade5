// The ASF writer: files read back by ffprobe and ffmpeg, the sound's end
// written once, silence when there is no sound, refusals and a full disk.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "wmvwriter/wmvwriter.h"

extern "C" {
#include <libavutil/log.h>
}

namespace {

const int kQuiet = (av_log_set_level(AV_LOG_ERROR), 0);

std::string TempPath() {
    static int n = 0;
    return "/tmp/wmvwriter-" + std::to_string(getpid()) + "-" + std::to_string(n++) + ".asf";
}

std::string Run(const std::string& cmd, int* rc = nullptr) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int r = pclose(p);
    if (rc) *rc = r;
    return out;
}

// ffprobe's flat keys (streams.stream.0.codec_name ...), quotes removed.
std::map<std::string, std::string> Probe(const std::string& path) {
    std::map<std::string, std::string> m;
    int rc = 0;
    const std::string out = Run(
        "ffprobe -v error -count_packets -show_entries format=format_name,duration:"
        "stream=codec_name,codec_type,width,height,r_frame_rate,sample_rate,channels,"
        "nb_read_packets -of flat '" + path + "' 2>&1", &rc);
    size_t pos = 0;
    while (pos < out.size()) {
        const size_t end = out.find('\n', pos);
        const std::string line = out.substr(pos, end - pos);
        pos = end == std::string::npos ? out.size() : end + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string v = line.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
        m[line.substr(0, eq)] = v;
    }
    if (rc != 0) m["error"] = out.empty() ? "ffprobe failed (is it installed?)" : out;
    return m;
}

std::string Stream(const std::map<std::string, std::string>& p, const std::string& type,
                   const std::string& key) {
    for (int i = 0; i < 4; ++i) {
        const std::string base = "streams.stream." + std::to_string(i) + ".";
        auto t = p.find(base + "codec_type");
        if (t != p.end() && t->second == type) {
            auto v = p.find(base + key);
            return v == p.end() ? "" : v->second;
        }
    }
    return "";
}

// Seconds of sound ffmpeg decodes from the file.
double DecodedSeconds(const std::string& path) {
    const std::string pcm =
        Run("ffmpeg -v error -i '" + path + "' -vn -f s16le -ac 1 -ar 8000 - 2>/dev/null");
    return pcm.size() / 2 / 8000.0;
}

struct Feed {
    int width = 320, height = 240, rate = 44100, channels = 2;
    double fps = 25;

    bool Pictures(AsfEncoder* e, int frames) const {
        std::vector<uint8_t> pic(static_cast<size_t>(width) * height * 4);
        for (int f = 0; f < frames; ++f) {
            for (size_t i = 0; i < pic.size(); i += 4) {
                pic[i] = static_cast<uint8_t>(i / 4 % width + f * 3);
                pic[i + 1] = static_cast<uint8_t>(i / 4 / width);
                pic[i + 2] = 128;
                pic[i + 3] = 255;
            }
            const int64_t t = std::llround(f * 1e7 / fps);
            if (!AsfEnc_WriteVideo(e, pic.data(), static_cast<int>(pic.size()), t,
                                   std::llround(1e7 / fps)))
                return false;
        }
        return true;
    }
    // seconds of a 440 Hz tone in blocks of 0.1 s, starting at second from.
    bool Tone(AsfEncoder* e, double from, double seconds) const {
        const int block = rate / 10;
        std::vector<int16_t> pcm(static_cast<size_t>(block) * channels);
        const long first = std::lround(from * rate), total = std::lround(seconds * rate);
        for (long s = 0; s < total; s += block) {
            for (int i = 0; i < block; ++i)
                for (int c = 0; c < channels; ++c)
                    pcm[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(
                        8000 * std::sin(2 * M_PI * 440 * double(first + s + i) / rate));
            if (!AsfEnc_WriteAudio(e, reinterpret_cast<const uint8_t*>(pcm.data()),
                                   static_cast<int>(pcm.size() * 2),
                                   std::llround((first + s) * 1e7 / rate),
                                   std::llround(block * 1e7 / rate)))
                return false;
        }
        return true;
    }
};

AsfEncoder* Opened(const std::string& path, int w, int h, int codec, int rate, int channels) {
    AsfEncoder* e = AsfEnc_Create();
    AsfEnc_SetComplexity(e, 1);
    AsfEnc_SetStretchMode(e, 0);
    if (!AsfEnc_SetEncodingParams(e, w, h, 800000, codec, 25, rate, channels, 64000) ||
        !AsfEnc_Open(e, path.c_str())) {
        AsfEnc_Delete(e);
        return nullptr;
    }
    return e;
}

TEST(AsfEnc, WritesWmvPicturesAndWma2Sound) {
    struct Case {
        int codec;
        const char* name;
        int w, h, wantW, wantH;
    } cases[] = {{ASFENC_WMV2, "wmv2", 320, 240, 320, 240},
                 {ASFENC_WMV1, "wmv1", 321, 241, 322, 242}};   // odd sizes raised by one
    for (const Case& c : cases) {
        const std::string path = TempPath();
        AsfEncoder* e = Opened(path, c.w, c.h, c.codec, 44100, 2);
        ASSERT_TRUE(e) << c.name;
        Feed feed;
        feed.width = c.w;
        feed.height = c.h;
        EXPECT_TRUE(feed.Pictures(e, 50));
        EXPECT_TRUE(feed.Tone(e, 0, 2));
        EXPECT_TRUE(AsfEnc_WriteAudioEnd(e));
        EXPECT_TRUE(AsfEnc_Close(e));
        AsfEnc_Delete(e);

        const auto p = Probe(path);
        ASSERT_EQ(p.count("error"), 0u) << p.at("error");
        EXPECT_EQ(p.at("format.format_name"), "asf");
        EXPECT_EQ(Stream(p, "video", "codec_name"), c.name);
        EXPECT_EQ(Stream(p, "video", "width"), std::to_string(c.wantW));
        EXPECT_EQ(Stream(p, "video", "height"), std::to_string(c.wantH));
        EXPECT_EQ(Stream(p, "video", "nb_read_packets"), "50");
        EXPECT_EQ(Stream(p, "audio", "codec_name"), "wmav2");
        EXPECT_EQ(Stream(p, "audio", "sample_rate"), "44100");
        EXPECT_EQ(Stream(p, "audio", "channels"), "2");
        EXPECT_NEAR(DecodedSeconds(path), 2.0, 0.1);
        std::remove(path.c_str());
    }
}

// The job hands pictures and sound over from two threads.
TEST(AsfEnc, PicturesAndSoundFromTwoThreads) {
    const std::string path = TempPath();
    AsfEncoder* e = Opened(path, 320, 240, ASFENC_WMV2, 44100, 2);
    ASSERT_TRUE(e);
    Feed feed;
    bool videoOk = false, audioOk = false;
    std::thread video([&] { videoOk = feed.Pictures(e, 50); });
    std::thread audio([&] { audioOk = feed.Tone(e, 0, 2); });
    video.join();
    audio.join();
    EXPECT_TRUE(videoOk);
    EXPECT_TRUE(audioOk);
    EXPECT_TRUE(AsfEnc_Close(e));
    AsfEnc_Delete(e);
    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_EQ(Stream(p, "video", "nb_read_packets"), "50");
    EXPECT_NEAR(DecodedSeconds(path), 2.0, 0.1);
    std::remove(path.c_str());
}

// An end reported for an empty block between two clips must not end the
// sound: what follows is still written, and the last frame only once.
TEST(AsfEnc, SoundAfterAnEarlyEndIsKept) {
    const std::string path = TempPath();
    AsfEncoder* e = Opened(path, 0, 0, ASFENC_NO_VIDEO, 22050, 1);
    ASSERT_TRUE(e);
    Feed feed;
    feed.rate = 22050;
    feed.channels = 1;
    EXPECT_TRUE(feed.Tone(e, 0, 1));
    EXPECT_TRUE(AsfEnc_WriteAudio(e, nullptr, 0, 10000000, 0) == 0);   // no data: refused
    EXPECT_TRUE(AsfEnc_WriteAudioEnd(e));
    EXPECT_TRUE(feed.Tone(e, 1, 1));
    EXPECT_TRUE(AsfEnc_WriteAudioEnd(e));
    EXPECT_TRUE(AsfEnc_Close(e));
    AsfEnc_Delete(e);
    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_EQ(Stream(p, "video", "codec_name"), "");
    EXPECT_EQ(Stream(p, "audio", "sample_rate"), "22050");
    EXPECT_NEAR(DecodedSeconds(path), 2.0, 0.1);
    std::remove(path.c_str());
}

TEST(AsfEnc, WithoutSoundWritesSilentStereo44100) {
    const std::string path = TempPath();
    AsfEncoder* e = Opened(path, 160, 120, ASFENC_WMV2, 0, 0);
    ASSERT_TRUE(e);
    Feed feed;
    feed.width = 160;
    feed.height = 120;
    EXPECT_TRUE(feed.Pictures(e, 75));   // 3 s
    EXPECT_TRUE(AsfEnc_Close(e));
    AsfEnc_Delete(e);
    const auto p = Probe(path);
    ASSERT_EQ(p.count("error"), 0u) << p.at("error");
    EXPECT_EQ(Stream(p, "audio", "codec_name"), "wmav2");
    EXPECT_EQ(Stream(p, "audio", "sample_rate"), "44100");
    EXPECT_EQ(Stream(p, "audio", "channels"), "2");
    EXPECT_NEAR(DecodedSeconds(path), 3.0, 0.1);
    std::remove(path.c_str());
}

TEST(AsfEnc, RefusesWhatItCannotWrite) {
    struct Case {
        const char* what;
        int w, h, codec, rate, channels;
    } params[] = {
        {"unknown codec", 320, 240, 28, 44100, 2},
        {"no size", 0, 0, ASFENC_WMV2, 44100, 2},
        {"huge size", 100000, 240, ASFENC_WMV2, 44100, 2},
        {"rate WMA 2 cannot code", 320, 240, ASFENC_WMV2, 96000, 2},
        {"neither pictures nor sound", 0, 0, ASFENC_NO_VIDEO, 0, 0},
    };
    for (const Case& c : params) {
        AsfEncoder* e = AsfEnc_Create();
        EXPECT_FALSE(AsfEnc_SetEncodingParams(e, c.w, c.h, 800000, c.codec, 25, c.rate,
                                              c.channels, 64000))
            << c.what;
        EXPECT_FALSE(AsfEnc_Open(e, TempPath().c_str())) << c.what;
        AsfEnc_Delete(e);
    }
    AsfEncoder* e = AsfEnc_Create();
    ASSERT_TRUE(AsfEnc_SetEncodingParams(e, 320, 240, 800000, ASFENC_WMV2, 25, 44100, 2, 64000));
    EXPECT_FALSE(AsfEnc_Open(e, "/nonexistent-folder/out.asf"));
    uint8_t small[16] = {};
    EXPECT_FALSE(AsfEnc_WriteVideo(e, small, sizeof small, 0, 0));   // not open
    EXPECT_FALSE(AsfEnc_WriteAudioEnd(e));
    EXPECT_FALSE(AsfEnc_Close(e));
    const std::string path = TempPath();
    ASSERT_TRUE(AsfEnc_Open(e, path.c_str()));
    EXPECT_FALSE(AsfEnc_WriteVideo(e, small, sizeof small, 0, 0));   // too few bytes
    EXPECT_FALSE(AsfEnc_SetEncodingParams(e, 160, 120, 1, ASFENC_WMV2, 25, 44100, 2, 64000));
    EXPECT_TRUE(AsfEnc_Close(e));
    AsfEnc_Delete(e);
    std::remove(path.c_str());
    EXPECT_FALSE(AsfEnc_Open(nullptr, "x.asf"));
    EXPECT_FALSE(AsfEnc_WriteAudio(nullptr, small, 4, 0, 0));
    AsfEnc_Delete(nullptr);
}

// A file size limit stands for a full disk; SIGXFSZ is ignored in the child
// so the write fails with EFBIG. The failure must be reported, not crash.
TEST(AsfEnc, FullDiskIsAFailureNotACrash) {
    const std::string path = TempPath();
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{32 * 1024, 32 * 1024};
        setrlimit(RLIMIT_FSIZE, &lim);
        AsfEncoder* e = Opened(path, 320, 240, ASFENC_WMV2, 44100, 2);
        if (!e) _exit(3);
        Feed feed;
        const bool fed = feed.Pictures(e, 75) && feed.Tone(e, 0, 3);
        const bool closed = AsfEnc_Close(e);
        AsfEnc_Delete(e);
        _exit(!fed || !closed ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    std::remove(path.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << "the writer crashed (signal " << WTERMSIG(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a write past the limit was reported as success";
}

}  // namespace
