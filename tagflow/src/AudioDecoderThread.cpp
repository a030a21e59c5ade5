#include "AudioDecoderThread.h"

#include <algorithm>
#include <new>

#include "CodecSetup.h"

namespace {

constexpr int32_t kSilenceBlock = 5120;   // bytes of silence per output call
const uint8_t kZeros[kSilenceBlock] = {};

// The avkit decoder for an FLV SoundFormat or FourCC, -1 when there is none.
int DecoderFormat(const FLVTag& t) {
    switch (t.codecField1) {
        case 0:
        case 3: return t.codecField3 == 1 ? 65536 : 65540;   // linear PCM, 16 or 8 bit
        case 1: return 69645;                                // ADPCM
        case 2: return 86017;                                // MP3
        case 5:
        case 6: return 71680;                                // Nellymoser
        case 10: return 86018;                               // AAC
        case 11: return 86054;                               // Speex
        case TagioFourccOpus: return 86076;
        case TagioFourccFlac: return 86030;
        case TagioFourccAc3: return 86019;
        case TagioFourccEac3: return 86056;
        case TagioFourccMp3: return 86017;
        default: return -1;
    }
}

}  // namespace

CAudioDecoderThread::~CAudioDecoderThread() {
    TerminateForDelete();
    ADD_Delete(m_decoder);
    ARes_Free(m_resampler);
}

int CAudioDecoderThread::SetSampleRate(int rate) {
    if (GetState() != kStopped || rate <= 0 || rate > 768000) return 0;
    if (rate != m_sampleRate) {
        ARes_Free(m_resampler);   // made for the old rate
        m_resampler = nullptr;
    }
    m_sampleRate = rate;
    return 1;
}

int CAudioDecoderThread::SetNumberOfChannels(int channels) {
    if (GetState() != kStopped || channels < 1 || channels > 8) return 0;
    if (channels != m_channels) {
        ARes_Free(m_resampler);
        m_resampler = nullptr;
    }
    m_channels = channels;
    return 1;
}

int CAudioDecoderThread::DecodeFLVTag(FLVTag* tag, const uint8_t** data, int32_t* size) {
    if (!data || !size || Running()) return 0;
    *data = nullptr;
    *size = 0;
    if (tag && IsCodecSetup(*tag)) {   // taken as the decoder's setup: no sound of its own
        ApplySetup(*tag);
        return 0;
    }
    return Decode(tag, data, size) == kDecoded ? 1 : 0;
}

bool CAudioDecoderThread::UseFormat(int format) {
    if (format == m_format) return true;
    if (!m_decoder && !(m_decoder = ADD_Create())) return false;
    ADD_Close(m_decoder);
    if (!ADD_Open(m_decoder, format)) {
        m_format = -1;
        return false;
    }
    m_format = format;
    return true;
}

bool CAudioDecoderThread::ApplySetup(const FLVTag& tag) {
    // A damaged setup is passed over: the one in force stays.
    TagioCodecSetup setup;
    if (!tag.data || !ReadCodecSetup(8, tag.data, tag.dataSize, &setup)) return false;
    const int format = DecoderFormat(tag);
    if (format < 0 || !UseFormat(format)) return false;
    // AAC: after its packet type; the FourCC codecs' payload is their own bytes.
    const int skip = tag.codecField1 == 10 ? 1 : 0;
    return ADD_SetCodecConfig(m_decoder, tag.audioPayload + skip, int(tag.audioPayloadSize) - skip) != 0;
}

