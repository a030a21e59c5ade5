#include "AmrNbEncoder.h"

#include <opencore-amrnb/interf_enc.h>

namespace avkit {

namespace {
constexpr int kModeRates[] = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
}

AmrNbEncoder::AmrNbEncoder(int bitRate) {
    mode_ = 0;
    for (int m = 0; m < 8; ++m)
        if (kModeRates[m] <= bitRate) mode_ = m;
    state_ = Encoder_Interface_init(0);
}

AmrNbEncoder::~AmrNbEncoder() {
    if (state_) Encoder_Interface_exit(state_);
}

int AmrNbEncoder::BitRate() const { return kModeRates[mode_]; }

int AmrNbEncoder::Encode(const int16_t* samples, uint8_t* out) {
    // The storage format's frames (with the one-byte header), which is what
    // the 3GP muxer stores for AMR-NB.
    return Encoder_Interface_Encode(state_, static_cast<Mode>(mode_), samples, out, 0);
}

}  // namespace avkit
