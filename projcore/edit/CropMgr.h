#pragma once

#include <cstdint>

#include "bus/BaseBrocaster.h"
#include "edit/CropRect.h"
#include "model/BaseSerial.h"
#include "model/XMutex.h"
#include "projcore/Records.h"

// How many video pixels are cut from each side of a clip's picture, and the
// crop frame the preview shows for editing them. The player's thread draws the
// frame and sets the display area while the window thread changes margins and
// sends mouse events, so the frame and the margins are guarded by a lock;
// broadcasts go out after it is released.
class CCropMgr : public CBaseSerial, public CBaseBrocaster {
public:
    static constexpr int kMinPicture = 10;  // pixels the crop must leave each way

    CCropMgr();

    // Refused (false, the unchanged margins broadcast so editors snap back)
    // when a margin is negative or less than 10 pixels would remain.
    bool SetCropMargins(const Rect& margins);
    Rect GetCropMargins();
    void SetDisplayRect(const Rect& rect);
    void SetFrameRect(const Rect& rect);
    void OnMouseMove(int x, int y);
    void OnMouseDown();
    void OnMouseUp();
    void CopyCropFrom(CCropMgr& source);

    // The crop frame in frame pixels, for drawing it on a preview frame.
    Rect CropFrameInFramePixels();
    // Draws the crop frame on a preview frame of BGRA pixels (|stride| bytes
    // per row; a negative stride means the rows are stored bottom-up).
    void DrawCropFrame(uint8_t* pixels, int width, int height, int stride);
    // The crop frame's rectangle on the preview (relative to the display area).
    Rect CropFrameOnScreen();
    CCropRect& CropFrame() { return cropFrame_; }  // callers hold Lock()
    CXMutex& Lock() { return lock_; }
    Rect FrameRect() const { return frameRect_; }

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void*, LoadCallback) override {}
    void MarkSaved() override { modified_ = false; }

private:
    bool LeavesPicture(const Rect& m) const;
    // Area <-> frame mapping of a rectangle (integers, truncating). Both
    // answer the rectangle unchanged when either size is empty.
    Rect ToFrame(const Rect& r) const;
    Rect ToDisplay(const Rect& r) const;
    void PlaceFromMargins();
    void AnnounceMargins(const Rect& m);

    CCropRect cropFrame_;
    Rect margins_{0, 0, 0, 0};
    Rect displayRect_{0, 0, 400, 400};
    Rect frameRect_{0, 0, 400, 400};
    CXMutex lock_;
    bool modified_ = false;
};
