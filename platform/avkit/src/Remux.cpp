// The remux writer: libavformat's mp4, mov and matroska muxers fed with
// packets as they were coded.
#include "avkit/Remux.h"

#include "RemuxOutput.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
}

struct AvkRemux {
    std::string container;
    std::string path;
    AVFormatContext* ctx = nullptr;
    AVPacket* packet = nullptr;
    // Each stream's last decode time and the step up to it, in the stream's
    // time base: a packet is given the length of the step before it.
    std::vector<int64_t> lastDts;
    std::vector<int64_t> lastStep;
    AVDictionary* tags = nullptr;
    std::vector<std::string> chapterTitles;
    std::vector<std::pair<int64_t, int64_t>> chapterTimes;
    int64_t indexRoom = 0;
    CRemuxOutput file;
    // libavformat's own io_open, for the files the muxer opens itself.
    int (*openFile)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) = nullptr;
    bool begun = false;
    bool ended = false;
    std::string error;
};

namespace {

constexpr AVRational kMs{1, 1000};

bool Matroska(const AvkRemux* h) { return h->container == "matroska"; }

std::string Why(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return text;
}

AVStream* NewStream(AvkRemux* h, AVMediaType type, AVCodecID id, const uint8_t* extra, int extraSize) {
    AVStream* st = avformat_new_stream(h->ctx, nullptr);
    if (!st) return nullptr;
    st->time_base = kMs;
    st->codecpar->codec_type = type;
    st->codecpar->codec_id = id;
    if (extra && extraSize > 0) {
        st->codecpar->extradata = static_cast<uint8_t*>(av_mallocz(size_t(extraSize) + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!st->codecpar->extradata) return nullptr;
        std::memcpy(st->codecpar->extradata, extra, size_t(extraSize));
        st->codecpar->extradata_size = extraSize;
    }
    return st;
}

// The muxer's own buffer, for its small writes; packets pass it by (the
// context is direct) and CRemuxOutput gathers both into large writes.
constexpr int kOutputBuffer = 64 << 10;

int WriteOut(void* opaque, uint8_t* buf, int size) { return static_cast<AvkRemux*>(opaque)->file.Write(buf, size); }

int64_t SeekOut(void* opaque, int64_t offset, int whence) {
    return static_cast<AvkRemux*>(opaque)->file.Seek(offset, whence);
}

// MP4's fast start reads the file back through a context of its own: what
// waits to be written goes into the file first.
int OpenAfterRelease(AVFormatContext* s, AVIOContext** pb, const char* url, int flags, AVDictionary** options) {
    auto* h = static_cast<AvkRemux*>(s->opaque);
    const int err = h->file.Release();
    return err < 0 ? err : h->openFile(s, pb, url, flags, options);
}

// Creates the file and the context's output on it; an AVERROR when it cannot.
int OpenOutput(AvkRemux* h) {
    if (const int err = h->file.Open(h->path); err < 0) return err;
    auto* buffer = static_cast<uint8_t*>(av_malloc(kOutputBuffer));
    AVIOContext* pb = buffer ? avio_alloc_context(buffer, kOutputBuffer, 1, h, nullptr, WriteOut, SeekOut) : nullptr;
    if (!pb) {
        av_free(buffer);
        h->file.Drop();
        return AVERROR(ENOMEM);
    }
    // Every avio_write (a packet's data above all) reaches WriteOut as it is.
    pb->direct = 1;
    h->ctx->pb = pb;
    h->ctx->flags |= AVFMT_FLAG_CUSTOM_IO;
    h->ctx->opaque = h;
    h->openFile = h->ctx->io_open;
    h->ctx->io_open = OpenAfterRelease;
    // No write after every packet: the pieces go to the file in large writes.
    h->ctx->flush_packets = 0;
    return 0;
}

// Frees the context's output and closes the file: with what waits written
// (an AVERROR when any write failed), or, for a file not ended, dropped.
int CloseOutput(AvkRemux* h, bool write) {
    if (!h->ctx->pb) return 0;
    if (write) avio_flush(h->ctx->pb);
    int err = write ? h->ctx->pb->error : 0;
    av_freep(&h->ctx->pb->buffer);
    avio_context_free(&h->ctx->pb);
    if (!write) {
        h->file.Drop();
        return 0;
    }
    const int closed = h->file.Close();
    return err < 0 ? err : closed;
}

// Whether the muxer has a tag for the codec: a packet of a codec it cannot
// name would make a file no player reads.
bool Holds(const AvkRemux* h, AVCodecID id) {
    // Matroska stores what it has no name of its own for under its FourCC
    // (V_MS/VFW/FOURCC), which libavformat counts as unofficial.
    const int compliance = Matroska(h) ? FF_COMPLIANCE_UNOFFICIAL : FF_COMPLIANCE_NORMAL;
    return avformat_query_codec(h->ctx->oformat, id, compliance) == 1;
}

// Appends a chapter the way the muxers read them (AVChapter is public;
// libavformat frees the array with the context).
bool NewChapter(AvkRemux* h, int id, int64_t start, int64_t end, const std::string& title) {
    auto* c = static_cast<AVChapter*>(av_mallocz(sizeof(AVChapter)));
    if (!c) return false;
    c->id = id;
    c->time_base = kMs;
    c->start = start;
    c->end = end;
    if (!title.empty() && av_dict_set(&c->metadata, "title", title.c_str(), 0) < 0) {
        av_free(c);
        return false;
    }
    int n = int(h->ctx->nb_chapters);
    if (av_dynarray_add_nofree(&h->ctx->chapters, &n, c) < 0) {
        av_dict_free(&c->metadata);
        av_free(c);
        return false;
    }
    h->ctx->nb_chapters = unsigned(n);
    return true;
}

// VPCodecConfigurationRecord: profile, level, bit depth (4 bits), chroma
// subsampling (3), full range (1), colour primaries, transfer, matrix.
// Without one the stream is taken as 8-bit 4:2:0, the common case.
void DescribeVp9(AVCodecParameters* par, const uint8_t* r, int size) {
    int depth = 8, chroma = 1;
    if (r && size >= 8) {
        par->profile = r[0];
        par->level = r[1];
        depth = r[2] >> 4;
        chroma = (r[2] >> 1) & 7;
        par->color_range = (r[2] & 1) ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
        par->color_primaries = static_cast<AVColorPrimaries>(r[3]);
        par->color_trc = static_cast<AVColorTransferCharacteristic>(r[4]);
        par->color_space = static_cast<AVColorSpace>(r[5]);
        par->chroma_location = chroma == 0 ? AVCHROMA_LOC_LEFT : AVCHROMA_LOC_TOPLEFT;
    }
    static const AVPixelFormat k420[3] = {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P10, AV_PIX_FMT_YUV420P12};
    static const AVPixelFormat k422[3] = {AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV422P10, AV_PIX_FMT_YUV422P12};
    static const AVPixelFormat k444[3] = {AV_PIX_FMT_YUV444P, AV_PIX_FMT_YUV444P10, AV_PIX_FMT_YUV444P12};
    const int d = depth == 12 ? 2 : depth == 10 ? 1 : 0;
    par->format = chroma <= 1 ? k420[d] : chroma == 2 ? k422[d] : k444[d];
}

}  // namespace

extern "C" {

AVKIT_API AvkRemux* ARMX_Create(const char* container, const char* path) {
    if (!container || !path) return nullptr;
    const std::string name = container;
    if (name != "mp4" && name != "mov" && name != "matroska") return nullptr;
    auto* h = new (std::nothrow) AvkRemux;
    if (!h) return nullptr;
    h->container = name;
    h->path = path;
    if (avformat_alloc_output_context2(&h->ctx, nullptr, name.c_str(), path) < 0 || !h->ctx ||
        !(h->packet = av_packet_alloc())) {
        ARMX_Delete(h);
        return nullptr;
    }
    return h;
}

AVKIT_API void ARMX_Delete(AvkRemux* h) {
    if (!h) return;
    if (h->ctx) {
        if (h->begun && !h->ended) CloseOutput(h, false);
        avformat_free_context(h->ctx);
    }
    av_packet_free(&h->packet);
    av_dict_free(&h->tags);
    delete h;
}

AVKIT_API int ARMX_AddVideo(AvkRemux* h, int codec, uint32_t fourcc, int width, int height, const uint8_t* extra,
                            int extraSize) {
    if (!h || h->begun) return -1;
    const auto id = static_cast<AVCodecID>(AvkCodec_ToFFmpeg(codec));
    if (id == AV_CODEC_ID_NONE || !Holds(h, id)) {
        h->error = std::string("the container cannot hold the video codec ") + std::to_string(codec);
        return -1;
    }
    // VP9's record is no decoder setup: its fields describe the stream, and
    // the writers make their own record (vpcC, CodecPrivate) from them.
    const bool vp9 = id == AV_CODEC_ID_VP9;
    AVStream* st = NewStream(h, AVMEDIA_TYPE_VIDEO, id, vp9 ? nullptr : extra, vp9 ? 0 : extraSize);
    if (!st) return -1;
    st->codecpar->width = width;
    st->codecpar->height = height;
    st->codecpar->codec_tag = fourcc;
    if (vp9) DescribeVp9(st->codecpar, extra, extraSize);
    return st->index;
}

AVKIT_API int ARMX_AddAudio(AvkRemux* h, int codec, int sampleRate, int channels, int bitsPerSample,
                            const uint8_t* extra, int extraSize) {
    if (!h || h->begun) return -1;
    const auto id = static_cast<AVCodecID>(AvkCodec_ToFFmpeg(codec));
    if (id == AV_CODEC_ID_NONE || !Holds(h, id)) {
        h->error = std::string("the container cannot hold the audio codec ") + std::to_string(codec);
        return -1;
    }
    AVStream* st = NewStream(h, AVMEDIA_TYPE_AUDIO, id, extra, extraSize);
    if (!st) return -1;
    st->codecpar->sample_rate = sampleRate;
    av_channel_layout_default(&st->codecpar->ch_layout, channels > 0 ? channels : 2);
    st->codecpar->bits_per_coded_sample = bitsPerSample;
    if (id == AV_CODEC_ID_AAC) st->codecpar->frame_size = 1024;
    return st->index;
}

AVKIT_API int ARMX_SetTag(AvkRemux* h, const char* key, const char* value) {
    if (!h || h->begun || !key) return 0;
    if (!value || !*value) return 1;
    return av_dict_set(&h->tags, key, value, 0) >= 0;
}

AVKIT_API int ARMX_AddChapter(AvkRemux* h, const char* title) {
    if (!h || h->begun) return 0;
    h->chapterTitles.emplace_back(title ? title : "");
    h->chapterTimes.emplace_back(0, 0);
    return 1;
}

AVKIT_API int ARMX_SetChapterTime(AvkRemux* h, int index, int64_t startMs, int64_t endMs) {
    if (!h || index < 0 || size_t(index) >= h->chapterTimes.size()) return 0;
    h->chapterTimes[size_t(index)] = {startMs, endMs > startMs ? endMs : startMs + 1};
    return 1;
}

AVKIT_API int ARMX_SetIndexRoom(AvkRemux* h, int64_t bytes) {
    if (!h || h->begun || Matroska(h) || bytes < 0 || bytes > INT32_MAX) return 0;
    h->indexRoom = bytes;
    return 1;
}

AVKIT_API int ARMX_Begin(AvkRemux* h) {
    if (!h || h->begun) return 0;
    if (h->ctx->nb_streams == 0) {
        h->error = "nothing to write";
        return 0;
    }
    av_dict_copy(&h->ctx->metadata, h->tags, 0);
    // mp4 and mov write their chapter track with the header, from the
    // chapters' times then; matroska writes chapters added after its header
    // at the end (see ARMX_End).
    if (!Matroska(h))
        for (size_t i = 0; i < h->chapterTitles.size(); ++i)
            if (!NewChapter(h, int(i) + 1, h->chapterTimes[i].first, h->chapterTimes[i].second, h->chapterTitles[i]))
                return 0;
    int err = OpenOutput(h);
    if (err < 0) {
        h->error = "cannot create " + h->path + ": " + Why(err);
        return 0;
    }
    h->begun = true;
    h->lastDts.assign(h->ctx->nb_streams, AV_NOPTS_VALUE);
    h->lastStep.assign(h->ctx->nb_streams, 0);
    AVDictionary* options = nullptr;
    // The index before the media: written into the room kept for it, or
    // moved there in this same file at the end.
    if (!Matroska(h) && h->indexRoom > 0)
        av_dict_set_int(&options, "moov_size", h->indexRoom, 0);
    else if (!Matroska(h))
        av_dict_set(&options, "movflags", "+faststart", 0);
    // No CRC-32 element in each cluster: the copied packets carried no
    // checksum in the FLV, and computing one costs more than the rest of the
    // copy. The elements are optional; readers check them only where present.
    if (Matroska(h)) av_dict_set(&options, "write_crc32", "0", 0);
    err = avformat_write_header(h->ctx, &options);
    av_dict_free(&options);
    if (err < 0) {
        h->error = "cannot write the header of " + h->path + ": " + Why(err);
        return 0;
    }
    return 1;
}

static int WritePacket(AvkRemux* h, int stream, const uint8_t* data, int size, int64_t dtsMs, int64_t ptsMs, int key,
                       bool lent) {
    if (!h || !h->begun || h->ended || stream < 0 || unsigned(stream) >= h->ctx->nb_streams || size <= 0) return 0;
    AVPacket* p = h->packet;
    // The caller's bytes as they are: packets come in the order the file
    // interleaves them, so they go straight to the muxer, which writes them
    // out (or copies what it keeps) before the call returns. Queued for
    // interleaving, each packet would first be copied.
    p->buf = nullptr;
    p->data = const_cast<uint8_t*>(data);
    p->size = size;
    p->stream_index = stream;
    const AVRational tb = h->ctx->streams[stream]->time_base;
    p->dts = av_rescale_q(dtsMs, kMs, tb);
    p->pts = av_rescale_q(ptsMs, kMs, tb);
    p->flags = key ? AV_PKT_FLAG_KEY : 0;
    // Without a length the muxers end a stream where its last picture is
    // shown, and MP4's edit list then leaves that picture out. The length of
    // the step before is what the last packet needs (the muxers take the
    // others' lengths from the decode times that follow them), and it is
    // known now, so the packet need not be held back and copied.
    int64_t& lastDts = h->lastDts[size_t(stream)];
    if (lastDts != AV_NOPTS_VALUE && p->dts > lastDts) h->lastStep[size_t(stream)] = p->dts - lastDts;
    lastDts = p->dts;
    p->duration = h->lastStep[size_t(stream)];
    if (lent) h->file.Lend(data, size_t(size));
    const int err = av_write_frame(h->ctx, p);
    h->file.Lend(nullptr, 0);
    p->data = nullptr;
    p->size = 0;
    if (err < 0) {
        h->error = "cannot write to " + h->path + ": " + Why(err);
        return 0;
    }
    return 1;
}

AVKIT_API int ARMX_Write(AvkRemux* h, int stream, const uint8_t* data, int size, int64_t dtsMs, int64_t ptsMs,
                         int key) {
    return WritePacket(h, stream, data, size, dtsMs, ptsMs, key, false);
}

AVKIT_API int ARMX_WriteLent(AvkRemux* h, int stream, const uint8_t* data, int size, int64_t dtsMs, int64_t ptsMs,
                             int key) {
    return WritePacket(h, stream, data, size, dtsMs, ptsMs, key, true);
}

AVKIT_API int ARMX_Release(AvkRemux* h) {
    if (!h || !h->begun || h->ended) return 0;
    const int err = h->file.Release();
    if (err < 0) {
        h->error = "cannot write to " + h->path + ": " + Why(err);
        return 0;
    }
    return 1;
}

AVKIT_API int ARMX_End(AvkRemux* h) {
    if (!h || !h->begun || h->ended) return 0;
    h->ended = true;
    bool ok = true;
    for (size_t i = 0; i < h->chapterTimes.size(); ++i) {
        const auto [start, end] = h->chapterTimes[i];
        if (Matroska(h)) {
            ok = NewChapter(h, int(i) + 1, start, end, h->chapterTitles[i]) && ok;
        } else if (i < h->ctx->nb_chapters) {
            h->ctx->chapters[i]->start = start;
            h->ctx->chapters[i]->end = end;
        }
    }
    int err = av_write_trailer(h->ctx);
    if (err < 0) {
        h->error = "cannot finish " + h->path + ": " + Why(err);
        ok = false;
    }
    err = CloseOutput(h, true);
    if (err < 0 && ok) {
        h->error = "cannot finish " + h->path + ": " + Why(err);
        ok = false;
    }
    return ok;
}

AVKIT_API const char* ARMX_Error(const AvkRemux* h) { return h ? h->error.c_str() : ""; }

}  // extern "C"
