#pragma once

#include "model/BaseClip.h"

// A clip of an FLV file.
class CFLVClip : public CBaseClip {
public:
    CFLVClip() : CBaseClip(kFlvType) {}

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override;
    std::unique_ptr<CBaseClip> Clone() override;
    const MediaFileInfo& GetMediaInfo() override;
    void RefreshMedia() override;
};
