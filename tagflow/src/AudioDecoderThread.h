// Audio decoder thread: FLV sound tags to 16-bit interleaved PCM at a fixed
// rate and channel count, with silence for the gaps in the sound and for
// keeping up with a video brother that is ahead and starved of audio.
#pragma once

#include <vector>

#include "DecoderThread.h"
#include "avkit/avkit.h"

class CAudioDecoderThread : public CDecoderThread {
public:
    CAudioDecoderThread() : CDecoderThread(kAudio) {}
    ~CAudioDecoderThread() override;

    int SetSampleRate(int rate) override;
    int SetNumberOfChannels(int channels) override;
    int DecodeFLVTag(FLVTag* tag, const uint8_t** data, int32_t* size) override;

    int SampleRate() const { return m_sampleRate; }
    int Channels() const { return m_channels; }

protected:
    void Body() override;

private:
    enum DecodeResult { kDecoded, kUnsupported, kFailed };
    // Decodes one tag (null flushes) to PCM at the output format.
    DecodeResult Decode(const FLVTag* tag, const uint8_t** data, int32_t* size);
    bool UseFormat(int format);          // opens the decoder for an avkit format
    // An AAC setup tag becomes the decoder's setup for the sound after it.
    bool ApplySetup(const FLVTag& tag);
    void Emit(const uint8_t* data, int32_t size);   // one block at the running position
    void EmitSilence(int64_t ms);
    int64_t PositionTime() const { return m_position * 10000000 / m_sampleRate; }

    int m_sampleRate = 44100;
    int m_channels = 2;
    AvkAudioDecoder* m_decoder = nullptr;
    int m_format = -1;
    AvkResampler* m_resampler = nullptr;
    std::vector<uint8_t> m_resampled;
    int64_t m_position = 0;   // samples emitted in this run
};
