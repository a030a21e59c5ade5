#include "avkit/PictureFile.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "GifDelays.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace {

// Larger pictures are refused: a damaged header must not make us allocate
// gigabytes.
constexpr int64_t kMaxPixels = 16384LL * 16384LL;
// Nor may a few bytes claim a huge picture. The best compression any of our
// formats reaches on a real picture (deflate on a one-bit PNG or TIFF, a blank
// fax page) stays well below this many pixels per byte of the file.
constexpr int64_t kMaxPixelsPerByte = 65536;

struct Packet {
    std::vector<uint8_t> data;
    int delay;  // hundredths of a second, -1 when the format has none
};

struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct InputCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};

const char* TypeNameOf(const char* demuxer, AVCodecID codec) {
    if (demuxer && std::strcmp(demuxer, "ico") == 0) return "Icon";
    switch (codec) {
        case AV_CODEC_ID_BMP: return "BMP";
        case AV_CODEC_ID_GIF: return "GIF";
        case AV_CODEC_ID_MJPEG:
        case AV_CODEC_ID_JPEGLS: return "JPEG";
        case AV_CODEC_ID_PNG: return "PNG";
        case AV_CODEC_ID_TIFF: return "TIFF";
        default: return nullptr;
    }
}

}  // namespace

struct AvkPictureFile {
    std::string typeName;
    int width = 0;
    int height = 0;
    bool hasDelays = false;
    std::vector<Packet> frames;
    AVCodecParameters* params = nullptr;

    // Decoding state: frames decode in order; going back restarts from 0.
    std::unique_ptr<AVCodecContext, CodecCloser> codec;
    std::unique_ptr<AVFrame, FrameFreer> frame{av_frame_alloc()};
    std::unique_ptr<AVPacket, PacketFreer> packet{av_packet_alloc()};
    SwsContext* sws = nullptr;
    int nextFrame = 0;
    // Sized by the first frame converted, not at open: asking a picture its
    // size costs no frame buffer.
    std::vector<uint8_t> pixels;
    int pixelsFrame = -1;  // the frame `pixels` holds, -1 for none

    ~AvkPictureFile() {
        sws_freeContext(sws);
        avcodec_parameters_free(&params);
    }

    bool OpenDecoder() {
        const AVCodec* decoder = avcodec_find_decoder(params->codec_id);
        if (!decoder) return false;
        codec.reset(avcodec_alloc_context3(decoder));
        if (!codec || avcodec_parameters_to_context(codec.get(), params) < 0) return false;
        codec->thread_count = 1;
        nextFrame = 0;
        return avcodec_open2(codec.get(), decoder, nullptr) >= 0;
    }

    // Decodes the next frame into `frame`.
    bool DecodeNext() {
        if (nextFrame >= static_cast<int>(frames.size())) return false;
        Packet& p = frames[static_cast<size_t>(nextFrame)];
        ++nextFrame;
        av_packet_unref(packet.get());
        packet->data = p.data.data();
        packet->size = static_cast<int>(p.data.size());
        if (avcodec_send_packet(codec.get(), packet.get()) < 0) return false;
        packet->data = nullptr;
        packet->size = 0;
        int r = avcodec_receive_frame(codec.get(), frame.get());
        if (r == AVERROR(EAGAIN)) {  // a decoder that holds frames back: drain it
            avcodec_send_packet(codec.get(), nullptr);
            r = avcodec_receive_frame(codec.get(), frame.get());
        }
        return r >= 0;
    }

    bool ConvertFrame() {
        if (frame->width != width || frame->height != height) return false;
        sws = sws_getCachedContext(sws, width, height, static_cast<AVPixelFormat>(frame->format), width, height,
                                   AV_PIX_FMT_BGRA, SWS_POINT, nullptr, nullptr, nullptr);
        if (!sws) return false;
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
        uint8_t* dst[4] = {pixels.data(), nullptr, nullptr, nullptr};
        int dstStride[4] = {width * 4, 0, 0, 0};
        return sws_scale(sws, frame->data, frame->linesize, 0, height, dst, dstStride) == height;
    }
};

