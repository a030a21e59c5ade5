#include "convert/Pvx.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "avkit/avkit.h"
#include "convert/FlvBind.h"
#include "convert/OutputSettings.h"
#include "convert/PvxLayout.h"
#include "convert/PvxOutput.h"
#include "convert/PvxPostProcess.h"
#include "convert/PvxTimeline.h"
#include "convert/RemuxFormat.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/BaseClip.h"
#include "model/FLVSequence.h"

namespace {
constexpr int32_t kQueueTags = 1000;
constexpr int32_t kMaxIntervalMs = 500;
// Pictures scaled in BGRA (outputs that store BGRA), where swscale has no
// fast path: bilinear (which still widens its filter when shrinking) costs a
// good deal less than bicubic, for a difference hardly seen at video sizes.
// Pictures that stay in the decoder's 4:2:0 are scaled bicubic, as the
// ffmpeg tool does by default.
constexpr int32_t kResizeBilinear = 1, kResizeBicubic = 2;
// H.264 pictures above this many pixels are decoded with frame threads: below
// it one thread keeps up with the encoder anyway.
constexpr int64_t kThreadedDecodePixels = 640 * 480;
constexpr int32_t kMaxDecodeThreads = 4;
constexpr int32_t kSeekVideoKeyFrame = 9, kSeekAudio = 8;
// How long one wait for room in a decoder's queue lasts before the job looks
// at its state again (a cancel or pause also wakes the decoders' callbacks).
constexpr int32_t kDeliverWaitMs = 50;
}  // namespace

CPvx::CPvx(OutputSettings& settings, CFLVSequence* sequence, std::string outputPath, CDrawSurface* preview,
           const Rect* previewRect)
    : settings_(settings), sequence_(sequence), outputPath_(std::move(outputPath)), previewSurface_(preview) {
    CorrectOutputSettings(settings_);
    if (previewRect) previewRect_ = *previewRect;
    int64_t total = 0;
    if (sequence_) {
        for (size_t i = 0; i < sequence_->GetClipCount(); ++i) total += sequence_->Clip(i)->GetPlayLength();
    }
    progress_.total = total * 10000;
    progress_.SetState(CFlvBindProgress::kFinished);
}

CPvx::~CPvx() {
    cancelAsked_ = true;
    progress_.ChangeUnlessFinished(CFlvBindProgress::kCancel);
    if (thread_.joinable()) thread_.join();
}

bool CPvx::Start() {
    if (thread_.joinable()) return false;
    progress_.SetState(CFlvBindProgress::kRunning);
    try {
        thread_ = std::thread(&CPvx::Run, this);
    } catch (const std::system_error&) {
        progress_.SetState(CFlvBindProgress::kFinished);
        return false;
    }
    return true;
}

int32_t CPvx::SetState(int32_t state) {
    if (state == CFlvBindProgress::kCancel) cancelAsked_ = true;
    return progress_.ChangeUnlessFinished(state);
}

std::string CPvx::ErrorText() const {
    std::lock_guard lock(errorLock_);
    return errorText_;
}

void CPvx::Finish(int32_t code, const std::string& text) {
    std::lock_guard lock(errorLock_);
    if (result_ != kDone) return;   // the first failure is the one reported
    result_ = code;
    errorText_ = text;
    // The user knows the output by its own name, not the temporary one.
    if (!writePath_.empty())
        for (size_t at; (at = errorText_.find(writePath_)) != std::string::npos;)
            errorText_.replace(at, writePath_.size(), outputPath_);
}

void CPvx::SetPreview(bool on) {
    previewOn_ = on;
    ApplyPreview();
}

void CPvx::SetPreviewRect(const Rect& area) {
    {
        std::lock_guard lock(previewLock_);
        previewRect_ = area;
    }
    ApplyPreview();
}

Rect CPvx::PreviewRect() const {
    std::lock_guard lock(previewLock_);
    return previewRect_;
}

void CPvx::ApplyPreview() {
    std::lock_guard lock(previewLock_);
    if (timeline_) timeline_->SetPreview(previewSurface_, previewRect_, previewOn_);
}

// ---- the thread

