// Speed settings chosen for a two-core machine shared with other work: each
// keeps the encoder near real time at the profiles' sizes while giving up
// little compression against its slower settings.
#include "EncoderPresets.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/macros.h>
}

namespace avkit {

namespace {

constexpr int kSvtSmallestSide = 64;
// Seconds between key frames when the caller asks for no interval: players
// seek to within this, and the newer codecs lose much when forced to code
// key frames as often as the generic default (12 frames).
constexpr double kKeySeconds = 5.0;

bool Named(const AVCodec* codec, const char* name) { return std::strcmp(codec->name, name) == 0; }

}  // namespace

const AVCodec* FitVideoEncoder(const AVCodec* chosen, int width, int height) {
    if (chosen && Named(chosen, "libsvtav1") && (width < kSvtSmallestSide || height < kSvtSmallestSide))
        if (const AVCodec* aom = avcodec_find_encoder_by_name("libaom-av1")) return aom;
    return chosen;
}

void ApplyVideoPreset(const AVCodec* codec, AVCodecContext* enc, double frameRate, int keyInterval,
                      AVDictionary** opts) {
    const bool newer = codec->id == AV_CODEC_ID_VP9 || codec->id == AV_CODEC_ID_HEVC || codec->id == AV_CODEC_ID_AV1;
    if (!newer) return;
    if (keyInterval <= 0) enc->gop_size = std::max(1, static_cast<int>(std::lround(frameRate * kKeySeconds)));
    if (Named(codec, "libvpx-vp9")) {
        // "good" at speed 4 runs several times faster than speed 1 for a few
        // per cent of size; row threading lets both cores work on one frame.
        av_dict_set(opts, "deadline", "good", 0);
        av_dict_set(opts, "cpu-used", "4", 0);
        av_dict_set(opts, "row-mt", "1", 0);
    } else if (Named(codec, "libx265")) {
        // "fast" takes about half the time of the default "medium" for a few
        // per cent of size; x265 otherwise prints its statistics to the console.
        av_dict_set(opts, "preset", "fast", 0);
        av_dict_set(opts, "x265-params", "log-level=error", 0);
    } else if (Named(codec, "libsvtav1")) {
        // Presets run from 0 (slowest) to 13; 8 is the fastest that still
        // beats VP9 clearly in size, and keeps two cores near real time.
        av_dict_set(opts, "preset", "8", 0);
    } else if (Named(codec, "libaom-av1")) {
        // Only small pictures come here, where even a slow setting is quick;
        // 6 is libaom's usual speed for files.
        av_dict_set(opts, "cpu-used", "6", 0);
        av_dict_set(opts, "row-mt", "1", 0);
    }
}

void ReadyUnusedEncoderForClose(AVCodecContext* enc) {
    if (!enc || !avcodec_is_open(enc) || !Named(enc->codec, "libsvtav1")) return;
    AVFrame* black = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    if (black && pkt) {
        black->format = enc->pix_fmt;
        black->width = enc->width;
        black->height = enc->height;
        ptrdiff_t lines[4] = {};
        if (av_frame_get_buffer(black, 0) >= 0) {
            for (int i = 0; i < 4; ++i) lines[i] = black->linesize[i];
            av_image_fill_black(black->data, lines, enc->pix_fmt, enc->color_range, enc->width, enc->height);
            black->pts = 0;
            if (avcodec_send_frame(enc, black) >= 0 && avcodec_send_frame(enc, nullptr) >= 0)
                while (avcodec_receive_packet(enc, pkt) >= 0) av_packet_unref(pkt);
        }
    }
    av_packet_free(&pkt);
    av_frame_free(&black);
}

uint32_t DefaultStreamTag(AVCodecID codec, const AVOutputFormat* muxer) {
    if (codec != AV_CODEC_ID_HEVC || !muxer) return 0;
    // mp4, mov, ipod, psp, 3gp: the ISO family, all written by one muxer.
    for (const char* iso : {"mp4", "mov", "ipod", "psp", "3gp", "3g2"})
        if (std::strcmp(muxer->name, iso) == 0) return MKTAG('h', 'v', 'c', '1');
    return 0;
}

int FitSampleRate(const AVCodec* codec, int wanted) {
    if (!codec || !codec->supported_samplerates) return wanted;
    int above = INT_MAX, highest = 0;
    for (const int* r = codec->supported_samplerates; *r; ++r) {
        if (*r == wanted) return wanted;
        if (*r > wanted && *r < above) above = *r;
        if (*r > highest) highest = *r;
    }
    return above != INT_MAX ? above : highest > 0 ? highest : wanted;
}

}  // namespace avkit
