// FlvDecoder_*: one libavcodec decoder per FLV video stream, converting each
// decoded frame to packed BGRA (or its bare luma plane) in a buffer that is
// kept between frames.
#include "framedec/framedec.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

// FFmpeg keeps to errors from the moment this library is there: a program
// may load it on its first decode, before anything else of FFmpeg's.
__attribute__((constructor)) static void QuietFfmpeg() { av_log_set_level(AV_LOG_ERROR); }

namespace {
// Pictures a reordering decoder may hand out in one go (a B-frame stream's
// delay, or the rest of a stream at its end) wait here, in presentation order.
constexpr int kHeldPictures = 16;
constexpr int32_t kMaxCompositionMs = 4000;
}  // namespace

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
    // H.264: the sequence header in force (the decoder's extradata), and the
    // decoded pictures not handed out yet, oldest first.
    std::vector<uint8_t> setup;
    AVFrame* held[kHeldPictures] = {};
    int heldFirst = 0, heldCount = 0;
    // FD_IMAGE_I420: the part handed out and its size (0: the part's own).
    int cutLeft = -1, cutTop = -1, cutRight = -1, cutBottom = -1;
    int outWidth = 0, outHeight = 0, scaleFlags = SWS_BICUBIC;
    int threads = 1;
};

namespace {

// Far beyond any FLV picture; keeps sizes inside an int.
constexpr int kMaxSide = 8192;

// The codecs that go through setups and held pictures.
bool Reorders(const FdDecoder* d) {
    return d->codecId == AV_CODEC_ID_H264 || d->codecId == AV_CODEC_ID_HEVC ||
           d->codecId == AV_CODEC_ID_AV1 || d->codecId == AV_CODEC_ID_VP9;
}
// Those that cannot start without their setup.
bool NeedsSetup(const FdDecoder* d) {
    return d->codecId == AV_CODEC_ID_H264 || d->codecId == AV_CODEC_ID_HEVC;
}

void DropHeld(FdDecoder* d) {
    for (int i = 0; i < d->heldCount; ++i) av_frame_unref(d->held[(d->heldFirst + i) % kHeldPictures]);
    d->heldFirst = d->heldCount = 0;
}

// Held pictures own their buffers and stay valid without the context.
void FreeCodec(FdDecoder* d) {
    avcodec_free_context(&d->ctx);
    sws_freeContext(d->sws);
    d->sws = nullptr;
}

// AV1 is decoded by dav1d where it is present: FFmpeg's own AV1 decoder
// needs hardware.
const AVCodec* FindDecoder(AVCodecID id) {
    if (id == AV_CODEC_ID_AV1)
        if (const AVCodec* dav1d = avcodec_find_decoder_by_name("libdav1d")) return dav1d;
    return avcodec_find_decoder(id);
}

// Makes a decoding context, with the setup as extradata when there is one.
bool OpenCodec(FdDecoder* d) {
    FreeCodec(d);
    const AVCodec* codec = FindDecoder(d->codecId);
    d->ctx = avcodec_alloc_context3(codec);
    if (!d->ctx) return false;
    d->ctx->width = d->width;
    d->ctx->height = d->height;
    // One thread unless asked: a frame comes out as soon as the bitstream
    // allows (H.264 still holds back as many pictures as its reordering
    // needs). Frame threads hold back one picture more per thread.
    d->ctx->thread_count = Reorders(d) ? d->threads : 1;
    if (d->ctx->thread_count > 1) d->ctx->thread_type = FF_THREAD_FRAME;
    if (!d->setup.empty()) {
        d->ctx->extradata = static_cast<uint8_t*>(
            av_mallocz(d->setup.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!d->ctx->extradata) {
            FreeCodec(d);
            return false;
        }
        std::memcpy(d->ctx->extradata, d->setup.data(), d->setup.size());
        d->ctx->extradata_size = int(d->setup.size());
    }
    if (avcodec_open2(d->ctx, codec, nullptr) < 0) {
        FreeCodec(d);
        return false;
    }
    return true;
}

int ScaleFlags(int resizeMode) {
    switch (resizeMode) {
        case 0: return SWS_FAST_BILINEAR;
        case 1: return SWS_BILINEAR;
        case 3: return SWS_POINT;
        default: return SWS_BICUBIC;
    }
}

// Cuts the asked part out of the decoder's own picture and scales it to the
// asked size as planar 4:2:0, in one pass (a plain copy when nothing changes).
bool ConvertI420(FdDecoder* d, const AVFrame* f, int* outSize, int* width, int* height) {
    const int w = f->width, h = f->height;
    int l = 0, t = 0, r = w, b = h;
    if (!(d->cutLeft == -1 && d->cutTop == -1 && d->cutRight == -1 && d->cutBottom == -1)) {
        l = std::max(d->cutLeft, 0), t = std::max(d->cutTop, 0);
        r = std::min(d->cutRight, w), b = std::min(d->cutBottom, h);
        if (l >= r || t >= b) l = 0, t = 0, r = w, b = h;   // nothing left: all of it
    }
    const int cw = r - l, ch = b - t;
    const int ow = d->outWidth > 0 ? d->outWidth : cw, oh = d->outHeight > 0 ? d->outHeight : ch;
    if (ow > kMaxSide || oh > kMaxSide) return false;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(AVPixelFormat(f->format));
    if (!desc) return false;
    const uint8_t* src[4] = {};
    for (int i = 0; i < 4 && f->data[i]; ++i) {
        if (i == 1 && (desc->flags & AV_PIX_FMT_FLAG_PAL)) {   // the palette is not a picture plane
            src[i] = f->data[i];
            continue;
        }
        int step = 0;   // bytes per pixel of this plane
        for (int c = 0; c < desc->nb_components; ++c)
            if (desc->comp[c].plane == i) step = std::max(step, desc->comp[c].step);
        // A subsampled chroma plane starts at the sample that covers the edge.
        const bool chroma = (i == 1 || i == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
        const int x = chroma ? l >> desc->log2_chroma_w : l, y = chroma ? t >> desc->log2_chroma_h : t;
        src[i] = f->data[i] + ptrdiff_t(y) * f->linesize[i] + ptrdiff_t(x) * step;
    }
    const int cwOut = (ow + 1) / 2, chOut = (oh + 1) / 2;
    const size_t bytes = size_t(ow) * oh + 2 * size_t(cwOut) * chOut;
    // The converter writes whole vectors: its last row may run past the picture.
    const size_t slack = size_t(ow) * 4 + 64;
    if (d->picture.size() < bytes + slack) d->picture.resize(bytes + slack);
    d->sws = sws_getCachedContext(d->sws, cw, ch, AVPixelFormat(f->format), ow, oh, AV_PIX_FMT_YUV420P,
                                  d->scaleFlags, nullptr, nullptr, nullptr);
    if (!d->sws) return false;
    uint8_t* y = d->picture.data();
    uint8_t* dst[4] = {y, y + size_t(ow) * oh, y + size_t(ow) * oh + size_t(cwOut) * chOut, nullptr};
    const int dstStride[4] = {ow, cwOut, cwOut, 0};
    if (sws_scale(d->sws, src, f->linesize, 0, ch, dst, dstStride) != oh) return false;
    *outSize = int(bytes);
    *width = ow;
    *height = oh;
    return true;
}

// Converts a frame into d->picture. width and height: what was handed out.
bool Convert(FdDecoder* d, const AVFrame* f, int* outSize, int* width, int* height) {
    const int w = f->width, h = f->height;
    if (w <= 0 || h <= 0 || w > kMaxSide || h > kMaxSide) return false;
    if (d->imageFormat == FD_IMAGE_I420) return ConvertI420(d, f, outSize, width, height);
    *width = w;
    *height = h;
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

// Moves every picture the decoder has ready to the end of the held ones.
void ReceiveHeld(FdDecoder* d) {
    for (;;) {
        if (avcodec_receive_frame(d->ctx, d->frame) < 0) return;
        if (d->heldCount == kHeldPictures) {   // far beyond any reordering depth: drop the oldest
            av_frame_unref(d->held[d->heldFirst]);
            d->heldFirst = (d->heldFirst + 1) % kHeldPictures;
            --d->heldCount;
        }
        av_frame_move_ref(d->held[(d->heldFirst + d->heldCount) % kHeldPictures], d->frame);
        ++d->heldCount;
    }
}

// Everything the decoder still holds comes out; it then takes new data again.
void DrainToHeld(FdDecoder* d) {
    if (!d->ctx) return;
    if (avcodec_send_packet(d->ctx, nullptr) >= 0) ReceiveHeld(d);
    avcodec_flush_buffers(d->ctx);
}

// Hands out the oldest held picture.
bool TakeHeld(FdDecoder* d, const uint8_t** picture, int* pictureSize, int* width, int* height,
              int64_t* pts) {
    while (d->heldCount > 0) {
        AVFrame* f = d->held[d->heldFirst];
        d->heldFirst = (d->heldFirst + 1) % kHeldPictures;
        --d->heldCount;
        const bool ok = Convert(d, f, pictureSize, width, height);
        const int64_t t = f->pts != AV_NOPTS_VALUE ? f->pts : f->best_effort_timestamp;
        av_frame_unref(f);
        if (!ok) continue;
        *picture = d->picture.data();
        if (pts) *pts = t == AV_NOPTS_VALUE ? 0 : t;
        return true;
    }
    return false;
}

// Copies the caller's bytes with the zeroed padding the bitstream readers may look into.
bool SetPacket(FdDecoder* d, const uint8_t* data, int size) {
    const size_t need = size_t(size) + AV_INPUT_BUFFER_PADDING_SIZE;
    if (d->input.size() < need) d->input.resize(need * 3 / 2);
    std::memcpy(d->input.data(), data, size_t(size));
    std::memset(d->input.data() + size, 0, AV_INPUT_BUFFER_PADDING_SIZE);
    d->packet->data = d->input.data();
    d->packet->size = size;
    return true;
}

void ClearPacket(FdDecoder* d) {
    d->packet->data = nullptr;
    d->packet->size = 0;
    d->packet->pts = d->packet->dts = AV_NOPTS_VALUE;
    d->packet->flags = 0;
}

// The codecs whose pictures come after a setup and an order of their own:
// packet type 0 a setup, 1 a picture shown at dts + cts, 2 an end of sequence.
int DecodeOrdered(FdDecoder* d, uint32_t type, int32_t cts, const uint8_t* data, int size, int64_t dts,
                  int keyFrame, const uint8_t** picture, int* pictureSize, int* width, int* height,
                  int64_t* pts) {
    if (type == 0) {
        // VP9 needs no setup: its record only describes the stream.
        if (d->codecId == AV_CODEC_ID_VP9) return 0;
        // A setup equal to the one in force changes nothing; another one
        // starts the decoder afresh once the pictures it holds are out.
        const bool same = d->setup.size() == size_t(size) &&
                          (size == 0 || std::memcmp(d->setup.data(), data, size_t(size)) == 0);
        if (same && d->ctx) return 0;
        // A setup the decoder refuses is passed over: the one in force stays.
        std::vector<uint8_t> old;
        old.swap(d->setup);
        AVCodecContext* previous = d->ctx;
        d->ctx = nullptr;
        d->setup.assign(data, data + size);
        if (!OpenCodec(d)) {
            d->setup.swap(old);
            d->ctx = previous;
            return 0;
        }
        // The pictures the old context still holds come out before the new ones.
        AVCodecContext* fresh = d->ctx;
        d->ctx = previous;
        DrainToHeld(d);
        avcodec_free_context(&d->ctx);
        d->ctx = fresh;
        return 0;
    }
    if (type == 2) {   // end of sequence: the held pictures are complete
        DrainToHeld(d);
        return 0;
    }
    if (type != 1 || !d->ctx || size <= 0) return 0;
    SetPacket(d, data, size);
    d->packet->dts = dts;
    d->packet->pts = dts + cts;
    if (keyFrame) d->packet->flags |= AV_PKT_FLAG_KEY;
    int r = avcodec_send_packet(d->ctx, d->packet);
    if (r == AVERROR(EAGAIN)) {
        ReceiveHeld(d);
        r = avcodec_send_packet(d->ctx, d->packet);
    }
    ClearPacket(d);
    ReceiveHeld(d);   // also after a refused packet: pictures before it are good
    return TakeHeld(d, picture, pictureSize, width, height, pts) ? 1 : 0;
}

// The end of a stream: what the decoder still holds, one at a time.
int DrainOrdered(FdDecoder* d, const uint8_t** picture, int* pictureSize, int* width, int* height,
                 int64_t* pts) {
    if (d->heldCount == 0) DrainToHeld(d);
    return TakeHeld(d, picture, pictureSize, width, height, pts) ? 1 : 0;
}

// H.264 and HEVC tag data: packet type, CompositionTime, then the record or the NAL units.
int DecodeAvc(FdDecoder* d, const uint8_t* data, int size, int64_t dts, int keyFrame,
              const uint8_t** picture, int* pictureSize, int* width, int* height, int64_t* pts) {
    if (!data) return DrainOrdered(d, picture, pictureSize, width, height, pts);
    if (size < 4) return 0;   // too short for its own header
    uint32_t cts = uint32_t(data[1]) << 16 | uint32_t(data[2]) << 8 | data[3];
    if (cts & 0x800000) cts |= 0xFF000000u;
    // Pictures are shown at most a few frames after they are stored: an
    // offset beyond 4 s is damage, and the picture keeps its decode time.
    if (int32_t(cts) > kMaxCompositionMs || int32_t(cts) < -kMaxCompositionMs) cts = 0;
    return DecodeOrdered(d, data[0], int32_t(cts), data + 4, size - 4, dts, keyFrame, picture, pictureSize,
                         width, height, pts);
}

}  // namespace

extern "C" FRAMEDEC_API FdDecoder* FlvDecoder_Create(int framing, int codecId) {
    if (framing != 1) return nullptr;
    AVCodecID id;
    switch (uint32_t(codecId)) {
        case 2: id = AV_CODEC_ID_FLV1; break;
        case 3: id = AV_CODEC_ID_FLASHSV; break;
        case 4: id = AV_CODEC_ID_VP6F; break;
        case 5: id = AV_CODEC_ID_VP6A; break;
        case 6: id = AV_CODEC_ID_FLASHSV2; break;
        case 7: id = AV_CODEC_ID_H264; break;
        case 12:
        case FD_FOURCC_HEVC: id = AV_CODEC_ID_HEVC; break;
        case FD_FOURCC_AV1: id = AV_CODEC_ID_AV1; break;
        case FD_FOURCC_VP9: id = AV_CODEC_ID_VP9; break;
        default: return nullptr;
    }
    if (!FindDecoder(id)) return nullptr;
    auto* d = new (std::nothrow) FdDecoder;
    if (!d) return nullptr;
    d->codecId = id;
    d->packet = av_packet_alloc();
    d->frame = av_frame_alloc();
    bool ok = d->packet && d->frame;
    for (AVFrame*& f : d->held) ok = ok && (f = av_frame_alloc()) != nullptr;
    if (!ok) {
        FlvDecoder_Free(d);
        return nullptr;
    }
    return d;
}

extern "C" FRAMEDEC_API int FlvDecoder_Open(FdDecoder* h, int imageFormat, int width, int height) {
    if (!h || (imageFormat != FD_IMAGE_BGRA32 && imageFormat != FD_IMAGE_ALPHA8 && imageFormat != FD_IMAGE_I420))
        return 0;
    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) return 0;
    h->broken = false;
    h->width = width;
    h->height = height;
    DropHeld(h);
    // H.264 and HEVC take their setup from the stream; until then there is no context.
    if (NeedsSetup(h) && h->setup.empty()) {
        FreeCodec(h);
        h->imageFormat = imageFormat;
        return 1;
    }
    if (!OpenCodec(h)) return 0;
    h->imageFormat = imageFormat;
    return 1;
}

extern "C" FRAMEDEC_API int FlvDecoder_DecodeVideoEx(FdDecoder* h, const uint8_t* data, int size,
                                                     int64_t dts, int keyFrame,
                                                     const uint8_t** picture,
                                                     int* pictureSize, int* width, int* height,
                                                     int64_t* pts) {
    if (!h || !picture || !pictureSize || !width || !height) return 0;
    if (!h->imageFormat || (data && size <= 0)) return 0;   // not open, or nothing given
    try {
        if (h->codecId == AV_CODEC_ID_H264 || h->codecId == AV_CODEC_ID_HEVC)
            return DecodeAvc(h, data, size, dts, keyFrame, picture, pictureSize, width, height, pts);
        if (Reorders(h)) {   // the FourCC codecs come through DecodePacket
            return data ? 0 : DrainOrdered(h, picture, pictureSize, width, height, pts);
        }
        if (!data || !h->ctx) return 0;   // nothing is held back by the other codecs
        // A VP6 decoder that dropped a damaged frame refuses every frame after
        // it; a fresh one picks up again at the next key frame.
        if (h->broken && !FlvDecoder_Open(h, h->imageFormat, h->width, h->height)) return 0;
        SetPacket(h, data, size);
        if (keyFrame) h->packet->flags |= AV_PKT_FLAG_KEY;
        const int sent = avcodec_send_packet(h->ctx, h->packet);
        ClearPacket(h);
        const bool vp6 = h->codecId == AV_CODEC_ID_VP6F || h->codecId == AV_CODEC_ID_VP6A;
        if (sent < 0) {
            h->broken = vp6;
            return 0;
        }
        bool got = false;
        for (;;) {   // keep only the newest picture should a packet yield more than one
            const int r = avcodec_receive_frame(h->ctx, h->frame);
            if (r < 0) break;
            got = Convert(h, h->frame, pictureSize, width, height);
            av_frame_unref(h->frame);
        }
        if (!got) {
            h->broken = vp6;
            return 0;
        }
        *picture = h->picture.data();
        if (pts) *pts = dts;
        return 1;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" FRAMEDEC_API int FlvDecoder_DecodePacket(FdDecoder* h, int packetType, int compositionTime,
                                                    const uint8_t* data, int size, int64_t dts,
                                                    int keyFrame, const uint8_t** picture,
                                                    int* pictureSize, int* width, int* height,
                                                    int64_t* pts) {
    if (!h || !picture || !pictureSize || !width || !height || !h->imageFormat) return 0;
    if (!Reorders(h) || size < 0 || (size > 0 && !data)) return 0;
    if (compositionTime > kMaxCompositionMs || compositionTime < -kMaxCompositionMs) compositionTime = 0;
    try {
        return DecodeOrdered(h, uint32_t(packetType), compositionTime, data, size, dts, keyFrame, picture,
                             pictureSize, width, height, pts);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" FRAMEDEC_API int FlvDecoder_DecodeVideo(FdDecoder* h, const uint8_t* data, int size,
                                                   const uint8_t** picture, int* pictureSize,
                                                   int* width, int* height) {
    if (!data) return 0;
    return FlvDecoder_DecodeVideoEx(h, data, size, 0, 0, picture, pictureSize, width, height, nullptr);
}

extern "C" FRAMEDEC_API int FlvDecoder_TakePicture(FdDecoder* h, const uint8_t** picture,
                                                  int* pictureSize, int* width, int* height,
                                                  int64_t* pts) {
    if (!h || !picture || !pictureSize || !width || !height) return 0;
    try {
        return TakeHeld(h, picture, pictureSize, width, height, pts) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

extern "C" FRAMEDEC_API int FlvDecoder_SetOutputShape(FdDecoder* h, int left, int top, int right, int bottom,
                                                      int width, int height, int resizeMode) {
    if (!h || width < 0 || height < 0 || width > kMaxSide || height > kMaxSide || (width == 0) != (height == 0))
        return 0;
    h->cutLeft = left, h->cutTop = top, h->cutRight = right, h->cutBottom = bottom;
    h->outWidth = width, h->outHeight = height;
    h->scaleFlags = ScaleFlags(resizeMode);
    return 1;
}

extern "C" FRAMEDEC_API int FlvDecoder_SetThreads(FdDecoder* h, int threads) {
    if (!h || threads < 1 || threads > 16) return 0;
    h->threads = threads;
    return 1;
}

extern "C" FRAMEDEC_API int FlvDecoder_Flush(FdDecoder* h) {
    if (!h) return 0;
    DropHeld(h);
    if (h->ctx) avcodec_flush_buffers(h->ctx);
    return 1;
}

extern "C" FRAMEDEC_API int FlvDecoder_Close(FdDecoder* h) {
    if (!h) return 0;
    DropHeld(h);
    FreeCodec(h);
    h->setup.clear();
    h->imageFormat = 0;
    return 1;
}

extern "C" FRAMEDEC_API void FlvDecoder_Free(FdDecoder* h) {
    if (!h) return;
    DropHeld(h);
    FreeCodec(h);
    av_packet_free(&h->packet);
    av_frame_free(&h->frame);
    for (AVFrame*& f : h->held) av_frame_free(&f);
    delete h;
}
