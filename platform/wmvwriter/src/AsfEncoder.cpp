#include "AsfEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace {

constexpr int kSilentRate = 44100, kSilentChannels = 2, kSilentBitRate = 64000;
constexpr int kWmv1 = 18, kWmv2 = 19, kNoVideo = 589824;

}  // namespace

AsfEncoder::~AsfEncoder() { Release(); }

void AsfEncoder::Release() {
    if (fmt_) {
        if (fmt_->pb) avio_closep(&fmt_->pb);
        avformat_free_context(fmt_);
        fmt_ = nullptr;
    }
    avcodec_free_context(&venc_);
    avcodec_free_context(&aenc_);
    av_frame_free(&vframe_);
    av_frame_free(&aframe_);
    av_packet_free(&pkt_);
    sws_freeContext(sws_);
    sws_ = nullptr;
    swr_free(&swr_);
    if (fifo_) av_audio_fifo_free(fifo_);
    fifo_ = nullptr;
    if (conv_) av_freep(&conv_[0]);
    av_freep(&conv_);
    convCap_ = 0;
    vst_ = ast_ = nullptr;
}

bool AsfEncoder::SetParams(int width, int height, int videoBitRate, int videoCodec,
                           double frameRate, int sampleRate, int channels, int audioBitRate) {
    if (IsOpen()) return false;
    const bool video = videoCodec != kNoVideo;
    if (video && videoCodec != kWmv1 && videoCodec != kWmv2) return false;
    if (video && (width < 2 || height < 2 || width > 4096 || height > 4096 ||
                  !(frameRate > 0) || frameRate > 240))
        return false;
    silent_ = sampleRate < 1 || channels < 1;
    if (silent_ && !video) return false;   // nothing at all to write
    if (!silent_ && (sampleRate > 48000 || channels > 2)) return false;   // WMA 2's limits
    hasVideo_ = video;
    // The encoders work on whole chroma samples: an odd size is raised by one.
    inWidth_ = width;
    inHeight_ = height;
    width_ = (width + 1) & ~1;
    height_ = (height + 1) & ~1;
    videoBitRate_ = videoBitRate > 0 ? videoBitRate : 1000000;
    videoCodec_ = videoCodec;
    frameRate_ = video ? frameRate : 25;
    sampleRate_ = silent_ ? kSilentRate : sampleRate;
    channels_ = silent_ ? kSilentChannels : channels;
    audioBitRate_ = silent_ ? kSilentBitRate : (audioBitRate > 0 ? audioBitRate : 64000);
    paramsSet_ = true;
    return true;
}

bool AsfEncoder::OpenVideo() {
    const AVCodec* codec = avcodec_find_encoder(videoCodec_ == kWmv1 ? AV_CODEC_ID_WMV1
                                                                     : AV_CODEC_ID_WMV2);
    if (!codec || !(venc_ = avcodec_alloc_context3(codec))) return false;
    const AVRational rate = av_d2q(frameRate_, 65535);
    venc_->width = width_;
    venc_->height = height_;
    venc_->pix_fmt = AV_PIX_FMT_YUV420P;
    venc_->time_base = av_inv_q(rate);
    venc_->framerate = rate;
    venc_->bit_rate = videoBitRate_;
    venc_->mb_decision = std::clamp(complexity, 0, 2);
    venc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(venc_, codec, nullptr) < 0) return false;
    vst_ = avformat_new_stream(fmt_, nullptr);
    if (!vst_ || avcodec_parameters_from_context(vst_->codecpar, venc_) < 0) return false;
    vst_->time_base = venc_->time_base;
    vframe_ = av_frame_alloc();
    if (!vframe_) return false;
    vframe_->format = AV_PIX_FMT_YUV420P;
    vframe_->width = width_;
    vframe_->height = height_;
    if (av_frame_get_buffer(vframe_, 0) < 0) return false;
    // Pictures come in at the size given, which may be one short of the
    // even size the encoder codes; the scaler stretches that one pixel.
    sws_ = sws_getContext(inWidth_, inHeight_, AV_PIX_FMT_BGRA, width_, height_, AV_PIX_FMT_YUV420P,
                          SWS_BICUBIC, nullptr, nullptr, nullptr);
    return sws_ != nullptr;
}

