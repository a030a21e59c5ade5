// The memory source and the decoding of headers and codec fields.
#include <gtest/gtest.h>

#include <cstring>

#include "FLVTagCodec.h"
#include "ReadAble.h"
#include "TestSupport.h"

namespace {

TEST(BufferReadAble, ReadsWithinTheBlockWhereverSeekPoints) {
    const char block[] = "0123456789";
    CBufferReadAble src(block, 10);
    char out[16] = {};
    EXPECT_EQ(src.Read(out, 4), 4u);
    EXPECT_EQ(std::string(out, 4), "0123");
    EXPECT_EQ(src.Seek(-2, 2), 8);
    EXPECT_EQ(src.Read(out, 16), 2u) << "only what remains";
    EXPECT_EQ(src.Read(out, 16), 0u);
    EXPECT_EQ(src.Seek(-100, 1), -90);
    EXPECT_EQ(src.Read(out, 4), 0u) << "before the block: nothing, no wild read";
    EXPECT_EQ(src.Seek(INT64_MAX, 0), INT64_MAX);
    EXPECT_EQ(src.Read(out, 4), 0u);
    EXPECT_EQ(src.Seek(3, 0), 3);
    EXPECT_EQ(src.Read(out, 1), 1u);
    EXPECT_EQ(out[0], '3');
    try {
        src.Seek(0, 3);
        FAIL() << "an unknown origin must throw";
    } catch (const CReadAbleError& e) {
        EXPECT_STREQ(e.what(), "Buffer Read Able Seek Error!");
    }
}

TEST(FLVHeader, AcceptsOnlyTheSignatureAndASaneDataOffset) {
    struct Case { std::vector<uint8_t> bytes; bool ok; } cases[] = {
        {{'F', 'L', 'V', 1, 5, 0, 0, 0, 9}, true},
        {{'F', 'L', 'V', 1, 5, 0, 0, 1, 0}, true},        // header padded to 256 bytes
        {{'F', 'L', 'X', 1, 5, 0, 0, 0, 9}, false},
        {{'F', 'L', 'V', 1, 5, 0, 0, 0, 4}, false},       // DataOffset - 5 would go negative
        {{'F', 'L', 'V', 1, 5, 0, 0, 0}, false},          // short
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        CBufferReadAble src(cases[i].bytes.data(), int64_t(cases[i].bytes.size()));
        FLVFileHeader h;
        EXPECT_EQ(DecodeFLVHeader(src, h), cases[i].ok) << i;
        if (cases[i].ok) {
            EXPECT_EQ(h.version, 1);
            EXPECT_TRUE(h.hasAudio && h.hasVideo);
        }
    }
}

// Decodes one tag (type, data) the way the parser and the reader do.
FLVTag Decode(uint8_t type, const std::vector<uint8_t>& data) {
    FlvBuilder b;
    b.Tag(type, 0x01020304, data);
    const uint8_t* header = b.bytes.data() + 13;
    CBufferReadAble src(header, 11);
    FLVTag t{};
    EXPECT_TRUE(DecodeTagHeader(src, t));
    EXPECT_TRUE(LoadTagBuffer(t, header, t.dataSize));
    DecodeTagBody(t, header + 11, t.dataSize);
    return t;
}

TEST(TagFields, AudioByteAndHeaderFields) {
    FLVTag t = Decode(8, {0x2F, 1, 2, 3});
    EXPECT_EQ(t.type, 8u);
    EXPECT_EQ(t.timestamp, 0x01020304u) << "TimestampExtended is the high byte";
    EXPECT_EQ(t.dataSize, 4u);
    EXPECT_EQ(t.tagSize, 19u);
    EXPECT_EQ(t.codecField1, 2u);   // MP3
    EXPECT_EQ(t.codecField2, 3u);   // 44100
    EXPECT_EQ(t.codecField3, 1u);   // 16-bit
    EXPECT_EQ(t.codecField4, 1u);   // stereo
    ASSERT_EQ(t.audioPayloadSize, 3u);
    EXPECT_EQ(t.audioPayload, t.data + 1);
    EXPECT_EQ(t.data, t.buffer + 11);
    EXPECT_EQ(std::memcmp(t.buffer + 4, "\x02\x03\x04\x01", 4), 0);
    UnloadTag(t);
}

TEST(TagFields, PictureSizesOfKeyFramesByCodec) {
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        uint32_t width, height;
    } cases[] = {
        {"H.263 160x120", {0x12, 0x00, 0x00, 0x80, 0x03, 0x00}, 160, 120},
        {"H.263 320x240", {0x12, 0x00, 0x00, 0x80, 0x02, 0x80}, 320, 240},
        // PictureSize 0: 8-bit width 100 and height 50 follow
        {"H.263 custom 8-bit", {0x12, 0x00, 0x00, 0x80, 0x00, 0x32, 0x19, 0x00}, 100, 50},
        // PictureSize 1: 16-bit width 1000 and height 600 follow
        {"H.263 custom 16-bit", {0x12, 0x00, 0x00, 0x80, 0x00, 0x81, 0xF4, 0x01, 0x2C, 0x00}, 1000, 600},
        {"H.263 cut short", {0x12, 0x00, 0x00}, 0, 0},
        {"H.263 custom cut short", {0x12, 0x00, 0x00, 0x80, 0x00, 0x81, 0xF4}, 0, 0},
        {"H.263 inter frame", {0x22, 0x00, 0x00, 0x80, 0x03, 0x00}, 0, 0},
        {"screen video", {0x13, 0x31, 0x40, 0x40, 0xF0}, 0x140, 0x0F0},
        // VP6: adjust 0x12; bytes 0x00 0x06 need no skip; 8 rows, 10 columns
        {"VP6", {0x14, 0x12, 0x00, 0x06, 0x08, 0x0A}, 10 * 16 - 1, 8 * 16 - 2},
        {"VP6 with skipped field", {0x14, 0x00, 0x01, 0x00, 0, 0, 0x05, 0x07}, 7 * 16, 5 * 16},
        {"VP6 cut short", {0x14, 0x00, 0x00, 0x06}, 0, 0},
        {"VP6 alpha", {0x15, 0x00, 0, 0, 4, 0x00, 0x06, 0x02, 0x03, 0xAA}, 3 * 16, 2 * 16},
        {"H.264 setup without its record", {0x17, 0x00, 0, 0, 0}, 0, 0},
        {"H.264 key picture: the size is in the setup only", {0x17, 0x01, 0, 0, 0, 0, 0, 0, 1, 0x65}, 0, 0},
    };
    for (const auto& c : cases) {
        FLVTag t = Decode(9, c.data);
        EXPECT_EQ(t.codecField3, c.width) << c.what;
        EXPECT_EQ(t.codecField4, c.height) << c.what;
        EXPECT_EQ(t.videoPayloadSize, c.data.size() - 1) << c.what;
        UnloadTag(t);
    }
}

