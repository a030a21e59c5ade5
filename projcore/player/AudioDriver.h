#pragma once

#include <cstdint>

// Plays 16-bit PCM pulled by the device: the driver asks its owner to fill
// each buffer as the device needs it, on the device's own thread.
class CAudioDriver {
public:
    static constexpr int32_t kPcm16 = 65536;  // the one sample format played
    // Fills the whole buffer (bytes of 16-bit interleaved samples).
    using FillCallback = void (*)(void* user, uint8_t* buffer, int bytes);

    virtual ~CAudioDriver() = default;
    virtual bool Open() = 0;
    virtual bool Start() = 0;
    // After Close returns no fill callback runs any more.
    virtual void Close() = 0;

    int32_t channels = 2;
    int32_t sampleRate = 44100;
    int32_t sampleFormat = kPcm16;
    FillCallback fill = nullptr;
    void* fillUser = nullptr;
};
