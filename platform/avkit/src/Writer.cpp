// AVW_*: the file writer. Collects the settings, then opens the muxer and one
// video and/or audio stream; frames go through the stream objects.
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "WriterParts.h"
#include "avkit/avkit.h"

using namespace avkit;

struct AvkWriter {
    bool hasVideo = false, hasAudio = false;
    VideoSetup video;
    AudioSetup audio;
    std::string title, author, album, copyright, comment;
    int year = 0, track = 0;
    std::string format, path;

    Muxer mux;
    std::unique_ptr<VideoStream> vs;
    std::unique_ptr<AudioStream> as;
    // The job writes pictures and sound from two threads: each stream has its
    // own lock, the muxer its own (Muxer::Write).
    std::mutex videoLock, audioLock;
    std::atomic<bool> open{false};
    std::atomic<bool> failed{false};   // a write failed: Close reports it

    ~AvkWriter() { Release(); }
    void Release() {
        vs.reset();
        as.reset();
        if (mux.fmt) {
            if (mux.fmt->pb) avio_closep(&mux.fmt->pb);
            avformat_free_context(mux.fmt);
            mux.fmt = nullptr;
        }
        open = false;
    }
};

namespace avkit {

const AVOutputFormat* FindMuxer(const std::string& name, const std::string& path) {
    if (!name.empty()) {
        if (const AVOutputFormat* f = av_guess_format(name.c_str(), nullptr, nullptr)) return f;
        const std::string asFile = "x." + name;
        return av_guess_format(nullptr, asFile.c_str(), nullptr);
    }
    return av_guess_format(nullptr, path.c_str(), nullptr);
}

}  // namespace avkit

namespace {

bool Settable(AvkWriter* h) { return h && !h->open; }

void SetText(AVDictionary** d, const char* key, const std::string& v) {
    if (!v.empty()) av_dict_set(d, key, v.c_str(), 0);
}

void SetMetadata(AvkWriter* h) {
    AVDictionary** d = &h->mux.fmt->metadata;
    SetText(d, "title", h->title);
    // Containers name the author differently; each muxer picks the key it knows.
    SetText(d, "artist", h->author);
    SetText(d, "author", h->author);
    SetText(d, "album", h->album);
    SetText(d, "copyright", h->copyright);
    SetText(d, "comment", h->comment);
    if (h->year > 0) SetText(d, "date", std::to_string(h->year));
    if (h->track > 0) SetText(d, "track", std::to_string(h->track));
}

}  // namespace

extern "C" {

AVKIT_API AvkWriter* AVW_Create(int hasVideo, int hasAudio) {
    auto* h = new (std::nothrow) AvkWriter;
    if (!h) return nullptr;
    h->hasVideo = hasVideo != 0;
    h->hasAudio = hasAudio != 0;
    return h;
}

AVKIT_API int AVW_SetFourCC(AvkWriter* h, uint32_t fourcc) {
    if (!Settable(h)) return 0;
    h->video.fourcc = fourcc;
    return 1;
}

AVKIT_API int AVW_SetStretchMode(AvkWriter* h, int mode) {
    if (!Settable(h)) return 0;
    h->video.stretchMode = mode;
    return 1;
}

AVKIT_API int AVW_SetAspectRatio(AvkWriter* h, double aspect) {
    if (!Settable(h) || !(aspect >= 0) || aspect > 100) return 0;
    h->video.aspect = aspect;
    return 1;
}

AVKIT_API int AVW_SetVideoBitrateTolerance(AvkWriter* h, int bitsPerSecond) {
    if (!Settable(h)) return 0;
    h->video.tolerance = bitsPerSecond;
    return 1;
}

AVKIT_API int AVW_SetEncoderThreads(AvkWriter* h, int threads) {
    if (!Settable(h) || threads < 0) return 0;
    h->video.threads = threads;
    return 1;
}

AVKIT_API int AVW_SetOutFileInfo(AvkWriter* h, const char* title, const char* author,
                                 const char* album, const char* copyright, const char* comment,
                                 int year, int track) {
    if (!Settable(h)) return 0;
    h->title = title ? title : "";
    h->author = author ? author : "";
    h->album = album ? album : "";
    h->copyright = copyright ? copyright : "";
    h->comment = comment ? comment : "";
    h->year = year;
    h->track = track;
    return 1;
}

AVKIT_API int AVW_SetupVideoParams(AvkWriter* h, int codec, int bitRate, int width, int height,
                                   double frameRate, int videoParam, int, int) {
    if (!Settable(h)) return 0;
    h->video.codec = codec;
    h->video.bitRate = bitRate;
    h->video.width = width;
    h->video.height = height;
    h->video.frameRate = frameRate;
    h->video.keyInterval = videoParam;
    return 1;
}

AVKIT_API int AVW_SetRawVideoImageFormat(AvkWriter* h, int imageFormat) {
    if (!Settable(h)) return 0;
    h->video.rawImageFormat = imageFormat;
    return 1;
}

AVKIT_API int AVW_SetupAudioParams(AvkWriter* h, int codec, int bitRate, int sampleRate,
                                   int channels) {
    if (!Settable(h)) return 0;
    h->audio = AudioSetup{codec, bitRate, sampleRate, channels};
    return 1;
}

AVKIT_API int AVW_SetOutputFormat(AvkWriter* h, const char* format) {
    if (!Settable(h)) return 0;
    h->format = format ? format : "";
    return 1;
}

AVKIT_API int AVW_SetOutFile(AvkWriter* h, const char* path) {
    if (!Settable(h)) return 0;
    h->path = path ? path : "";
    return 1;
}

AVKIT_API int AVW_Open(AvkWriter* h) {
    if (!Settable(h) || h->path.empty() || (!h->hasVideo && !h->hasAudio)) return 0;
    const AVOutputFormat* muxer = FindMuxer(h->format, h->path);
    AVFormatContext*& fmt = h->mux.fmt;
    if (!muxer || avformat_alloc_output_context2(&fmt, muxer, nullptr, h->path.c_str()) < 0) {
        h->Release();
        return 0;
    }
    bool ok = true;
    if (h->hasVideo) {
        h->vs = std::make_unique<VideoStream>();
        ok = h->vs->Open(fmt, h->video);
    }
    if (ok && h->hasAudio) {
        h->as = std::make_unique<AudioStream>();
        ok = h->as->Open(fmt, h->audio);
    }
    if (ok) {
        SetMetadata(h);
        ok = (muxer->flags & AVFMT_NOFILE) ||
             avio_open(&fmt->pb, h->path.c_str(), AVIO_FLAG_WRITE) >= 0;
    }
    if (ok) ok = avformat_write_header(fmt, nullptr) >= 0;
    if (!ok) {
        const bool created = fmt && fmt->pb;
        h->Release();
        if (created) std::remove(h->path.c_str());   // a header-less file is of no use
        return 0;
    }
    h->open = true;
    h->failed = false;
    return 1;
}

}  // extern "C"