void CPvx::Run() {
    constexpr int kLargestSide = 8192;
    constexpr double kFastestRate = 1000;
    const bool video = settings_.videoCodec != -1;
    try {
        if (IsOutputFormat(settings_, "flvbind")) {
            if (PrepareOutput()) RunBind();
        } else if (RemuxContainerOf(settings_)) {
            if (PrepareOutput()) RunRemux();
        } else if (settings_.audioCodec == -1 && !video) {
            Finish(kNoStreams, "the output has neither sound nor pictures");
        } else if (video && (settings_.width > kLargestSide || settings_.height > kLargestSide ||
                             !(settings_.frameRate <= kFastestRate))) {
            Finish(kWriterOpen, "the picture size or frame rate cannot be written: " + outputPath_);
        } else if (settings_.audioCodec != -1 && (settings_.sampleRate > 384000 || settings_.channels > 8)) {
            Finish(kWriterOpen, "the sound format cannot be written: " + outputPath_);
        } else if (sequence_ && PrepareOutput()) {
            RunClips();
        }
        if (OutputWhole() && !Cancelled() && !cancelAsked_) KeepOutput();
    } catch (const std::bad_alloc&) {
        Finish(kWriterOpen, "out of memory converting to " + outputPath_);
        if (output_) output_->Discard();
        std::lock_guard lock(previewLock_);
        timeline_.reset();
        output_.reset();
    }
    // Whatever did not become the output goes: only this job's own temporary entry.
    if (!part_.Claimed()) outputPath_.clear();
    part_.Discard();
    progress_.SetState(CFlvBindProgress::kFinished);
    if (finished_) finished_(finishedUser_);
}

// The task's inputs: every clip's file.
std::vector<std::string> CPvx::Inputs() const {
    std::vector<std::string> paths;
    for (size_t i = 0; sequence_ && i < sequence_->GetClipCount(); ++i) paths.push_back(sequence_->Clip(i)->FilePath());
    return paths;
}

bool CPvx::PrepareOutput() {
    // Replacing (or writing through a link onto) an input would destroy what
    // is being read, whatever the existing-file policy says.
    if (IsOneOf(outputPath_, Inputs())) {
        Finish(kOutputIsInput, "the output would replace one of its own inputs: " + outputPath_);
        return false;
    }
    std::string why;
    const bool pictures = IsPictureSeriesOutput(settings_);
    const std::string target = pictures ? std::filesystem::path(outputPath_).parent_path().string() : outputPath_;
    if (!part_.Create(target, pictures ? CPartFile::kFolder : CPartFile::kFile, why)) {
        Finish(IsOutputFormat(settings_, "asf") ? kAsfOpen : kWriterOpen, why);
        return false;
    }
    writePath_ = pictures ? part_.Path() + "/" + std::filesystem::path(outputPath_).filename().string() : part_.Path();
    return true;
}

bool CPvx::OutputWhole() const {
    // A failed finishing step leaves a whole, playable file.
    return result_ == kDone || result_ == kFastStart || result_ == kFlvMetadata || result_ == kPspTitle;
}

void CPvx::KeepOutput() {
    const bool pictures = IsPictureSeriesOutput(settings_);
    const std::filesystem::path asked(outputPath_);
    const std::string target = pictures ? asked.parent_path().string() : outputPath_;
    // Checked again at the last moment: the input may have been linked there meanwhile.
    if (overwrite_ && IsOneOf(target, Inputs())) {
        Finish(kOutputIsInput, "the output would replace one of its own inputs: " + outputPath_);
        return;
    }
    std::string finalPath, why;
    const std::string base =
        nameBase_.empty() ? std::string() : pictures ? std::filesystem::path(nameBase_).parent_path().string() : nameBase_;
    if (!part_.Claim(target, overwrite_ && !pictures, finalPath, why, base)) {
        Finish(kWrite, why);
        return;
    }
    outputPath_ = pictures ? finalPath + "/" + asked.filename().string() : finalPath;
}

void CPvx::RunBind() {
    std::vector<TFlvBindClip> clips;
    for (size_t i = 0; sequence_ && i < sequence_->GetClipCount(); ++i) {
        CBaseClip* clip = sequence_->Clip(i);
        clips.push_back({clip->FilePath(), clip->Trim().Start(), clip->Trim().End()});
    }
    const TFlvBindResult r =
        CFlvBind::Run(clips, writePath_, settings_.audioCodec != -1, settings_.videoCodec != -1, progress_);
    // The join marks itself finished, so a cancel is told by the request;
    // a cancelled or failed join's file is the temporary one, removed by Run.
    if (r.code == CFlvBind::kDone) return;
    if (r.code == CFlvBind::kMetadataFailed) {
        Finish(kFlvMetadata, r.text);   // the joined file itself is whole
        return;
    }
    if (r.code == CFlvBind::kNoMedia) {
        Finish(kClipRead, "nothing to join: " + r.text + (sequence_->GetClipCount() > 1 ? " and the other clips hold" : " holds") +
                              " no pictures or sound");
        return;
    }
    if (r.code == CFlvBind::kClipMismatch) {
        // The join's text says which clip and what differs.
        Finish(kBindOther, "cannot join: " + r.text);
        return;
    }
    Finish(r.code >= 1 && r.code <= 4 ? kBindBase + r.code : kBindOther, r.text);
}

