#pragma once

#include <cstdint>
#include <mutex>

#include "player/AudioDriver.h"

// The audio driver over SDL2's audio device in pull mode: SDL calls back on
// its audio thread for each 4096-byte buffer, so the sound is paced by the
// device clock and at most a few buffers are queued.
class CSdlAudioDriver : public CAudioDriver {
public:
    static constexpr int kBufferBytes = 4096;

    CSdlAudioDriver() = default;
    ~CSdlAudioDriver() override;
    CSdlAudioDriver(const CSdlAudioDriver&) = delete;
    CSdlAudioDriver& operator=(const CSdlAudioDriver&) = delete;

    // Refused unless the format is 16-bit PCM with a sensible rate and channel
    // count, or when no audio device can be opened.
    bool Open() override;
    bool Start() override;
    void Close() override;
    bool IsOpen() const { return device_ != 0; }
    // Bytes the device takes per second (rate x channels x 2).
    int BytesPerSecond() const { return sampleRate * channels * 2; }

private:
    static void Callback(void* self, uint8_t* stream, int len);

    uint32_t device_ = 0;
    bool subsystemUp_ = false;
};
