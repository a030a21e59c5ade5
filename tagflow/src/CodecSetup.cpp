#include "CodecSetup.h"

int32_t ReadCompositionTime(const uint8_t* p) {
    constexpr int32_t kMaxCompositionMs = 4000;
    uint32_t v = uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    if (v & 0x800000) v |= 0xFF000000u;
    const auto cts = int32_t(v);
    return cts > kMaxCompositionMs || cts < -kMaxCompositionMs ? 0 : cts;
}

bool HasPacketType(const FLVTag& t) {
    return (t.type == 8 || t.type == 9) &&
           Flv_HasPacketType(t.type, t.type == 9 ? t.codecField2 : t.codecField1);
}

bool IsCodecSetup(const FLVTag& t) {
    return t.dataSize >= 2 && HasPacketType(t) && t.packetType == kPacketSetup;
}

bool IsPictureTag(const FLVTag& t) {
    if (t.type != 9 || t.dataSize == 0) return false;
    // AVC and HEVC: the codec byte, the packet type, the composition time,
    // then data; the FourCC codecs: at least the byte and the FourCC.
    return !HasPacketType(t) || (t.dataSize > 5 && t.packetType == kPacketMedia);
}

bool HasSoundData(const FLVTag& t) {
    if (!t.data || t.dataSize == 0 || !t.audioPayload || t.audioPayloadSize == 0) return false;
    // AAC: the packet type byte, then a raw frame.
    if (t.codecField1 == 10) return t.packetType == kPacketMedia && t.audioPayloadSize > 1;
    if (Flv_IsFourcc(t.codecField1)) return t.packetType == kPacketMedia;
    return true;
}

void DeclaredSoundFormat(const FLVTag& t, int& rate, int& channels) {
    static const int kRates[4] = {5512, 11025, 22050, 44100};
    if (t.codecField1 == 5 || t.codecField1 == 11) {
        rate = t.codecField1 == 5 ? 8000 : 16000;
        channels = 1;
        return;
    }
    if (Flv_IsFourcc(t.codecField1)) {   // the frames or the setup say it
        rate = channels = 0;
        return;
    }
    rate = kRates[t.codecField2 & 3];
    channels = t.codecField4 ? 2 : 1;
}

void FillAudioInfo(FLVInfo& info, const FLVTag& t) {
    int rate = 0, channels = 0;
    DeclaredSoundFormat(t, rate, channels);
    TagioCodecSetup setup;
    int32_t frameRate = 0, frameChannels = 0;
    if (t.data && IsCodecSetup(t) && ReadCodecSetup(8, t.data, t.dataSize, &setup)) {
        rate = setup.sampleRate;
        if (setup.channels > 0) channels = setup.channels;
    } else if (t.audioPayload && Flv_IsFourcc(t.codecField1) &&
               Flv_ReadSoundFrameFormat(t.codecField1, t.audioPayload, t.audioPayloadSize,
                                        &frameRate, &frameChannels)) {
        rate = frameRate;
        channels = frameChannels;
    }
    info.audioFormat = int32_t(t.codecField1);
    info.sampleRate = rate;
    info.channels = channels;
    info.bitsPerSample = t.codecField3 || Flv_IsFourcc(t.codecField1) ? 16 : 8;
}

bool ReadCodecSetup(uint32_t type, const uint8_t* data, uint32_t size, TagioCodecSetup* setup) {
    return Flv_ReadCodecSetup(type, data, size, setup) != 0;
}
