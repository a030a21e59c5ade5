// Helpers for the decoding tests: ffmpeg's own decode of a file as the
// reference, PSNR, and a stream decoder run that records what comes out.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "tagflow/tagflow.h"

// Runs a command and returns its standard output; empty when it failed.
inline std::vector<uint8_t> CommandOutput(const std::string& command) {
    std::vector<uint8_t> out;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (!p) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.insert(out.end(), buf, buf + n);
    if (pclose(p) != 0) out.clear();
    return out;
}

inline bool HaveFfmpeg() { return !CommandOutput("ffmpeg -version").empty(); }

// Every decoded picture once, as BGRA.
inline std::vector<uint8_t> FfmpegFrames(const std::string& path) {
    return CommandOutput("ffmpeg -nostdin -v error -i '" + path +
                         "' -an -fps_mode passthrough -f rawvideo -pix_fmt bgra -");
}

// Presentation times (ms) of the pictures ffmpeg decodes, in its order.
inline std::vector<int64_t> FfprobePictureTimes(const std::string& path) {
    const std::vector<uint8_t> out = CommandOutput(
        "ffprobe -v error -select_streams v -show_entries frame=pts -of csv=p=0 '" + path + "'");
    std::vector<int64_t> times;
    int64_t v = 0;
    bool in = false;
    for (uint8_t c : out) {
        if (c >= '0' && c <= '9') {
            v = v * 10 + (c - '0');
            in = true;
        } else {
            if (in) times.push_back(v);
            v = 0;
            in = false;
        }
    }
    if (in) times.push_back(v);
    return times;
}

// Index of the picture on screen at t: the last one shown at or before t (the
// first one before it is shown).
inline size_t PictureAt(const std::vector<int64_t>& times, int64_t t) {
    size_t i = 0;
    while (i + 1 < times.size() && times[i + 1] <= t) ++i;
    return i;
}

inline std::vector<uint8_t> FfmpegPcm(const std::string& path, int rate, int channels) {
    return CommandOutput("ffmpeg -nostdin -v error -i '" + path + "' -vn -f s16le -ar " +
                         std::to_string(rate) + " -ac " + std::to_string(channels) + " -");
}

// PSNR of two pictures over their colour bytes (alpha left out); 99 when equal.
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t bytes) {
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < bytes; ++i) {
        if (i % 4 == 3) continue;
        const double d = double(a[i]) - double(b[i]);
        sum += d * d;
        ++n;
    }
    if (sum == 0) return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 / (sum / double(n)));
}

struct VideoOut {
    int64_t timestamp, duration;
    int once, filler;
    std::vector<uint8_t> picture;   // kept only when asked
};

// Decodes a whole file through a stream decoder and records its output.
struct StreamRun {
    std::mutex lock;
    std::vector<VideoOut> video;
    std::vector<uint8_t> pcm;
    std::vector<int32_t> audioSizes;
    FLVInfo info{};
    bool keepPictures = true;
    int64_t videoClock = -1, audioClock = -1;   // last timestamps, 100 ns
    int64_t maxLead = 0;                        // largest |video - audio| seen at an output, ms
    int videoDelayMs = 0;                       // a slow consumer of pictures

    static int32_t OnInfo(void* u, const FLVInfo* i, int32_t*, int32_t*) {
        static_cast<StreamRun*>(u)->info = *i;
        return 1;
    }
    void Lead() {
        if (videoClock < 0 || audioClock < 0) return;
        const int64_t lead = std::llabs(videoClock - audioClock) / 10000;
        if (lead > maxLead) maxLead = lead;
    }
    static void OnVideo(void* u, const uint8_t* data, int32_t size, int64_t ts, int64_t dur,
                        int32_t once, int32_t filler) {
        auto* self = static_cast<StreamRun*>(u);
        {
            std::lock_guard<std::mutex> g(self->lock);
            VideoOut v{ts, dur, once, filler, {}};
            if (self->keepPictures && data) v.picture.assign(data, data + size);
            self->video.push_back(std::move(v));
            self->videoClock = ts;
            self->Lead();
        }
        if (self->videoDelayMs)
            std::this_thread::sleep_for(std::chrono::milliseconds(self->videoDelayMs));
    }
    static void OnAudio(void* u, const uint8_t* data, int32_t size, int64_t ts, int64_t, int32_t,
                        int32_t) {
        auto* self = static_cast<StreamRun*>(u);
        std::lock_guard<std::mutex> g(self->lock);
        if (data) self->pcm.insert(self->pcm.end(), data, data + size);
        self->audioSizes.push_back(size);
        self->audioClock = ts;
        self->Lead();
    }

