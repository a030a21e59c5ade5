#include "convert/RemuxFormat.h"

#include "convert/OutputSettings.h"
#include "projcore/CodecNames.h"
#include "tagio/tagio.h"

namespace {

constexpr TRemuxContainer kContainers[] = {
    {"mp4remux", "mp4", "MP4"},
    {"movremux", "mov", "MOV"},
    {"mkvremux", "matroska", "MKV"},
};

// What each container takes without re-encoding, by FLV number. MP4 keeps
// to the codecs its players know; MOV adds plain PCM; Matroska also stores
// the older FLV video codecs under their FourCC.
// HEVC, AV1, VP9, Opus, AC-3 and E-AC-3 go into MP4 and Matroska (HEVC
// into MOV too); FLAC only into Matroska (MP4's FLAC is still experimental).
bool Holds(const TRemuxContainer& c, bool video, uint32_t flv) {
    const std::string name = c.name;
    const bool mov = name == "MOV";
    if (video) {
        const bool hevc = flv == TagioCodecHevc || flv == TagioFourccHevc;
        return flv == 7 || hevc || (!mov && (flv == TagioFourccAv1 || flv == TagioFourccVp9)) ||
               (name == "MKV" && (flv == 2 || flv == 4));
    }
    const bool pcm = flv == 0 || flv == 3;
    const bool newer = flv == TagioFourccOpus || flv == TagioFourccAc3 || flv == TagioFourccEac3;
    return flv == 10 || flv == 2 || flv == 14 || flv == TagioFourccMp3 || (pcm && name != "MP4") ||
           (newer && !mov) || (flv == TagioFourccFlac && name == "MKV");
}


std::string VideoName(uint32_t flv) {
    switch (flv) {
        case 2: return "Sorenson H.263";
        case 3: return "Screen video";
        case 4: return "VP6";
        case 5: return "VP6 with alpha";
        case 6: return "Screen video 2";
        case 7: return "H.264";
        case TagioCodecHevc:
        case TagioFourccHevc: return "HEVC";
        case TagioFourccAv1: return "AV1";
        case TagioFourccVp9: return "VP9";
        default: return "Video codec " + (Flv_IsFourcc(flv) ? codecnames::FourccText(int32_t(flv)) : std::to_string(flv));
    }
}

std::string AudioName(uint32_t flv) {
    switch (flv) {
        case 0: case 3: return "PCM sound";
        case 1: return "ADPCM sound";
        case 2: case 14: return "MP3 sound";
        case 4: case 5: case 6: return "Nellymoser sound";
        case 7: return "G.711 A-law sound";
        case 8: return "G.711 mu-law sound";
        case 10: return "AAC sound";
        case 11: return "Speex sound";
        case TagioFourccOpus: return "Opus sound";
        case TagioFourccFlac: return "FLAC sound";
        case TagioFourccAc3: return "AC-3 sound";
        case TagioFourccEac3: return "E-AC-3 sound";
        case TagioFourccMp3: return "MP3 sound";
        default: return "Sound format " + (Flv_IsFourcc(flv) ? codecnames::FourccText(int32_t(flv)) : std::to_string(flv));
    }
}

std::string Refusal(const TRemuxContainer& c, bool video, uint32_t flv) {
    if (Holds(c, video, flv)) return {};
    std::string others;
    for (const TRemuxContainer& o : kContainers) {
        if (!Holds(o, video, flv)) continue;
        others += (others.empty() ? "" : " or ") + std::string(o.name) + " (no re-encoding)";
    }
    const std::string what = video ? VideoName(flv) : AudioName(flv);
    return what + " cannot be stored in " + c.name + " without re-encoding; " +
           (others.empty() ? "only a profile that re-encodes can convert it" : others + " can hold it");
}

}  // namespace

const TRemuxContainer* RemuxContainerOf(const OutputSettings& settings) {
    for (const TRemuxContainer& c : kContainers)
        if (IsOutputFormat(settings, c.fileFormat)) return &c;
    return nullptr;
}

int RemuxVideoCodec(uint32_t flv) {
    switch (flv) {
        case 2: return 22;   // Sorenson H.263
        case 4: return 95;   // VP6 as FLV stores it
        case 7: return 28;   // H.264
        case TagioCodecHevc:
        case TagioFourccHevc: return 173;
        case TagioFourccAv1: return 226;
        case TagioFourccVp9: return 167;
        default: return -1;
    }
}

int RemuxAudioCodec(uint32_t flv, uint32_t bytesPerSample) {
    switch (flv) {
        case 0:   // "platform endian": little-endian everywhere FLV was written
        case 3: return bytesPerSample == 1 ? 65540 : 65536;
        case 2:
        case 14: return 86017;   // MP3
        case 10: return 86018;   // AAC
        case TagioFourccMp3: return 86017;
        case TagioFourccOpus: return 86076;
        case TagioFourccFlac: return 86030;
        case TagioFourccAc3: return 86019;
        case TagioFourccEac3: return 86056;
        default: return -1;
    }
}

std::string RemuxVideoRefusal(const TRemuxContainer& c, uint32_t flv) { return Refusal(c, true, flv); }
std::string RemuxVideoName(uint32_t flv) { return VideoName(flv); }
std::string RemuxAudioName(uint32_t flv) { return AudioName(flv); }
std::string RemuxAudioRefusal(const TRemuxContainer& c, uint32_t flv) { return Refusal(c, false, flv); }
