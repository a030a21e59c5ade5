// The one table of avkit codec identifiers. The numbers are the classic
// libavcodec codec numbering that profiles and stored settings already use;
// each maps to today's FFmpeg codec and the encoder we pick for it.
#include "avkit/avkit.h"

#include <cstdlib>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
}

namespace {

struct CodecEntry {
    int id;
    AVCodecID ffmpeg;
    const char* encoder;   // null: decode only
};

constexpr CodecEntry kCodecs[] = {
    // video
    {5, AV_CODEC_ID_H263, "h263"},
    {8, AV_CODEC_ID_MJPEG, "mjpeg"},
    {13, AV_CODEC_ID_MPEG4, "mpeg4"},   // the FourCC "XVID" picks libxvid
    {14, AV_CODEC_ID_RAWVIDEO, "rawvideo"},
    {15, AV_CODEC_ID_MSMPEG4V1, nullptr},
    {16, AV_CODEC_ID_MSMPEG4V2, "msmpeg4v2"},
    {17, AV_CODEC_ID_MSMPEG4V3, "msmpeg4"},
    {18, AV_CODEC_ID_WMV1, "wmv1"},
    {19, AV_CODEC_ID_WMV2, "wmv2"},
    {20, AV_CODEC_ID_H263P, "h263p"},
    {22, AV_CODEC_ID_FLV1, "flv"},
    {28, AV_CODEC_ID_H264, "libx264"},
    {64, AV_CODEC_ID_PNG, "png"},
    {81, AV_CODEC_ID_BMP, "bmp"},
    {89, AV_CODEC_ID_FLASHSV, nullptr},
    {94, AV_CODEC_ID_VP6, nullptr},
    {95, AV_CODEC_ID_VP6F, nullptr},
    {99, AV_CODEC_ID_TIFF, "tiff"},
    {100, AV_CODEC_ID_GIF, "gif"},
    {167, AV_CODEC_ID_VP9, "libvpx-vp9"},
    {173, AV_CODEC_ID_HEVC, "libx265"},
    {226, AV_CODEC_ID_AV1, "libsvtav1"},   // libaom-av1 below SVT-AV1's smallest picture
    // Raw video as profiles name it; the picture format is set apart.
    {2097152, AV_CODEC_ID_RAWVIDEO, "rawvideo"},
    // audio
    {65536, AV_CODEC_ID_PCM_S16LE, "pcm_s16le"},
    {65537, AV_CODEC_ID_PCM_S16BE, "pcm_s16be"},
    // FLV's 8-bit linear PCM is unsigned, so 65540 decodes as unsigned.
    {65540, AV_CODEC_ID_PCM_U8, "pcm_u8"},
    {65541, AV_CODEC_ID_PCM_U8, "pcm_u8"},
    {65542, AV_CODEC_ID_PCM_MULAW, "pcm_mulaw"},
    {65543, AV_CODEC_ID_PCM_ALAW, "pcm_alaw"},
    {69645, AV_CODEC_ID_ADPCM_SWF, "adpcm_swf"},
    {71680, AV_CODEC_ID_NELLYMOSER, "nellymoser"},
    {73728, AV_CODEC_ID_AMR_NB, nullptr},   // encoded through opencore directly
    {86016, AV_CODEC_ID_MP2, "mp2"},
    {86017, AV_CODEC_ID_MP3, "libmp3lame"},
    {86018, AV_CODEC_ID_AAC, "aac"},
    {86019, AV_CODEC_ID_AC3, "ac3"},
    {86021, AV_CODEC_ID_VORBIS, nullptr},
    {86023, AV_CODEC_ID_WMAV1, "wmav1"},
    {86024, AV_CODEC_ID_WMAV2, "wmav2"},
    {86030, AV_CODEC_ID_FLAC, "flac"},
    {86054, AV_CODEC_ID_SPEEX, nullptr},
    {86056, AV_CODEC_ID_EAC3, "eac3"},
    {86076, AV_CODEC_ID_OPUS, "libopus"},
};

const CodecEntry* Find(int id) {
    for (const auto& e : kCodecs)
        if (e.id == id) return &e;
    return nullptr;
}

}  // namespace

extern "C" AVKIT_API int AvkCodec_ToFFmpeg(int avkitId) {
    const CodecEntry* e = Find(avkitId);
    return e ? static_cast<int>(e->ffmpeg) : static_cast<int>(AV_CODEC_ID_NONE);
}

extern "C" AVKIT_API int AvkCodec_FromFFmpeg(int ffmpegId) {
    for (const auto& e : kCodecs)   // first match: the canonical number
        if (static_cast<int>(e.ffmpeg) == ffmpegId) return e.id;
    return -1;
}

extern "C" AVKIT_API const char* AvkCodec_EncoderName(int avkitId) {
    const CodecEntry* e = Find(avkitId);
    return e ? e->encoder : nullptr;
}

// SVT-AV1 prints its whole configuration unless told otherwise: errors
// only, as for FFmpeg, and a level the user set is kept. Set when the library
// is loaded, before the program runs a thread: setenv beside threads that read
// the environment (Qt's, the engine's) can crash them.
__attribute__((constructor)) static void QuietSvtAv1() { setenv("SVT_LOG", "1", 0); }

// FFmpeg keeps to errors from the moment avkit is there: a program may load
// avkit only when it first needs it, long after its start.
__attribute__((constructor)) static void QuietFfmpeg() { av_log_set_level(AV_LOG_ERROR); }

extern "C" AVKIT_API int avkit_init(void) {
    QuietFfmpeg();
    return 1;
}