void CPvx::RunClips() {
    int32_t code = 0;
    std::string why;
    output_ = OpenPvxOutput(settings_, writePath_, *sequence_, encoderThreads_, code, why);
    if (!output_) {
        Finish(kDone + code, why.empty() ? outputPath_ : why);
        return;
    }
    {
        auto timeline = std::make_unique<CPvxTimeline>(settings_, *output_, progress_);
        std::lock_guard lock(previewLock_);
        timeline_ = std::move(timeline);
    }
    ApplyPreview();
    reader_ = FLVAVTagReader_Create();
    bool ok = reader_ != nullptr;
    if (!ok) Finish(kDecoderSetup, "out of memory");
    if (ok) FLVAVTagReader_SetAutoReleaseMemory(reader_, 0);
    int64_t startMs = 0;
    for (size_t i = 0; ok && i < sequence_->GetClipCount() && !Cancelled(); ++i) {
        CBaseClip& clip = *sequence_->Clip(i);
        const int64_t length = clip.GetPlayLength();
        ok = clip.IsFlv() ? ConvertFlvClip(clip, startMs, length) : ConvertImageClip(clip, startMs, length);
        startMs += length;
    }
    if (reader_) FLVAVTagReader_Delete(reader_);
    reader_ = nullptr;
    if (ok && !Cancelled() && claimedVideo_ && pictures_ == 0) {
        // Black from start to end is not a conversion of a video.
        Finish(kClipRead, "no picture could be decoded" +
                              (unusableSize_.empty() ? std::string() : " from " + unusableSize_));
    }
    // Whatever the stages still hold is written (or, cancelled, dropped) first.
    if (!timeline_->Flush()) Finish(kWrite, output_->Error());
    if (Cancelled() || result_ != kDone || timeline_->Failed()) {
        output_->Discard();
    } else if (!output_->Close()) {
        Finish(kWrite, output_->Error());
        output_->Discard();
    } else {
        PostProcess();
    }
    {
        std::lock_guard lock(previewLock_);
        timeline_.reset();
    }
    output_.reset();
}

void CPvx::PostProcess() {
    if (IsOutputFormat(settings_, "mov")) {
        if (!FastStartInPlace(writePath_))
            Finish(kFastStart, "could not move the index to the front of " + outputPath_);
    } else if (IsOutputFormat(settings_, "flv")) {
        if (!UpdateFlvMetadata(writePath_)) Finish(kFlvMetadata, "could not update the metadata of " + outputPath_);
    } else if (IsOutputFormat(settings_, "psp")) {
        const std::string& title = sequence_->GetProperty(CFLVSequence::kTitle);
        std::string why;
        if (!title.empty() && !WritePspTitle(writePath_, title, why))
            Finish(kPspTitle, "could not write the title (" + why + ") into " + outputPath_);
    }
}

// ---- FLV clips

