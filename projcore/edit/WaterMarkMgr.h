#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "blitkit/blitkit.h"
#include "bus/BaseBrocaster.h"
#include "bus/ListenerImpl.h"
#include "edit/CropRect.h"
#include "edit/WaterMark.h"
#include "model/BaseSerial.h"
#include "model/XMutex.h"
#include "projcore/Records.h"

// A clip's watermarks: the ordered list, its notifications and saved form,
// and the overlays that draw them on the clip's frames.
//
// Geometry lives in one reference space: frame pixels of the clip's uncropped
// video (the frame size the clip gives with SetFrameSize). The crop, the
// preview area and the player's view only change how rectangles are derived
// from it, so showing or converting at another size never changes the stored
// offsets and sizes.
//
// The window thread edits the list while the player's or a conversion's
// thread draws; one lock covers the list and the drawer's overlay slots
// together, so a frame is never drawn with half of a change. Notifications go
// out after the lock is released.
class CWaterMarkMgr : public CBaseSerial, public CBaseBrocaster, public CListenerImpl {
public:
    // Throws CBaseException 10580007 when the drawer cannot be made.
    CWaterMarkMgr();
    ~CWaterMarkMgr() override;
    CWaterMarkMgr(const CWaterMarkMgr&) = delete;
    CWaterMarkMgr& operator=(const CWaterMarkMgr&) = delete;

    // ---- the list. A bad index makes an operation return false and change nothing.
    // New watermarks at index (appended when index = count; refused beyond).
    // A picture that cannot be read still makes a watermark, half the visible
    // picture in size. Texts must be UTF-8; an empty text becomes " ".
    bool AddImageWatermark(uint32_t index, const char* path);
    bool AddTextWatermark(uint32_t index, const char* text);
    bool SetImageFile(uint32_t index, const char* path);  // image watermarks; size taken anew
    bool GetImageFile(const WaterMarkPathBuffer& r);      // buffer of kPathBufferSize bytes
    bool SetText(uint32_t index, const char* text);
    bool GetText(const WaterMarkTextBuffer& r);
    // A new Origin (0 ... 8) puts both offsets back to 0 whatever was sent.
    bool SetPosition(const WaterMarkPosition& r);
    bool GetPosition(WaterMarkPosition& r);
    // Times are clamped into the time range; refused when the start would
    // lie after the end, or a fade is negative or not a number.
    bool SetTiming(const WaterMarkTiming& r);
    bool GetTiming(WaterMarkTiming& r);
    bool SetSize(const WaterMarkSize& r);  // refused for texts
    bool GetSize(WaterMarkSize& r);        // refused for texts
    bool SetTransparency(const WaterMarkTransparency& r);
    bool GetTransparency(WaterMarkTransparency& r);
    bool SetTextStyle(const WaterMarkTextStyle& r);
    bool GetTextStyle(WaterMarkTextStyle& r);
    // Announces 4354 before the watermark goes. A selection of it is cleared
    // (4365); a selection after it moves down with its watermark (4356).
    bool RemoveWatermark(uint32_t index);
    // Removes every watermark (4365 first when one was selected, then 4355).
    void ClearWatermarks();
    bool SelectWatermark(uint32_t index);
    // Moves the selected watermark to target; the selection moves with it.
    bool MoveWatermark(uint32_t target);
    void DeselectWatermark();
    bool Selected(uint32_t& index);
    uint32_t GetWatermarkType(uint32_t index);  // 0xFFFFFFFF for a bad index
    uint32_t GetWatermarkCount();
    // The selected watermark's start (or end) one frame later or earlier at
    // frameRate, through SetTiming.
    bool StepSelectedTime(bool endTime, bool later, double frameRate);
    // Replaces the list with copies of source's (times fitted into this
    // clip's time range) and makes the drawer anew.
    void CopyWatermarksFrom(CWaterMarkMgr& source);
    // A copy of one watermark, for callers that show or check it.
    bool GetWaterMark(uint32_t index, CWaterMark& out);

    // The span watermark times are clamped to, and the span a new watermark
    // gets, in milliseconds. An end of 0 means the clip's length is not known
    // yet: times are then not limited and new watermarks keep their default span.
    void SetTimeRange(uint32_t start, uint32_t end);
    void SetNewRange(uint32_t start, uint32_t end);

