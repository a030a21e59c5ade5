#include "windows/FlvCodecNames.h"

#include <iterator>

#include "projcore/CodecNames.h"

namespace {
const char* const kVideo[] = {"JPEG (currently unused)", "Sorenson H.263", "Screen Video", "Flash 8 Video",
                              "Flash 8 Alpha Video",     "Screen Video 2", "H.264",        "H.264 Alpha"};
const char* const kAudio[] = {"RAW",
                              "ADPCM",
                              "MP3",
                              "RAWLE",
                              "",
                              "Nellymoser 8kHz Mono",
                              "Nellymoser",
                              "G.711 A-law logarithmic PCM",
                              "G.711 mu-law logarithmic PCM",
                              "reserved",
                              "AAC",
                              "Speex",
                              "",
                              "",
                              "MP3 8-Khz",
                              "Device-specific sound"};
}  // namespace

QString FlvVideoCodecName(int codecId) {
    // HEVC by CodecID 12 and the FourCC codecs of the extended header, named as the engine names them.
    if (const std::string name = codecnames::VideoFourccName(codecId); !name.empty())
        return QString::fromStdString(name);
    if (codecId < 1 || codecId > static_cast<int>(std::size(kVideo))) return {};
    return QString::fromLatin1(kVideo[codecId - 1]);
}

QString FlvAudioCodecName(int soundFormat) {
    if (const std::string name = codecnames::SoundFourccName(soundFormat); !name.empty())
        return QString::fromStdString(name);
    if (soundFormat < 0 || soundFormat >= static_cast<int>(std::size(kAudio))) return {};
    return QString::fromLatin1(kAudio[soundFormat]);
}
