#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framedec/framedec.h"

namespace {

// Video data (after the codec byte) of the first video tag of a fixture.
std::vector<uint8_t> FirstVideoPayload(const std::string& name) {
    std::ifstream in(std::string(VELTRANO_FIXTURES_DIR) + "/" + name, std::ios::binary);
    const std::vector<uint8_t> f{std::istreambuf_iterator<char>(in), {}};
    size_t pos = 13;
    while (pos + 11 <= f.size()) {
        const uint32_t size = uint32_t(f[pos + 1]) << 16 | uint32_t(f[pos + 2]) << 8 | f[pos + 3];
        if (f[pos] == 9 && size > 1 && pos + 11 + size <= f.size())
            return {f.begin() + long(pos) + 12, f.begin() + long(pos) + 11 + size};
        pos += 15 + size;
    }
    return {};
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
    EXPECT_EQ(FlvDecoder_Create(1, 7), nullptr);   // H.264 is not an FLV-era codec here
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