bool CPvx::ConvertFlvClip(CBaseClip& clip, int64_t startMs, int64_t lengthMs) {
    const std::string& path = clip.FilePath();
    bool opened;
    {
        std::lock_guard lock(readerLock_);
        FLVAVTagReader_Close(reader_);
        opened = FLVAVTagReader_Open(reader_, path.c_str()) != 0;
    }
    if (!opened) {
        Finish(kClipOpen, path);
        return false;
    }
    FLVInfo info{};
    FLVAVTagReader_GetFLVInfo(reader_, &info);
    const bool clipHasVideo = info.videoCodec != -1 && info.width > 0 && info.height > 0;
    const bool wantVideo = settings_.videoCodec != -1 && clipHasVideo;
    const bool wantAudio = settings_.audioCodec != -1;
    const Rect visible = VisiblePart(clip.Crop().GetCropMargins(), info.width, info.height);
    const Rect picture = FitPicture(visible.Width(), visible.Height(), settings_.width, settings_.height,
                                    settings_.aspectRatio, settings_.scaling == 2);
    std::unique_ptr<CWaterMarkMgr> marks;
    FLVStreamDecoderHandle audio = nullptr, video = nullptr;
    bool ok = true;
    try {
        if (wantVideo) marks = MarksForOutput(clip, settings_.width, settings_.height, picture);
        if (wantAudio) ok = (audio = FLVStreamDecoder_Create(0)) != nullptr;
        if (ok && wantVideo) ok = (video = FLVStreamDecoder_Create(1)) != nullptr;
    } catch (...) {
        ok = false;
    }
    // The decoder's own colour all the way to the encoder where the output takes it.
    const int pictureFormat = timeline_->TakesI420() ? AVK_IMAGE_I420 : AVK_IMAGE_BGRA32;
    const bool largeH264 = info.videoCodec == 7 && int64_t{info.width} * info.height > kThreadedDecodePixels;
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int decodeThreads = largeH264 ? std::clamp(encoderThreads_ > 0 ? encoderThreads_ : cores, 1, kMaxDecodeThreads) : 1;
    auto setUp = [&](FLVStreamDecoderHandle d, bool isVideo) {
        FLVStreamDecoder_SetOutputCallBack(d, isVideo ? &CPvx::OnVideo : &CPvx::OnAudio, this);
        FLVStreamDecoder_SetDeleteFLVTagCallBack(d, &CPvx::OnReleaseTag, this);
        FLVStreamDecoder_SetMaxFLVTagQueue(d, kQueueTags);
        if (isVideo) {
            const FLVCropRect crop{visible.left, visible.top, visible.right, visible.bottom};
            const int resize = pictureFormat == AVK_IMAGE_I420 ? kResizeBicubic : kResizeBilinear;
            return FLVStreamDecoder_SetOutputSize(d, picture.Width(), picture.Height()) &&
                   FLVStreamDecoder_SetOutputFPS(d, settings_.frameRate) &&
                   FLVStreamDecoder_SetDecodeAlphaChannel(d, 1) &&
                   FLVStreamDecoder_SetOutputImageFormat(d, pictureFormat) &&
                   FLVStreamDecoder_SetDecodeThreads(d, decodeThreads) &&
                   (FLVStreamDecoder_SetCropRect(d, &crop), FLVStreamDecoder_SetResizeMode(d, resize), true);
        }
        return FLVStreamDecoder_SetSampleRate(d, settings_.sampleRate) &&
               FLVStreamDecoder_SetNumberOfChannels(d, settings_.channels);
    };
    if (ok && audio) ok = setUp(audio, false);
    if (ok && video) ok = setUp(video, true);
    if (ok && audio && video) {
        FLVStreamDecoder_SetBrother(audio, video);
        FLVStreamDecoder_SetBrother(video, audio);
        FLVStreamDecoder_SetMaxIntervalTime(audio, kMaxIntervalMs);
        FLVStreamDecoder_SetMaxIntervalTime(video, kMaxIntervalMs);
    }
    if (!ok) {
        if (audio) FLVStreamDecoder_Delete(audio);
        if (video) FLVStreamDecoder_Delete(video);
        Finish(kDecoderSetup, path);
        return false;
    }
    CPvxTimeline::Clip placed;
    placed.startMs = startMs;
    placed.lengthMs = lengthMs;
    placed.trimStartMs = clip.Trim().Start();
    placed.picture = picture;
    placed.pictureFormat = pictureFormat;
    placed.effects = &clip.Effects();
    placed.marks = marks.get();
    timeline_->BeginClip(placed);
    clipShift_ = 0;
    clipPictures_ = clipSound_ = 0;
    frameBytes_ = AvkImage_Bytes(pictureFormat, picture.Width(), picture.Height());
    if (audio) FLVStreamDecoder_Run(audio);
    if (video) FLVStreamDecoder_Run(video);
    uint32_t baseTime = 0;
    const bool read = ReadTags(clip, audio, video, clip.Trim().Start(), clip.Trim().End(), baseTime);
    const bool finishing = read && !Cancelled() && !timeline_->Failed();
    for (FLVStreamDecoderHandle d : {audio, video}) {
        if (!d) continue;
        if (finishing) {
            FLVStreamDecoder_DeliverEnd(d);
            FLVStreamDecoder_Stop(d);   // decodes what is queued first
        } else {
            FLVStreamDecoder_Terminate(d);
        }
    }
    if (audio) FLVStreamDecoder_Delete(audio);
    if (video) FLVStreamDecoder_Delete(video);
    {
        std::lock_guard lock(readerLock_);
        FLVAVTagReader_Close(reader_);
    }
    if (!finishing) {
        timeline_->AbandonClip();   // before the clip's marks go
        return false;
    }
    if ((audio || video) && clipPictures_ == 0 && clipSound_ == 0) {
        // Only metadata, a codec setup or damaged tags: converting it would
        // write a file of nothing (or of black) and call it done.
        Finish(kClipRead, path + " holds no pictures or sound that can be decoded");
        timeline_->AbandonClip();
        return false;
    }
    if (settings_.videoCodec != -1 && info.videoCodec != -1) {
        claimedVideo_ = true;
        if (!clipHasVideo) unusableSize_ = path + " (its picture size is " + std::to_string(info.width) + "x" +
                                           std::to_string(info.height) + ")";
    }
    return timeline_->EndClip();
}

