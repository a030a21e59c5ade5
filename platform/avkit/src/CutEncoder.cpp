// The cut encoder: libavcodec's h264 decoder, then libx264 set up like the
// source, its output turned from start codes into the source's
// length-prefixed NAL units.
#include "avkit/CutEncoder.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace {

using Bytes = std::vector<uint8_t>;

struct Packet {
    Bytes data;
    int64_t pts;
    bool key;
};

// Reads unsigned Exp-Golomb numbers from a NAL unit (its header byte skipped
// by the caller), without emulation prevention bytes mattering for the
// first few fields.
class Bits {
public:
    Bits(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool Ue(uint32_t& v) {
        int zeros = 0;
        for (int b; (b = Bit()) == 0;)
            if (++zeros > 31) return false;
        if (pos_ > n_ * 8) return false;
        v = (1u << zeros) - 1;
        for (int i = zeros - 1; i >= 0; --i) {
            const int b = Bit();
            if (b < 0) return false;
            v += uint32_t(b) << i;
        }
        return true;
    }

private:
    int Bit() {
        if (pos_ >= n_ * 8) {
            ++pos_;
            return -1;
        }
        const int b = (p_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
        ++pos_;
        return b;
    }
    const uint8_t* p_;
    size_t n_;
    size_t pos_ = 0;
};

// The parameter sets of an avcC record.
struct AvcC {
    Bytes head;                 // version, profile, compatibility, level, length size
    std::vector<Bytes> sps, pps;
    Bytes rest;                 // what follows the lists (High profiles' chroma fields)
    int lengthSize = 4;

    bool Read(const uint8_t* p, int n) {
        if (n < 7 || p[0] != 1) return false;
        head.assign(p, p + 5);
        lengthSize = (p[4] & 3) + 1;
        int pos = 5;
        for (int list = 0; list < 2; ++list) {
            if (pos >= n) return false;
            const int count = list == 0 ? p[pos] & 0x1F : p[pos];
            ++pos;
            for (int i = 0; i < count; ++i) {
                if (pos + 2 > n) return false;
                const int len = p[pos] << 8 | p[pos + 1];
                pos += 2;
                if (len < 1 || len > n - pos) return false;
                (list == 0 ? sps : pps).emplace_back(p + pos, p + pos + len);
                pos += len;
            }
        }
        rest.assign(p + pos, p + n);
        return !sps.empty() && !pps.empty();
    }

    Bytes Write() const {
        Bytes out = head;
        out.push_back(uint8_t(0xE0 | sps.size()));
        for (const Bytes& s : sps) {
            out.push_back(uint8_t(s.size() >> 8));
            out.push_back(uint8_t(s.size()));
            out.insert(out.end(), s.begin(), s.end());
        }
        out.push_back(uint8_t(pps.size()));
        for (const Bytes& s : pps) {
            out.push_back(uint8_t(s.size() >> 8));
            out.push_back(uint8_t(s.size()));
            out.insert(out.end(), s.begin(), s.end());
        }
        out.insert(out.end(), rest.begin(), rest.end());
        return out;
    }
};

// An id that none of the source's sequence or picture parameter sets uses:
// x264 numbers its picture parameter set like its sequence parameter set.
int FreeId(const AvcC& c) {
    bool used[32] = {};
    for (const Bytes& s : c.sps) {
        Bits b(s.data() + 4, s.size() > 4 ? s.size() - 4 : 0);   // after header, profile, flags, level
        uint32_t id;
        if (b.Ue(id) && id < 32) used[id] = true;
    }
    for (const Bytes& s : c.pps) {
        Bits b(s.data() + 1, s.size() - 1);
        uint32_t id;
        if (b.Ue(id) && id < 32) used[id] = true;
    }
    for (int id = 0; id < 32; ++id)
        if (!used[id]) return id;
    return -1;
}

const char* ProfileName(int idc) {
    switch (idc) {
        case 66: return "baseline";
        case 77: return "main";
        case 100: return "high";
        case 110: return "high10";
        case 122: return "high422";
        case 244: return "high444";
        default: return nullptr;
    }
}

// Start-code NAL units (as libx264 gives them) each called with its bytes.
template <typename F>
void EachNal(const uint8_t* p, int n, F f) {
    int i = 0, start = -1;
    while (i + 3 <= n) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            if (start >= 0) {
                int end = i;
                while (end > start && p[end - 1] == 0) --end;   // a four-byte start code's zero
                f(p + start, end - start);
            }
            i += 3;
            start = i;
        } else {
            ++i;
        }
    }
    if (start >= 0 && start < n) f(p + start, n - start);
}

}  // namespace

