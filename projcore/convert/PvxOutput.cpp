#include "convert/PvxOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cerrno>

#include "avkit/FramePicture.h"
#include "avkit/avkit.h"
#include "convert/OutputSettings.h"
#include "model/FLVSequence.h"
#include "wmvwriter/wmvwriter.h"

namespace fs = std::filesystem;

namespace {

// A number written at the start of a metadata text ("2009", "3/12"); 0 when none.
int LeadingNumber(const std::string& text) { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }

// Why writing to path failed, as far as the system tells: a full disk or a
// file-size limit (the writers themselves only say that they failed).
std::string WhyNotWritten(const std::string& path) {
    struct statvfs disk{};
    const std::string folder = fs::path(path).parent_path().string();
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) == 0 && disk.f_bavail == 0)
        return std::string(": ") + std::strerror(ENOSPC);
    struct rlimit limit{};
    struct stat st{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && ::stat(path.c_str(), &st) == 0 &&
        static_cast<rlim_t>(st.st_size) + (1 << 20) >= limit.rlim_cur)
        return std::string(": ") + std::strerror(EFBIG);
    return {};
}

class CAvkitOutput final : public CPvxOutput {
public:
    CAvkitOutput(AvkWriter* writer, std::string path) : writer_(writer), path_(std::move(path)) {}
    ~CAvkitOutput() override {
        if (writer_) AVW_Delete(writer_);
    }
    bool WriteVideo(const uint8_t* frame, int64_t, int64_t) override {
        if (AVW_WriteVideoFrame(writer_, frame, width_, height_)) return true;
        error_ = "could not write a picture to " + path_ + WhyNotWritten(path_);
        return false;
    }
    // Raw video stores the BGRA pictures themselves, and a GIF's palette is
    // made from full-colour pictures (4:2:0 would blur its colours first).
    bool TakesI420() const override { return !bgraPictures_; }
    bool WriteVideoI420(const uint8_t* frame, int64_t, int64_t) override {
        if (AVW_WriteVideoFrameI420(writer_, frame, width_, height_)) return true;
        error_ = "could not write a picture to " + path_ + WhyNotWritten(path_);
        return false;
    }
    bool WriteAudio(const uint8_t* pcm, int bytes, int64_t, int64_t) override {
        if (AVW_WriteAudioFrame(writer_, pcm, bytes, rate_, channels_)) return true;
        error_ = "could not write sound to " + path_ + WhyNotWritten(path_);
        return false;
    }
    bool Close() override {
        if (AVW_Close(writer_)) return true;
        error_ = "could not finish " + path_ + WhyNotWritten(path_);
        return false;
    }
    void Discard() override { AVW_Close(writer_); }
    void SetFormats(int width, int height, int rate, int channels, bool bgraPictures) {
        width_ = width, height_ = height, rate_ = rate, channels_ = channels, bgraPictures_ = bgraPictures;
    }

private:
    AvkWriter* writer_;
    std::string path_;
    int width_ = 0, height_ = 0, rate_ = 0, channels_ = 0;
    bool bgraPictures_ = false;
};

class CAsfOutput final : public CPvxOutput {
public:
    CAsfOutput(AsfEncoder* encoder, std::string path, int frameBytes)
        : encoder_(encoder), path_(std::move(path)), frameBytes_(frameBytes) {}
    ~CAsfOutput() override {
        if (encoder_) AsfEnc_Delete(encoder_);
    }
    bool WriteVideo(const uint8_t* frame, int64_t time, int64_t duration) override {
        if (AsfEnc_WriteVideo(encoder_, frame, frameBytes_, time, duration)) return true;
        error_ = "could not write a picture to " + path_ + WhyNotWritten(path_);
        return false;
    }
    bool WriteAudio(const uint8_t* pcm, int bytes, int64_t time, int64_t duration) override {
        if (AsfEnc_WriteAudio(encoder_, pcm, bytes, time, duration)) return true;
        error_ = "could not write sound to " + path_ + WhyNotWritten(path_);
        return false;
    }
    bool Close() override {
        // The sound ends once, here, whatever empty blocks came between clips.
        AsfEnc_WriteAudioEnd(encoder_);
        if (AsfEnc_Close(encoder_)) return true;
        error_ = "could not finish " + path_ + WhyNotWritten(path_);
        return false;
    }
    void Discard() override { AsfEnc_Close(encoder_); }

private:
    AsfEncoder* encoder_;
    std::string path_;
    int frameBytes_;
};

// One picture file per frame, numbered from 0, in the folder the caller made.
class CPictureSeriesOutput final : public CPvxOutput {
public:
    CPictureSeriesOutput(std::string path, int width, int height)
        : path_(std::move(path)), width_(width), height_(height) {}
    bool WriteVideo(const uint8_t* frame, int64_t, int64_t) override {
        name_ = PictureSeriesName(path_, written_);
        if (!AvkWriteFramePicture(name_.c_str(), frame, width_, height_, width_ * 4)) {
            error_ = "could not write the picture " + name_ + WhyNotWritten(name_);
            return false;
        }
        ++written_;
        return true;
    }
    bool WriteAudio(const uint8_t*, int, int64_t, int64_t) override { return true; }
    bool Close() override { return true; }
    void Discard() override {}

private:
    std::string path_, name_;
    int width_, height_;
    int64_t written_ = 0;
};