bool CPvx::ReadTags(CBaseClip& clip, FLVStreamDecoderHandle audio, FLVStreamDecoderHandle video,
                    uint32_t trimStart, uint32_t trimEnd, uint32_t& baseTime) {
    {
        std::lock_guard lock(readerLock_);
        uint32_t at = 0;
        // A trim between key frames starts at the key frame before it; the
        // pictures and sound before the trim are dropped after decoding.
        if (FLVAVTagReader_SeekEx(reader_, video ? kSeekVideoKeyFrame : kSeekAudio, trimStart, &at) != 0)
            FLVAVTagReader_SeekToBegin(reader_);
    }
    auto release = [&](FLVTag* tag) {
        std::lock_guard lock(readerLock_);
        FLVAVTagReader_ReleaseMemory(reader_, tag);
    };
    bool first = true;
    for (;;) {
        if (progress_.WaitWhilePaused() == CFlvBindProgress::kCancel || timeline_->Failed()) return true;
        FLVTag* tag = nullptr;
        uint32_t duration = 0;
        int32_t result;
        {
            std::lock_guard lock(readerLock_);
            result = FLVAVTagReader_ReadTag(reader_, 1, 0, &tag, &duration);
        }
        if (result == 1) return true;
        if (result != 0 || !tag) {
            Finish(kClipRead, clip.FilePath());
            return false;
        }
        if (tag->type != 8 && tag->type != 9) {
            release(tag);
            continue;
        }
        if (tag->timestamp >= trimEnd) {
            release(tag);
            return true;
        }
        if (first) {
            baseTime = tag->timestamp;
            clipShift_ = (int64_t{baseTime} - int64_t{trimStart}) * 10000;
            first = false;
        }
        FLVStreamDecoderHandle decoder = tag->type == 8 ? audio : video;
        if (!decoder || tag->timestamp < baseTime) {
            release(tag);
            continue;
        }
        tag->timestamp -= baseTime;
        if (!Deliver(decoder, tag)) release(tag);
    }
}

bool CPvx::Deliver(FLVStreamDecoderHandle decoder, FLVTag* tag) {
    for (;;) {
        if (FLVStreamDecoder_DeliverFLVPacketWait(decoder, tag, kDeliverWaitMs)) return true;
        if (FLVStreamDecoder_GetState(decoder) != 0) return false;   // the thread has ended
        if (progress_.WaitWhilePaused() == CFlvBindProgress::kCancel || timeline_->Failed()) return false;
    }
}

void CPvx::OnVideo(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t, int32_t, int32_t) {
    auto* job = static_cast<CPvx*>(self);
    if (!data || size < job->frameBytes_.load()) return;
    ++job->clipPictures_;
    ++job->pictures_;
    if (job->progress_.WaitWhilePaused() == CFlvBindProgress::kCancel) return;
    job->timeline_->PutFrame(data, ts + job->clipShift_.load());
}

void CPvx::OnAudio(void* self, const uint8_t* data, int32_t size, int64_t ts, int64_t, int32_t, int32_t) {
    auto* job = static_cast<CPvx*>(self);
    if (!data || size <= 0) return;
    ++job->clipSound_;
    if (job->progress_.WaitWhilePaused() == CFlvBindProgress::kCancel) return;
    job->timeline_->PutAudio(data, size, ts + job->clipShift_.load());
}

void CPvx::OnReleaseTag(void* self, FLVTag* tag) {
    auto* job = static_cast<CPvx*>(self);
    std::lock_guard lock(job->readerLock_);
    FLVAVTagReader_ReleaseMemory(job->reader_, tag);
}
