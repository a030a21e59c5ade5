#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "avkit/FramePicture.h"
#include "avkit/PictureFile.h"

namespace {

std::vector<uint8_t> Gradient(int w, int h) {
    std::vector<uint8_t> f(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = &f[(static_cast<size_t>(y) * w + x) * 4];
            p[0] = static_cast<uint8_t>(x * 4);  // blue grows to the right
            p[1] = static_cast<uint8_t>(y * 4);  // green grows downwards
            p[2] = 200;
            p[3] = 255;
        }
    return f;
}

TEST(FramePicture, WritesUprightPicturesOfEachKind) {
    const int w = 48, h = 32;
    const auto frame = Gradient(w, h);
    struct Case {
        const char* name;
        const char* type;
        int tolerance;
    };
    const Case cases[] = {{"shot.png", "PNG", 0}, {"shot.BMP", "BMP", 0}, {"shot.jpg", "JPEG", 12}};
    for (const Case& c : cases) {
        for (bool bottomUp : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (bottomUp ? " bottom-up" : ""));
            const std::string path = ::testing::TempDir() + "/" + c.name;
            std::remove(path.c_str());
            // Bottom-up rows: the same picture stored last row first, handed
            // over as a pointer to the top row and a negative stride.
            std::vector<uint8_t> stored(frame.size());
            for (int y = 0; y < h; ++y)
                std::copy_n(&frame[static_cast<size_t>(y) * w * 4], w * 4,
                            &stored[static_cast<size_t>(bottomUp ? h - 1 - y : y) * w * 4]);
            const uint8_t* top = bottomUp ? &stored[static_cast<size_t>(h - 1) * w * 4] : stored.data();
            ASSERT_EQ(AvkWriteFramePicture(path.c_str(), top, w, h, bottomUp ? -w * 4 : w * 4), 1);
            AvkPictureFile* p = APF_Open(path.c_str());
            ASSERT_NE(p, nullptr);
            EXPECT_STREQ(APF_TypeName(p), c.type);
            const uint8_t* px = APF_FrameBGRA(p, 0);
            ASSERT_NE(px, nullptr);
            for (int y : {0, h - 1})
                for (int x : {0, w - 1})
                    for (int ch = 0; ch < 3; ++ch)
                        EXPECT_NEAR(px[(y * w + x) * 4 + ch], frame[(static_cast<size_t>(y) * w + x) * 4 + ch],
                                    c.tolerance)
                            << x << "," << y;
            APF_Close(p);
        }
    }
}

TEST(FramePicture, RefusesWhatItCannotWrite) {
    const auto frame = Gradient(8, 8);
    EXPECT_EQ(AvkWriteFramePicture((::testing::TempDir() + "/x.gif").c_str(), frame.data(), 8, 8, 32), 0);
    EXPECT_EQ(AvkWriteFramePicture((::testing::TempDir() + "/noextension").c_str(), frame.data(), 8, 8, 32), 0);
    EXPECT_EQ(AvkWriteFramePicture("/no/such/folder/x.png", frame.data(), 8, 8, 32), 0);
    EXPECT_EQ(AvkWriteFramePicture((::testing::TempDir() + "/x.png").c_str(), frame.data(), 8, 8, 16), 0);
    EXPECT_EQ(AvkWriteFramePicture(nullptr, frame.data(), 8, 8, 32), 0);
}

}  // namespace
