// The writer's inner parts: one video and one audio stream of an open file.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace avkit {

struct VideoSetup {
    int codec = -1, bitRate = 0, width = 0, height = 0;
    double frameRate = 0;
    int keyInterval = 0, tolerance = 0;
    uint32_t fourcc = 0;
    int stretchMode = 0;
    double aspect = 0;
    int rawImageFormat = 0;
    int threads = 0;   // the encoder's threads; 0 lets it choose
};

struct AudioSetup {
    int codec = -1, bitRate = 0, sampleRate = 0, channels = 0;
};

// The open container. Sound and pictures arrive on two threads; each stream
// encodes on its caller's thread and only the muxer is shared, so only
// writing a packet takes the lock.
struct Muxer {
    AVFormatContext* fmt = nullptr;
    std::mutex lock;
    bool Write(AVPacket* pkt);   // false on a write error; unrefs pkt
};

// Hands every packet the encoder has ready to the muxer. False on a write error.
bool DrainEncoder(Muxer& mux, AVCodecContext* enc, AVStream* st, AVPacket* pkt);

class GifTwoPass;

class VideoStream {
public:
    VideoStream();   // out of line: GifTwoPass is known only there
    ~VideoStream();
    // Opens the encoder and adds the stream. False when the codec, size or
    // rate cannot be written into this container.
    bool Open(AVFormatContext* fmt, const VideoSetup& s);
    // picture: packed BGRA, or packed planar 4:2:0 when i420.
    bool Write(Muxer& mux, const uint8_t* picture, int width, int height, bool i420);
    bool Flush(Muxer& mux);

private:
    bool Place(int inW, int inH, AVPixelFormat inFmt);
    bool Encode(Muxer& mux);

    AVCodecContext* enc_ = nullptr;
    AVStream* st_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* pkt_ = nullptr;
    SwsContext* sws_ = nullptr;
    int inW_ = 0, inH_ = 0;
    AVPixelFormat inFmt_ = AV_PIX_FMT_NONE;
    int x_ = 0, y_ = 0, w_ = 0, h_ = 0;   // where the picture goes in the frame
    bool letterbox_ = false;
    int64_t next_ = 0;
    AVPixelFormat picture_ = AV_PIX_FMT_NONE;   // of frame_: the encoder's, or BGRA for GIF
    std::unique_ptr<GifTwoPass> gif_;           // GIF: pictures wait for the clip's palette
};

class AmrNbEncoder;

class AudioStream {
public:
    ~AudioStream();
    bool Open(AVFormatContext* fmt, const AudioSetup& s);
    bool Write(Muxer& mux, const uint8_t* pcm, int bytes, int rate, int channels);
    bool Flush(Muxer& mux);

private:
    bool Convert(const uint8_t* pcm, int samples, int rate, int channels);
    bool Resample(const uint8_t* pcm, int samples);
    bool EncodeReady(Muxer& mux, bool last);
    bool EncodeFrame(Muxer& mux, AVFrame* f);

    AVCodecContext* enc_ = nullptr;   // null for AMR-NB
    AmrNbEncoder* amr_ = nullptr;
    AVStream* st_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* pkt_ = nullptr;
    SwrContext* swr_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    uint8_t** conv_ = nullptr;        // swr output, convCap_ samples
    int convCap_ = 0;
    int inRate_ = 0, inChannels_ = 0;
    int outRate_ = 0, outChannels_ = 0, frameSize_ = 0;
    AVSampleFormat outFmt_ = AV_SAMPLE_FMT_S16;
    int64_t next_ = 0;
};

// Muxer for a name: FFmpeg's short name first, then as a file extension.
const AVOutputFormat* FindMuxer(const std::string& name, const std::string& path);

}  // namespace avkit
