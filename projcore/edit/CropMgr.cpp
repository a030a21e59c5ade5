#include "edit/CropMgr.h"

#include <mutex>

#include "blitkit/blitkit.h"
#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"
#include "projcore/MessageIds.h"

namespace {
int Scale(int64_t v, int64_t to, int64_t from) { return static_cast<int>(v * to / from); }
}  // namespace

CCropMgr::CCropMgr() : cropFrame_(Rect{0, 0, 320, 240}) {
    cropFrame_.enabled = true;
    cropFrame_.active = true;
}

bool CCropMgr::LeavesPicture(const Rect& m) const {
    // In 64 bits: margins come from project files and may be anything up to INT_MAX.
    const int64_t width = static_cast<int64_t>(frameRect_.right) - frameRect_.left;
    const int64_t height = static_cast<int64_t>(frameRect_.bottom) - frameRect_.top;
    return m.left >= 0 && m.top >= 0 && m.right >= 0 && m.bottom >= 0 &&
           width - m.left - m.right >= kMinPicture && height - m.top - m.bottom >= kMinPicture;
}

void CCropMgr::AnnounceMargins(const Rect& m) {
    Rect copy = m;
    Notify(msg::kNotifyCropMargins, reinterpret_cast<intptr_t>(&copy), sizeof copy);
}

bool CCropMgr::SetCropMargins(const Rect& margins) {
    Rect current;
    {
        std::lock_guard guard(lock_);
        current = margins_;
    }
    if (!LeavesPicture(margins)) {
        AnnounceMargins(current);
        return false;
    }
    if (margins == current) return false;
    {
        std::lock_guard guard(lock_);
        margins_ = margins;
        PlaceFromMargins();
        cropFrame_.active = true;
    }
    AnnounceMargins(margins);
    modified_ = true;
    return true;
}

Rect CCropMgr::GetCropMargins() {
    std::lock_guard guard(lock_);
    return margins_;
}

Rect CCropMgr::ToFrame(const Rect& r) const {
    const int W = cropFrame_.area.Width(), H = cropFrame_.area.Height();
    const int FW = frameRect_.Width(), FH = frameRect_.Height();
    if (W <= 0 || H <= 0 || FW <= 0 || FH <= 0) return r;
    return Rect{Scale(r.left, FW, W), Scale(r.top, FH, H), Scale(r.right, FW, W), Scale(r.bottom, FH, H)};
}

Rect CCropMgr::ToDisplay(const Rect& r) const {
    const int W = cropFrame_.area.Width(), H = cropFrame_.area.Height();
    const int FW = frameRect_.Width(), FH = frameRect_.Height();
    if (W <= 0 || H <= 0 || FW <= 0 || FH <= 0) return r;
    Rect d{Scale(r.left, W, FW), Scale(r.top, H, FH), Scale(r.right, W, FW), Scale(r.bottom, H, FH)};
    if (d.right < d.left + kMinPicture) d.right = d.left + kMinPicture;
    if (d.bottom < d.top + kMinPicture) d.bottom = d.top + kMinPicture;
    return d;
}

void CCropMgr::PlaceFromMargins() {
    const Rect& m = margins_;
    if (m.left + m.right >= frameRect_.Width() || m.top + m.bottom >= frameRect_.Height()) return;
    cropFrame_.rect = ToDisplay(Rect{frameRect_.left + m.left, frameRect_.top + m.top,
                                     frameRect_.right - m.right, frameRect_.bottom - m.bottom});
}

void CCropMgr::SetDisplayRect(const Rect& rect) {
    if (rect == displayRect_) return;
    displayRect_ = rect;
    std::lock_guard guard(lock_);
    const Rect old = cropFrame_.area;
    const int ow = old.Width(), oh = old.Height(), nw = rect.Width(), nh = rect.Height();
    Rect& r = cropFrame_.rect;
    if (ow > 0 && oh > 0) r = Rect{Scale(r.left, nw, ow), Scale(r.top, nh, oh), Scale(r.right, nw, ow),
                                   Scale(r.bottom, nh, oh)};
    cropFrame_.area = rect;
    if (LeavesPicture(margins_)) PlaceFromMargins();
    cropFrame_.active = true;
}

void CCropMgr::SetFrameRect(const Rect& rect) {
    if (rect == frameRect_) return;
    std::lock_guard guard(lock_);
    frameRect_ = rect;
    cropFrame_.rect = ToDisplay(ToFrame(cropFrame_.rect));
}

void CCropMgr::OnMouseMove(int x, int y) {
    bool announce = false;
    Rect m{};
    int16_t handle = 0;
    {
        std::lock_guard guard(lock_);
        cropFrame_.active = true;
        cropFrame_.Track(x, y, true, false);
        if (cropFrame_.dragging) {
            const Rect r = ToFrame(cropFrame_.rect);
            m = Rect{r.left - frameRect_.left, r.top - frameRect_.top, frameRect_.right - r.right,
                     frameRect_.bottom - r.bottom};
            if (cropFrame_.handle != CCropRect::kNone) {
                margins_ = m;
                modified_ = true;
            }
            announce = true;
        }
        handle = cropFrame_.handle;
    }
    if (announce) AnnounceMargins(m);
    Notify(msg::kNotifyCropHandle, 0, handle);
}

void CCropMgr::OnMouseDown() {
    int16_t handle = 0;
    {
        std::lock_guard guard(lock_);
        cropFrame_.Press();
        handle = cropFrame_.handle;
    }
    Notify(msg::kNotifyCropHandle, 0, handle);
}

void CCropMgr::OnMouseUp() {
    int16_t handle = 0;
    {
        std::lock_guard guard(lock_);
        cropFrame_.Release();
        handle = cropFrame_.handle;
    }
    Notify(msg::kNotifyCropHandle, 0, handle);
}

void CCropMgr::CopyCropFrom(CCropMgr& source) {
    if (&source == this) return;
    SetCropMargins(source.GetCropMargins());
}

Rect CCropMgr::CropFrameInFramePixels() {
    std::lock_guard guard(lock_);
    return ToFrame(cropFrame_.rect);
}

void CCropMgr::DrawCropFrame(uint8_t* pixels, int width, int height, int stride) {
    const Rect r = CropFrameInFramePixels();
    const BkRect rect{r.left, r.top, r.right, r.bottom};
    BK_DrawCropFrame(pixels, width, height, stride, &rect, 0xff111111u);
}

Rect CCropMgr::CropFrameOnScreen() {
    std::lock_guard guard(lock_);
    return cropFrame_.rect;
}

bool CCropMgr::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->BeginGroup("CropMgr")) throw CBaseException(errcode::kCropElement, "error:Serial CropMgr");
    const Rect m = GetCropMargins();
    const bool ok = stream->Put16("Rect", &m);
    stream->EndGroup();
    if (!ok) throw CBaseException(errcode::kSerialTrimOrCrop, "error:Serial CropMgr");
    return true;
}

bool CCropMgr::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("CropMgr")) throw CBaseException(errcode::kCropElement, "error:Serial CropMgr");
    Rect m{};
    const bool ok = stream->Get16("Rect", &m);
    stream->CloseGroup();
    if (!ok) throw CBaseException(errcode::kSerialTrimOrCrop, "error:Serial CropMgr");
    SetCropMargins(m);  // checked against the frame known now, and announced
    modified_ = false;
    return true;
}
