// The writer's audio stream: 16-bit PCM of any rate and channel count is
// converted to the encoder's format and regrouped into its frame size.
#include <algorithm>

#include "AmrNbEncoder.h"
#include "EncoderPresets.h"
#include "WriterParts.h"
#include "avkit/avkit.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace avkit {

namespace {

// Frame size for encoders that take any (PCM): small enough to interleave well.
constexpr int kAnyFrameSize = 1024;

AVSampleFormat PickFormat(const AVCodec* c) {
    if (!c->sample_fmts) return AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = c->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16) return *f;
    return c->sample_fmts[0];
}

}  // namespace

AudioStream::~AudioStream() {
    avcodec_free_context(&enc_);
    delete amr_;
    av_frame_free(&frame_);
    av_packet_free(&pkt_);
    swr_free(&swr_);
    if (fifo_) av_audio_fifo_free(fifo_);
    if (conv_) av_freep(&conv_[0]);
    av_freep(&conv_);
}

bool AudioStream::Open(AVFormatContext* fmt, const AudioSetup& s) {
    const AVCodecID id = static_cast<AVCodecID>(AvkCodec_ToFFmpeg(s.codec));
    if (id == AV_CODEC_ID_NONE || s.sampleRate < 1 || s.sampleRate > 384000 || s.channels < 1 ||
        s.channels > 8)
        return false;
    if (avformat_query_codec(fmt->oformat, id, FF_COMPLIANCE_NORMAL) == 0) return false;
    frame_ = av_frame_alloc();
    pkt_ = av_packet_alloc();
    if (!frame_ || !pkt_) return false;

    st_ = avformat_new_stream(fmt, nullptr);
    if (!st_) return false;
    if (id == AV_CODEC_ID_AMR_NB) {
        // The speech codec takes 8 kHz mono only, whatever was asked.
        amr_ = new (std::nothrow) AmrNbEncoder(s.bitRate > 0 ? s.bitRate : 12200);
        if (!amr_ || !amr_->Ok()) return false;
        outRate_ = 8000;
        outChannels_ = 1;
        outFmt_ = AV_SAMPLE_FMT_S16;
        frameSize_ = AmrNbEncoder::kFrameSamples;
        AVCodecParameters* par = st_->codecpar;
        par->codec_type = AVMEDIA_TYPE_AUDIO;
        par->codec_id = AV_CODEC_ID_AMR_NB;
        par->sample_rate = 8000;
        par->bit_rate = amr_->BitRate();
        par->frame_size = frameSize_;
        av_channel_layout_default(&par->ch_layout, 1);
        st_->time_base = AVRational{1, 8000};
    } else {
        const char* name = AvkCodec_EncoderName(s.codec);
        const AVCodec* codec = name ? avcodec_find_encoder_by_name(name) : nullptr;
        if (!codec) return false;
        enc_ = avcodec_alloc_context3(codec);
        if (!enc_) return false;
        enc_->sample_fmt = PickFormat(codec);
        // A rate the encoder cannot code (Opus has no 44.1 kHz) is resampled to one it can.
        enc_->sample_rate = FitSampleRate(codec, s.sampleRate);
        av_channel_layout_default(&enc_->ch_layout, s.channels);
        if (s.bitRate > 0) enc_->bit_rate = s.bitRate;
        enc_->time_base = AVRational{1, enc_->sample_rate};
        if (fmt->oformat->flags & AVFMT_GLOBALHEADER) enc_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (avcodec_open2(enc_, codec, nullptr) < 0) return false;
        if (avcodec_parameters_from_context(st_->codecpar, enc_) < 0) return false;
        st_->time_base = enc_->time_base;
        outRate_ = enc_->sample_rate;
        outChannels_ = enc_->ch_layout.nb_channels;
        outFmt_ = enc_->sample_fmt;
        frameSize_ = enc_->frame_size > 0 ? enc_->frame_size : kAnyFrameSize;
    }

    fifo_ = av_audio_fifo_alloc(outFmt_, outChannels_, frameSize_ * 4);
    frame_->format = outFmt_;
    frame_->sample_rate = outRate_;
    frame_->nb_samples = frameSize_;
    av_channel_layout_default(&frame_->ch_layout, outChannels_);
    return fifo_ && av_frame_get_buffer(frame_, 0) >= 0;
}

