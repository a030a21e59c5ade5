// The byte FIFO, the scaler and the row operations.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "avkit/avkit.h"

namespace {

TEST(DataBuffer, KeepsOrderAcrossWrapAndGrowth) {
    AvkDataBuffer* b = DB2_Create();
    std::vector<uint8_t> in(3000), out(10000);
    uint8_t next = 0, expect = 0;
    // Pushes of 3000 and reads of 2500 make the ring wrap, then grow while wrapped.
    for (int round = 0; round < 8; ++round) {
        for (auto& v : in) v = next++;
        ASSERT_EQ(DB2_Push(b, in.data(), 3000), 3000);
        const int got = DB2_Read(b, out.data(), 2500);
        ASSERT_EQ(got, 2500);
        for (int i = 0; i < got; ++i) ASSERT_EQ(out[i], expect++) << "round " << round;
    }
    EXPECT_EQ(DB2_GetDataSize(b), 8 * 500);
    EXPECT_EQ(DB2_Read(b, out.data(), 100000), 4000) << "a read returns only what is held";
    EXPECT_EQ(DB2_Read(b, out.data(), 10), 0);
    DB2_Push(b, in.data(), 10);
    DB2_Clear(b);
    EXPECT_EQ(DB2_GetDataSize(b), 0);
    EXPECT_EQ(DB2_Push(b, in.data(), 0), 0);
    DB2_Delete(b);
}

TEST(DataBuffer, MutexFormCarriesBytesBetweenThreads) {
    AvkDataBuffer* b = DB2_CreateWithMutex();
    constexpr int kTotal = 1 << 20;
    std::thread writer([b] {
        uint8_t chunk[777];
        for (int sent = 0; sent < kTotal;) {
            const int n = std::min<int>(sizeof chunk, kTotal - sent);
            for (int i = 0; i < n; ++i) chunk[i] = uint8_t((sent + i) * 7);
            DB2_Push(b, chunk, n);
            sent += n;
        }
    });
    uint8_t buf[1000];
    bool inOrder = true;
    for (int got = 0; got < kTotal;) {
        const int n = DB2_Read(b, buf, sizeof buf);
        for (int i = 0; i < n; ++i) inOrder &= buf[i] == uint8_t((got + i) * 7);
        got += n;
        if (n == 0) std::this_thread::yield();
    }
    writer.join();
    EXPECT_TRUE(inOrder);
    DB2_Delete(b);
}

TEST(Resizer, ScalesASolidPictureToTheSameColour) {
    const int w = 64, h = 48;
    std::vector<uint8_t> in(w * h * 4), out(32 * 24 * 4, 0);
    for (size_t i = 0; i < in.size(); i += 4) {
        in[i] = 200; in[i + 1] = 100; in[i + 2] = 50; in[i + 3] = 255;
    }
    for (int mode : {0, 1, 2, 3}) {
        AvkResizer* r = VRes_CreateByResizeMode(w, h, 32, 24, AVK_IMAGE_BGRA32, mode);
        ASSERT_NE(r, nullptr);
        ASSERT_EQ(VRes_Resize(r, in.data(), out.data()), 1);
        for (size_t i = 0; i < out.size(); i += 4) {
            ASSERT_NEAR(out[i], 200, 4) << mode;
            ASSERT_NEAR(out[i + 1], 100, 4) << mode;
            ASSERT_NEAR(out[i + 2], 50, 4) << mode;
        }
        VRes_Free(r);
    }
    EXPECT_EQ(VRes_CreateByResizeMode(0, 48, 32, 24, AVK_IMAGE_BGRA32, 0), nullptr);
    EXPECT_EQ(VRes_CreateByResizeMode(64, 48, 32, 24, 99, 0), nullptr);
}

TEST(PictureRows, CropCopiesTheClippedRectangleAndSwapReversesRows) {
    // 4x3 picture, one byte per pixel for readability: value = 10*row + column.
    const uint8_t src[12] = {0, 1, 2, 3, 10, 11, 12, 13, 20, 21, 22, 23};
    uint8_t dst[12] = {};
    AvkRect r{1, 1, 3, 3};
    ASSERT_EQ(VideoEncoder_Crop(dst, &r, src, 4, 3, 4, 1), 1);
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 4), (std::vector<uint8_t>{11, 12, 21, 22}));
    AvkRect past{2, 2, 9, 9};   // clipped to the picture
    ASSERT_EQ(VideoEncoder_Crop(dst, &past, src, 4, 3, 4, 1), 1);
    EXPECT_EQ(std::vector<uint8_t>(dst, dst + 2), (std::vector<uint8_t>{22, 23}));
    AvkRect empty{3, 1, 3, 2};
    EXPECT_EQ(VideoEncoder_Crop(dst, &empty, src, 4, 3, 4, 1), 0);

    uint8_t pic[12];
    std::copy(src, src + 12, pic);
    VideoEncoder_SwapImageRowOrderInPlace(pic, 4, 3);
    EXPECT_EQ(std::vector<uint8_t>(pic, pic + 12),
              (std::vector<uint8_t>{20, 21, 22, 23, 10, 11, 12, 13, 0, 1, 2, 3}));
    std::vector<uint8_t> wide(2 * 5000);   // rows longer than the swap block
    wide[0] = 1;
    wide[5000 + 4999] = 2;
    VideoEncoder_SwapImageRowOrderInPlace(wide.data(), 5000, 2);
    EXPECT_EQ(wide[4999], 2);
    EXPECT_EQ(wide[5000], 1);
}

}  // namespace
