#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framedec/framedec.h"

namespace {

struct VideoTag {
    int64_t timestamp;
    bool key;
    std::vector<uint8_t> data;   // after the codec byte
};

// Every video tag of a fixture with data, in file order.
std::vector<VideoTag> VideoTags(const std::string& name) {
    std::ifstream in(std::string(VELTRANO_FIXTURES_DIR) + "/" + name, std::ios::binary);
    const std::vector<uint8_t> f{std::istreambuf_iterator<char>(in), {}};
    std::vector<VideoTag> tags;
    size_t pos = 13;
    while (pos + 11 <= f.size()) {
        const uint32_t size = uint32_t(f[pos + 1]) << 16 | uint32_t(f[pos + 2]) << 8 | f[pos + 3];
        const int64_t ts = int64_t(f[pos + 4]) << 16 | int64_t(f[pos + 5]) << 8 | f[pos + 6] |
                           int64_t(f[pos + 7]) << 24;
        if (f[pos] == 9 && size > 1 && pos + 11 + size <= f.size())
            tags.push_back({ts, (f[pos + 11] >> 4) == 1,
                            {f.begin() + long(pos) + 12, f.begin() + long(pos) + 11 + size}});
        pos += 15 + size;
    }
    return tags;
}

std::vector<uint8_t> FirstVideoPayload(const std::string& name) {
    const auto tags = VideoTags(name);
    return tags.empty() ? std::vector<uint8_t>{} : tags.front().data;
}

int32_t CompositionTime(const std::vector<uint8_t>& avc) {
    uint32_t cts = uint32_t(avc[1]) << 16 | uint32_t(avc[2]) << 8 | avc[3];
    if (cts & 0x800000) cts |= 0xFF000000u;
    return int32_t(cts);
}

struct Decoded {
    int64_t pts;
    int width, height;
};

// Feeds every tag, then drains; the pictures in the order they came out.
std::vector<Decoded> DecodeAll(FdDecoder* d, const std::vector<VideoTag>& tags) {
    std::vector<Decoded> out;
    const uint8_t* pic = nullptr;
    int size = 0, w = 0, h = 0;
    int64_t pts = -1;
    for (const VideoTag& t : tags) {
        if (FlvDecoder_DecodeVideoEx(d, t.data.data(), int(t.data.size()), t.timestamp, t.key, &pic, &size,
                                     &w, &h, &pts)) {
            EXPECT_EQ(size, w * h * 4);
            out.push_back({pts, w, h});
        }
    }
    while (FlvDecoder_DecodeVideoEx(d, nullptr, 0, 0, 0, &pic, &size, &w, &h, &pts))
        out.push_back({pts, w, h});
    return out;
}

}  // namespace

TEST(FlvDecoder, DecodesAnH263KeyFrameToBgraAndItsLuma) {
    const auto payload = FirstVideoPayload("flv1_mp3_160x120.flv");
    ASSERT_FALSE(payload.empty());
    for (int format : {FD_IMAGE_BGRA32, FD_IMAGE_ALPHA8}) {
        FdDecoder* d = FlvDecoder_Create(1, 2);
        ASSERT_NE(d, nullptr);
        ASSERT_NE(FlvDecoder_Open(d, format, 160, 120), 0);
        const uint8_t* pic = nullptr;
        int size = 0, w = 0, h = 0;
        ASSERT_NE(FlvDecoder_DecodeVideo(d, payload.data(), int(payload.size()), &pic, &size, &w, &h), 0);
        EXPECT_EQ(w, 160);
        EXPECT_EQ(h, 120);
        EXPECT_EQ(size, 160 * 120 * (format == FD_IMAGE_BGRA32 ? 4 : 1));
        if (format == FD_IMAGE_BGRA32) {
            EXPECT_EQ(pic[3], 255);
        }
        FlvDecoder_Free(d);
    }
}

