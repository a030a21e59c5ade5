#include "FLVStreamDecoder.h"

#include "FLVTagCodec.h"

namespace {
constexpr size_t kMaxDoneTags = 64;
}  // namespace

CFLVStreamDecoder::CFLVStreamDecoder() {
    m_done.reserve(kMaxDoneTags);
    m_parser.SetFLVInfoCallBack(&CFLVStreamDecoder::OnInfo, this);
    m_parser.SetFLVAudioCallBack(&CFLVStreamDecoder::OnAudioTag, this);
    m_parser.SetFLVVideoCallBack(&CFLVStreamDecoder::OnVideoTag, this);
}

CFLVStreamDecoder::~CFLVStreamDecoder() {
    // Going away calls nobody back: Stop would complete the stream facts and
    // run the info step, which starts the threads.
    m_parser.Discard();
    m_audio.Terminate();
    m_video.Terminate();
    for (FLVTag* t : m_done) FreeTag(t);
}

// ---- running

int CFLVStreamDecoder::Run() {
    if (m_state != kStopped) return 0;
    m_parser.SetMaxFLVTagQueue(m_parserMaxQueue);
    m_parser.SetMaxInterleavedTime(m_parserMaxInterleaved);
    m_infoGiven = false;
    if (!m_parser.Run()) return 0;
    m_state = kRunning;
    return 1;
}

int CFLVStreamDecoder::RunEx(const FLVInfo* info, int video, int audio) {
    if (m_state != kStopped) return 0;
    FLVInfo defaults{};
    defaults.version = 1;
    defaults.videoCodec = -1;
    defaults.audioFormat = -1;
    defaults.width = 320;
    defaults.height = 240;
    defaults.bitsPerSample = 16;
    defaults.channels = 2;
    defaults.sampleRate = 44100;
    defaults.frameRate = 25.0;
    int32_t v = video, a = audio;
    m_infoGiven = true;
    StartThreads(info ? *info : defaults, &v, &a);
    m_state = kRunning;
    return 1;
}

int32_t CFLVStreamDecoder::OnInfo(void* user, const FLVInfo* info, int32_t* video, int32_t* audio) {
    static_cast<CFLVStreamDecoder*>(user)->StartThreads(*info, video, audio);
    return 1;
}

void CFLVStreamDecoder::StartThreads(const FLVInfo& info, int32_t* video, int32_t* audio) {
    if (m_infoCb) m_infoCb(m_infoUser, &info, video, audio);
    m_audioOn = *audio != 0;
    m_videoOn = *video != 0;
    if (m_audioOn) {
        m_audio.SetOutputCallBack(m_audioCb, m_audioUser);
        m_audio.SetDeleteFLVTagCallBack(&CFLVStreamDecoder::OnTagDone, this);
        m_audio.SetMaxFLVTagQueue(m_audioMaxQueue);
        m_audio.SetBrother(m_videoOn ? &m_video : nullptr);
        m_audio.SetMaxIntervalTime(m_maxIntervalTime);
        m_audio.SetSampleRate(m_sampleRate ? m_sampleRate : info.sampleRate);
        m_audio.SetNumberOfChannels(m_channels ? m_channels : info.channels);
        m_audio.Run();
    }
    if (m_videoOn) {
        m_video.SetOutputCallBack(m_videoCb, m_videoUser);
        m_video.SetDeleteFLVTagCallBack(&CFLVStreamDecoder::OnTagDone, this);
        m_video.SetMaxFLVTagQueue(m_videoMaxQueue);
        m_video.SetBrother(m_audioOn ? &m_audio : nullptr);
        m_video.SetMaxIntervalTime(m_maxIntervalTime);
        if (m_outputWidth && m_outputHeight)
            m_video.SetOutputSize(m_outputWidth, m_outputHeight);
        else
            m_video.SetOutputSize(info.width, info.height);
        m_video.SetOutputFPS(m_fps != 0.0 ? m_fps : info.frameRate);
        m_video.SetCropRect(&m_cropRect);
        m_video.SetResizeMode(m_resizeMode);
        m_video.SetDecodeAlphaChannel(m_decodeAlpha);
        m_video.Run();
    }
}

int32_t CFLVStreamDecoder::OnAudioTag(void* user, FLVTag* tag) {
    return static_cast<CFLVStreamDecoder*>(user)->m_audio.DeliverFLVPacket(tag);
}

int32_t CFLVStreamDecoder::OnVideoTag(void* user, FLVTag* tag) {
    return static_cast<CFLVStreamDecoder*>(user)->m_video.DeliverFLVPacket(tag);
}

void CFLVStreamDecoder::OnTagDone(void* user, FLVTag* tag) {
    auto* self = static_cast<CFLVStreamDecoder*>(user);
    {
        std::lock_guard<std::mutex> lock(self->m_doneLock);
        if (self->m_done.size() < kMaxDoneTags) {
            self->m_done.push_back(tag);   // capacity reserved: never allocates
            return;
        }
    }
    FreeTag(tag);
}

