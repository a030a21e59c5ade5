// Decoder threads on their own: queue limits, stopping while full or
// paused, silence, the clock past undecodable sound, cropping.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <algorithm>
#include <cstring>
#include <string>

#include "DecodeSupport.h"
#include "DecoderThread.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Sink {
    std::atomic<int> outputs{0};
    std::atomic<int> released{0};
    std::atomic<int> ends{0};
    std::mutex lock;
    std::vector<int32_t> sizes;
    std::vector<uint8_t> bytes;
    static void OnOutput(void* u, const uint8_t* d, int32_t size, int64_t, int64_t, int32_t, int32_t) {
        auto* s = static_cast<Sink*>(u);
        std::lock_guard<std::mutex> g(s->lock);
        s->sizes.push_back(size);
        if (d) s->bytes.insert(s->bytes.end(), d, d + size);
        ++s->outputs;
    }
    static void OnRelease(void* u, FLVTag*) { ++static_cast<Sink*>(u)->released; }
    static void OnEnd(void* u) { ++static_cast<Sink*>(u)->ends; }
    void Attach(FLVStreamDecoderHandle d) {
        FLVStreamDecoder_SetOutputCallBack(d, &OnOutput, this);
        FLVStreamDecoder_SetDeleteFLVTagCallBack(d, &OnRelease, this);
        FLVStreamDecoder_SetOutputEndCallBack(d, &OnEnd, this);
    }
};

// A tag record built here, over bytes owned by the test.
struct OwnedTag {
    std::vector<uint8_t> bytes;
    FLVTag tag{};
    // Linear PCM, 16-bit little-endian, stereo at 5512 Hz: frame i is (i, -i).
    static OwnedTag Pcm(uint32_t ts, int frames) {
        OwnedTag t;
        t.bytes.push_back(0x33);   // SoundFormat 3, 5512 Hz, 16-bit, stereo
        for (int i = 0; i < frames; ++i) {
            const int16_t l = int16_t(i + 1), r = int16_t(-(i + 1));
            t.bytes.insert(t.bytes.end(), {uint8_t(l), uint8_t(l >> 8), uint8_t(r), uint8_t(r >> 8)});
        }
        t.bytes.resize(t.bytes.size() + 64, 0);   // decoders may read ahead
        t.Fill(8, ts, uint32_t(t.bytes.size() - 64));
        t.tag.codecField1 = 3;
        t.tag.codecField2 = 0;
        t.tag.codecField3 = 1;
        t.tag.codecField4 = 1;
        return t;
    }
    static OwnedTag Audio(uint32_t ts, uint8_t formatByte, std::vector<uint8_t> payload) {
        OwnedTag t;
        const uint32_t n = uint32_t(1 + payload.size());
        t.bytes.assign(n + 64, 0);   // decoders may read ahead
        t.bytes[0] = formatByte;
        std::copy(payload.begin(), payload.end(), t.bytes.begin() + 1);
        t.Fill(8, ts, n);
        t.tag.codecField1 = formatByte >> 4;
        t.tag.codecField2 = (formatByte >> 2) & 3;
        t.tag.codecField3 = (formatByte >> 1) & 1;
        t.tag.codecField4 = formatByte & 1;
        return t;
    }
    static OwnedTag EmptyAudio(uint32_t ts) {
        OwnedTag t;
        t.tag.type = 8;
        t.tag.timestamp = ts;
        return t;
    }
    void Fill(uint32_t type, uint32_t ts, uint32_t size) {
        tag.type = type;
        tag.timestamp = ts;
        tag.data = bytes.data();
        tag.dataSize = size;
        tag.audioPayload = bytes.data() + 1;
        tag.audioPayloadSize = size - 1;
    }
    OwnedTag() = default;
    OwnedTag(OwnedTag&& o) noexcept : bytes(std::move(o.bytes)), tag(o.tag) { Repoint(); }
    void Repoint() {
        if (!tag.data) return;
        tag.data = bytes.data();
        tag.audioPayload = bytes.data() + 1;
    }
};

