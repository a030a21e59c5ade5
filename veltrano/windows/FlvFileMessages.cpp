#include "windows/FlvFileMessages.h"

#include <cstring>

#include "app/MyLang.h"
#include "windows/FlvCodecNames.h"
#include "windows/MainLangKeys.h"

namespace {
// The first fields of the stream description the engine hands out.
struct TStreamHead {
    int32_t version;
    int32_t videoCodec;   // -1: no video
    int32_t audioFormat;  // -1: no audio
};
}  // namespace

QString UnsupportedFileText(TMyLang& lang, int32_t code, const void* detail) {
    if (code == kUnreadablePictureCode) return lang.Text(mainkey::kInvalidPicture);
    if (code != kUnsupportedFlvCode) return lang.Text(mainkey::kInvalidFlv);
    TStreamHead head{0, -1, -1};
    if (detail) std::memcpy(&head, detail, sizeof head);
    // The tables answer empty for numbers they do not know.
    auto orNone = [&](const QString& name) { return name.isEmpty() ? lang.Text(mainkey::kNoCodec) : name; };
    return lang.Text(mainkey::kNotSupportedFlv)
        .arg(head.version)
        .arg(orNone(FlvVideoCodecName(head.videoCodec)), orNone(FlvAudioCodecName(head.audioFormat)));
}
