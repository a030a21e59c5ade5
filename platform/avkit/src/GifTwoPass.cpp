#include "GifTwoPass.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" {
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/pixdesc.h>
}

namespace avkit {

namespace {

// Ordered dithering: noise-free areas stay the same from frame to frame, so
// the encoder's transparent "unchanged" pixels still apply; only the part of
// a picture that changed is mapped again.
constexpr const char* kMapping = "dither=bayer:bayer_scale=5:diff_mode=rectangle";

struct GraphFree {
    void operator()(AVFilterGraph* g) const { avfilter_graph_free(&g); }
};
using Graph = std::unique_ptr<AVFilterGraph, GraphFree>;

AVFilterContext* AddFilter(AVFilterGraph* g, const char* filter, const char* name, const std::string& args) {
    AVFilterContext* c = nullptr;
    const AVFilter* f = avfilter_get_by_name(filter);
    if (!f || avfilter_graph_create_filter(&c, f, name, args.empty() ? nullptr : args.c_str(), nullptr, g) < 0)
        return nullptr;
    return c;
}

std::string BufferArgs(int width, int height, AVPixelFormat format, AVRational timeBase) {
    return "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
           ":pix_fmt=" + av_get_pix_fmt_name(format) + ":time_base=" + std::to_string(timeBase.num) + "/" +
           std::to_string(timeBase.den) + ":pixel_aspect=1/1";
}

bool WriteAll(int fd, const uint8_t* data, size_t bytes) {
    while (bytes > 0) {
        const ssize_t n = ::write(fd, data, bytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        bytes -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadAll(int fd, uint8_t* data, size_t bytes, off_t at) {
    while (bytes > 0) {
        const ssize_t n = ::pread(fd, data, bytes, at);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        bytes -= static_cast<size_t>(n);
        at += n;
    }
    return true;
}

// An unnamed file in folder: it goes with the writer, even when the program
// ends without closing it.
int ScratchFile(const std::string& folder) {
    const std::string dir = folder.empty() ? "." : folder;
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = dir + "/.gif-pictures-XXXXXX";   // file systems without unnamed files
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(name.c_str());
    return fd;
}

}  // namespace

GifTwoPass::~GifTwoPass() {
    avfilter_graph_free(&count_);
    av_frame_free(&work_);
    av_frame_free(&mapped_);
    if (fd_ >= 0) ::close(fd_);
}

bool GifTwoPass::Open(int width, int height, AVRational timeBase, const std::string& folder) {
    width_ = width;
    height_ = height;
    timeBase_ = timeBase;
    work_ = av_frame_alloc();
    mapped_ = av_frame_alloc();
    count_ = avfilter_graph_alloc();
    if (!work_ || !mapped_ || !count_) return false;
    work_->format = AV_PIX_FMT_BGRA;
    work_->width = width;
    work_->height = height;
    // Packed rows: a picture is kept and read back in one piece.
    if (av_frame_get_buffer(work_, 1) < 0) return false;

    countIn_ = AddFilter(count_, "buffer", "in", BufferArgs(width, height, AV_PIX_FMT_BGRA, timeBase));
    AVFilterContext* gen = AddFilter(count_, "palettegen", "palette", "stats_mode=full");
    countOut_ = AddFilter(count_, "buffersink", "out", "");
    if (!countIn_ || !gen || !countOut_ || avfilter_link(countIn_, 0, gen, 0) < 0 ||
        avfilter_link(gen, 0, countOut_, 0) < 0 || avfilter_graph_config(count_, nullptr) < 0)
        return false;
    fd_ = ScratchFile(folder);
    return fd_ >= 0;
}

bool GifTwoPass::Keep(const AVFrame* in) {
    if (av_frame_make_writable(work_) < 0) return false;
    const size_t rowBytes = static_cast<size_t>(width_) * 4;
    for (int y = 0; y < height_; ++y) {
        uint8_t* dst = work_->data[0] + static_cast<ptrdiff_t>(y) * work_->linesize[0];
        std::memcpy(dst, in->data[0] + static_cast<ptrdiff_t>(y) * in->linesize[0], rowBytes);
        for (int x = 0; x < width_; ++x) dst[4 * x + 3] = 0xFF;
    }
    return WriteAll(fd_, work_->data[0], rowBytes * static_cast<size_t>(height_));
}

bool GifTwoPass::Put(const AVFrame* bgra) {
    if (!count_ || !Keep(bgra)) return false;
    work_->pts = kept_;
    // Pushed through at once: palettegen only adds the colours up, so
    // nothing piles up and work_ is free again on return.
    if (av_buffersrc_add_frame_flags(countIn_, work_, AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH) < 0)
        return false;
    ++kept_;
    return true;
}

bool GifTwoPass::ReadBack(int64_t index) {
    if (av_frame_make_writable(work_) < 0) return false;
    const size_t bytes = static_cast<size_t>(width_) * 4 * static_cast<size_t>(height_);
    if (!ReadAll(fd_, work_->data[0], bytes, static_cast<off_t>(index * static_cast<int64_t>(bytes)))) return false;
    work_->pts = index;
    return true;
}

bool GifTwoPass::EncodeMapped(Muxer& mux, AVCodecContext* enc, AVStream* st, AVPacket* pkt, AVFilterContext* sink) {
    for (;;) {
        const int r = av_buffersink_get_frame(sink, mapped_);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        const int sent = avcodec_send_frame(enc, mapped_);
        av_frame_unref(mapped_);
        if (sent < 0 || !DrainEncoder(mux, enc, st, pkt)) return false;
    }
}

bool GifTwoPass::Finish(Muxer& mux, AVCodecContext* enc, AVStream* st, AVPacket* pkt) {
    if (!count_) return false;
    if (kept_ == 0) return true;
    if (av_buffersrc_add_frame_flags(countIn_, nullptr, 0) < 0) return false;
    AVFrame* palette = av_frame_alloc();
    if (!palette || av_buffersink_get_frame(countOut_, palette) < 0) {
        av_frame_free(&palette);
        return false;
    }
    avfilter_graph_free(&count_);   // the colour counts are no longer needed

    Graph map(avfilter_graph_alloc());
    AVFilterContext* in = map ? AddFilter(map.get(), "buffer", "in",
                                          BufferArgs(width_, height_, AV_PIX_FMT_BGRA, timeBase_))
                              : nullptr;
    AVFilterContext* pal = map ? AddFilter(map.get(), "buffer", "palette",
                                           BufferArgs(palette->width, palette->height,
                                                      static_cast<AVPixelFormat>(palette->format), timeBase_))
                               : nullptr;
    AVFilterContext* use = map ? AddFilter(map.get(), "paletteuse", "map", kMapping) : nullptr;
    AVFilterContext* out = map ? AddFilter(map.get(), "buffersink", "out", "") : nullptr;
    bool ok = in && pal && use && out && avfilter_link(in, 0, use, 0) >= 0 && avfilter_link(pal, 0, use, 1) >= 0 &&
              avfilter_link(use, 0, out, 0) >= 0 && avfilter_graph_config(map.get(), nullptr) >= 0;
    // The one palette, then the end of that input: it holds for every picture.
    palette->pts = 0;
    ok = ok && av_buffersrc_add_frame_flags(pal, palette, 0) >= 0 && av_buffersrc_add_frame_flags(pal, nullptr, 0) >= 0;
    av_frame_free(&palette);
    for (int64_t i = 0; ok && i < kept_; ++i) {
        ok = ReadBack(i) &&
             av_buffersrc_add_frame_flags(in, work_, AV_BUFFERSRC_FLAG_KEEP_REF | AV_BUFFERSRC_FLAG_PUSH) >= 0 &&
             EncodeMapped(mux, enc, st, pkt, out);
    }
    return ok && av_buffersrc_add_frame_flags(in, nullptr, 0) >= 0 && EncodeMapped(mux, enc, st, pkt, out);
}

}  // namespace avkit
