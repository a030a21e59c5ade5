// AsfEnc_*: the flat C face of the ASF writer.
#include <new>

#include "AsfEncoder.h"
#include "wmvwriter/wmvwriter.h"

extern "C" {
#include <libavutil/log.h>
}

// FFmpeg keeps to errors from the moment this library is there: a program
// may load it on its first use, before anything else of FFmpeg's.
__attribute__((constructor)) static void QuietFfmpeg() { av_log_set_level(AV_LOG_ERROR); }

extern "C" {

WMVWRITER_API AsfEncoder* AsfEnc_Create(void) { return new (std::nothrow) AsfEncoder; }

WMVWRITER_API int AsfEnc_SetComplexity(AsfEncoder* h, int complexity) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    if (h->IsOpen() || complexity < 0) return 0;
    h->complexity = complexity;
    return 1;
}

WMVWRITER_API int AsfEnc_SetStretchMode(AsfEncoder* h, int mode) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    if (h->IsOpen()) return 0;
    h->stretchMode = mode;
    return 1;
}

WMVWRITER_API int AsfEnc_SetOutFileInfo(AsfEncoder* h, const char* title, const char* author, const char* album,
                                        const char* copyright, const char* comment, int year, int track) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    if (h->IsOpen()) return 0;
    h->tags.clear();
    const std::pair<const char*, const char*> texts[] = {
        {"title", title}, {"author", author}, {"album", album}, {"copyright", copyright}, {"comment", comment}};
    for (const auto& [key, value] : texts)
        if (value && *value) h->tags.emplace_back(key, value);
    if (year > 0) h->tags.emplace_back("year", std::to_string(year));
    if (track > 0) h->tags.emplace_back("track", std::to_string(track));
    return 1;
}

WMVWRITER_API int AsfEnc_SetEncodingParams(AsfEncoder* h, int width, int height,
                                           int videoBitRate, int videoCodec, double frameRate,
                                           int sampleRate, int channels, int audioBitRate) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    return h->SetParams(width, height, videoBitRate, videoCodec, frameRate, sampleRate,
                             channels, audioBitRate);
}

WMVWRITER_API int AsfEnc_Open(AsfEncoder* h, const char* path) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    return h->Open(path);
}

WMVWRITER_API int AsfEnc_WriteVideo(AsfEncoder* h, const uint8_t* frame, int bytes,
                                    int64_t time100ns, int64_t) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    return h->WriteVideo(frame, bytes, time100ns);
}

WMVWRITER_API int AsfEnc_WriteAudio(AsfEncoder* h, const uint8_t* pcm, int bytes, int64_t,
                                    int64_t) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    return h->WriteAudio(pcm, bytes);
}

WMVWRITER_API int AsfEnc_WriteAudioEnd(AsfEncoder* h) {
    // The encoder's last frame is written by Close, once: an end reported
    // for an empty block between clips must not cut the sound short.
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    return h->IsOpen();
}

WMVWRITER_API int AsfEnc_Close(AsfEncoder* h) {
    if (!h) return 0;
    std::lock_guard<std::mutex> hold(h->lock);
    return h->Close();
}

WMVWRITER_API void AsfEnc_Delete(AsfEncoder* h) { delete h; }

}  // extern "C"
