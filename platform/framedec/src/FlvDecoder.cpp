// FlvDecoder_*: one libavcodec decoder per FLV video stream, converting each
// decoded frame to packed BGRA (or its bare luma plane) in a buffer that is
// kept between frames.
#include "framedec/framedec.h"

#include <cstring>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

struct FdDecoder {
    AVCodecID codecId = AV_CODEC_ID_NONE;
    int imageFormat = 0;
    AVCodecContext* ctx = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* sws = nullptr;
    int width = 0, height = 0;      // what Open was given
    bool broken = false;            // a VP6 frame failed: start afresh
    std::vector<uint8_t> input;     // padded copy of the caller's bytes
    std::vector<uint8_t> picture;   // converted output
};

namespace {

// Far beyond any FLV picture; keeps sizes inside an int.
constexpr int kMaxSide = 8192;

void FreeCodec(FdDecoder* d) {
    avcodec_free_context(&d->ctx);
    sws_freeContext(d->sws);
    d->sws = nullptr;
}

// Converts d->frame into d->picture.
bool Convert(FdDecoder* d, int* outSize) {
    const AVFrame* f = d->frame;
    const int w = f->width, h = f->height;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;
    const size_t bytes = size_t(w) * h * (d->imageFormat == FD_IMAGE_BGRA32 ? 4 : 1);
    // The converter writes whole vectors: its last row may run past the picture.
    const size_t slack = size_t(w) * 4 + 64;
    if (d->picture.size() < bytes + slack) d->picture.resize(bytes + slack);
    if (d->imageFormat == FD_IMAGE_ALPHA8) {
        // Only the luma plane matters: an alpha stream codes opacity as brightness.
        for (int y = 0; y < h; ++y)
            std::memcpy(d->picture.data() + size_t(y) * w, f->data[0] + ptrdiff_t(y) * f->linesize[0], w);
    } else {
        // Bicubic like the ffmpeg tool's default, so pictures match its conversion.
        d->sws = sws_getCachedContext(d->sws, w, h, AVPixelFormat(f->format), w, h,
                                      AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
        if (!d->sws) return false;
        uint8_t* dst[4] = {d->picture.data(), nullptr, nullptr, nullptr};
        const int dstStride[4] = {w * 4, 0, 0, 0};
        if (sws_scale(d->sws, f->data, f->linesize, 0, h, dst, dstStride) != h) return false;
    }
    *outSize = int(bytes);
    return true;
}

}  // namespace

extern "C" FRAMEDEC_API FdDecoder* FlvDecoder_Create(int framing, int codecId) {
    if (framing != 1) return nullptr;
    AVCodecID id;
    switch (codecId) {
        case 2: id = AV_CODEC_ID_FLV1; break;
        case 4: id = AV_CODEC_ID_VP6F; break;
        case 5: id = AV_CODEC_ID_VP6A; break;
        default: return nullptr;
    }
    if (!avcodec_find_decoder(id)) return nullptr;
    auto* d = new (std::nothrow) FdDecoder;
    if (!d) return nullptr;
    d->codecId = id;
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    if (!d->packet || !d->frame) {
        FlvDecoder_Free(d);
        return nullptr;
    }
    return d;
}

extern "C" FRAMEDEC_API int FlvDecoder_Open(FdDecoder* h, int imageFormat, int width, int height) {
    if (!h || (imageFormat != FD_IMAGE_BGRA32 && imageFormat != FD_IMAGE_ALPHA8)) return 0;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return 0;
    FreeCodec(h);
    h->broken = false;
    const AVCodec* codec = avcodec_find_decoder(h->codecId);
    h->ctx = avcodec_alloc_context3(codec);
    if (!h->ctx) return 0;
    h->ctx->width = width;
    h->ctx->height = height;
    h->ctx->thread_count = 1;   // one frame in, one frame out: no reordering delay
    if (avcodec_open2(h->ctx, codec, nullptr) < 0) {
        FreeCodec(h);
        return 0;
    }
    h->imageFormat = imageFormat;
    h->width = width;
    h->height = height;
    return 1;
}

extern "C" FRAMEDEC_API int FlvDecoder_DecodeVideo(FdDecoder* h, const uint8_t* data, int size,
                                                   const uint8_t** picture, int* pictureSize,
                                                   int* width, int* height) {
    if (!h || !h->ctx || !data || size <= 0 || !picture || !pictureSize || !width || !height)
        return 0;
    try {
        // A VP6 decoder that dropped a damaged frame refuses every frame after
        // it; a fresh one picks up again at the next key frame.
        if (h->broken && !FlvDecoder_Open(h, h->imageFormat, h->width, h->height)) return 0;
        // The bitstream readers may look past the end: hand them zeroed padding.
        const size_t need = size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE;
        if (h->input.size() < need) h->input.resize(need * 3 / 2);
        std::memcpy(h->input.data(), data, size_t(size));
        std::memset(h->input.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        h->packet->data = h->input.data();
        h->packet->size = size;
        const int sent = avcodec_send_packet(h->ctx, h->packet);
        h->packet->data = nullptr;
        h->packet->size = 0;
        if (sent < 0) {
            h->broken = h->codecId != AV_CODEC_ID_FLV1;
            return 0;
        }
        bool got = false;
        for (;;) {   // keep only the newest picture should a packet yield more than one
            const int r = avcodec_receive_frame(h->ctx, h->frame);
            if (r < 0) break;
            got = Convert(h, pictureSize);
            *width = h->frame->width;
            *height = h->frame->height;
            av_frame_unref(h->frame);
        }
        if (!got) {
            h->broken = h->codecId != AV_CODEC_ID_FLV1;
            return 0;
        }
        *picture = h->picture.data();
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" FRAMEDEC_API int FlvDecoder_Close(FdDecoder* h) {
    if (!h) return 0;
    FreeCodec(h);
    return 1;
}

extern "C" FRAMEDEC_API void FlvDecoder_Free(FdDecoder* h) {
    if (!h) return;
    FreeCodec(h);
    av_packet_free(&h->packet);
    av_frame_free(&h->frame);
    delete h;
}