namespace {

int WriteVideo(AvkWriter* h, const uint8_t* picture, int width, int height, bool i420) {
    if (!h || !h->open || !h->vs || h->failed) return 0;
    std::lock_guard<std::mutex> hold(h->videoLock);
    if (!h->open || !h->vs) return 0;   // closed while this call waited
    if (!h->vs->Write(h->mux, picture, width, height, i420)) {
        // Bad arguments leave the file as it was; a failed encode or write does not.
        if (picture && width > 0 && height > 0) h->failed = true;
        return 0;
    }
    return 1;
}

}  // namespace

extern "C" {

AVKIT_API int AVW_WriteVideoFrame(AvkWriter* h, const uint8_t* picture, int width, int height) {
    return WriteVideo(h, picture, width, height, false);
}

AVKIT_API int AVW_WriteVideoFrameI420(AvkWriter* h, const uint8_t* picture, int width, int height) {
    return WriteVideo(h, picture, width, height, true);
}

AVKIT_API int AVW_WriteAudioFrame(AvkWriter* h, const uint8_t* pcm, int bytes, int rate,
                                  int channels) {
    if (!h || !h->open || !h->as || h->failed) return 0;
    std::lock_guard<std::mutex> hold(h->audioLock);
    if (!h->open || !h->as) return 0;
    if (!h->as->Write(h->mux, pcm, bytes, rate, channels)) {
        if (pcm && bytes >= 0 && rate > 0 && channels > 0 && channels <= 8) h->failed = true;
        return 0;
    }
    return 1;
}

AVKIT_API int AVW_Close(AvkWriter* h) {
    if (!h || !h->open) return 0;
    std::scoped_lock hold(h->videoLock, h->audioLock);   // waits for writes under way
    if (!h->open) return 0;
    h->open = false;
    bool ok = !h->failed;
    if (ok && h->vs) ok = h->vs->Flush(h->mux);
    if (ok && h->as) ok = h->as->Flush(h->mux);
    // The trailer is written even after a failure so the muxer lets go of its
    // buffers; the result still says the file is incomplete.
    AVFormatContext* fmt = h->mux.fmt;
    if (av_write_trailer(fmt) < 0) ok = false;
    if (fmt->pb) {
        avio_flush(fmt->pb);
        if (fmt->pb->error < 0) ok = false;
        if (avio_closep(&fmt->pb) < 0) ok = false;
    }
    h->Release();
    return ok ? 1 : 0;
}

AVKIT_API void AVW_Delete(AvkWriter* h) { delete h; }

}  // extern "C"