TEST(FlvDecoder, RefusesWhatItCannotDecode) {
    EXPECT_EQ(FlvDecoder_Create(1, 8), nullptr);   // no such FLV codec
    EXPECT_EQ(FlvDecoder_Create(1, 1), nullptr);
    EXPECT_EQ(FlvDecoder_Create(2, 2), nullptr);
    FdDecoder* d = FlvDecoder_Create(1, 4);
    ASSERT_NE(d, nullptr);
    const uint8_t junk[64] = {0xFF, 0x13, 0x77};
    const uint8_t* pic = nullptr;
    int size = 0, w = 0, h = 0;
    EXPECT_EQ(FlvDecoder_DecodeVideo(d, junk, sizeof junk, &pic, &size, &w, &h), 0);   // not open
    EXPECT_EQ(FlvDecoder_Open(d, 3, 16, 16), 0);
    ASSERT_NE(FlvDecoder_Open(d, FD_IMAGE_BGRA32, 16, 16), 0);
    EXPECT_EQ(FlvDecoder_DecodeVideo(d, junk, sizeof junk, &pic, &size, &w, &h), 0);
    EXPECT_EQ(FlvDecoder_DecodeVideo(d, nullptr, 10, &pic, &size, &w, &h), 0);
    EXPECT_NE(FlvDecoder_Close(d), 0);
    FlvDecoder_Free(d);
    FlvDecoder_Free(nullptr);
}

// B-frames: pictures come out in presentation order, each with the
// presentation time of its own tag (decode time + composition time), and the
// drain at the end brings out the pictures the decoder held back.
TEST(FlvDecoder, H264PicturesComeOutInPresentationOrderWithTheirTimes) {
    for (const char* name : {"h264_aac_bf2_160x120.flv", "h264_aac_160x120.flv"}) {
        SCOPED_TRACE(name);
        const auto tags = VideoTags(name);
        std::vector<int64_t> expected;   // presentation times of the picture tags
        for (const VideoTag& t : tags)
            if (t.data[0] == 1) expected.push_back(t.timestamp + CompositionTime(t.data));
        ASSERT_GT(expected.size(), 50u);
        ASSERT_FALSE(std::is_sorted(expected.begin(), expected.end())) << "stored out of order";
        std::sort(expected.begin(), expected.end());

        FdDecoder* d = FlvDecoder_Create(1, 7);
        ASSERT_NE(d, nullptr);
        ASSERT_NE(FlvDecoder_Open(d, FD_IMAGE_BGRA32, 160, 120), 0);
        const auto out = DecodeAll(d, tags);
        std::vector<int64_t> got;
        for (const Decoded& p : out) {
            EXPECT_EQ(p.width, 160);
            EXPECT_EQ(p.height, 120);
            got.push_back(p.pts);
        }
        EXPECT_EQ(got, expected);
        FlvDecoder_Free(d);
    }
}

// An end of sequence in the middle of a stream (two joined streams) completes
// the pictures held back; they are taken without draining the decoder, which
// goes on with the stream after it.
TEST(FlvDecoder, H264EndOfSequenceCompletesTheHeldPictures) {
    const auto tags = VideoTags("h264_aac_bf2_160x120.flv");
    FdDecoder* d = FlvDecoder_Create(1, 7);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(FlvDecoder_Open(d, FD_IMAGE_BGRA32, 160, 120), 0);
    const uint8_t* pic = nullptr;
    int size = 0, w = 0, h = 0;
    int64_t pts = 0;
    std::vector<int64_t> got;
    size_t fed = 0;
    for (const VideoTag& t : tags) {
        if (t.data[0] != 1 && fed > 0) break;   // the setup, then the pictures
        if (FlvDecoder_DecodeVideoEx(d, t.data.data(), int(t.data.size()), t.timestamp, t.key, &pic,
                                     &size, &w, &h, &pts))
            got.push_back(pts);
        fed += t.data[0] == 1;
    }
    ASSERT_LT(got.size(), fed) << "some pictures are still held back";
    const uint8_t eos[4] = {2, 0, 0, 0};
    EXPECT_EQ(FlvDecoder_DecodeVideoEx(d, eos, 4, 0, 1, &pic, &size, &w, &h, &pts), 0);
    while (FlvDecoder_TakePicture(d, &pic, &size, &w, &h, &pts)) got.push_back(pts);
    EXPECT_EQ(got.size(), fed);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    // The same stream once more, as a join would continue it.
    const auto again = DecodeAll(d, tags);
    EXPECT_EQ(again.size(), fed);
    FlvDecoder_Free(d);
}