bool AsfEncoder::OpenAudio() {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!codec || !(aenc_ = avcodec_alloc_context3(codec))) return false;
    aenc_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    aenc_->sample_rate = sampleRate_;
    av_channel_layout_default(&aenc_->ch_layout, channels_);
    aenc_->bit_rate = audioBitRate_;
    aenc_->time_base = AVRational{1, sampleRate_};
    aenc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(aenc_, codec, nullptr) < 0) return false;
    ast_ = avformat_new_stream(fmt_, nullptr);
    if (!ast_ || avcodec_parameters_from_context(ast_->codecpar, aenc_) < 0) return false;
    ast_->time_base = aenc_->time_base;

    AVChannelLayout layout;
    av_channel_layout_default(&layout, channels_);
    const int r = swr_alloc_set_opts2(&swr_, &aenc_->ch_layout, aenc_->sample_fmt, sampleRate_,
                                      &layout, AV_SAMPLE_FMT_S16, sampleRate_, 0, nullptr);
    av_channel_layout_uninit(&layout);
    if (r < 0 || swr_init(swr_) < 0) return false;
    const int frameSize = aenc_->frame_size;
    fifo_ = av_audio_fifo_alloc(aenc_->sample_fmt, channels_, frameSize * 4);
    aframe_ = av_frame_alloc();
    if (!fifo_ || !aframe_) return false;
    aframe_->format = aenc_->sample_fmt;
    aframe_->sample_rate = sampleRate_;
    aframe_->nb_samples = frameSize;
    av_channel_layout_copy(&aframe_->ch_layout, &aenc_->ch_layout);
    return av_frame_get_buffer(aframe_, 0) >= 0;
}

bool AsfEncoder::Open(const char* path) {
    if (!paramsSet_ || IsOpen() || !path || !*path) return false;
    path_ = path;
    bool ok = avformat_alloc_output_context2(&fmt_, nullptr, "asf", path) >= 0 && fmt_;
    for (size_t i = 0; ok && i < tags.size(); ++i)
        ok = av_dict_set(&fmt_->metadata, tags[i].first.c_str(), tags[i].second.c_str(), 0) >= 0;
    if (ok && hasVideo_) ok = OpenVideo();
    if (ok) ok = OpenAudio();
    if (ok) ok = (pkt_ = av_packet_alloc()) != nullptr;
    if (ok) ok = avio_open(&fmt_->pb, path, AVIO_FLAG_WRITE) >= 0;
    const bool created = ok;
    if (ok) ok = avformat_write_header(fmt_, nullptr) >= 0;
    if (!ok) {
        Release();
        if (created) std::remove(path_.c_str());
        return false;
    }
    lastVideoPts_ = -1;
    audioSamples_ = audioIn_ = 0;
    failed_ = false;
    return true;
}

bool AsfEncoder::Drain(AVCodecContext* enc, AVStream* st) {
    for (;;) {
        const int r = avcodec_receive_packet(enc, pkt_);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        av_packet_rescale_ts(pkt_, enc->time_base, st->time_base);
        pkt_->stream_index = st->index;
        if (av_interleaved_write_frame(fmt_, pkt_) < 0) return false;
    }
}

bool AsfEncoder::WriteVideo(const uint8_t* frame, int bytes, int64_t time100ns) {
    if (!IsOpen() || !hasVideo_ || failed_) return false;
    const int64_t need = static_cast<int64_t>(inWidth_) * inHeight_ * 4;
    if (!frame || bytes < need || time100ns < 0) return false;
    // Frames are placed by their time; two frames never share a number.
    int64_t pts = std::llround(static_cast<double>(time100ns) * venc_->time_base.den /
                               (venc_->time_base.num * 10000000.0));
    if (pts <= lastVideoPts_) pts = lastVideoPts_ + 1;
    if (silent_ && !Silence(av_rescale_q(pts + 1, venc_->time_base, AVRational{1, sampleRate_}))) {
        failed_ = true;
        return false;
    }
    if (av_frame_make_writable(vframe_) < 0) return failed_ = true, false;
    const uint8_t* src[4] = {frame, nullptr, nullptr, nullptr};
    const int stride[4] = {inWidth_ * 4, 0, 0, 0};
    sws_scale(sws_, src, stride, 0, inHeight_, vframe_->data, vframe_->linesize);
    vframe_->pts = pts;
    lastVideoPts_ = pts;
    if (avcodec_send_frame(venc_, vframe_) < 0 || !Drain(venc_, vst_)) {
        failed_ = true;
        return false;
    }
    return true;
}

