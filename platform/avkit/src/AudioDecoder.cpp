// ADD_*: one audio decoder over libavcodec that always hands out 16-bit
// signed interleaved PCM at the stream's own rate and channel count.
#include "avkit/avkit.h"

#include <cstring>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

struct AvkAudioDecoder {
    int format = -1;
    AVCodecID codecId = AV_CODEC_ID_NONE;
    AVCodecContext* ctx = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* swr = nullptr;           // planar/float to s16 interleaved
    int swrRate = 0, swrChannels = 0, swrFormat = -1;
    int declaredRate = 0, declaredChannels = 0;   // what the context was opened with
    std::vector<uint8_t> config;         // the codec setup (extradata), empty when none
    std::vector<uint8_t> pcm;            // output, reused between calls
    size_t pcmUsed = 0;
};

namespace {

// PCM, ADPCM, Nellymoser and Speex carry neither rate nor channels in their
// data (AAC, Opus and FLAC have them in their setup, MP3 and AC-3 in every frame).
bool NeedsDeclaredFormat(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_MP3:
        case AV_CODEC_ID_MP2:
        case AV_CODEC_ID_AAC:
        case AV_CODEC_ID_OPUS:
        case AV_CODEC_ID_FLAC:
        case AV_CODEC_ID_AC3:
        case AV_CODEC_ID_EAC3: return false;
        default: return true;
    }
}

void FreeContext(AvkAudioDecoder* d) {
    avcodec_free_context(&d->ctx);
    swr_free(&d->swr);
    d->swrRate = d->swrChannels = 0;
    d->swrFormat = -1;
}