TEST(TagFields, Vp6AlphaOffsetIsCheckedAgainstTheData) {
    FLVTag good = Decode(9, {0x15, 0x00, 0, 0, 2, 0xC1, 0xC2, 0xA1});
    EXPECT_EQ(good.alphaOffset, 2u);
    EXPECT_EQ(good.vp6Payload, good.data + 5);
    EXPECT_EQ(good.vp6PayloadSize, 2u);
    ASSERT_EQ(good.alphaPayloadSize, 1u);
    EXPECT_EQ(good.alphaPayload[0], 0xA1);
    UnloadTag(good);

    FLVTag bad = Decode(9, {0x15, 0x00, 0xFF, 0xFF, 0xFF, 0xC1, 0xC2});
    EXPECT_EQ(bad.alphaOffset, 0xFFFFFFu);
    EXPECT_EQ(bad.alphaPayload, nullptr) << "an offset past the data yields no payload";
    EXPECT_EQ(bad.vp6Payload, nullptr);
    EXPECT_EQ(bad.alphaPayloadSize, 0u);
    UnloadTag(bad);
}

}  // namespace

// AVC and AAC tags: the packet type after the codec byte, and for AVC the
// signed 24-bit composition time; fields a short tag lacks stay 0.
TEST(TagFields, PacketTypeAndCompositionTime) {
    struct Case {
        const char* what;
        uint8_t type;
        std::vector<uint8_t> data;
        uint32_t packetType;
        int32_t compositionTime;
    } cases[] = {
        {"AVC picture", 9, {0x27, 0x01, 0x00, 0x00, 0x50, 0, 0, 0, 1, 0x41}, 1, 80},
        {"AVC picture shown earlier", 9, {0x27, 0x01, 0xFF, 0xFF, 0xD8, 0, 0}, 1, -40},
        {"AVC end of sequence", 9, {0x17, 0x02, 0, 0, 0}, 2, 0},
        {"AVC codec byte only", 9, {0x27}, 0, 0},
        {"AVC composition time cut", 9, {0x27, 0x01, 0x00, 0x50}, 1, 0},
        {"not AVC", 9, {0x22, 0x01, 0x00, 0x00, 0x50}, 0, 0},
        {"AAC setup", 8, {0xAF, 0x00, 0x12, 0x10}, 0, 0},
        {"AAC frame", 8, {0xAF, 0x01, 0x21}, 1, 0},
        {"AAC format byte only", 8, {0xAF}, 0, 0},
        {"MP3", 8, {0x2F, 0x01, 0x02}, 0, 0},
    };
    for (const auto& c : cases) {
        FLVTag t = Decode(c.type, c.data);
        EXPECT_EQ(t.packetType, c.packetType) << c.what;
        EXPECT_EQ(t.compositionTime, c.compositionTime) << c.what;
        UnloadTag(t);
    }
}