bool AsfEncoder::WriteAudio(const uint8_t* pcm, int bytes) {
    if (!IsOpen() || failed_) return false;
    if (!pcm || bytes < 0) return false;
    if (silent_) return true;   // the writer makes its own silence
    const int samples = bytes / (2 * channels_);
    if (samples == 0) return true;
    if (samples > convCap_) {   // grows a few times at most
        if (conv_) av_freep(&conv_[0]);
        av_freep(&conv_);
        convCap_ = 0;
        if (av_samples_alloc_array_and_samples(&conv_, nullptr, channels_, samples,
                                               aenc_->sample_fmt, 0) < 0)
            return failed_ = true, false;
        convCap_ = samples;
    }
    const uint8_t* in[1] = {pcm};
    const int got = swr_convert(swr_, conv_, convCap_, in, samples);
    if (got < 0 || av_audio_fifo_write(fifo_, reinterpret_cast<void**>(conv_), got) != got)
        return failed_ = true, false;
    audioIn_ += got;
    if (!EncodeAudio(false)) return failed_ = true, false;
    return true;
}

// Silence up to the given sample, so the sound keeps pace with the pictures.
bool AsfEncoder::Silence(int64_t untilSample) {
    while (audioIn_ < untilSample) {
        const int n = static_cast<int>(std::min<int64_t>(aframe_->nb_samples, untilSample - audioIn_));
        if (av_frame_make_writable(aframe_) < 0) return false;
        av_samples_set_silence(aframe_->data, 0, n, channels_, aenc_->sample_fmt);
        if (av_audio_fifo_write(fifo_, reinterpret_cast<void**>(aframe_->data), n) != n)
            return false;
        audioIn_ += n;
    }
    return EncodeAudio(false);
}

// Encodes the whole frames held; with last, also the rest (the encoder pads it).
bool AsfEncoder::EncodeAudio(bool last) {
    const int frameSize = aenc_->frame_size;
    while (av_audio_fifo_size(fifo_) >= frameSize || (last && av_audio_fifo_size(fifo_) > 0)) {
        if (av_frame_make_writable(aframe_) < 0) return false;
        const int n = std::min(frameSize, av_audio_fifo_size(fifo_));
        if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(aframe_->data), n) != n) return false;
        if (n < frameSize)
            av_samples_set_silence(aframe_->data, n, frameSize - n, channels_, aenc_->sample_fmt);
        aframe_->pts = audioSamples_;
        audioSamples_ += frameSize;
        if (avcodec_send_frame(aenc_, aframe_) < 0 || !Drain(aenc_, ast_)) return false;
    }
    return true;
}

bool AsfEncoder::Close() {
    if (!IsOpen()) return false;
    bool ok = !failed_;
    if (ok && hasVideo_) ok = avcodec_send_frame(venc_, nullptr) >= 0 && Drain(venc_, vst_);
    // The sound's end is written here, once, whatever WriteAudioEnd was told before.
    if (ok && silent_ && lastVideoPts_ >= 0)
        ok = Silence(av_rescale_q(lastVideoPts_ + 1, venc_->time_base, AVRational{1, sampleRate_}));
    if (ok && !silent_) {
        const int got = swr_convert(swr_, conv_, convCap_, nullptr, 0);
        ok = got >= 0 && (got == 0 || av_audio_fifo_write(fifo_, reinterpret_cast<void**>(conv_), got) == got);
    }
    if (ok) ok = EncodeAudio(true);
    if (ok) ok = avcodec_send_frame(aenc_, nullptr) >= 0 && Drain(aenc_, ast_);
    if (av_write_trailer(fmt_) < 0) ok = false;
    avio_flush(fmt_->pb);
    if (fmt_->pb->error < 0) ok = false;
    if (avio_closep(&fmt_->pb) < 0) ok = false;
    Release();
    return ok;
}