CAudioDecoderThread::DecodeResult CAudioDecoderThread::Decode(const FLVTag* tag,
                                                              const uint8_t** data,
                                                              int32_t* size) {
    *data = nullptr;
    *size = 0;
    int rate = 0, channels = 0;
    const uint8_t* in = nullptr;
    int inSize = 0;
    if (tag) {
        const int format = DecoderFormat(*tag);
        if (format < 0) return kUnsupported;
        if (!HasSoundData(*tag)) return kFailed;
        if (!UseFormat(format)) return kFailed;
        DeclaredSoundFormat(*tag, rate, channels);
        in = tag->audioPayload;
        inSize = int(tag->audioPayloadSize);
        if (tag->codecField1 == 10) {   // after the AACPacketType
            ++in;
            --inSize;
        }
    } else if (!m_decoder) {
        return kFailed;
    }
    const uint8_t* pcm = nullptr;
    int pcmSize = 0;
    if (!ADD_Decode(m_decoder, in, inSize, &pcm, &pcmSize, &rate, &channels)) return kFailed;
    if (pcmSize <= 0) return kDecoded;
    if (rate == m_sampleRate && channels == m_channels) {
        *data = pcm;
        *size = pcmSize;
        return kDecoded;
    }
    if (!m_resampler && !(m_resampler = ARes_Create(m_sampleRate, m_channels))) return kFailed;
    const int need = ARes_GetOutBufferSize(m_resampler, rate, channels, pcmSize);
    if (need <= 0) return kFailed;
    if (size_t(need) > m_resampled.size()) {
        try {
            m_resampled.resize(size_t(need) * 3 / 2);
        } catch (const std::bad_alloc&) {
            return kFailed;
        }
    }
    int outBytes = int(m_resampled.size());
    if (!ARes_Convert(m_resampler, pcm, pcmSize, rate, channels, m_resampled.data(), &outBytes))
        return kFailed;
    *data = m_resampled.data();
    *size = outBytes;
    return kDecoded;
}

void CAudioDecoderThread::Emit(const uint8_t* data, int32_t size) {
    const int64_t samples = size / (m_channels * 2);
    const int64_t timestamp = PositionTime();
    Output(data, size, timestamp, samples * 10000000 / m_sampleRate, 0, 0);
    m_position += samples;
}

void CAudioDecoderThread::EmitSilence(int64_t ms) {
    // Whole sample frames only, so the channels never swap after a filler.
    int64_t bytes = int64_t(m_sampleRate) * ms / 1000 * m_channels * 2;
    const int32_t block = kSilenceBlock / (m_channels * 2) * (m_channels * 2);
    while (bytes > 0 && !Terminating()) {
        const int32_t n = int32_t(std::min<int64_t>(bytes, block));
        Emit(kZeros, n);
        bytes -= n;
    }
}

void CAudioDecoderThread::Body() {
    m_position = 0;
    bool gapOpen = false;
    uint32_t gapStart = 0;   // ms
    for (;;) {
        const uint64_t seq = WakeSeq();
        if (FLVTag* tag = TakeTag()) {
            if (Terminating()) {
                ReleaseTag(tag);
                break;
            }
            if (IsCodecSetup(*tag)) ApplySetup(*tag);
            if (HasSoundData(*tag)) {
                if (gapOpen) {
                    if (tag->timestamp > gapStart) EmitSilence(tag->timestamp - gapStart);
                    gapOpen = false;
                }
                const uint8_t* pcm = nullptr;
                int32_t bytes = 0;
                switch (Decode(tag, &pcm, &bytes)) {
                    case kDecoded:
                        Emit(pcm, bytes);
                        break;
                    case kUnsupported:
                        Output(nullptr, 0, 0, 0, 0, 0);
                        SetClock(int64_t(tag->timestamp) * 10000);
                        SyncWithBrother();
                        break;
                    case kFailed:
                        // The clock still moves past a block that cannot be
                        // decoded, and its time is filled with silence once
                        // sound resumes: the brother never waits for it.
                        SetClock(std::max(Clock(), int64_t(tag->timestamp) * 10000));
                        SyncWithBrother();
                        gapOpen = true;
                        gapStart = tag->timestamp;
                        break;
                }
            } else if (!gapOpen) {
                gapOpen = true;
                gapStart = tag->timestamp;
            }
            ReleaseTag(tag);
            continue;
        }
        if (EndOfInput() || Terminating()) break;
        CDecoderThread* b = Brother();
        if (!b) {
            if (GetState() == kStopping) break;
            WaitForChange(seq);
            continue;
        }
        if (b->Finished()) {
            EndStopped();
            break;
        }
        const int64_t d = (b->Clock() - Clock()) / 10000;
        if (b->StoppingFlag() && b->QueueEmpty()) {
            EndStopped();
            break;
        }
        if ((!b->QueueFull() && !b->StoppingFlag()) || d <= MaxIntervalTime()) {
            WaitForChange(seq);
            continue;
        }
        // The video is ahead and cannot wait for sound that does not come.
        EmitSilence(d);
        gapOpen = true;
        gapStart = uint32_t(PositionTime() / 10000);
        if (b->StoppingFlag() && b->QueueEmpty()) {
            EndStopped();
            break;
        }
    }
}