extern "C" {

AVKIT_API AvkPictureFile* APF_Open(const char* path) {
    if (!path || !*path) return nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "pattern_type", "none", 0);  // a '%' in a name is just a character
    AVFormatContext* raw = nullptr;
    const int opened = avformat_open_input(&raw, path, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) return nullptr;
    std::unique_ptr<AVFormatContext, InputCloser> input(raw);
    // Finding the stream's facts decodes a frame: the decoder must already
    // refuse a picture larger than the file can hold, before it allocates it.
    std::error_code sizeError;
    const uintmax_t fileBytes = std::filesystem::file_size(path, sizeError);
    int64_t maxPixels = kMaxPixels;
    if (!sizeError && fileBytes < static_cast<uintmax_t>(kMaxPixels / kMaxPixelsPerByte))
        maxPixels = static_cast<int64_t>(fileBytes) * kMaxPixelsPerByte;
    std::vector<AVDictionary*> streamOptions(input->nb_streams, nullptr);
    for (AVDictionary*& o : streamOptions) av_dict_set_int(&o, "max_pixels", maxPixels, 0);
    const int found = avformat_find_stream_info(input.get(), streamOptions.empty() ? nullptr : streamOptions.data());
    for (AVDictionary*& o : streamOptions) av_dict_free(&o);
    if (found < 0 || input->nb_streams < 1) return nullptr;

    AVStream* stream = input->streams[0];
    const AVCodecParameters* cp = stream->codecpar;
    const char* type = cp->codec_type == AVMEDIA_TYPE_VIDEO ? TypeNameOf(input->iformat->name, cp->codec_id)
                                                             : nullptr;
    // A format whose reader takes the size from the header alone (GIF) is
    // held to the same limit here.
    if (!type || cp->width <= 0 || cp->height <= 0 || static_cast<int64_t>(cp->width) * cp->height > maxPixels)
        return nullptr;

    auto pic = std::make_unique<AvkPictureFile>();
    pic->typeName = type;
    pic->width = cp->width;
    pic->height = cp->height;
    pic->hasDelays = cp->codec_id == AV_CODEC_ID_GIF;
    pic->params = avcodec_parameters_alloc();
    if (!pic->params || avcodec_parameters_copy(pic->params, cp) < 0) return nullptr;

    AVPacket* pkt = pic->packet.get();
    while (av_read_frame(input.get(), pkt) >= 0) {
        if (pkt->stream_index == 0 && pkt->size > 0) {
            int delay = -1;
            if (pic->hasDelays)
                delay = static_cast<int>(av_rescale_q(pkt->duration, stream->time_base, AVRational{1, 100}));
            pic->frames.push_back(Packet{std::vector<uint8_t>(pkt->data, pkt->data + pkt->size), delay});
            // A still picture demuxed by the image reader holds one frame.
            if (!pic->hasDelays) {
                av_packet_unref(pkt);
                break;
            }
        }
        av_packet_unref(pkt);
    }
    if (pic->frames.empty() || !pic->OpenDecoder()) return nullptr;
    if (pic->hasDelays) {
        // The demuxer turns a stored delay of 0 into 1; take the stored ones.
        const std::vector<int> stored = ReadGifDelays(path);
        if (stored.size() == pic->frames.size())
            for (size_t i = 0; i < stored.size(); ++i) pic->frames[i].delay = stored[i];
    }
    return pic.release();
}

AVKIT_API void APF_Close(AvkPictureFile* h) { delete h; }

AVKIT_API const char* APF_TypeName(const AvkPictureFile* h) { return h ? h->typeName.c_str() : ""; }
AVKIT_API int APF_Width(const AvkPictureFile* h) { return h ? h->width : 0; }
AVKIT_API int APF_Height(const AvkPictureFile* h) { return h ? h->height : 0; }
AVKIT_API int APF_FrameCount(const AvkPictureFile* h) { return h ? static_cast<int>(h->frames.size()) : 0; }
AVKIT_API int APF_HasFrameDelays(const AvkPictureFile* h) { return h && h->hasDelays; }

AVKIT_API int APF_FrameDelay(const AvkPictureFile* h, int index) {
    if (!h || index < 0 || index >= static_cast<int>(h->frames.size())) return -1;
    return h->frames[static_cast<size_t>(index)].delay;
}

AVKIT_API const uint8_t* APF_FrameBGRA(AvkPictureFile* h, int index) {
    if (!h || index < 0 || index >= static_cast<int>(h->frames.size())) return nullptr;
    if (index == h->pixelsFrame) return h->pixels.data();  // the frame already converted
    h->pixelsFrame = -1;
    if (index < h->nextFrame && !h->OpenDecoder()) return nullptr;
    while (h->nextFrame <= index) {
        if (!h->DecodeNext()) return nullptr;
    }
    if (!h->ConvertFrame()) return nullptr;
    h->pixelsFrame = index;
    return h->pixels.data();
}

}