// An output callback that holds the worker on its first output until released.
struct Gate {
    std::atomic<bool>* hold;
    Sink* sink;
    static void Out(void* u, const uint8_t* p, int32_t s, int64_t t, int64_t du, int32_t o, int32_t f) {
        auto* g = static_cast<Gate*>(u);
        while (g->hold->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Sink::OnOutput(g->sink, p, s, t, du, o, f);
    }
};

// A 160x120 video decoder, not yet running, whose worker is held on its
// first output until the gate's flag is cleared.
FLVStreamDecoderHandle HeldVideoDecoder(Sink& sink, Gate& gate) {
    FLVStreamDecoderHandle d = FLVStreamDecoder_Create(1);
    sink.Attach(d);
    FLVStreamDecoder_SetOutputSize(d, 160, 120);
    FLVStreamDecoder_SetOutputCallBack(d, &Gate::Out, &gate);
    return d;
}

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void WaitFor(const std::atomic<int>& value, int atLeast) {
    const auto start = Clock::now();
    while (value.load() < atLeast && Seconds(start) < 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

}  // namespace

TEST(DecoderThread, QueueLimitAndSettingsOnlyWhileStopped) {
    FLVStreamDecoderHandle d = FLVStreamDecoder_Create(1);
    Sink sink;
    sink.Attach(d);
    FLVTag tag{};
    tag.type = 9;
    EXPECT_EQ(FLVStreamDecoder_DeliverFLVPacket(d, &tag), 0);   // not running
    EXPECT_EQ(FLVStreamDecoder_SetOutputFPS(d, 0.0), 0);
    EXPECT_EQ(FLVStreamDecoder_SetOutputSize(d, 0, 10), 0);
    EXPECT_EQ(FLVStreamDecoder_SetSampleRate(d, 44100), 0);   // an audio setting
    ASSERT_EQ(FLVStreamDecoder_SetMaxFLVTagQueue(d, 3), 1);
    ASSERT_EQ(FLVStreamDecoder_SetOutputCallBack(d, nullptr, nullptr), 1);
    ASSERT_EQ(FLVStreamDecoder_Run(d), 1);
    EXPECT_EQ(FLVStreamDecoder_Run(d), 0);
    EXPECT_EQ(FLVStreamDecoder_SetOutputFPS(d, 30.0), 0);
    EXPECT_EQ(FLVStreamDecoder_SetMaxFLVTagQueue(d, 10), 0);
    EXPECT_EQ(FLVStreamDecoder_GetState(d), 0);
    EXPECT_EQ(FLVStreamDecoder_Terminate(d), 1);
    EXPECT_EQ(FLVStreamDecoder_GetState(d), 2);
    EXPECT_EQ(FLVStreamDecoder_Terminate(d), 0);
    FLVStreamDecoder_Delete(d);
}

// Terminate abandons a full queue at once, Stop decodes it first; either
// way every tag comes back through the delete-tag callback.
TEST(DecoderThread, StopAndTerminateWithAFullQueueReturnPromptly) {
    std::vector<FLVTag*> tags = ReadOwnedTags(Fixture("flv1_mp3_160x120.flv"), 9);
    ASSERT_EQ(tags.size(), 75u);
    for (const bool terminate : {true, false}) {
        SCOPED_TRACE(terminate ? "Terminate" : "Stop");
        Sink sink;
        // The first output holds the worker until the queue is full.
        std::atomic<bool> hold{true};
        Gate gate{&hold, &sink};
        FLVStreamDecoderHandle d = HeldVideoDecoder(sink, gate);
        ASSERT_EQ(FLVStreamDecoder_Run(d), 1);
        int delivered = 0;
        // The same 75 tags over and over: 1000 queued plus the few the worker holds.
        for (int i = 0; delivered < 1100; ++i) {
            if (!FLVStreamDecoder_DeliverFLVPacket(d, tags[size_t(i) % tags.size()])) break;
            ++delivered;
        }
        EXPECT_GE(delivered, 1001);
        EXPECT_LE(delivered, 1003);
        EXPECT_EQ(FLVStreamDecoder_DeliverFLVPacket(d, tags[0]), 0);   // full: the caller keeps it
        const auto start = Clock::now();
        std::thread release([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            hold = false;
        });
        EXPECT_EQ(terminate ? FLVStreamDecoder_Terminate(d) : FLVStreamDecoder_Stop(d), 1);
        release.join();
        EXPECT_LT(Seconds(start), 0.8);
        EXPECT_EQ(FLVStreamDecoder_GetState(d), terminate ? 2 : 1);
        EXPECT_EQ(sink.released.load(), delivered);
        if (terminate) {
            EXPECT_LE(sink.outputs.load(), 2);
        } else {
            EXPECT_GE(sink.outputs.load(), 75);   // later rounds of the same times are too early and dropped
        }
        FLVStreamDecoder_Delete(d);
    }
    FreeTags(tags);
}

// Large pictures fill a queue by their bytes long before 1000 tags, but never
// below 3 s of them: a file's sound may lie that far from its pictures.
TEST(DecoderThread, QueueIsBoundedByBytesOverAtLeastThreeSeconds) {
    std::vector<FLVTag*> firsts = ReadOwnedTags(Fixture("flv1_mp3_160x120.flv"), 9);
    ASSERT_GE(firsts.size(), 2u);
    struct Case {
        uint32_t bytes, stepMs;
        int least, most;   // tags the queue takes
    } const cases[] = {
        {256 * 1024, 40, 70, 85},     // 1 MB by the fifth tag, 3 s by the 76th
        {256 * 1024, 1, 1000, 1003},  // never 3 s apart: only the count bounds it
        {512, 40, 1000, 1003},        // small pictures: 1000 tags are half a megabyte
    };
    // The data is never decoded (the worker is held on its first output), so
    // every tag shares one buffer.
    std::vector<uint8_t> data(256 * 1024, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + " bytes every " + std::to_string(c.stepMs) + " ms");
        std::vector<FLVTag> big(1100);
        for (size_t i = 0; i < big.size(); ++i) {
            big[i].type = 9;
            big[i].timestamp = uint32_t(1000 + i * c.stepMs);
            big[i].data = data.data();
            big[i].dataSize = c.bytes;
        }
        Sink sink;
        std::atomic<bool> hold{true};
        Gate gate{&hold, &sink};
        FLVStreamDecoderHandle d = HeldVideoDecoder(sink, gate);
        ASSERT_EQ(FLVStreamDecoder_Run(d), 1);
        // Two real pictures: the worker decodes the first when it takes the
        // second, and is then held on its output; once both are taken the
        // queue holds only what is delivered here.
        ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(d, firsts[0]), 1);
        ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(d, firsts[1]), 1);
        const auto start = Clock::now();
        while (FLVStreamDecoder_FLVTagQueueEmpty(d) == 0 && Seconds(start) < 5)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int taken = 0;
        while (size_t(taken) < big.size() && FLVStreamDecoder_DeliverFLVPacket(d, &big[size_t(taken)])) ++taken;
        EXPECT_GE(taken, c.least);
        EXPECT_LE(taken, c.most);
        hold = false;
        EXPECT_EQ(FLVStreamDecoder_Terminate(d), 1);
        FLVStreamDecoder_Delete(d);
        EXPECT_EQ(sink.released.load(), taken + 2);
    }
    FreeTags(firsts);
}

