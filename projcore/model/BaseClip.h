#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "model/BaseSerial.h"
#include "projcore/Records.h"

class CBaseClipRender;
class CFLVCache;
class CTrimMgr;
class CCropMgr;
class CWaterMarkMgr;
class CEffectMgr;

// One media file placed in a sequence, with its trim, crop, watermark and
// effect settings. The media facts are examined once and kept.
class CBaseClip : public CBaseSerial {
public:
    static constexpr const char* kFlvType = "FlvClip";
    static constexpr const char* kImageType = "ImageClip";

    ~CBaseClip() override;
    CBaseClip(const CBaseClip&) = delete;
    CBaseClip& operator=(const CBaseClip&) = delete;

    void SetLoadCallback(void* context, LoadCallback callback) override;
    void MarkSaved() override;

    // A renderer of the clip over its trim, reading FLV files through cache;
    // null when the clip cannot be rendered.
    virtual std::unique_ptr<CBaseClipRender> CreateRender(CFLVCache* cache) = 0;
    // A new clip of the same class with equal settings.
    virtual std::unique_ptr<CBaseClip> Clone() = 0;
    // The media facts, examined on first use; throws what the examination throws.
    virtual const MediaFileInfo& GetMediaInfo() = 0;
    // Brings the picture rectangle, the trim duration, the crop frame and the
    // watermark limits in line with the media facts.
    virtual void RefreshMedia() = 0;

    Rect GetVideoRect() const { return videoRect_; }
    uint32_t GetPlayLength() const;
    // Sets the file and refreshes the media facts (which may throw).
    void SetFilePath(const std::string& path);
    void CopyFrom(CBaseClip& source);

    const std::string& FilePath() const { return filePath_; }
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& name) { fileName_ = name; }
    const std::string& Type() const { return type_; }
    bool IsFlv() const { return type_ == kFlvType; }
    bool MergeMark() const { return mergeMark_; }
    void SetMergeMark(bool mark) { mergeMark_ = mark; }

    CTrimMgr& Trim() { return *trim_; }
    CCropMgr& Crop() { return *crop_; }
    CWaterMarkMgr& WaterMarks() { return *waterMarks_; }
    CEffectMgr& Effects() { return *effects_; }

protected:
    explicit CBaseClip(const char* type);

    // The element both classes write: path, name, the four managers, type.
    void SerialCommon(CBaseSerialStream* stream, const char* group, int32_t code, const char* text,
                      int32_t typeCode, const char* typeText);
    // Reads name, managers and type inside the clip's group; false on failure.
    bool DeserialCommon(CBaseSerialStream* stream);
    void ReportLoad(int32_t state);
    // Whether the crop, watermark, effect or trim settings changed.
    bool AnySettingModified();
    // Media facts for the current path through the engine's reader cache.
    void ExamineMedia();

    std::string filePath_;
    std::string fileName_;
    std::string type_;
    std::unique_ptr<CTrimMgr> trim_;
    std::unique_ptr<CCropMgr> crop_;
    std::unique_ptr<CWaterMarkMgr> waterMarks_;
    std::unique_ptr<CEffectMgr> effects_;
    MediaFileInfo mediaInfo_{};
    bool mediaKnown_ = false;
    bool mergeMark_ = false;
    Rect videoRect_{0, 0, 0, 0};
    bool modified_ = false;
    void* loadContext_ = nullptr;
    LoadCallback loadCallback_ = nullptr;

private:
    void MakeManagers();
    void DropManagers();
};