bool OpenContext(AvkAudioDecoder* d, int rate, int channels) {
    FreeContext(d);
    const AVCodec* codec = avcodec_find_decoder(d->codecId);
    if (!codec) return false;
    d->ctx = avcodec_alloc_context3(codec);
    if (!d->ctx) return false;
    d->ctx->sample_rate = rate > 0 ? rate : 44100;
    av_channel_layout_default(&d->ctx->ch_layout, channels > 0 ? channels : 1);
    if (!d->config.empty()) {
        d->ctx->extradata =
            static_cast<uint8_t*>(av_mallocz(d->config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!d->ctx->extradata) {
            FreeContext(d);
            return false;
        }
        std::memcpy(d->ctx->extradata, d->config.data(), d->config.size());
        d->ctx->extradata_size = static_cast<int>(d->config.size());
    }
    if (avcodec_open2(d->ctx, codec, nullptr) < 0) {
        FreeContext(d);
        return false;
    }
    d->declaredRate = rate;
    d->declaredChannels = channels;
    return true;
}

// Appends the frame as s16 interleaved to d->pcm.
bool AppendFrame(AvkAudioDecoder* d, const AVFrame* f) {
    const int channels = f->ch_layout.nb_channels;
    if (channels <= 0 || f->nb_samples <= 0 || f->sample_rate <= 0) return true;
    const size_t bytes = static_cast<size_t>(f->nb_samples) * channels * 2;
    if (d->pcm.size() < d->pcmUsed + bytes) d->pcm.resize((d->pcmUsed + bytes) * 3 / 2);
    uint8_t* dst = d->pcm.data() + d->pcmUsed;

    if (f->format == AV_SAMPLE_FMT_S16) {
        std::memcpy(dst, f->data[0], bytes);
    } else {
        if (!d->swr || d->swrRate != f->sample_rate || d->swrChannels != channels ||
            d->swrFormat != f->format) {
            swr_free(&d->swr);
            // FFmpeg 5.1 declares these layouts non-const though it only reads them.
            auto* layout = const_cast<AVChannelLayout*>(&f->ch_layout);
            if (swr_alloc_set_opts2(&d->swr, layout, AV_SAMPLE_FMT_S16, f->sample_rate,
                                    layout, static_cast<AVSampleFormat>(f->format),
                                    f->sample_rate, 0, nullptr) < 0 ||
                swr_init(d->swr) < 0) {
                swr_free(&d->swr);
                return false;
            }
            d->swrRate = f->sample_rate;
            d->swrChannels = channels;
            d->swrFormat = f->format;
        }
        uint8_t* out[1] = {dst};
        const int got = swr_convert(d->swr, out, f->nb_samples,
                                    const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
        if (got < 0) return false;
        d->pcmUsed += static_cast<size_t>(got) * channels * 2;
        return true;
    }
    d->pcmUsed += bytes;
    return true;
}

bool ReceiveAll(AvkAudioDecoder* d, int* rate, int* channels) {
    for (;;) {
        const int r = avcodec_receive_frame(d->ctx, d->frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        *rate = d->frame->sample_rate;
        *channels = d->frame->ch_layout.nb_channels;
        const bool ok = AppendFrame(d, d->frame);
        av_frame_unref(d->frame);
        if (!ok) return false;
    }
}

}  // namespace

extern "C" AVKIT_API AvkAudioDecoder* ADD_Create(void) {
    auto* d = new (std::nothrow) AvkAudioDecoder;
    if (!d) return nullptr;
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    if (!d->packet || !d->frame) {
        ADD_Delete(d);
        return nullptr;
    }
    return d;
}

extern "C" AVKIT_API int ADD_Open(AvkAudioDecoder* h, int format) {
    if (!h) return 0;
    const auto id = static_cast<AVCodecID>(AvkCodec_ToFFmpeg(format));
    if (id == AV_CODEC_ID_NONE || avcodec_get_type(id) != AVMEDIA_TYPE_AUDIO ||
        !avcodec_find_decoder(id))
        return 0;
    ADD_Close(h);
    h->format = format;
    h->codecId = id;
    return 1;   // the context opens with the first block, once rate and channels are known
}

extern "C" AVKIT_API int ADD_SetCodecConfig(AvkAudioDecoder* h, const uint8_t* config, int size) {
    if (!h || size < 0 || (size > 0 && !config)) return 0;
    const size_t n = config ? static_cast<size_t>(size) : 0;
    if (n == h->config.size() && (n == 0 || std::memcmp(config, h->config.data(), n) == 0)) return 1;
    try {
        h->config.assign(config, config + n);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    FreeContext(h);   // the next block opens the decoder with the new setup
    return 1;
}

extern "C" AVKIT_API int ADD_Decode(AvkAudioDecoder* h, const uint8_t* in, int inSize,
                                    const uint8_t** outData, int* outSize, int* outRate,
                                    int* outChannels) {
    if (!h || !outData || !outSize || !outRate || !outChannels) return 0;
    *outData = nullptr;
    *outSize = 0;
    if (h->codecId == AV_CODEC_ID_NONE) return 0;
    const int wantRate = *outRate, wantChannels = *outChannels;
    h->pcmUsed = 0;

    if (!in) {   // flush: drain what the decoder holds, then make it ready again
        if (!h->ctx) return 1;
        if (avcodec_send_packet(h->ctx, nullptr) < 0) return 0;
        int rate = h->ctx->sample_rate, channels = h->ctx->ch_layout.nb_channels;
        const bool ok = ReceiveAll(h, &rate, &channels);
        avcodec_flush_buffers(h->ctx);
        if (!ok) return 0;
        *outData = h->pcm.data();
        *outSize = static_cast<int>(h->pcmUsed);
        *outRate = rate;
        *outChannels = channels;
        return 1;
    }
    if (inSize <= 0) return 0;

    const bool formatChanged = NeedsDeclaredFormat(h->codecId) &&
                               ((wantRate > 0 && wantRate != h->declaredRate) ||
                                (wantChannels > 0 && wantChannels != h->declaredChannels));
    if (!h->ctx || formatChanged) {
        if (!OpenContext(h, wantRate > 0 ? wantRate : h->declaredRate,
                         wantChannels > 0 ? wantChannels : h->declaredChannels))
            return 0;
    }

    // The packet borrows the caller's bytes; decoders only read them.
    h->packet->data = const_cast<uint8_t*>(in);
    h->packet->size = inSize;
    int rate = h->ctx->sample_rate, channels = h->ctx->ch_layout.nb_channels;
    int r = avcodec_send_packet(h->ctx, h->packet);
    if (r == AVERROR(EAGAIN)) {   // output pending first, then the block
        if (!ReceiveAll(h, &rate, &channels)) return 0;
        r = avcodec_send_packet(h->ctx, h->packet);
    }
    h->packet->data = nullptr;
    h->packet->size = 0;
    if (r < 0 && r != AVERROR_INVALIDDATA) return 0;
    if (!ReceiveAll(h, &rate, &channels)) return 0;
    if (r == AVERROR_INVALIDDATA && h->pcmUsed == 0) return 0;
    *outData = h->pcm.data();
    *outSize = static_cast<int>(h->pcmUsed);
    *outRate = rate;
    *outChannels = channels;
    return 1;
}

extern "C" AVKIT_API int ADD_Close(AvkAudioDecoder* h) {
    if (!h) return 0;
    FreeContext(h);
    h->format = -1;
    h->codecId = AV_CODEC_ID_NONE;
    h->declaredRate = h->declaredChannels = 0;
    h->config.clear();
    return 1;
}

extern "C" AVKIT_API void ADD_Delete(AvkAudioDecoder* h) {
    if (!h) return;
    FreeContext(h);
    av_packet_free(&h->packet);
    av_frame_free(&h->frame);
    delete h;
}