// The blocking hand-over: a deliverer waiting on a full queue goes on as soon
// as the worker takes a tag, and a stop ends the wait with a refusal.
TEST(DecoderThread, DeliverWaitBlocksUntilRoomOrStop) {
    std::vector<FLVTag*> tags = ReadOwnedTags(Fixture("flv1_mp3_160x120.flv"), 9);
    ASSERT_FALSE(tags.empty());
    for (const bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped while waiting" : "room made while waiting");
        Sink sink;
        std::atomic<bool> hold{true};
        Gate gate{&hold, &sink};
        FLVStreamDecoderHandle d = HeldVideoDecoder(sink, gate);
        FLVStreamDecoder_SetMaxFLVTagQueue(d, 2);
        ASSERT_EQ(FLVStreamDecoder_Run(d), 1);
        size_t i = 0;
        // Fill, let the worker take its first tag and block on it, fill again.
        while (i < tags.size() && FLVStreamDecoder_DeliverFLVPacket(d, tags[i])) ++i;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        while (i < tags.size() && FLVStreamDecoder_DeliverFLVPacket(d, tags[i])) ++i;
        ASSERT_LT(i, tags.size());
        EXPECT_EQ(FLVStreamDecoder_DeliverFLVPacketWait(d, tags[i], 30), 0);   // still full after the wait
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            // Terminate waits for the held worker, which the main thread frees.
            if (stop) FLVStreamDecoder_Terminate(d);
            else hold = false;
        });
        const auto start = Clock::now();
        EXPECT_EQ(FLVStreamDecoder_DeliverFLVPacketWait(d, tags[i], 5000), stop ? 0 : 1);
        EXPECT_LT(Seconds(start), 1.0);
        hold = false;
        other.join();
        FLVStreamDecoder_Terminate(d);
        FLVStreamDecoder_Delete(d);
        EXPECT_EQ(sink.released.load(), int(i) + (stop ? 0 : 1));
    }
    FreeTags(tags);
}

