// AMR-NB speech encoding through opencore: FFmpeg here has no AMR-NB encoder.
#pragma once

#include <cstdint>

namespace avkit {

class AmrNbEncoder {
public:
    static constexpr int kFrameSamples = 160;   // 20 ms at 8 kHz mono
    static constexpr int kMaxFrameBytes = 32;

    // bitRate picks the nearest mode not above it (4750 to 12200 bit/s).
    explicit AmrNbEncoder(int bitRate);
    ~AmrNbEncoder();
    AmrNbEncoder(const AmrNbEncoder&) = delete;
    AmrNbEncoder& operator=(const AmrNbEncoder&) = delete;

    bool Ok() const { return state_ != nullptr; }
    int BitRate() const;
    // Encodes one frame of kFrameSamples samples into out (kMaxFrameBytes);
    // returns the bytes written, <= 0 on failure.
    int Encode(const int16_t* samples, uint8_t* out);

private:
    void* state_ = nullptr;
    int mode_ = 7;
};

}  // namespace avkit
