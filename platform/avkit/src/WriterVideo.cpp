// The writer's video stream: BGRA or 4:2:0 pictures scaled (stretched or
// letterboxed) into the encoder's picture format and size, numbered at the
// frame rate. A 4:2:0 picture the encoder takes as it is is only copied.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>

#include "EncoderPresets.h"
#include "GifTwoPass.h"
#include "WriterParts.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "avkit/avkit.h"

namespace avkit {

namespace {

// Plain H.263 codes only these picture sizes.
constexpr int kH263Sizes[][2] = {{128, 96}, {176, 144}, {352, 288}, {704, 576}, {1408, 1152}};

void NearestH263Size(int& w, int& h) {
    long best = LONG_MAX;
    int bw = w, bh = h;
    for (const auto& s : kH263Sizes) {
        const long d = std::labs(static_cast<long>(s[0]) * s[1] - static_cast<long>(w) * h);
        if (d < best) best = d, bw = s[0], bh = s[1];
    }
    w = bw;
    h = bh;
}

const AVCodec* PickEncoder(const VideoSetup& s) {
    const AVCodecID id = static_cast<AVCodecID>(AvkCodec_ToFFmpeg(s.codec));
    if (id == AV_CODEC_ID_MPEG4 && s.fourcc == MKTAG('X', 'V', 'I', 'D'))
        if (const AVCodec* c = avcodec_find_encoder_by_name("libxvid")) return c;
    const char* name = AvkCodec_EncoderName(s.codec);
    return FitVideoEncoder(name ? avcodec_find_encoder_by_name(name) : nullptr, s.width, s.height);
}

}  // namespace

VideoStream::VideoStream() = default;

VideoStream::~VideoStream() {
    gif_.reset();
    if (next_ == 0) ReadyUnusedEncoderForClose(enc_);
    avcodec_free_context(&enc_);
    av_frame_free(&frame_);
    av_packet_free(&pkt_);
    sws_freeContext(sws_);
}

bool VideoStream::Open(AVFormatContext* fmt, const VideoSetup& s) {
    const AVCodec* codec = PickEncoder(s);
    if (!codec || s.width < 1 || s.height < 1 || s.width > 8192 || s.height > 8192 ||
        !(s.frameRate > 0) || s.frameRate > 1000)
        return false;
    if (avformat_query_codec(fmt->oformat, codec->id, FF_COMPLIANCE_NORMAL) == 0) return false;

    enc_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    pkt_ = av_packet_alloc();
    if (!enc_ || !frame_ || !pkt_) return false;

    AVPixelFormat pix = codec->pix_fmts ? codec->pix_fmts[0] : AV_PIX_FMT_YUV420P;
    if (codec->id == AV_CODEC_ID_RAWVIDEO)
        pix = s.rawImageFormat == AVK_IMAGE_BGRA32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR24;
    // GIF pictures are scaled in BGRA and mapped to the clip's palette at the end.
    if (codec->id == AV_CODEC_ID_GIF) pix = AV_PIX_FMT_PAL8;
    picture_ = codec->id == AV_CODEC_ID_GIF ? AV_PIX_FMT_BGRA : pix;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(picture_);

    int w = s.width, h = s.height;
    letterbox_ = s.stretchMode == 2;
    if (codec->id == AV_CODEC_ID_H263) {
        const int askedW = w, askedH = h;
        NearestH263Size(w, h);
        if (w != askedW || h != askedH) letterbox_ = true;
    }
    // Subsampled chroma needs whole chroma samples: 321 becomes 322.
    const int alignW = 1 << desc->log2_chroma_w, alignH = 1 << desc->log2_chroma_h;
    w = (w + alignW - 1) / alignW * alignW;
    h = (h + alignH - 1) / alignH * alignH;

    const AVRational rate = av_d2q(s.frameRate, 65535);
    enc_->width = w;
    enc_->height = h;
    enc_->pix_fmt = pix;
    enc_->time_base = av_inv_q(rate);
    enc_->framerate = rate;
    if (s.bitRate > 0) enc_->bit_rate = s.bitRate;
    if (s.tolerance > 0) enc_->bit_rate_tolerance = s.tolerance;
    if (s.keyInterval > 0) enc_->gop_size = s.keyInterval;
    if (s.aspect > 0)
        enc_->sample_aspect_ratio = av_d2q(s.aspect * h / w, 10000);
    if (codec->id == AV_CODEC_ID_MJPEG) enc_->color_range = AVCOL_RANGE_JPEG;
    if (fmt->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    enc_->thread_count = s.threads;   // 0: as many as the encoder likes
    AVDictionary* opts = nullptr;
    ApplyVideoPreset(codec, enc_, s.frameRate, s.keyInterval, &opts);
    const int opened = avcodec_open2(enc_, codec, &opts);
    av_dict_free(&opts);
    if (opened < 0) return false;

    st_ = avformat_new_stream(fmt, nullptr);
    if (!st_ || avcodec_parameters_from_context(st_->codecpar, enc_) < 0) return false;
    st_->time_base = enc_->time_base;
    st_->avg_frame_rate = rate;
    st_->sample_aspect_ratio = enc_->sample_aspect_ratio;
    // The FourCC only where the container names this codec by it (AVI's XVID, DIVX...).
    if (s.fourcc && fmt->oformat->codec_tag &&
        av_codec_get_id(fmt->oformat->codec_tag, s.fourcc) == codec->id)
        st_->codecpar->codec_tag = s.fourcc;
    if (!st_->codecpar->codec_tag) st_->codecpar->codec_tag = DefaultStreamTag(codec->id, fmt->oformat);

    frame_->format = picture_;
    frame_->width = w;
    frame_->height = h;
    frame_->color_range = enc_->color_range;
    if (av_frame_get_buffer(frame_, 0) < 0) return false;
    if (codec->id == AV_CODEC_ID_GIF) {
        gif_ = std::make_unique<GifTwoPass>();
        const std::string url = fmt->url ? fmt->url : "";
        const size_t slash = url.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string() : url.substr(0, slash + (slash == 0));
        if (!gif_->Open(w, h, enc_->time_base, folder)) return false;
    }
    return true;
}

// Where a picture of inW x inH lands in the frame, and the scaler for it.
bool VideoStream::Place(int inW, int inH, AVPixelFormat inFmt) {
    if (inW == inW_ && inH == inH_ && inFmt == inFmt_ && sws_) return true;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(picture_);
    const int alignW = 1 << desc->log2_chroma_w, alignH = 1 << desc->log2_chroma_h;
    w_ = enc_->width;
    h_ = enc_->height;
    x_ = y_ = 0;
    if (letterbox_) {
        if (static_cast<int64_t>(inW) * enc_->height > static_cast<int64_t>(inH) * enc_->width)
            h_ = std::max<int>(alignH, static_cast<int>(static_cast<int64_t>(enc_->width) * inH / inW));
        else
            w_ = std::max<int>(alignW, static_cast<int>(static_cast<int64_t>(enc_->height) * inW / inH));
        w_ = std::min(enc_->width, (w_ + alignW - 1) / alignW * alignW);
        h_ = std::min(enc_->height, (h_ + alignH - 1) / alignH * alignH);
        x_ = (enc_->width - w_) / 2 / alignW * alignW;
        y_ = (enc_->height - h_) / 2 / alignH * alignH;
    }
    sws_ = sws_getCachedContext(sws_, inW, inH, inFmt, w_, h_, picture_,
                                SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!sws_) return false;
    inW_ = inW;
    inH_ = inH;
    inFmt_ = inFmt;
    return true;
}

bool VideoStream::Write(Muxer& mux, const uint8_t* picture, int width, int height, bool i420) {
    if (!picture || width < 1 || height < 1 || width > 16384 || height > 16384) return false;
    // The encoder may still hold the last frame; then this takes a fresh buffer.
    if (av_frame_make_writable(frame_) < 0) return false;
    const uint8_t* src[4] = {picture, nullptr, nullptr, nullptr};
    int srcStride[4] = {width * 4, 0, 0, 0};
    if (i420) {
        const int cw = (width + 1) / 2, ch = (height + 1) / 2;
        src[1] = picture + size_t(width) * height;
        src[2] = src[1] + size_t(cw) * ch;
        srcStride[0] = width;
        srcStride[1] = srcStride[2] = cw;
        if (picture_ == AV_PIX_FMT_YUV420P && width == enc_->width && height == enc_->height) {
            av_image_copy(frame_->data, frame_->linesize, src, srcStride, AV_PIX_FMT_YUV420P, width, height);
            return Encode(mux);
        }
    }
    if (!Place(width, height, i420 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_BGRA)) return false;

    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(picture_);
    uint8_t* dst[4] = {};
    if (letterbox_) {
        ptrdiff_t lines[4];
        for (int i = 0; i < 4; ++i) lines[i] = frame_->linesize[i];
        av_image_fill_black(frame_->data, lines, picture_, enc_->color_range, enc_->width,
                            enc_->height);
    }
    for (int i = 0; i < 4 && frame_->data[i]; ++i) {
        int step = 0;   // bytes per pixel of this plane
        for (int c = 0; c < desc->nb_components; ++c)
            if (desc->comp[c].plane == i) step = std::max(step, desc->comp[c].step);
        const bool chroma = (i == 1 || i == 2) && !(desc->flags & AV_PIX_FMT_FLAG_RGB);
        const int px = chroma ? x_ >> desc->log2_chroma_w : x_;
        const int py = chroma ? y_ >> desc->log2_chroma_h : y_;
        dst[i] = frame_->data[i] + static_cast<ptrdiff_t>(py) * frame_->linesize[i] + px * step;
    }
    sws_scale(sws_, src, srcStride, 0, height, dst, frame_->linesize);
    return Encode(mux);
}

bool VideoStream::Encode(Muxer& mux) {
    frame_->pts = next_++;
    if (gif_) return gif_->Put(frame_);
    if (avcodec_send_frame(enc_, frame_) < 0) return false;
    return DrainEncoder(mux, enc_, st_, pkt_);
}

bool VideoStream::Flush(Muxer& mux) {
    // Nothing was sent, so nothing is held; and SVT-AV1 waits forever for
    // output when told of the end before any picture.
    if (!enc_ || !st_ || next_ == 0) return true;
    if (gif_ && !gif_->Finish(mux, enc_, st_, pkt_)) return false;
    if (avcodec_send_frame(enc_, nullptr) < 0) return false;
    return DrainEncoder(mux, enc_, st_, pkt_);
}

bool Muxer::Write(AVPacket* pkt) {
    std::lock_guard<std::mutex> hold(lock);
    return av_interleaved_write_frame(fmt, pkt) >= 0;
}

bool DrainEncoder(Muxer& mux, AVCodecContext* enc, AVStream* st, AVPacket* pkt) {
    for (;;) {
        const int r = avcodec_receive_packet(enc, pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
        pkt->stream_index = st->index;
        if (!mux.Write(pkt)) return false;
    }
}

}  // namespace avkit
