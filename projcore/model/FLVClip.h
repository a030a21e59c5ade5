#pragma once

#include "model/BaseClip.h"
#include "render/BaseClipRender.h"

// A clip of an FLV file.
class CFLVClip : public CBaseClip {
public:
    CFLVClip() : CBaseClip(kFlvType) {}

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override;
    std::unique_ptr<CBaseClip> Clone() override;
    // A renderer over the clip's trim (not opened yet).
    std::unique_ptr<CBaseClipRender> CreateRender(CFLVCache* cache) override;
    const MediaFileInfo& GetMediaInfo() override;
    void RefreshMedia() override;
};
