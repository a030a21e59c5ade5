#include "model/ImageClip.h"

#include "bus/BaseException.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/BaseSerialStream.h"
#include "render/ImageClipRender.h"

namespace {
[[noreturn]] void FailLoad() { throw CBaseException(errcode::kDeserialImageClip, "errDeSerialImageClip"); }
}  // namespace

bool CImageClip::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    SerialCommon(stream, "CImageClip", errcode::kSerialImageClip, "errSerialImageClip", errcode::kSerialImageClip,
                 "errSerialImageClip");
    const bool ok = stream->PutUInt("m_Time", time_) && stream->PutDouble("m_FrameRate", frameRate_) &&
                    stream->EndGroup();
    if (!ok) throw CBaseException(errcode::kSerialImageClip, "errSerialImageClip");
    return true;
}

bool CImageClip::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("CImageClip")) FailLoad();
    bool ok = false;
    try {
        std::string path;
        // The time is read before the file is set: setting the file fits the
        // trim and the watermark range to the time, and the trim and
        // watermarks read next are clamped into them.
        ok = stream->GetString("m_FilePath", path) && stream->GetUInt("m_Time", time_) &&
             stream->GetDouble("m_FrameRate", frameRate_);
        if (ok) SetFilePath(path);
        ok = ok && DeserialCommon(stream);
    } catch (...) {
        ok = false;
    }
    stream->CloseGroup();
    if (!ok) FailLoad();
    modified_ = false;
    return true;
}

// Edits of a picture clip's settings count like those of a video clip's.
bool CImageClip::IsModified() { return modified_ || AnySettingModified(); }

std::unique_ptr<CBaseClip> CImageClip::Clone() {
    auto clone = std::make_unique<CImageClip>();
    clone->time_ = time_;
    clone->frameRate_ = frameRate_;
    clone->mediaKnown_ = mediaKnown_;
    clone->CopyFrom(*this);
    return clone;
}

const MediaFileInfo& CImageClip::GetMediaInfo() {
    if (!mediaKnown_) ExamineMedia();
    // A still picture plays for the clip's own time at the clip's own rate.
    // Written only when they differ: the player's threads read the record.
    if (mediaInfo_.frameCount == 1 && (mediaInfo_.duration != time_ || mediaInfo_.imageFrameRate != frameRate_)) {
        mediaInfo_.duration = time_;
        mediaInfo_.imageFrameRate = frameRate_;
    }
    return mediaInfo_;
}

void CImageClip::RefreshMedia() {
    GetMediaInfo();
    // A picture clip whose path names an FLV file keeps what it had.
    if (mediaInfo_.isFlv) return;
    const Rect rect{0, 0, mediaInfo_.imageWidth, mediaInfo_.imageHeight};
    waterMarks_->SetFrameSize(rect);
    crop_->SetFrameRect(rect);
    videoRect_ = rect;
    FitToTime();
}

void CImageClip::FitToTime() {
    if (time_ != trim_->Duration()) trim_->SetDuration(time_);
    if (time_ != 0) {
        waterMarks_->SetTimeRange(0, time_);
        waterMarks_->SetNewRange(0, time_);
    }
}

void CImageClip::SetImageTime(uint32_t ms) {
    const MediaFileInfo& info = GetMediaInfo();
    if (info.frameCount == 0) return;
    if (info.frameCount == 1) {
        time_ = ms;
    } else if (info.imageFrameRate > 0) {
        time_ = static_cast<uint32_t>(info.frameCount * 1000.0 / info.imageFrameRate);
    }
    // Watermark times follow the new length, as the trim does.
    FitToTime();
    modified_ = true;
}

std::unique_ptr<CBaseClipRender> CImageClip::CreateRender(CFLVCache*) {
    auto render = std::make_unique<CImageClipRender>(this);
    if (!render->Open()) return nullptr;
    return render;
}
