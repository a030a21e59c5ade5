// Synthetic media for the writer tests: a moving gradient and a sine tone,
// handed to a writer in time order.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "avkit/avkit.h"

namespace avkit_test {

struct Source {
    int width = 320, height = 240;
    double fps = 25;
    int rate = 44100, channels = 2;
    double seconds = 2;

    // Writes every frame and block; false at the first call that fails.
    bool Feed(AvkWriter* w, bool video, bool audio) const {
        std::vector<uint8_t> pic(static_cast<size_t>(width) * height * 4);
        const int block = rate / 20;   // 50 ms of sound per call
        std::vector<int16_t> pcm(static_cast<size_t>(block) * channels);
        const int frames = static_cast<int>(std::lround(seconds * fps));
        const long samples = std::lround(seconds * rate);
        long sent = 0;
        for (int f = 0; f <= frames; ++f) {
            const double t = f / fps;
            while (audio && sent < samples && (sent < t * rate || f == frames)) {
                const int n = static_cast<int>(std::min<long>(block, samples - sent));
                for (int i = 0; i < n; ++i)
                    for (int c = 0; c < channels; ++c)
                        pcm[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(
                            8000 * std::sin(2 * M_PI * 440 * double(sent + i) / rate));
                if (!AVW_WriteAudioFrame(w, reinterpret_cast<const uint8_t*>(pcm.data()),
                                         n * 2 * channels, rate, channels))
                    return false;
                sent += n;
            }
            if (!video || f == frames) continue;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    uint8_t* p = &pic[(static_cast<size_t>(y) * width + x) * 4];
                    p[0] = static_cast<uint8_t>(x + f * 4);
                    p[1] = static_cast<uint8_t>(y * 255 / height);
                    p[2] = 200;
                    p[3] = 255;
                }
            if (!AVW_WriteVideoFrame(w, pic.data(), width, height)) return false;
        }
        return true;
    }
};

}  // namespace avkit_test