// After a flush (a seek) nothing of the old position comes out, and decoding
// goes on from the next key frame with the setup it already has.
TEST(FlvDecoder, H264FlushForgetsHeldPicturesAndKeepsTheSetup) {
    const auto tags = VideoTags("h264_aac_bf2_160x120.flv");
    FdDecoder* d = FlvDecoder_Create(1, 7);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(FlvDecoder_Open(d, FD_IMAGE_BGRA32, 160, 120), 0);
    const uint8_t* pic = nullptr;
    int size = 0, w = 0, h = 0;
    int64_t pts = 0;
    size_t i = 0, keys = 0;
    for (; i < tags.size() && keys < 2; ++i) {   // up to the second picture key frame
        if (tags[i].key && tags[i].data[0] == 1 && ++keys == 2) break;
        FlvDecoder_DecodeVideoEx(d, tags[i].data.data(), int(tags[i].data.size()), tags[i].timestamp,
                                 tags[i].key, &pic, &size, &w, &h, &pts);
    }
    ASSERT_LT(i, tags.size());
    ASSERT_NE(FlvDecoder_Flush(d), 0);
    EXPECT_EQ(FlvDecoder_DecodeVideoEx(d, nullptr, 0, 0, 0, &pic, &size, &w, &h, &pts), 0);
    const int64_t keyPts = tags[i].timestamp + CompositionTime(tags[i].data);
    std::vector<int64_t> got;
    for (; i < tags.size(); ++i)
        if (FlvDecoder_DecodeVideoEx(d, tags[i].data.data(), int(tags[i].data.size()),
                                     tags[i].timestamp, tags[i].key, &pic, &size, &w, &h, &pts))
            got.push_back(pts);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.front(), keyPts);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    FlvDecoder_Free(d);
}

// Damaged H.264 data: no picture and no crash, and a good setup afterwards
// still starts the stream.
TEST(FlvDecoder, H264RefusesDamagedPacketsAndRecovers) {
    const auto tags = VideoTags("h264_aac_bf2_160x120.flv");
    ASSERT_EQ(tags[0].data[0], 0) << "the first video tag is the sequence header";
    const std::vector<uint8_t>& setup = tags[0].data;
    const std::vector<uint8_t>& key = tags[1].data;
    const std::vector<std::vector<uint8_t>> damaged = {
        {1},                                                        // shorter than its header
        {1, 0, 0},                                                  // composition time cut
        {1, 0, 0, 0},                                               // no NAL units
        {0, 0, 0, 0, 1, 0x64},                                      // setup cut after its version
        std::vector<uint8_t>(setup.begin(), setup.begin() + 12),    // setup cut inside the SPS
        {1, 0, 0, 0, 0, 0, 0, 40, 0x65, 0x88},                      // NAL length past the end
        {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x65},
        {2, 0, 0, 0},                                               // end of sequence, nothing held
    };
    FdDecoder* d = FlvDecoder_Create(1, 7);
    ASSERT_NE(d, nullptr);
    ASSERT_NE(FlvDecoder_Open(d, FD_IMAGE_BGRA32, 160, 120), 0);
    const uint8_t* pic = nullptr;
    int size = 0, w = 0, h = 0;
    int64_t pts = 0;
    // Pictures before any setup cannot be decoded.
    EXPECT_EQ(FlvDecoder_DecodeVideoEx(d, key.data(), int(key.size()), 0, 1, &pic, &size, &w, &h, &pts), 0);
    for (const auto& bad : damaged) {
        EXPECT_EQ(FlvDecoder_DecodeVideoEx(d, bad.data(), int(bad.size()), 0, 0, &pic, &size, &w, &h, &pts), 0);
        EXPECT_EQ(FlvDecoder_DecodeVideoEx(d, key.data(), int(key.size()), 0, 1, &pic, &size, &w, &h, &pts), 0);
    }
    const auto out = DecodeAll(d, tags);
    EXPECT_GT(out.size(), 50u);
    FlvDecoder_Free(d);
}

// Screen video and screen video 2: every key frame and the frames between
// them decode to the declared size.
TEST(FlvDecoder, DecodesScreenVideo) {
    struct Case { const char* file; int codec; } cases[] = {
        {"flashsv_speex_160x120.flv", 3}, {"flashsv2_160x120.flv", 6}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto tags = VideoTags(c.file);
        ASSERT_GT(tags.size(), 10u);
        FdDecoder* d = FlvDecoder_Create(1, c.codec);
        ASSERT_NE(d, nullptr);
        ASSERT_NE(FlvDecoder_Open(d, FD_IMAGE_BGRA32, 160, 120), 0);
        const auto out = DecodeAll(d, tags);
        EXPECT_EQ(out.size(), tags.size());
        for (size_t i = 0; i < out.size(); ++i) {
            EXPECT_EQ(out[i].width, 160);
            EXPECT_EQ(out[i].height, 120);
            EXPECT_EQ(out[i].pts, tags[i].timestamp) << "no reordering: the tag's own time";
        }
        FlvDecoder_Free(d);
    }
}