std::unique_ptr<CPvxOutput> OpenAvkit(const OutputSettings& s, const std::string& path, const CFLVSequence& seq,
                                      int threads, int32_t& code, std::string& why) {
    const bool video = s.videoCodec != -1, audio = s.audioCodec != -1;
    AvkWriter* w = AVW_Create(video, audio);
    if (!w) {
        code = 5;
        return nullptr;
    }
    auto out = std::make_unique<CAvkitOutput>(w, path);
    constexpr int kRawVideo = 2097152, kGif = 100;
    out->SetFormats(s.width, s.height, s.sampleRate, s.channels, s.videoCodec == kRawVideo || s.videoCodec == kGif);
    if (s.fourCC) AVW_SetFourCC(w, s.fourCC);
    AVW_SetStretchMode(w, s.scaling);
    if (s.aspectRatio != 0) AVW_SetAspectRatio(w, s.aspectRatio);
    if (s.bitRateTolerance) AVW_SetVideoBitrateTolerance(w, s.bitRateTolerance);
    AVW_SetEncoderThreads(w, threads);
    using P = CFLVSequence::Property;
    AVW_SetOutFileInfo(w, seq.GetProperty(P::kTitle).c_str(), seq.GetProperty(P::kAuthor).c_str(),
                       seq.GetProperty(P::kAlbum).c_str(), seq.GetProperty(P::kCopyright).c_str(),
                       seq.GetProperty(P::kComment).c_str(), LeadingNumber(seq.GetProperty(P::kYear)),
                       LeadingNumber(seq.GetProperty(P::kTrack)));
    bool ok = true;
    if (video) {
        ok = AVW_SetupVideoParams(w, s.videoCodec, s.videoBitRate, s.width, s.height, s.frameRate, s.videoParameter,
                                  -1, -1) != 0;
        constexpr int kRawBgra = 6;
        if (ok && s.videoCodec == kRawVideo) AVW_SetRawVideoImageFormat(w, kRawBgra);
    }
    if (ok && audio) ok = AVW_SetupAudioParams(w, s.audioCodec, s.audioBitRate, s.sampleRate, s.channels) != 0;
    const std::string format(s.fileFormat, strnlen(s.fileFormat, sizeof s.fileFormat));
    if (ok && !format.empty()) ok = AVW_SetOutputFormat(w, format.c_str()) != 0;
    if (ok) ok = AVW_SetOutFile(w, path.c_str()) != 0;
    if (ok) ok = AVW_Open(w) != 0;
    if (!ok) {
        out->Discard();
        code = 5;
        why = "the writer could not be opened with these settings for " + path + WhyNotWritten(path);
        return nullptr;
    }
    return out;
}

std::unique_ptr<CPvxOutput> OpenAsf(const OutputSettings& s, const std::string& path, const CFLVSequence& seq,
                                    int32_t& code) {
    AsfEncoder* e = AsfEnc_Create();
    if (!e) {
        code = 3;
        return nullptr;
    }
    using P = CFLVSequence::Property;
    AsfEnc_SetOutFileInfo(e, seq.GetProperty(P::kTitle).c_str(), seq.GetProperty(P::kAuthor).c_str(),
                          seq.GetProperty(P::kAlbum).c_str(), seq.GetProperty(P::kCopyright).c_str(),
                          seq.GetProperty(P::kComment).c_str(), LeadingNumber(seq.GetProperty(P::kYear)),
                          LeadingNumber(seq.GetProperty(P::kTrack)));
    const bool video = s.videoCodec != -1, audio = s.audioCodec != -1;
    // Without a sound track the writer makes silent 44100 Hz stereo itself.
    const int rate = audio ? s.sampleRate : 0, channels = audio ? s.channels : 0;
    int ok;
    if (video) {
        AsfEnc_SetComplexity(e, 1);
        AsfEnc_SetStretchMode(e, s.scaling);
        ok = AsfEnc_SetEncodingParams(e, s.width, s.height, s.videoBitRate, s.videoCodec, s.frameRate, rate, channels,
                                      s.audioBitRate);
    } else {
        ok = AsfEnc_SetEncodingParams(e, 0, 0, s.videoBitRate, ASFENC_NO_VIDEO, s.frameRate, rate, channels,
                                      s.audioBitRate);
    }
    if (!ok) {
        AsfEnc_Delete(e);
        code = 3;
        return nullptr;
    }
    auto out = std::make_unique<CAsfOutput>(e, path, video ? s.width * s.height * 4 : 0);
    if (!AsfEnc_Open(e, path.c_str())) {
        out->Discard();
        code = 4;
        return nullptr;
    }
    return out;
}

std::unique_ptr<CPvxOutput> OpenPictures(const OutputSettings& s, const std::string& path) {
    return std::make_unique<CPictureSeriesOutput>(path, s.width, s.height);
}

}  // namespace

std::string PictureSeriesName(const std::string& path, int64_t index) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.rfind('.');
    const std::string number = "_" + std::to_string(index);
    if (dot == std::string::npos || dot < nameStart) return path + number;
    return path.substr(0, dot) + number + path.substr(dot);
}

std::unique_ptr<CPvxOutput> OpenPvxOutput(const OutputSettings& s, const std::string& path,
                                          const CFLVSequence& sequence, int encoderThreads, int32_t& code,
                                          std::string& why) {
    code = 0;
    if (IsPictureSeriesOutput(s)) return OpenPictures(s, path);
    if (IsOutputFormat(s, "asf")) return OpenAsf(s, path, sequence, code);
    return OpenAvkit(s, path, sequence, encoderThreads, code, why);
}
