// Stream decoder: a push parser in front of an audio and a video decoder
// thread paired as brothers. Bytes go in on the caller's thread; decoded
// sound and pictures come out on the threads through the caller's callbacks.
#pragma once

#include <mutex>
#include <vector>

#include "AudioDecoderThread.h"
#include "FLVStreamParser.h"
#include "VideoDecoderThread.h"

class CFLVStreamDecoder {
public:
    CFLVStreamDecoder();
    virtual ~CFLVStreamDecoder();
    CFLVStreamDecoder(const CFLVStreamDecoder&) = delete;
    CFLVStreamDecoder& operator=(const CFLVStreamDecoder&) = delete;

    int Run();
    int RunEx(const FLVInfo* info, int video, int audio);
    int DeliverData(const uint8_t* bytes, uint32_t count);
    int DeliverDataEx(FLVTag* tag);
    int Flush();
    int Stop();
    int StopEx();
    int Terminate();
    int TerminateEx();
    uint32_t GetTimeStamp() const { return m_parser.GetTimeStamp(); }
    int GetParsedPacketsCount(int32_t* audio, int32_t* video) const {
        return m_parser.GetParsedPacketsCount(audio, video);
    }
    int HasCalledFLVInfoCallBack() const { return m_parser.HasCalledFLVInfoCallBack(); }

    int SetFLVInfoCallBack(FLVInfoCallBack f, void* user);
    int SetGetVideoCallBack(FLVDecoderOutputCallBack f, void* user);
    int SetGetAudioCallBack(FLVDecoderOutputCallBack f, void* user);
    int SetOutputSize(int width, int height);
    int SetOutputFPS(double fps);
    int SetDecodeAlphaChannel(int flag);
    int SetSampleRate(int rate);
    int SetNumberOfChannels(int channels);
    void SetCropRect(const FLVCropRect* rect);
    void SetResizeMode(int mode);
    int SetParserMaxFLVTagQueue(int count);
    int SetParserMaxInterleavedTime(int seconds);
    int SetAudioDecoderMaxFLVTagQueue(int count);
    int SetVideoDecoderMaxFLVTagQueue(int count);
    int SetDecoderMaxIntervalTime(int ms);

    CAudioDecoderThread& AudioThread() { return m_audio; }
    CVideoDecoderThread& VideoThread() { return m_video; }

private:
    enum { kRunning = 0, kStopped = 1, kTerminated = 2 };
    static int32_t OnInfo(void* user, const FLVInfo* info, int32_t* video, int32_t* audio);
    static int32_t OnAudioTag(void* user, FLVTag* tag);
    static int32_t OnVideoTag(void* user, FLVTag* tag);
    static void OnTagDone(void* user, FLVTag* tag);
    void StartThreads(const FLVInfo& info, int32_t* video, int32_t* audio);
    bool InfoOpen() const { return !m_parser.HasCalledFLVInfoCallBack() && !m_infoGiven; }
    void RecycleDoneTags();

    CFLVStreamParser m_parser;
    CVideoDecoderThread m_video;
    CAudioDecoderThread m_audio;
    int m_state = kStopped;
    bool m_infoGiven = false;   // RunEx ran the info step itself
    int m_audioOn = 1, m_videoOn = 1;
    int m_outputWidth = 0, m_outputHeight = 0;
    FLVCropRect m_cropRect{-1, -1, -1, -1};
    int m_resizeMode = 0;
    double m_fps = 0.0;
    int m_decodeAlpha = 1;
    int m_sampleRate = 0, m_channels = 0;
    FLVInfoCallBack m_infoCb = nullptr;
    void* m_infoUser = nullptr;
    FLVDecoderOutputCallBack m_videoCb = nullptr, m_audioCb = nullptr;
    void* m_videoUser = nullptr;
    void* m_audioUser = nullptr;
    int m_parserMaxQueue = 1000;
    int m_parserMaxInterleaved = 300;
    int m_audioMaxQueue = 1000, m_videoMaxQueue = 1000;
    int m_maxIntervalTime = 500;

    // Tags the threads are done with wait here for the parser to reuse them,
    // so the steady flow of tags allocates nothing.
    std::mutex m_doneLock;
    std::vector<FLVTag*> m_done;
};