void CFLVStreamDecoder::RecycleDoneTags() {
    std::lock_guard<std::mutex> lock(m_doneLock);
    for (FLVTag* t : m_done) m_parser.RecycleTag(t);
    m_done.clear();
}

int CFLVStreamDecoder::DeliverData(const uint8_t* bytes, uint32_t count) {
    if (m_state != kRunning) return 6;
    RecycleDoneTags();
    return m_parser.DeliverData(bytes, count);
}

int CFLVStreamDecoder::DeliverDataEx(FLVTag* tag) {
    if (m_state != kRunning) return 6;
    if (!tag) return 3;
    if (tag->type == 8) return m_audio.DeliverFLVPacket(tag) ? 0 : 2;
    if (tag->type == 9) return m_video.DeliverFLVPacket(tag) ? 0 : 2;
    return 3;
}

int CFLVStreamDecoder::Flush() {
    RecycleDoneTags();
    return m_parser.Flush();
}

int CFLVStreamDecoder::Stop() {
    if (m_state == kStopped) return 0;
    m_parser.Stop();
    return StopEx();
}

int CFLVStreamDecoder::StopEx() {
    if (m_state == kStopped) return 0;
    m_audio.Stop();
    m_video.Stop();
    m_state = kStopped;
    m_infoGiven = false;   // the next run takes its settings anew
    return 1;
}

int CFLVStreamDecoder::Terminate() {
    if (m_state == kTerminated) return 0;
    m_parser.Stop();
    m_audio.Terminate();
    m_video.Terminate();
    m_state = kTerminated;
    return 1;
}

int CFLVStreamDecoder::TerminateEx() { return Terminate(); }

// ---- settings

int CFLVStreamDecoder::SetFLVInfoCallBack(FLVInfoCallBack f, void* user) {
    if (m_state == kRunning) return 0;
    m_infoCb = f;
    m_infoUser = user;
    return 1;
}

int CFLVStreamDecoder::SetGetVideoCallBack(FLVDecoderOutputCallBack f, void* user) {
    if (m_state == kRunning) return 0;
    m_videoCb = f;
    m_videoUser = user;
    return 1;
}

int CFLVStreamDecoder::SetGetAudioCallBack(FLVDecoderOutputCallBack f, void* user) {
    if (m_state == kRunning) return 0;
    m_audioCb = f;
    m_audioUser = user;
    return 1;
}

int CFLVStreamDecoder::SetOutputSize(int width, int height) {
    if (!InfoOpen() || width < 0 || height < 0) return 0;
    m_outputWidth = width;
    m_outputHeight = height;
    return 1;
}

int CFLVStreamDecoder::SetOutputFPS(double fps) {
    if (!InfoOpen() || fps < 0.0) return 0;
    m_fps = fps;
    return 1;
}

int CFLVStreamDecoder::SetDecodeAlphaChannel(int flag) {
    if (!InfoOpen()) return 0;
    m_decodeAlpha = flag != 0;
    return 1;
}

int CFLVStreamDecoder::SetSampleRate(int rate) {
    if (!InfoOpen() || rate < 0) return 0;
    m_sampleRate = rate;
    return 1;
}

int CFLVStreamDecoder::SetNumberOfChannels(int channels) {
    if (!InfoOpen() || channels < 0) return 0;
    m_channels = channels;
    return 1;
}

void CFLVStreamDecoder::SetCropRect(const FLVCropRect* rect) {
    m_cropRect = rect ? *rect : FLVCropRect{-1, -1, -1, -1};
    m_video.SetCropRect(&m_cropRect);
}

void CFLVStreamDecoder::SetResizeMode(int mode) {
    m_resizeMode = mode;
    m_video.SetResizeMode(mode);
}

int CFLVStreamDecoder::SetParserMaxFLVTagQueue(int count) {
    if (m_state == kRunning || count < 1) return 0;
    m_parserMaxQueue = count;
    return 1;
}

int CFLVStreamDecoder::SetParserMaxInterleavedTime(int seconds) {
    if (m_state == kRunning) return 0;
    m_parserMaxInterleaved = seconds;
    return 1;
}

int CFLVStreamDecoder::SetAudioDecoderMaxFLVTagQueue(int count) {
    if (m_state == kRunning || count < 0) return 0;
    m_audioMaxQueue = count;
    return 1;
}

int CFLVStreamDecoder::SetVideoDecoderMaxFLVTagQueue(int count) {
    if (m_state == kRunning || count < 0) return 0;
    m_videoMaxQueue = count;
    return 1;
}

int CFLVStreamDecoder::SetDecoderMaxIntervalTime(int ms) {
    if (m_state == kRunning) return 0;
    m_maxIntervalTime = ms;
    return 1;
}