struct AvkCutEncoder {
    AvcC source;
    int id = 1;
    double frameRate = 25;
    int64_t from = 0, to = 0;
    AVCodecContext* dec = nullptr;
    AVCodecContext* enc = nullptr;
    AVPacket* pkt = nullptr;
    AVFrame* frame = nullptr;
    std::vector<Packet> out;
    int64_t sent = 0;   // pictures given to the encoder
    Bytes setup;
    std::string error;
};

namespace {

bool OpenEncoder(AvkCutEncoder* h, const AVFrame* f) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec || !(h->enc = avcodec_alloc_context3(codec))) {
        h->error = "no H.264 encoder";
        return false;
    }
    AVCodecContext* c = h->enc;
    c->width = f->width;
    c->height = f->height;
    auto format = static_cast<AVPixelFormat>(f->format);
    c->color_range = f->color_range;
    if (format == AV_PIX_FMT_YUVJ420P) format = AV_PIX_FMT_YUV420P, c->color_range = AVCOL_RANGE_JPEG;
    if (format == AV_PIX_FMT_YUVJ422P) format = AV_PIX_FMT_YUV422P, c->color_range = AVCOL_RANGE_JPEG;
    if (format == AV_PIX_FMT_YUVJ444P) format = AV_PIX_FMT_YUV444P, c->color_range = AVCOL_RANGE_JPEG;
    c->pix_fmt = format;
    c->colorspace = f->colorspace;
    c->color_primaries = f->color_primaries;
    c->color_trc = f->color_trc;
    c->chroma_sample_location = f->chroma_location;
    c->sample_aspect_ratio = f->sample_aspect_ratio;
    c->time_base = AVRational{1, 1000};
    c->framerate = av_d2q(h->frameRate > 0 ? h->frameRate : 25, 100000);
    c->gop_size = 100000;   // one key picture: the first
    c->max_b_frames = 0;    // shown in the order stored
    c->level = h->source.head[3];
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const char* profile = ProfileName(h->source.head[1]);
    if (profile) av_opt_set(c->priv_data, "profile", profile, 0);
    av_opt_set(c->priv_data, "preset", "faster", 0);
    av_opt_set(c->priv_data, "crf", "16", 0);
    char params[64];
    std::snprintf(params, sizeof params, "sps-id=%d", h->id);
    av_opt_set(c->priv_data, "x264-params", params, 0);
    const int err = avcodec_open2(c, codec, nullptr);
    if (err < 0) {
        const char* name = av_get_pix_fmt_name(format);
        h->error = std::string("the H.264 encoder cannot code ") + (name ? name : "these") + " pictures";
        return false;
    }
    // Its parameter sets join the source's.
    AvcC merged = h->source;
    EachNal(c->extradata, c->extradata_size, [&](const uint8_t* nal, int n) {
        const int type = nal[0] & 0x1F;
        if (type == 7) merged.sps.emplace_back(nal, nal + n);
        if (type == 8) merged.pps.emplace_back(nal, nal + n);
    });
    if (merged.sps.size() > 31 || merged.pps.size() > 255 || merged.sps.size() == h->source.sps.size()) {
        h->error = "the H.264 encoder gave no parameter sets";
        return false;
    }
    h->setup = merged.Write();
    return true;
}

bool Drain(AvkCutEncoder* h) {
    for (;;) {
        const int r = avcodec_receive_packet(h->enc, h->pkt);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) {
            h->error = "the H.264 encoder failed";
            return false;
        }
        Packet p;
        p.pts = h->pkt->pts;
        p.key = h->pkt->flags & AV_PKT_FLAG_KEY;
        const int size = h->source.lengthSize;
        EachNal(h->pkt->data, h->pkt->size, [&](const uint8_t* nal, int n) {
            for (int k = size - 1; k >= 0; --k) p.data.push_back(uint8_t(n >> (8 * k)));
            p.data.insert(p.data.end(), nal, nal + n);
        });
        av_packet_unref(h->pkt);
        h->out.push_back(std::move(p));
    }
}

