#include "model/FLVClip.h"

#include "bus/BaseException.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/BaseSerialStream.h"
#include "render/FLVClipRender.h"

namespace {
// Without video the picture is the usual 320 x 240; a rate nobody tells is
// 25 frames a second.
constexpr int32_t kNoVideoWidth = 320, kNoVideoHeight = 240;
constexpr double kUnknownFrameRate = 25.0;
[[noreturn]] void FailLoad() { throw CBaseException(errcode::kDeserialFlvClip, "errDeSerialFlvClip"); }
}  // namespace

bool CFLVClip::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    SerialCommon(stream, "CFLVClip", errcode::kSerialFlvClip, "errSerialFlvClip", errcode::kSerialImageClip,
                 "errSerialImageClip");
    if (!stream->EndGroup()) throw CBaseException(errcode::kSerialFlvClip, "errSerialFlvClip");
    return true;
}

bool CFLVClip::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("CFLVClip")) {
        const std::string keep = filePath_;
        filePath_.clear();
        ReportLoad(2);
        filePath_ = keep;
        FailLoad();
    }
    std::string path;
    stream->GetString("m_FilePath", path);
    filePath_ = path;
    ReportLoad(0);
    bool ok = false;
    try {
        SetFilePath(path);
        ok = DeserialCommon(stream);
        // The stored length may be stale or made up; the file's own is the truth.
        if (ok) trim_->FitDuration(mediaInfo_.duration);
    } catch (...) {
        ok = false;
    }
    stream->CloseGroup();
    if (!ok) {
        ReportLoad(2);
        FailLoad();
    }
    modified_ = false;
    ReportLoad(1);
    return true;
}

bool CFLVClip::IsModified() { return modified_ || AnySettingModified(); }

std::unique_ptr<CBaseClip> CFLVClip::Clone() {
    auto clone = std::make_unique<CFLVClip>();
    clone->mediaKnown_ = mediaKnown_;
    clone->CopyFrom(*this);
    return clone;
}

const MediaFileInfo& CFLVClip::GetMediaInfo() {
    // Once known the record is only read: the player's threads read it too.
    if (!mediaKnown_) ExamineMedia();
    return mediaInfo_;
}

void CFLVClip::RefreshMedia() {
    GetMediaInfo();
    mediaInfo_.isFlv = 1;
    int32_t width = mediaInfo_.width, height = mediaInfo_.height;
    if (mediaInfo_.videoCodec == -1 || width <= 0 || height <= 0) {
        waterMarks_->SetFrameRate(kUnknownFrameRate);
        width = kNoVideoWidth;
        height = kNoVideoHeight;
    } else {
        // A file that does not tell its rate plays at 25 frames a second.
        waterMarks_->SetFrameRate(mediaInfo_.frameRate > 0 ? mediaInfo_.frameRate : kUnknownFrameRate);
    }
    videoRect_ = Rect{0, 0, width, height};
    if (mediaInfo_.duration != trim_->Duration()) trim_->SetDuration(mediaInfo_.duration);
    waterMarks_->SetFrameSize(videoRect_);
    crop_->SetFrameRect(videoRect_);
    if (mediaInfo_.duration != 0) {
        waterMarks_->SetTimeRange(0, mediaInfo_.duration);
        waterMarks_->SetNewRange(0, mediaInfo_.duration);
    }
}

std::unique_ptr<CBaseClipRender> CFLVClip::CreateRender(CFLVCache* cache) {
    try {
        GetMediaInfo();
    } catch (...) {
        return nullptr;
    }
    auto render = std::make_unique<CFLVClipRender>(this, cache);
    render->SetRange(trim_->Start(), trim_->End());
    return render;
}
