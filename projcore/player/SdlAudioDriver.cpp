#include "player/SdlAudioDriver.h"

#include <SDL.h>

#include <cstring>

CSdlAudioDriver::~CSdlAudioDriver() { Close(); }

bool CSdlAudioDriver::Open() {
    Close();
    if (sampleFormat != kPcm16 || channels < 1 || channels > 8 || sampleRate < 1000 || sampleRate > 384000)
        return false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    subsystemUp_ = true;
    SDL_AudioSpec want{};
    want.freq = sampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = static_cast<Uint16>(kBufferBytes / (2 * channels));
    want.callback = &CSdlAudioDriver::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts whatever the device wants, so the
    // owner's arithmetic on rate and channels stays true.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemUp_ = false;
        return false;
    }
    return true;
}

bool CSdlAudioDriver::Start() {
    if (device_ == 0) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void CSdlAudioDriver::Close() {
    if (device_ != 0) {
        // Closing waits for a running callback and stops further ones.
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (subsystemUp_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystemUp_ = false;
    }
}

void CSdlAudioDriver::Callback(void* self, uint8_t* stream, int len) {
    auto* driver = static_cast<CSdlAudioDriver*>(self);
    if (driver->fill) driver->fill(driver->fillUser, stream, len);
    else std::memset(stream, 0, static_cast<size_t>(len));
}