// A video thread far ahead of its audio brother is paused; Stop (which lets
// the audio fill the lead with silence) and Terminate both end it promptly.
TEST(DecoderThread, StopAndTerminateWhilePausedReturnPromptly) {
    std::vector<FLVTag*> tags = ReadOwnedTags(Fixture("flv1_mp3_160x120.flv"), 9);
    ASSERT_EQ(tags.size(), 75u);
    for (const bool terminate : {true, false}) {
        SCOPED_TRACE(terminate ? "Terminate" : "Stop");
        FLVStreamDecoderHandle video = FLVStreamDecoder_Create(1);
        FLVStreamDecoderHandle audio = FLVStreamDecoder_Create(0);
        Sink vs, as;
        vs.Attach(video);
        as.Attach(audio);
        FLVStreamDecoder_SetOutputSize(video, 160, 120);
        FLVStreamDecoder_SetSampleRate(audio, 5512);
        FLVStreamDecoder_SetNumberOfChannels(audio, 2);
        for (auto [a, b] : {std::pair{video, audio}, std::pair{audio, video}}) {
            FLVStreamDecoder_SetBrother(a, b);
            FLVStreamDecoder_SetMaxIntervalTime(a, 500);
        }
        ASSERT_EQ(FLVStreamDecoder_Run(video), 1);
        ASSERT_EQ(FLVStreamDecoder_Run(audio), 1);
        for (size_t i = 0; i < 40; ++i) ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(video, tags[i]), 1);
        WaitFor(vs.outputs, 38);   // the video is at 1.5 s
        OwnedTag pcm = OwnedTag::Pcm(0, 100);
        ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(audio, &pcm.tag), 1);
        WaitFor(as.outputs, 1);    // the audio at 0 pauses the video
        for (size_t i = 40; i < 75; ++i) ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(video, tags[i]), 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const int before = vs.outputs.load();
        EXPECT_LE(before, 41);     // paused, with frames still queued
        const auto start = Clock::now();
        EXPECT_EQ(terminate ? FLVStreamDecoder_Terminate(video) : FLVStreamDecoder_Stop(video), 1);
        EXPECT_LT(Seconds(start), 0.8);
        if (!terminate) {
            EXPECT_GE(vs.outputs.load(), 74);   // the queue was decoded
        }
        EXPECT_EQ(vs.released.load(), 75);
        FLVStreamDecoder_Terminate(audio);
        EXPECT_EQ(as.released.load(), 1);
        FLVStreamDecoder_Delete(video);
        FLVStreamDecoder_Delete(audio);
    }
    FreeTags(tags);
}

