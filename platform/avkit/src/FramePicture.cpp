#include "avkit/FramePicture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

struct Kind {
    AVCodecID codec;
    AVPixelFormat format;
};

bool KindOf(const std::string& path, Kind& kind) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos) return false;
    const char* ext = path.c_str() + dot + 1;
    if (strcasecmp(ext, "png") == 0) kind = {AV_CODEC_ID_PNG, AV_PIX_FMT_RGBA};
    else if (strcasecmp(ext, "jpg") == 0 || strcasecmp(ext, "jpeg") == 0) kind = {AV_CODEC_ID_MJPEG, AV_PIX_FMT_YUVJ420P};
    else if (strcasecmp(ext, "bmp") == 0) kind = {AV_CODEC_ID_BMP, AV_PIX_FMT_BGRA};
    else return false;
    return true;
}

struct CodecFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

}  // namespace

extern "C" AVKIT_API int AvkWriteFramePicture(const char* path, const uint8_t* bgra, int width, int height,
                                             int stride) {
    if (!path || !bgra || width <= 0 || height <= 0 || width > 16384 || height > 16384 ||
        std::abs(stride) < width * 4)
        return 0;
    Kind kind{};
    if (!KindOf(path, kind)) return 0;
    const AVCodec* encoder = avcodec_find_encoder(kind.codec);
    if (!encoder) return 0;
    std::unique_ptr<AVCodecContext, CodecFree> codec(avcodec_alloc_context3(encoder));
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!codec || !frame || !packet) return 0;
    codec->width = width;
    codec->height = height;
    codec->pix_fmt = kind.format;
    codec->time_base = AVRational{1, 25};
    codec->thread_count = 1;
    if (kind.codec == AV_CODEC_ID_MJPEG) {
        codec->flags |= AV_CODEC_FLAG_QSCALE;
        codec->global_quality = FF_QP2LAMBDA * 2;  // a good-quality still
    }
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0) return 0;
    frame->width = width;
    frame->height = height;
    frame->format = kind.format;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return 0;

    SwsContext* sws = sws_getContext(width, height, AV_PIX_FMT_BGRA, width, height, kind.format, SWS_BICUBIC,
                                     nullptr, nullptr, nullptr);
    if (!sws) return 0;
    const uint8_t* src[4] = {bgra, nullptr, nullptr, nullptr};
    int srcStride[4] = {stride, 0, 0, 0};
    const bool converted = sws_scale(sws, src, srcStride, 0, height, frame->data, frame->linesize) == height;
    sws_freeContext(sws);
    if (!converted) return 0;
    frame->pts = 0;
    if (avcodec_send_frame(codec.get(), frame.get()) < 0 || avcodec_send_frame(codec.get(), nullptr) < 0) return 0;
    if (avcodec_receive_packet(codec.get(), packet.get()) < 0) return 0;

    // The picture goes to a temporary name first, so a failed write leaves
    // neither a partial file nor a damaged earlier one.
    const std::string target(path);
    const std::string temp = target + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return 0;
    bool ok = std::fwrite(packet->data, 1, static_cast<size_t>(packet->size), f) == static_cast<size_t>(packet->size);
    ok = (std::fclose(f) == 0) && ok;
    ok = ok && std::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok ? 1 : 0;
}