// Resamples into the FIFO; pcm null takes what the converter still holds.
bool AudioStream::Resample(const uint8_t* pcm, int samples) {
    const int need = swr_get_out_samples(swr_, samples);
    if (need < 0) return false;
    if (need > convCap_) {   // grows a few times at most, then stays
        if (conv_) av_freep(&conv_[0]);
        av_freep(&conv_);
        convCap_ = 0;
        if (av_samples_alloc_array_and_samples(&conv_, nullptr, outChannels_, need, outFmt_, 0) < 0)
            return false;
        convCap_ = need;
    }
    const uint8_t* in[1] = {pcm};
    const int got = swr_convert(swr_, conv_, convCap_, pcm ? in : nullptr, samples);
    if (got < 0) return false;
    return got == 0 || av_audio_fifo_write(fifo_, reinterpret_cast<void**>(conv_), got) == got;
}

// The converter is remade only when the input's rate or channels change.
bool AudioStream::Convert(const uint8_t* pcm, int samples, int rate, int channels) {
    if (!swr_ || rate != inRate_ || channels != inChannels_) {
        if (swr_ && !Resample(nullptr, 0)) return false;   // keep what the old one held
        swr_free(&swr_);
        AVChannelLayout inL, outL;
        av_channel_layout_default(&inL, channels);
        av_channel_layout_default(&outL, outChannels_);
        const int r = swr_alloc_set_opts2(&swr_, &outL, outFmt_, outRate_, &inL,
                                          AV_SAMPLE_FMT_S16, rate, 0, nullptr);
        av_channel_layout_uninit(&inL);
        av_channel_layout_uninit(&outL);
        if (r < 0 || swr_init(swr_) < 0) return false;
        inRate_ = rate;
        inChannels_ = channels;
    }
    return Resample(pcm, samples);
}

bool AudioStream::Write(Muxer& mux, const uint8_t* pcm, int bytes, int rate,
                        int channels) {
    if (!pcm || bytes < 0 || rate < 1 || rate > 384000 || channels < 1 || channels > 8)
        return false;
    const int samples = bytes / (2 * channels);
    if (samples == 0) return true;
    return Convert(pcm, samples, rate, channels) && EncodeReady(mux, false);
}

bool AudioStream::EncodeFrame(Muxer& mux, AVFrame* f) {
    if (amr_) {
        uint8_t out[AmrNbEncoder::kMaxFrameBytes];
        const int n = amr_->Encode(reinterpret_cast<const int16_t*>(f->data[0]), out);
        if (n <= 0) return false;
        pkt_->data = out;   // not reference counted: the muxer copies it
        pkt_->size = n;
        pkt_->pts = pkt_->dts = f->pts;
        pkt_->duration = frameSize_;
        pkt_->stream_index = st_->index;
        pkt_->flags = AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(pkt_, AVRational{1, 8000}, st_->time_base);
        const bool written = mux.Write(pkt_);
        pkt_->data = nullptr;
        pkt_->size = 0;
        return written;
    }
    if (avcodec_send_frame(enc_, f) < 0) return false;
    return DrainEncoder(mux, enc_, st_, pkt_);
}

// Encodes every whole frame in the FIFO; with last, also the rest, padded
// with silence for encoders that need whole frames.
bool AudioStream::EncodeReady(Muxer& mux, bool last) {
    while (av_audio_fifo_size(fifo_) >= frameSize_ || (last && av_audio_fifo_size(fifo_) > 0)) {
        if (av_frame_make_writable(frame_) < 0) return false;
        const int n = std::min(frameSize_, av_audio_fifo_size(fifo_));
        if (av_audio_fifo_read(fifo_, reinterpret_cast<void**>(frame_->data), n) != n) return false;
        const bool variable = enc_ && (enc_->codec->capabilities &
                                       (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME));
        if (n < frameSize_ && !variable)
            av_samples_set_silence(frame_->data, n, frameSize_ - n, outChannels_, outFmt_);
        frame_->nb_samples = (n < frameSize_ && variable) ? n : frameSize_;
        frame_->pts = next_;
        next_ += frame_->nb_samples;
        const bool ok = EncodeFrame(mux, frame_);
        frame_->nb_samples = frameSize_;
        if (!ok) return false;
    }
    return true;
}

bool AudioStream::Flush(Muxer& mux) {
    if (!st_ || !fifo_) return true;
    if (swr_ && !Resample(nullptr, 0)) return false;
    if (!EncodeReady(mux, true)) return false;
    if (!enc_) return true;
    if (avcodec_send_frame(enc_, nullptr) < 0) return false;
    return DrainEncoder(mux, enc_, st_, pkt_);
}

}  // namespace avkit