// A gap of 1 ms at 5512 Hz stereo is 5.5 sample frames: the silence is cut
// to whole frames, so the left and right samples after it stay in place.
TEST(DecoderThread, SilenceIsWholeSampleFrames) {
    FLVStreamDecoderHandle d = FLVStreamDecoder_Create(0);
    Sink sink;
    sink.Attach(d);
    FLVStreamDecoder_SetSampleRate(d, 5512);
    FLVStreamDecoder_SetNumberOfChannels(d, 2);
    ASSERT_EQ(FLVStreamDecoder_Run(d), 1);
    OwnedTag a = OwnedTag::Pcm(0, 10);
    OwnedTag gap = OwnedTag::EmptyAudio(10);
    OwnedTag b = OwnedTag::Pcm(11, 10);
    OwnedTag late = OwnedTag::EmptyAudio(20);
    OwnedTag c = OwnedTag::Pcm(520, 10);
    for (FLVTag* t : {&a.tag, &gap.tag, &b.tag, &late.tag, &c.tag})
        ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(d, t), 1);
    ASSERT_EQ(FLVStreamDecoder_DeliverEnd(d), 1);
    WaitFor(sink.ends, 1);
    EXPECT_EQ(FLVStreamDecoder_Stop(d), 1);
    for (int32_t s : sink.sizes) EXPECT_EQ(s % 4, 0) << s;
    // 1 ms is 5 frames, 500 ms is 2756 frames.
    ASSERT_EQ(sink.bytes.size(), size_t(10 + 5 + 10 + 2756 + 10) * 4);
    auto left = [&](size_t frame) { return int16_t(sink.bytes[frame * 4] | sink.bytes[frame * 4 + 1] << 8); };
    EXPECT_EQ(left(15), 1);
    EXPECT_EQ(left(16), 2);
    EXPECT_EQ(left(10 + 5 + 10 + 2756), 1);
    EXPECT_EQ(sink.released.load(), 5);
    EXPECT_EQ(sink.ends.load(), 1);
    FLVStreamDecoder_Delete(d);
}

