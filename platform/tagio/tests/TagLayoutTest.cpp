// Where a tag's codec data lies in each header form, built byte by byte: the
// older header, the extended one with modifier blocks, command frames,
// multitrack tags (counted even when read only in part), and headers cut
// short; then setups and self-describing sound read through the layout.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tagio/tagio.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }
Bytes Be24(uint32_t v) { return {uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
Bytes Zeros(size_t n) { return Bytes(n, 0); }

struct Case {
    const char* name;
    uint32_t type;
    Bytes data;
    uint32_t available;   // 0: all of it
    int ok;
    uint32_t codec, frameType, packetType;
    int32_t cts;
    uint32_t offset, size, tracks, known;
};

}  // namespace

TEST(TagLayout, EveryHeaderForm) {
    const Bytes frame = {0xAA, 0xBB, 0xCC};
    const Case cases[] = {
        // The older header: HEVC by CodecID 12 is laid out as AVC.
        {"avc picture", 9, Cat({{0x17, 1}, Be24(40), frame}), 0, 1, 7, 1, 1, 40, 5, 3, 1, 1},
        {"hevc 12 setup", 9, Cat({{0x1C, 0}, Be24(0), frame}), 0, 1, 12, 1, 0, 0, 5, 3, 1, 1},
        {"hevc 12 negative cts", 9, Cat({{0x2C, 1}, Be24(0xFFFFD8), frame}), 0, 1, 12, 2, 1, -40, 5, 3, 1, 1},
        {"cts beyond 4 s is damage", 9, Cat({{0x2C, 1}, Be24(5000), frame}), 0, 1, 12, 2, 1, 0, 5, 3, 1, 1},
        {"h263", 9, Cat({{0x22}, frame}), 0, 1, 2, 2, 0, 0, 1, 3, 1, 1},
        {"aac", 8, Cat({{0xAF, 1}, frame}), 0, 1, 10, 0, 1, 0, 2, 3, 1, 1},
        {"mp3", 8, Cat({{0x2F}, frame}), 0, 1, 2, 0, 0, 0, 1, 3, 1, 1},
        // The extended header: FourCC, packet type in the low bits.
        {"hvc1 coded frames", 9, Cat({{0x91}, Text("hvc1"), Be24(80), frame}), 0, 1, TagioFourccHevc, 1, 1, 80,
         8, 3, 1, 1},
        {"hvc1 coded frames x", 9, Cat({{0xA3}, Text("hvc1"), frame}), 0, 1, TagioFourccHevc, 2, 1, 0, 5, 3, 1, 1},
        {"av01 frames carry no cts", 9, Cat({{0x91}, Text("av01"), frame}), 0, 1, TagioFourccAv1, 1, 1, 0, 5, 3,
         1, 1},
        {"vp09 setup", 9, Cat({{0x90}, Text("vp09"), frame}), 0, 1, TagioFourccVp9, 1, 0, 0, 5, 3, 1, 1},
        {"sequence end", 9, Cat({{0x92}, Text("av01")}), 0, 1, TagioFourccAv1, 1, 2, 0, 5, 0, 1, 1},
        {"metadata", 9, Cat({{0x94}, Text("hvc1"), frame}), 0, 1, TagioFourccHevc, 1, TagioPacketNoMedia, 0, 5, 3,
         1, 1},
        {"ts sequence start", 9, Cat({{0x95}, Text("av01"), frame}), 0, 1, TagioFourccAv1, 1, TagioPacketNoMedia,
         0, 5, 3, 1, 1},
        {"command frame", 9, Cat({{0xD1}, {0x01}}), 0, 1, 0, 5, TagioPacketNoMedia, 0, 1, 0, 1, 1},
        // A modifier block (ModEx: size - 1, data, kind and the real packet type) is passed over.
        {"modex", 9, Cat({{0x97, 2, 0, 0, 9, 0x01}, Text("hvc1"), Be24(40), frame}), 0, 1, TagioFourccHevc, 1, 1,
         40, 13, 3, 1, 1},
        {"modex 16-bit size", 9, Cat({{0x97, 0xFF, 0x00, 0x02, 1, 2, 3, 0x03}, Text("av01"), frame}), 0, 1,
         TagioFourccAv1, 1, 1, 0, 12, 3, 1, 1},
        {"modex past the end", 9, Bytes{0x97, 10, 1, 2}, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1},
        // Multitrack: the first track is described, the others counted.
        {"one track", 9, Cat({{0x96, 0x01}, Text("vp09"), {7}, frame}), 0, 1, TagioFourccVp9, 1, 1, 0, 7, 3, 1, 1},
        {"many tracks", 9,
         Cat({{0x96, 0x11}, Text("hvc1"), {0}, Be24(6), Be24(40), frame, {1}, Be24(6), Be24(0), frame}), 0, 1,
         TagioFourccHevc, 1, 1, 40, 13, 3, 2, 1},
        {"many tracks read in part", 9,
         Cat({{0x96, 0x11}, Text("hvc1"), {0}, Be24(6), Be24(40), frame, {1}, Be24(6), Be24(0), frame}), 16, 1,
         TagioFourccHevc, 1, 1, 40, 13, 3, 2, 1},
        {"many tracks many codecs", 8,
         Cat({{0x95, 0x21}, Text("Opus"), {0}, Be24(3), frame, Text("fLaC"), {1}, Be24(3), frame}), 0, 1,
         TagioFourccOpus, 0, 1, 0, 10, 3, 2, 1},
        {"track size past the end", 9, Cat({{0x96, 0x11}, Text("hvc1"), {0}, Be24(600), frame}), 0, 0,
         TagioFourccHevc, 1, 0, 0, 0, 0, 1, 1},
        {"multitrack inside multitrack", 9, Cat({{0x96, 0x16}, Text("hvc1"), {0}}), 0, 0, 0, 1, 0, 0, 0, 0, 1, 1},
        // Sound by FourCC.
        {"opus setup", 8, Cat({{0x90}, Text("Opus"), frame}), 0, 1, TagioFourccOpus, 0, 0, 0, 5, 3, 1, 1},
        {"ec-3 frames", 8, Cat({{0x91}, Text("ec-3"), frame}), 0, 1, TagioFourccEac3, 0, 1, 0, 5, 3, 1, 1},
        {"channel layout", 8, Cat({{0x94}, Text("Opus"), {1, 2}}), 0, 1, TagioFourccOpus, 0, TagioPacketNoMedia, 0,
         5, 2, 1, 1},
        // A FourCC nobody knows is read and named, and marked unknown.
        {"unknown video", 9, Cat({{0x91}, Text("vvc1"), frame}), 0, 1, TAGIO_FOURCC('v', 'v', 'c', '1'), 1, 1, 0,
         5, 3, 1, 0},
        {"unknown sound", 8, Cat({{0x91}, Text("mp4a"), frame}), 0, 1, TAGIO_FOURCC('m', 'p', '4', 'a'), 0, 1, 0, 5,
         3, 1, 0},
        {"fourcc cut short", 9, Bytes{0x91, 'h', 'v'}, 0, 0, 0, 1, 0, 0, 0, 0, 1, 1},
        {"hvc1 cts cut short", 9, Cat({{0x91}, Text("hvc1"), {0}}), 0, 0, TagioFourccHevc, 1, 1, 0, 0, 0, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t size = uint32_t(c.data.size());
        // Exactly the bytes said to be read: anything beyond is out of bounds.
        const uint32_t available = c.available ? c.available : size;
        const Bytes read(c.data.begin(), c.data.begin() + available);
        TagioTagLayout l;
        EXPECT_EQ(Flv_ReadTagLayout(c.type, read.data(), available, size, &l), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(l.codec, c.codec);
        EXPECT_EQ(l.frameType, c.frameType);
        EXPECT_EQ(l.packetType, c.packetType);
        EXPECT_EQ(l.compositionTime, c.cts);
        EXPECT_EQ(l.payloadOffset, c.offset);
        EXPECT_EQ(l.payloadSize, c.size);
        EXPECT_EQ(l.trackCount, c.tracks);
        EXPECT_EQ(l.known, c.known);
        EXPECT_EQ(l.extended, Flv_IsFourcc(l.codec) || c.frameType == 5 ? 1u : 0u);
    }
}

// Setups read through the layout, in the extended forms; a record cut short
// is refused rather than read past.
TEST(TagLayout, SetupsOfTheFourccCodecs) {
    const Bytes opusHead = Cat({Text("OpusHead"), {1, 2, 0x38, 0x01, 0x80, 0xBB, 0, 0, 0, 0, 0}});
    TagioCodecSetup s;
    Bytes tag = Cat({{0x90}, Text("Opus"), opusHead});
    ASSERT_EQ(Flv_ReadCodecSetup(8, tag.data(), uint32_t(tag.size()), &s), 1);
    EXPECT_EQ(s.codec, int32_t(TagioFourccOpus));
    EXPECT_EQ(s.sampleRate, 48000);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(Flv_ReadCodecSetup(8, tag.data(), uint32_t(tag.size() - 1), &s), 0);
    EXPECT_EQ(s.sampleRate, 0);

    // STREAMINFO: 44100 Hz (20 bits), 2 channels (3 bits, minus 1), 16 bits (5 bits, minus 1).
    Bytes info = Zeros(34);
    info[10] = 0x0A;
    info[11] = 0xC4;
    info[12] = 0x42;
    info[13] = 0xF0;
    tag = Cat({{0x90}, Text("fLaC"), Text("fLaC"), {0x80}, Be24(34), info});
    ASSERT_EQ(Flv_ReadCodecSetup(8, tag.data(), uint32_t(tag.size()), &s), 1);
    EXPECT_EQ(s.sampleRate, 44100);
    EXPECT_EQ(s.channels, 2);
    EXPECT_EQ(s.bitDepth, 16);

    // A VP9 record declares no size; a setup packet of a codec without one is refused.
    tag = Cat({{0x90}, Text("vp09"), {0, 10, 0x82, 2, 2, 2, 0, 0}});
    ASSERT_EQ(Flv_ReadCodecSetup(9, tag.data(), uint32_t(tag.size()), &s), 1);
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(s.bitDepth, 8);
    tag = Cat({{0x90}, Text("vvc1"), {1, 2, 3}});
    EXPECT_EQ(Flv_ReadCodecSetup(9, tag.data(), uint32_t(tag.size()), &s), 0);
    // An HEVC record whose parameter set runs past its end.
    tag = Cat({{0x90}, Text("hvc1"), {1}, Zeros(21), {1, 0x21, 0, 1, 0, 200, 0x42, 0x01}});
    EXPECT_EQ(Flv_ReadCodecSetup(9, tag.data(), uint32_t(tag.size()), &s), 0);
}

// AC-3 and E-AC-3 frames say their rate, channels and length; a block of
// several frames lasts as long as all of them.
TEST(TagLayout, SelfDescribingSound) {
    // AC-3, 48 kHz, 192 kbit/s (code 20: 384 words), acmod 2 (stereo), no LFE.
    Bytes ac3 = Zeros(768);
    ac3[0] = 0x0B;
    ac3[1] = 0x77;
    ac3[4] = 0x00 | 20;
    ac3[5] = 8 << 3;
    ac3[6] = 2 << 5;
    int32_t rate = 0, channels = 0;
    ASSERT_EQ(Flv_ReadSoundFrameFormat(TagioFourccAc3, ac3.data(), uint32_t(ac3.size()), &rate, &channels), 1);
    EXPECT_EQ(rate, 48000);
    EXPECT_EQ(channels, 2);
    const Bytes two = Cat({ac3, ac3});
    EXPECT_EQ(CalcFLVAudioBlockDuration(two.data(), uint32_t(two.size()), int(TagioFourccAc3), 0, 2, 2),
              2 * 1536 * 10000000LL / 48000);
    // E-AC-3: 6 blocks of 256 at 48 kHz, acmod 7 (3/2) with LFE: 5.1.
    Bytes eac3 = Zeros(16);
    eac3[0] = 0x0B;
    eac3[1] = 0x77;
    eac3[2] = 0x00;
    eac3[3] = 7;   // 8 words
    eac3[4] = 0x30 | 7 << 1 | 1;
    eac3[5] = 16 << 3;
    ASSERT_EQ(Flv_ReadSoundFrameFormat(TagioFourccEac3, eac3.data(), uint32_t(eac3.size()), &rate, &channels), 1);
    EXPECT_EQ(rate, 48000);
    EXPECT_EQ(channels, 6);
    EXPECT_EQ(CalcFLVAudioBlockDuration(eac3.data(), uint32_t(eac3.size()), int(TagioFourccEac3), 0, 2, 2),
              1536 * 10000000LL / 48000);
    // Opus: TOC config 31 (CELT 20 ms), one frame; code 3 with 3 frames.
    const Bytes opus = {31 << 3, 0x11}, opus3 = {31 << 3 | 3, 3};
    EXPECT_EQ(CalcFLVAudioBlockDuration(opus.data(), 2, int(TagioFourccOpus), 0, 2, 2), 200000);
    EXPECT_EQ(CalcFLVAudioBlockDuration(opus3.data(), 2, int(TagioFourccOpus), 0, 2, 2), 600000);
    // Not a frame: unknown length, no format.
    const Bytes junk = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(Flv_ReadSoundFrameFormat(TagioFourccAc3, junk.data(), 8, &rate, &channels), 0);
    EXPECT_EQ(CalcFLVAudioBlockDuration(junk.data(), 8, int(TagioFourccAc3), 0, 2, 2), -1);
}

// Found by the layout fuzzer: an AVC setup whose scaling list deltas are huge
// (damage) once overflowed the running sum; it is read without overflow.
TEST(TagLayout, DamagedAvcScalingListReadsWithoutOverflow) {
    const Bytes tag = {0x27, 0x00, 0x07, 0x48, 0x4c, 0x01, 0xc1, 0x72, 0xb4, 0x3d, 0x41, 0x00, 0x29, 0xa7,
                       0xf4, 0x74, 0x74, 0x74, 0x74, 0x74, 0x74, 0x64, 0x74, 0x74, 0x74, 0x74, 0x74, 0x74,
                       0x74, 0x74, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0xff, 0x64, 0x74, 0x74,
                       0x74, 0x74, 0x74, 0x74, 0x74, 0x74, 0xf1, 0x2f, 0xff, 0xff, 0xff, 0x92};
    TagioCodecSetup s;
    EXPECT_EQ(Flv_ReadCodecSetup(9, tag.data(), uint32_t(tag.size()), &s), 0);
}
