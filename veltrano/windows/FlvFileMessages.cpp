#include "windows/FlvFileMessages.h"

#include <cstring>
#include <iterator>

#include "app/MyLang.h"
#include "windows/MainLangKeys.h"

namespace {
// FLV video codec n is entry n - 1; the sound format is its own index. A
// number outside a table has no name (the file may carry any byte there).
const char* const kVideo[] = {"JPEG (currently unused)", "Sorenson H.263", "Screen Video", "Flash 8 Video",
                              "Flash 8 Alpha Video",     "Screen Video 2", "H.264",        "H.264 Alpha"};
const char* const kAudio[] = {"RAW", "ADPCM", "MP3", "RAWLE", "", "Nellymoser 8kHz Mono", "Nellymoser",
                              "G.711 A-law logarithmic PCM", "G.711 mu-law logarithmic PCM", "reserved", "AAC",
                              "Speex", "", "", "MP3 8-Khz", "Device-specific sound"};

QString FlvVideoCodecName(int id) {
    return id >= 1 && id <= static_cast<int>(std::size(kVideo)) ? QString::fromLatin1(kVideo[id - 1]) : QString();
}

QString FlvAudioCodecName(int format) {
    return format >= 0 && format < static_cast<int>(std::size(kAudio)) ? QString::fromLatin1(kAudio[format])
                                                                       : QString();
}

// The first fields of the stream description the engine hands out.
struct TStreamHead {
    int32_t version;
    int32_t videoCodec;   // -1: no video
    int32_t audioFormat;  // -1: no audio
};
}  // namespace

QString UnsupportedFileText(TMyLang& lang, int32_t code, const void* detail) {
    if (code != kUnsupportedFlvCode) return lang.Text(mainkey::kInvalidFlv);
    TStreamHead head{0, -1, -1};
    if (detail) std::memcpy(&head, detail, sizeof head);
    // The tables answer empty for numbers they do not know.
    auto orNone = [&](const QString& name) { return name.isEmpty() ? lang.Text(mainkey::kNoCodec) : name; };
    return lang.Text(mainkey::kNotSupportedFlv)
        .arg(head.version)
        .arg(orNone(FlvVideoCodecName(head.videoCodec)), orNone(FlvAudioCodecName(head.audioFormat)));
}