// Sound that cannot be decoded still moves the clock, so the brother is not
// held back by it; sound in a format without a decoder reports empty blocks.
TEST(DecoderThread, ClockMovesPastSoundThatDoesNotDecode) {
    FLVStreamDecoderHandle d = FLVStreamDecoder_Create(0);
    Sink sink;
    sink.Attach(d);
    ASSERT_EQ(FLVStreamDecoder_Run(d), 1);
    OwnedTag bad = OwnedTag::Audio(2000, 0x2F, std::vector<uint8_t>(200, 0x5A));   // MP3, garbage
    OwnedTag alaw = OwnedTag::Audio(2500, 0x7E, {1, 2, 3, 4});                     // G.711: no decoder here
    ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(d, &bad.tag), 1);
    ASSERT_EQ(FLVStreamDecoder_DeliverFLVPacket(d, &alaw.tag), 1);
    ASSERT_EQ(FLVStreamDecoder_DeliverEnd(d), 1);
    WaitFor(sink.ends, 1);
    FLVStreamDecoder_Stop(d);
    // The undecodable block's 500 ms come out as silence once the next block
    // arrives; that one has no decoder and reports an empty block.
    ASSERT_FALSE(sink.sizes.empty());
    EXPECT_EQ(sink.sizes.back(), 0);
    EXPECT_EQ(sink.bytes.size(), 22050u * 4);
    EXPECT_TRUE(std::all_of(sink.bytes.begin(), sink.bytes.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(static_cast<CDecoderThread*>(d)->Clock(), 2500 * 10000);
    FLVStreamDecoder_Delete(d);
}

// Deleting a running thread stops it first and hands its tags back.
TEST(DecoderThread, DeleteWhileRunning) {
    std::vector<FLVTag*> tags = ReadOwnedTags(Fixture("flv1_mp3_160x120.flv"), 9);
    Sink sink;
    FLVStreamDecoderHandle d = FLVStreamDecoder_Create(1);
    sink.Attach(d);
    ASSERT_EQ(FLVStreamDecoder_Run(d), 1);
    for (FLVTag* t : tags) FLVStreamDecoder_DeliverFLVPacket(d, t);
    FLVStreamDecoder_Delete(d);
    EXPECT_EQ(sink.released.load(), int(tags.size()));
    FreeTags(tags);
}

// Sync mode: (10, 10, 110, 90) out of 320 x 240 is the 100 x 80 picture
// found there in the uncropped decode; bad tags decode to nothing.
TEST(DecoderThread, SyncDecodeCropsAndRefusesBadTags) {
    std::vector<FLVTag*> tags = ReadOwnedTags(Fixture("flv1_mp3_320x240.flv"), 9);
    ASSERT_FALSE(tags.empty());
    FLVStreamDecoderHandle whole = FLVStreamDecoder_Create(1);
    FLVStreamDecoderHandle cropped = FLVStreamDecoder_Create(1);
    for (auto d : {whole, cropped}) ASSERT_EQ(FLVStreamDecoder_SetDecodeSyncMode(d, 1), 1);
    FLVStreamDecoder_SetOutputSize(whole, 320, 240);
    FLVStreamDecoder_SetOutputSize(cropped, 100, 80);
    const FLVCropRect rect{10, 10, 110, 90};
    FLVStreamDecoder_SetCropRect(cropped, &rect);
    const uint8_t *a = nullptr, *b = nullptr;
    int32_t as = 0, bs = 0;
    ASSERT_EQ(FLVStreamDecoder_DecodeFLVTag(whole, tags[0], &a, &as), 1);
    ASSERT_EQ(FLVStreamDecoder_DecodeFLVTag(cropped, tags[0], &b, &bs), 1);
    ASSERT_EQ(as, 320 * 240 * 4);
    ASSERT_EQ(bs, 100 * 80 * 4);
    for (int y = 0; y < 80; ++y)
        ASSERT_EQ(std::memcmp(b + y * 400, a + ((y + 10) * 320 + 10) * 4, 400), 0) << y;

    // An odd output size goes through the scaler.
    FLVStreamDecoderHandle scaled = FLVStreamDecoder_Create(1);
    FLVStreamDecoder_SetDecodeSyncMode(scaled, 1);
    FLVStreamDecoder_SetOutputSize(scaled, 151, 97);
    FLVStreamDecoder_SetResizeMode(scaled, 2);
    const uint8_t* c = nullptr;
    int32_t cs = 0;
    ASSERT_EQ(FLVStreamDecoder_DecodeFLVTag(scaled, tags[0], &c, &cs), 1);
    EXPECT_EQ(cs, 151 * 97 * 4);
    FLVStreamDecoder_Delete(scaled);

    // Garbage in a key frame, and a delta frame before any key frame.
    std::vector<uint8_t> junk(300, 0xA5);
    junk[0] = 0x12;
    FLVTag bad{};
    bad.type = 9;
    bad.data = junk.data();
    bad.dataSize = uint32_t(junk.size() - 64);
    bad.videoPayload = junk.data() + 1;
    bad.videoPayloadSize = bad.dataSize - 1;
    bad.codecField1 = 1;
    bad.codecField2 = 2;
    bad.codecField3 = 320;
    bad.codecField4 = 240;
    EXPECT_EQ(FLVStreamDecoder_DecodeFLVTag(whole, &bad, &a, &as), 0);
    bad.codecField2 = 4;   // VP6 garbage
    EXPECT_EQ(FLVStreamDecoder_DecodeFLVTag(whole, &bad, &a, &as), 0);
    bad.codecField1 = 2;   // a delta frame cannot start a stream
    bad.codecField2 = 2;
    FLVStreamDecoderHandle fresh = cropped;
    cropped = FLVStreamDecoder_Create(1);
    FLVStreamDecoder_Delete(fresh);
    FLVStreamDecoder_SetDecodeSyncMode(cropped, 1);
    EXPECT_EQ(FLVStreamDecoder_DecodeFLVTag(cropped, &bad, &b, &bs), 0);
    EXPECT_EQ(FLVStreamDecoder_DecodeFLVTag(whole, nullptr, &a, &as), 0);
    FLVStreamDecoder_Delete(whole);
    FLVStreamDecoder_Delete(cropped);
    FreeTags(tags);
}