bool Encode(AvkCutEncoder* h, AVFrame* f) {
    if (f) {
        const int64_t pts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
        if (pts < h->from || pts >= h->to) return true;
        if (!h->enc && !OpenEncoder(h, f)) return false;
        f->pts = pts;
        // The first picture coded is the group's key picture; the encoder picks the rest.
        f->pict_type = h->sent++ == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    }
    if (!h->enc) return true;
    if (avcodec_send_frame(h->enc, f) < 0) {
        h->error = "the H.264 encoder refused a picture";
        return false;
    }
    return Drain(h);
}

bool Receive(AvkCutEncoder* h) {
    for (;;) {
        const int r = avcodec_receive_frame(h->dec, h->frame);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) {
            h->error = "the source pictures cannot be decoded";
            return false;
        }
        const bool ok = Encode(h, h->frame);
        av_frame_unref(h->frame);
        if (!ok) return false;
    }
}

}  // namespace

extern "C" {

AVKIT_API AvkCutEncoder* ACE_Create(const uint8_t* avcC, int avcCSize, double frameRate, int64_t fromMs,
                                    int64_t toMs) {
    auto* h = new (std::nothrow) AvkCutEncoder;
    if (!h) return nullptr;
    h->frameRate = frameRate;
    h->from = fromMs;
    h->to = toMs;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    if (!avcC || !h->source.Read(avcC, avcCSize) || (h->id = FreeId(h->source)) < 0 || !codec ||
        !(h->dec = avcodec_alloc_context3(codec)) || !(h->pkt = av_packet_alloc()) || !(h->frame = av_frame_alloc())) {
        ACE_Delete(h);
        return nullptr;
    }
    h->dec->extradata = static_cast<uint8_t*>(av_mallocz(size_t(avcCSize) + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!h->dec->extradata) {
        ACE_Delete(h);
        return nullptr;
    }
    std::memcpy(h->dec->extradata, avcC, size_t(avcCSize));
    h->dec->extradata_size = avcCSize;
    h->dec->pkt_timebase = AVRational{1, 1000};
    if (avcodec_open2(h->dec, codec, nullptr) < 0) {
        ACE_Delete(h);
        return nullptr;
    }
    return h;
}

AVKIT_API void ACE_Delete(AvkCutEncoder* h) {
    if (!h) return;
    avcodec_free_context(&h->dec);
    avcodec_free_context(&h->enc);
    av_packet_free(&h->pkt);
    av_frame_free(&h->frame);
    delete h;
}

AVKIT_API int ACE_Decode(AvkCutEncoder* h, const uint8_t* data, int size, int64_t ptsMs) {
    if (!h || !data || size <= 0) return 0;
    if (av_new_packet(h->pkt, size) < 0) return 0;
    std::memcpy(h->pkt->data, data, size_t(size));
    h->pkt->pts = ptsMs;
    h->pkt->dts = AV_NOPTS_VALUE;
    const int r = avcodec_send_packet(h->dec, h->pkt);
    av_packet_unref(h->pkt);
    // A damaged picture is left out; what decodes still counts.
    if (r < 0 && r != AVERROR_INVALIDDATA) {
        h->error = "the source pictures cannot be decoded";
        return 0;
    }
    return Receive(h) ? 1 : 0;
}

AVKIT_API int ACE_Finish(AvkCutEncoder* h) {
    if (!h) return 0;
    avcodec_send_packet(h->dec, nullptr);
    if (!Receive(h)) return 0;
    if (!h->enc) {
        h->error = "no picture is shown from the cut";
        return 0;
    }
    return Encode(h, nullptr) ? 1 : 0;
}

AVKIT_API int ACE_PacketCount(const AvkCutEncoder* h) { return h ? int(h->out.size()) : 0; }

AVKIT_API const uint8_t* ACE_Packet(const AvkCutEncoder* h, int index, int* size, int64_t* ptsMs, int* key) {
    if (!h || index < 0 || size_t(index) >= h->out.size()) return nullptr;
    const Packet& p = h->out[size_t(index)];
    if (size) *size = int(p.data.size());
    if (ptsMs) *ptsMs = p.pts;
    if (key) *key = p.key;
    return p.data.data();
}

AVKIT_API const uint8_t* ACE_Setup(const AvkCutEncoder* h, int* size) {
    if (!h || h->setup.empty()) return nullptr;
    if (size) *size = int(h->setup.size());
    return h->setup.data();
}

AVKIT_API const char* ACE_Error(const AvkCutEncoder* h) { return h ? h->error.c_str() : ""; }

}  // extern "C"
