#pragma once

#include "model/BaseClip.h"
#include "render/BaseClipRender.h"

// A clip of a still or animated picture. A still picture shows for m_Time
// milliseconds at m_FrameRate; an animation keeps its natural length.
class CImageClip : public CBaseClip {
public:
    static constexpr uint32_t kDefaultTime = 5000;
    static constexpr double kDefaultFrameRate = 25.0;

    CImageClip() : CBaseClip(kImageType) {}

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override;
    std::unique_ptr<CBaseClip> Clone() override;
    const MediaFileInfo& GetMediaInfo() override;
    void RefreshMedia() override;
    // Sets how long a still picture shows; an animation keeps its length.
    void SetImageTime(uint32_t ms);
    // A renderer of the picture, opened; null when the picture cannot be read.
    std::unique_ptr<CBaseClipRender> CreateRender(CFLVCache* cache = nullptr) override;

    uint32_t Time() const { return time_; }
    double FrameRate() const { return frameRate_; }

private:
    // The trim duration and the watermark time range follow m_Time.
    void FitToTime();

    uint32_t time_ = kDefaultTime;
    double frameRate_ = kDefaultFrameRate;
};