    // Feeds the bytes in 4 KiB pieces, retrying while the queues are full,
    // then stops the decoder (which drains both threads).
    void Decode(const std::vector<uint8_t>& bytes, double fps = 0.0,
                void (*setup)(FLVStreamHandle) = nullptr) {
        FLVStreamHandle s = FLVStream_Create();
        ASSERT_NE(s, nullptr);
        FLVStream_SetFLVInfoCallBack(s, &OnInfo, this);
        FLVStream_SetGetVideoCallBack(s, &OnVideo, this);
        FLVStream_SetGetAudioCallBack(s, &OnAudio, this);
        if (fps > 0) FLVStream_SetOutputFPS(s, fps);
        if (setup) setup(s);
        ASSERT_EQ(FLVStream_Run(s), 1);
        for (size_t at = 0; at < bytes.size();) {
            const uint32_t n = uint32_t(std::min<size_t>(4096, bytes.size() - at));
            const int r = FLVStream_DeliverData(s, bytes.data() + at, n);
            if (r == 2) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            ASSERT_TRUE(r == 0 || r == 4) << r;
            at += n;
        }
        while (!FLVStream_Flush(s)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(FLVStream_Stop(s), 1);
        FLVStream_Delete(s);
    }
};

// A tag reader opened on a file for the life of the object.
struct OpenedReader {
    explicit OpenedReader(const std::string& path) : r(FLVAVTagReader_Create()) {
        opened = FLVAVTagReader_Open(r, path.c_str()) == 1;
    }
    ~OpenedReader() { FLVAVTagReader_Delete(r); }
    OpenedReader(const OpenedReader&) = delete;
    OpenedReader& operator=(const OpenedReader&) = delete;
    FLVAVTagReaderHandle r;
    bool opened = false;
};

// Tags of a fixture, each owned by the caller (FLVAVTagReader_ReleaseMemory).
inline std::vector<FLVTag*> ReadOwnedTags(const std::string& path, int typeFilter) {
    std::vector<FLVTag*> tags;
    FLVAVTagReaderHandle r = FLVAVTagReader_Create();
    if (FLVAVTagReader_Open(r, path.c_str()) != 1) {
        FLVAVTagReader_Delete(r);
        return tags;
    }
    FLVAVTagReader_SetAutoReleaseMemory(r, 0);
    FLVTag* t = nullptr;
    uint32_t d = 0;
    while (FLVAVTagReader_ReadTag(r, 1, typeFilter, &t, &d) == 0) tags.push_back(t);
    FLVAVTagReader_Delete(r);
    return tags;
}

inline void FreeTags(std::vector<FLVTag*>& tags) {
    for (FLVTag* t : tags) FLVAVTagReader_ReleaseMemory(nullptr, t);
    tags.clear();
}

// Rebuilds a fixture's FLV from its tags, keeping those `keep` accepts.
template <class Keep>
std::vector<uint8_t> RebuildFlv(const std::string& path, Keep keep) {
    std::vector<FLVTag*> tags = ReadOwnedTags(path, 0);
    FlvBuilder b;
    for (FLVTag* t : tags) {
        if ((t->type != 8 && t->type != 9) || !t->data || !keep(*t)) continue;
        b.Tag(uint8_t(t->type), t->timestamp, std::vector<uint8_t>(t->data, t->data + t->dataSize));
    }
    FreeTags(tags);
    return b.bytes;
}
