#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "player/MemorySurface.h"
#include "player/SdlAudioDriver.h"
#include "player/VideoDriver.h"

namespace {

struct FillCounter {
    std::mutex mutex;
    std::condition_variable called;
    std::atomic<int> calls{0};
    std::atomic<int> bytes{0};
    static void Fill(void* user, uint8_t* buffer, int n) {
        auto* self = static_cast<FillCounter*>(user);
        std::memset(buffer, 0, static_cast<size_t>(n));
        self->bytes += n;
        ++self->calls;
        self->called.notify_all();
    }
};

TEST(AudioDriver, RefusesWhatItCannotPlayAndStopsCallingOnClose) {
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    CSdlAudioDriver refused;
    refused.sampleFormat = 65540;
    EXPECT_FALSE(refused.Open());
    EXPECT_FALSE(refused.Start());  // not open

    FillCounter counter;
    CSdlAudioDriver driver;
    driver.channels = 2;
    driver.sampleRate = 44100;
    driver.fill = &FillCounter::Fill;
    driver.fillUser = &counter;
    ASSERT_TRUE(driver.Open());
    ASSERT_TRUE(driver.Start());
    {
        std::unique_lock lock(counter.mutex);
        ASSERT_TRUE(counter.called.wait_for(lock, std::chrono::seconds(5), [&] { return counter.calls >= 3; }));
    }
    EXPECT_LE(counter.bytes / counter.calls, CSdlAudioDriver::kBufferBytes);
    driver.Close();
    const int after = counter.calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(counter.calls, after);  // no callback once Close returned
    EXPECT_FALSE(driver.IsOpen());
}

TEST(VideoDriver, DrawsTheSourceRectangleIntoTheDestination) {
    CVideoDriver refused;
    refused.width = 4;
    refused.height = 2;
    refused.imageFormat = 5;
    EXPECT_FALSE(refused.Open());

    CMemorySurface surface;
    CVideoDriver driver;
    driver.width = 4;
    driver.height = 2;
    driver.surface = &surface;
    driver.source = Rect{0, 0, 4, 2};
    driver.destination = Rect{10, 10, 50, 30};
    ASSERT_TRUE(driver.Open());
    ASSERT_TRUE(driver.Open());  // a second open closes the first
    std::vector<uint8_t> frame(4 * 2 * 4);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i);
    driver.bottomUp = true;
    driver.DrawFrame(frame.data());
    auto shown = surface.PresentedFrames();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].dst, (Rect{10, 10, 50, 30}));
    int w = 0, h = 0;
    auto pixels = surface.LastFrame(w, h);
    EXPECT_EQ(pixels[0], frame[16]);  // the bottom row in memory is the top row shown

    EXPECT_FALSE(driver.Draw(&surface, 0, 0, 10, 10, frame.data(), 2, 0, 4, 2));  // outside the frame
    driver.Close();
    EXPECT_FALSE(driver.Draw(&surface, 0, 0, 10, 10, frame.data(), 0, 0, 4, 2));
    EXPECT_EQ(surface.PresentedFrames().size(), 1u);
}

}  // namespace
