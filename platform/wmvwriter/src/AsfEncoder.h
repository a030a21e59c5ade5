// The ASF writer behind the AsfEnc_* functions: one WMV 7/8 picture stream
// and one WMA 2 sound stream through libavformat's asf muxer.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

struct AsfEncoder {
    AsfEncoder() = default;
    ~AsfEncoder();
    AsfEncoder(const AsfEncoder&) = delete;
    AsfEncoder& operator=(const AsfEncoder&) = delete;

    bool SetParams(int width, int height, int videoBitRate, int videoCodec, double frameRate,
                   int sampleRate, int channels, int audioBitRate);
    bool Open(const char* path);
    bool WriteVideo(const uint8_t* frame, int bytes, int64_t time100ns);
    bool WriteAudio(const uint8_t* pcm, int bytes);
    bool Close();

    // Pictures and sound come from two threads; WMV and WMA are cheap to
    // encode, so one lock around each call is all the order needed.
    std::mutex lock;
    int complexity = 0;
    int stretchMode = 0;
    // Title, author ... as the container's tags, written with the header.
    std::vector<std::pair<std::string, std::string>> tags;
    bool IsOpen() const { return fmt_ != nullptr; }

private:
    bool OpenVideo();
    bool OpenAudio();
    bool Drain(AVCodecContext* enc, AVStream* st);
    bool EncodeAudio(bool last);
    bool Silence(int64_t untilSample);
    void Release();

    // settings
    bool paramsSet_ = false, hasVideo_ = false, silent_ = false;
    int inWidth_ = 0, inHeight_ = 0;   // pictures as the caller hands them
    int width_ = 0, height_ = 0, videoBitRate_ = 0, videoCodec_ = 0;
    double frameRate_ = 0;
    int sampleRate_ = 0, channels_ = 0, audioBitRate_ = 0;

    // open file
    AVFormatContext* fmt_ = nullptr;
    std::string path_;
    AVCodecContext* venc_ = nullptr;
    AVCodecContext* aenc_ = nullptr;
    AVStream* vst_ = nullptr;
    AVStream* ast_ = nullptr;
    AVFrame* vframe_ = nullptr;
    AVFrame* aframe_ = nullptr;
    AVPacket* pkt_ = nullptr;
    SwsContext* sws_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    uint8_t** conv_ = nullptr;   // converted sound, convCap_ samples
    int convCap_ = 0;
    int64_t lastVideoPts_ = -1;
    int64_t audioSamples_ = 0;   // samples handed to the encoder
    int64_t audioIn_ = 0;        // samples taken in
    bool failed_ = false;
};
