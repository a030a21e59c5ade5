#include "model/BaseClip.h"

#include "bus/BaseException.h"
#include "bus/MediaExamination.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/BaseSerialStream.h"

CBaseClip::CBaseClip(const char* type) : type_(type) { MakeManagers(); }

CBaseClip::~CBaseClip() { DropManagers(); }

void CBaseClip::MakeManagers() {
    trim_ = std::make_unique<CTrimMgr>();
    crop_ = std::make_unique<CCropMgr>();
    waterMarks_ = std::make_unique<CWaterMarkMgr>();
    effects_ = std::make_unique<CEffectMgr>();
    // Watermarks follow the crop.
    crop_->AddListener(waterMarks_.get());
}

void CBaseClip::DropManagers() {
    if (crop_ && waterMarks_) crop_->RemoveListener(waterMarks_.get());
    trim_.reset();
    crop_.reset();
    waterMarks_.reset();
    effects_.reset();
}

void CBaseClip::SetLoadCallback(void* context, LoadCallback callback) {
    if (!context || !callback) return;
    loadContext_ = context;
    loadCallback_ = callback;
}

void CBaseClip::MarkSaved() {
    trim_->MarkSaved();
    crop_->MarkSaved();
    waterMarks_->MarkSaved();
    effects_->MarkSaved();
    modified_ = false;
}

bool CBaseClip::AnySettingModified() {
    return crop_->IsModified() || waterMarks_->IsModified() || effects_->IsModified() || trim_->IsModified();
}

uint32_t CBaseClip::GetPlayLength() const { return trim_ ? trim_->PlayLength() : 0; }

void CBaseClip::SetFilePath(const std::string& path) {
    filePath_ = path;
    mediaInfo_.path = filePath_.c_str();
    RefreshMedia();
}

void CBaseClip::ExamineMedia() {
    mediaInfo_ = MediaFileInfo{};
    mediaInfo_.path = filePath_.c_str();
    ExamineMediaFile(mediaInfo_);
    mediaKnown_ = true;
}

void CBaseClip::CopyFrom(CBaseClip& source) {
    if (&source == this) return;
    fileName_ = source.fileName_;
    DropManagers();
    MakeManagers();
    // The new managers learn the source's duration and frame first, so its
    // trim and crop fit as they did there and are not cut to defaults.
    trim_->SetDuration(source.trim_->Duration());
    trim_->CopyTrimFrom(*source.trim_);
    crop_->SetFrameRect(source.crop_->FrameRect());
    crop_->SetCropMargins(source.crop_->GetCropMargins());
    waterMarks_->CopyWatermarksFrom(*source.waterMarks_);
    effects_->CopyEffectsFrom(*source.effects_);
    mediaInfo_ = source.mediaInfo_;
    type_ = source.type_;
    modified_ = source.modified_;
    mergeMark_ = source.mergeMark_;
    SetFilePath(source.filePath_);
    mediaInfo_.path = filePath_.c_str();
}

void CBaseClip::ReportLoad(int32_t state) {
    if (!loadCallback_ || !loadContext_) return;
    const ClipLoadRecord record{filePath_.c_str(), state};
    loadCallback_(loadContext_, IsFlv() ? "FLVClip" : "ImageClip", &record, state);
}

void CBaseClip::SerialCommon(CBaseSerialStream* stream, const char* group, int32_t code, const char* text,
                             int32_t typeCode, const char* typeText) {
    const bool ok = stream->BeginGroup(group) && stream->PutString("m_FilePath", filePath_.c_str()) &&
                    stream->PutString("m_FileName", fileName_.c_str()) && trim_->Serial(stream) &&
                    crop_->Serial(stream) && waterMarks_->Serial(stream) && effects_->Serial(stream);
    if (!ok) throw CBaseException(code, text);
    if (!stream->PutString("m_Type", type_.c_str())) throw CBaseException(typeCode, typeText);
}

bool CBaseClip::DeserialCommon(CBaseSerialStream* stream) {
    std::string type;
    const bool ok = stream->GetString("m_FileName", fileName_) && trim_->Deserial(stream) &&
                    crop_->Deserial(stream) && waterMarks_->Deserial(stream) && effects_->Deserial(stream) &&
                    stream->GetString("m_Type", type);
    return ok;
}
