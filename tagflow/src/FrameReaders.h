// Frame readers: decode an opened FLV file on the caller's thread through a
// tag reader and a decoder thread object in sync mode. The audio reader hands
// out the file's PCM block by block (with the silence of sound gaps and of a
// sound track shorter than the video); the video reader returns the picture
// of any output frame number.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "AudioDecoderThread.h"
#include "FLVAVTagReader.h"
#include "VideoDecoderThread.h"
#include "avkit/avkit.h"

class AudioFrameReader {
public:
    explicit AudioFrameReader(CFLVAVTagReader* reader);
    virtual ~AudioFrameReader();
    AudioFrameReader(const AudioFrameReader&) = delete;
    AudioFrameReader& operator=(const AudioFrameReader&) = delete;
    bool Valid() const { return m_buffer != nullptr; }

    int ReadFrame(uint8_t* buffer, int32_t bytes);

private:
    void PushZeros(int64_t bytes);
    int FinishWithZeros(uint8_t* buffer, int32_t bytes);

    CFLVAVTagReader* m_reader;
    int m_sampleRate = 44100, m_channels = 2;
    AvkDataBuffer* m_buffer = nullptr;
    CAudioDecoderThread m_decoder;
    int64_t m_pendingSilence = 0;   // samples
    bool m_endReached = false;
    int64_t m_tailSilence = 0;      // samples
};

class VideoFrameReader {
public:
    VideoFrameReader(CFLVAVTagReader* reader, double fps, int decodeAlpha, int flip);
    virtual ~VideoFrameReader() = default;
    VideoFrameReader(const VideoFrameReader&) = delete;
    VideoFrameReader& operator=(const VideoFrameReader&) = delete;

    const uint8_t* ReadFrame(int32_t frame, uint32_t* timestamp, uint32_t* duration);

private:
    void Advance(int64_t t);
    void AdvanceReordered(int64_t t);
    void Seek(int64_t t);
    void Show(const uint8_t* picture, int64_t timestamp, int64_t duration);

    CFLVAVTagReader* m_reader;
    double m_fps;
    int m_width = 0, m_height = 0;
    CVideoDecoderThread m_decoder;
    std::vector<uint8_t> m_blank;
    int64_t m_videoEnd = 0;        // ms
    int64_t m_frameDuration = 0;   // ms
    bool m_flip;
    // H.264 with B-frames: pictures come out after their tags, each at its
    // own presentation time, lasting one source frame interval.
    bool m_reordered = false;
    int64_t m_pictureDuration = 40;   // ms
    const uint8_t* m_picture = nullptr;
    int64_t m_timestamp = 0, m_duration = 0;   // ms, of the current picture
    // Reordered streams: the first picture after a seek may stand in before
    // its own time, from here on (ms; otherwise m_timestamp).
    int64_t m_coversFrom = 0;
    int64_t SpanStart() const { return m_reordered ? std::min(m_coversFrom, m_timestamp) : m_timestamp; }
};