    // ---- geometry
    // The preview's video area (window pixels) the rectangles live in.
    void SetDisplayRect(const Rect& rect);
    // The clip's frame, 0, 0, width, height: the reference space. Watermarks
    // made before it was known are scaled into it once.
    void SetFrameSize(const Rect& rect);
    void SetFrameRate(double fps);
    // The frames drawn from now on: frame is their rectangle, visible where
    // the visible (cropped) picture lies in them, scaleTo the size it is
    // drawn at. Empty frames are not taken.
    void SetViewRects(const Rect& frame, const Rect& scaleTo, const Rect& visible);
    // Back to drawing on frames of the reference size.
    void ClearViewRects();
    // Handler of the crop manager's margins (110020401): watermarks stay
    // anchored to the cropped picture.
    void OnCropChanged(const Rect& margins);

    // ---- the mouse on the preview (window pixels)
    void OnMouseMove(int x, int y);
    void OnMouseDown();
    void OnMouseUp();
    // The selected watermark's rectangle, relative to the display area's
    // top-left corner, while it is selected and active.
    bool GetSelectedRect(Rect& out);
    // Any watermark's rectangle on the preview (same coordinates).
    bool GetDisplayRect(uint32_t index, Rect& out);
    // The same rectangle in the picture's own pixels, where the preview
    // outlines it on the frame.
    bool GetSelectedRectInPicture(Rect& out);

    // ---- drawing, from the player's or conversion's thread. Blends the
    // watermarks shown at the frame of time100ns (100-nanosecond units of clip
    // time) or at frame index `frame` into BGRA pixels; a negative stride
    // means the rows are stored bottom-up.
    void DrawOverlays(uint8_t* pixels, int width, int height, int stride, int64_t time100ns);
    void DrawOverlaysAtFrame(uint8_t* pixels, int width, int height, int stride, int frame);
    // Whether DrawOverlays would draw anything at that clip time.
    bool ShowsAnyAt(int64_t time100ns);
    // What the drawer holds for a watermark (its place in the drawn frames).
    bool GetOverlayInfo(uint32_t index, BkOverlayInfo& info);
    int GetOverlayCount();

    // ---- saved form: the group "WaterMarkMgr" with the array "WaterMarks".
    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override;
    void SetLoadCallback(void*, LoadCallback) override {}
    void MarkSaved() override;

private:
    struct Item {
        std::unique_ptr<CWaterMark> mark;
        CCropRect rect;  // the watermark on the preview
    };
    struct DrawerDeleter {
        void operator()(BkDrawer* d) const;
    };
    struct Outbox;
    struct Target;

    void OnCropMessage(void* sender, int32_t id, intptr_t p1, intptr_t p2);
    void Send(const Outbox& out);

    bool ValidIndex(uint32_t index) const { return index < items_.size(); }
    Rect VisibleRef() const;  // the visible picture in reference pixels
    Target TargetSpace() const;
    bool TimeRangeKnown() const { return timeRange_[1] != 0; }
    void FitTimes(CWaterMark& m) const;
    void SizeNewPicture(CWaterMark& m) const;
    void MeasureText(CWaterMark& m) const;

    // Gives item i its overlay: appended as the last slot, or replacing slot i.
    void RegisterOverlay(size_t i, bool replace);
    // Puts item i's overlay at its place, keeping its size.
    void MoveOverlay(size_t i);
    // The top-left corner (x, y) of a w x h overlay of m in the drawn frames.
    static void TargetCorner(const CWaterMark& m, const Target& t, int w, int h, int& x, int& y);
    void ReplaceAll();
    // Makes every slot anew when the drawer and the list got out of step.
    void KeepSlotsInStep();
    // The drawer, made on first use; OverlayCount is 0 while there is none.
    BkDrawer* Drawer();
    int OverlayCount();
    Rect DisplayRectOf(const CWaterMark& m) const;
    void RefreshRect(Item& item);
    void RectToWaterMark(Item& item);
    void Insert(size_t index, std::unique_ptr<CWaterMark> mark, Outbox& out);
    void RemoveAllLocked(Outbox& out);
    void ClearSelectionLocked(Outbox& out);

    CXMutex lock_;
    std::unique_ptr<BkDrawer, DrawerDeleter> drawer_;
    std::vector<Item> items_;

    Rect frame_{0, 0, 400, 400};  // reference frame
    bool frameKnown_ = false;
    Rect margins_{0, 0, 0, 0};  // crop, reference pixels
    bool hasView_ = false;
    Rect viewVisible_{0, 0, 0, 0};
    int32_t viewScaleW_ = 0, viewScaleH_ = 0;
    Rect displayRect_{0, 0, 400, 400};
    // Until the clip tells its rate: the rate the preview counts frames at then.
    double frameRate_ = 25.0;

    bool selected_ = false;
    uint32_t selectedIndex_ = 0;
    uint32_t timeRange_[2] = {0, 0};
    uint32_t newRange_[2] = {0, 0};
    bool modified_ = false;
};
