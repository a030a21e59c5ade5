#include "edit/ClipEditMessageMgr.h"

#include <algorithm>
#include <cmath>

#include "bus/BaseException.h"
#include "edit/CropMgr.h"
#include "edit/EffectMgr.h"
#include "edit/TrimMgr.h"
#include "edit/WaterMarkMgr.h"
#include "model/FLVSequenceManager.h"
#include "model/ImageClip.h"
#include "projcore/MessageIds.h"

namespace {
// Player commands the panel sends here, handed to the embedded preview.
constexpr int32_t kForwarded[] = {msg::kPlayerSetSurface, msg::kPlayerSetArea, msg::kPlayerPlay,
                                  msg::kPlayerPause,      msg::kPlayerStop,    msg::kPlayerRedraw,
                                  msg::kPlayerStepForward, msg::kPlayerStepBack, msg::kPlayerGetDuration,
                                  msg::kPlayerGetPosition, msg::kPlayerSeek,   msg::kPlayerSnapshot,
                                  msg::kPlayerThrottledSeek};
constexpr double kDefaultFrameRate = 25.0;
}  // namespace

CClipEditMessageMgr::CClipEditMessageMgr(CBaseListener* host, CFLVSequenceManager* sequences, CFLVCache* cache)
    : host_(host), sequences_(sequences), player_(cache) {
    if (!sequences_) throw CBaseException(errcode::kCreateMessageManager, "Error:Create MessageManager");
    sequences_->AddListener(this);
    if (host_) player_.AddListener(host_);
    Register(this, msg::kNotifySeqSelected, &CClipEditMessageMgr::OnSelected);
    Register(this, msg::kNotifySeqDeselected, &CClipEditMessageMgr::OnDeselected);
    Register(this, msg::kNotifyWaterMarkSelected, &CClipEditMessageMgr::OnWaterMarkSelected);
    Register(this, msg::kNotifyWaterMarkDeselected, &CClipEditMessageMgr::OnWaterMarkSelected);
    for (int32_t id = msg::kWaterMarkAddImage; id <= msg::kWaterMarkDeselect; ++id)
        Register(this, id, &CClipEditMessageMgr::OnWaterMark);
    for (int32_t id = msg::kEditBrightness; id <= msg::kEditEffectsTo; ++id)
        Register(this, id, &CClipEditMessageMgr::OnEffect);
    Register(this, msg::kEditRenderEffect, &CClipEditMessageMgr::OnRenderEffect);
    for (int32_t id = msg::kEditTrimStart; id <= msg::kEditImageDuration; ++id)
        Register(this, id, &CClipEditMessageMgr::OnTrimCrop);
    for (int32_t id = msg::kEditGetMediaInfo; id <= msg::kEditGetCroppedSize; ++id)
        Register(this, id, &CClipEditMessageMgr::OnQuery);
    for (int32_t id : kForwarded) Register(this, id, &CClipEditMessageMgr::OnPlayerCommand);
    Register(this, msg::kPlayerSetMode, &CClipEditMessageMgr::OnSetMode);
}

CClipEditMessageMgr::~CClipEditMessageMgr() {
    sequences_->RemoveListener(this);
    Detach();
    if (host_) player_.RemoveListener(host_);
}

// ---- selection

void CClipEditMessageMgr::Attach() {
    if (!clip_) return;
    if (host_) {
        clip_->Crop().AddListener(host_);
        clip_->Effects().AddListener(host_);
        clip_->Trim().AddListener(host_);
        clip_->WaterMarks().AddListener(host_);
    }
    clip_->WaterMarks().AddListener(this);
}

void CClipEditMessageMgr::Detach() {
    if (!clip_) return;
    clip_->WaterMarks().RemoveListener(this);
    if (host_) {
        clip_->WaterMarks().RemoveListener(host_);
        clip_->Crop().RemoveListener(host_);
        clip_->Effects().RemoveListener(host_);
        clip_->Trim().RemoveListener(host_);
    }
}

void CClipEditMessageMgr::StopPreview() {
    player_.OnMessage(nullptr, msg::kPlayerStop, 0, 0);
    player_.OnMessage(nullptr, msg::kPlayerClose, 0, 0);
}

void CClipEditMessageMgr::ClearWaterMarkSelection() {
    uint32_t index = 0;
    if (clip_ && clip_->WaterMarks().Selected(index)) clip_->WaterMarks().DeselectWatermark();
    watermarkSelected_ = false;
    selectedWatermark_ = 0;
}

void CClipEditMessageMgr::OnSelected(void*, int32_t, intptr_t p1, intptr_t) {
    if (!p1) return;
    const auto selection = *reinterpret_cast<const TSeqSelection*>(p1);
    selectedSequence_ = selection.sequence;
    CFLVSequence* sequence = sequences_->Sequence(static_cast<size_t>(std::max(0, selection.sequence)));
    if (selection.kind == 1) {
        selectedClip_ = selection.clip;
        CBaseClip* clip = sequence && selection.clip >= 0 ? sequence->Clip(static_cast<size_t>(selection.clip)) : nullptr;
        if (!clip) return;
        if (clip == player_.Clip() && player_.Kind() == CPlayerMessageMgr::kClip) return;
        StopPreview();
        Detach();
        clip_ = clip;
        hasSelection_ = clipSelected_ = true;
        Attach();
        Notify(msg::kNotifyEditChanging, 0, 0);
        watermarkSelected_ = false;
        selectedWatermark_ = 0;
        PlayerOpenRequest open{clip->FilePath().c_str(), clip, CPlayerMessageMgr::kClip, selectedClip_};
        player_.OnMessage(nullptr, msg::kPlayerOpen, reinterpret_cast<intptr_t>(&open), sizeof open);
        TSeqSelection copy = selection;
        Notify(msg::kNotifyEditClip, reinterpret_cast<intptr_t>(&copy), sizeof copy);
    } else {
        selectedClip_ = selection.clip;
        StopPreview();
        Detach();
        clip_ = nullptr;
        hasSelection_ = true;
        clipSelected_ = false;
        Notify(msg::kNotifyEditChanging, 0, 0);
        watermarkSelected_ = false;
        selectedWatermark_ = 0;
        Notify(msg::kNotifyEditNone, 0, 0);
    }
}

void CClipEditMessageMgr::OnDeselected(void*, int32_t, intptr_t, intptr_t) {
    StopPreview();
    ClearWaterMarkSelection();
    Detach();
    hasSelection_ = clipSelected_ = false;
    selectedSequence_ = selectedClip_ = 0;
    clip_ = nullptr;
    Notify(msg::kNotifyEditNone, 0, 0);
    Notify(msg::kNotifyEditChanging, 0, 0);
}

void CClipEditMessageMgr::OnWaterMarkSelected(void*, int32_t id, intptr_t, intptr_t p2) {
    watermarkSelected_ = id == msg::kNotifyWaterMarkSelected;
    selectedWatermark_ = watermarkSelected_ ? static_cast<uint32_t>(p2) : 0;
    Refresh();
}

void CClipEditMessageMgr::Refresh() { player_.OnMessage(nullptr, msg::kPlayerRedraw, 0, 0); }

double CClipEditMessageMgr::FrameRate() const {
    if (!clip_) return kDefaultFrameRate;
    // Pictures and sound-only files have no video rate: the clip's own rate.
    try {
        const MediaFileInfo& info = clip_->GetMediaInfo();
        if (clip_->IsFlv() && info.videoCodec != -1 && info.frameRate > 0) return info.frameRate;
        if (auto* image = dynamic_cast<CImageClip*>(clip_)) return image->FrameRate() > 0 ? image->FrameRate() : kDefaultFrameRate;
    } catch (...) {
    }
    return kDefaultFrameRate;
}

template <class F>
void CClipEditMessageMgr::ForEachTarget(const EditTarget* target, F&& f) {
    for (size_t s = 0; s < sequences_->SequenceCount(); ++s) {
        if (target && !target->single && static_cast<int32_t>(s) != target->sequence) continue;
        CFLVSequence* sequence = sequences_->Sequence(s);
        for (size_t c = 0; c < sequence->GetClipCount(); ++c) {
            if (target && target->single &&
                (static_cast<int32_t>(s) != target->sequence || static_cast<int32_t>(c) != target->clip))
                continue;
            f(*sequence->Clip(c));
        }
    }
}

// ---- watermarks

void CClipEditMessageMgr::OnWaterMark(void*, int32_t id, intptr_t p1, intptr_t p2) {
    if (!hasSelection_ || !clipSelected_ || !clip_) return;
    CWaterMarkMgr& w = clip_->WaterMarks();
    // A record must be exactly the size it is declared with.
    auto record = [&](auto* type) -> decltype(type) {
        using T = std::remove_pointer_t<decltype(type)>;
        return p1 && p2 == static_cast<intptr_t>(sizeof(T)) ? reinterpret_cast<T*>(p1) : nullptr;
    };
    bool refresh = true;
    switch (id) {
        case msg::kWaterMarkAddImage:
            if (auto* r = record(static_cast<WaterMarkString*>(nullptr))) w.AddImageWatermark(r->index, r->text);
            break;
        case msg::kWaterMarkAddText:
            if (auto* r = record(static_cast<WaterMarkString*>(nullptr))) w.AddTextWatermark(r->index, r->text);
            break;
        case msg::kWaterMarkSetImageFile:
            if (auto* r = record(static_cast<WaterMarkString*>(nullptr))) w.SetImageFile(r->index, r->text);
            break;
        case msg::kWaterMarkGetImageFile:
            if (auto* r = record(static_cast<WaterMarkPathBuffer*>(nullptr))) w.GetImageFile(*r);
            refresh = false;
            break;
        case msg::kWaterMarkSetText:
            if (auto* r = record(static_cast<WaterMarkString*>(nullptr))) w.SetText(r->index, r->text);
            break;
        case msg::kWaterMarkGetText:
            if (auto* r = record(static_cast<WaterMarkTextBuffer*>(nullptr))) w.GetText(*r);
            refresh = false;
            break;
        case msg::kWaterMarkSetPosition:
            if (auto* r = record(static_cast<WaterMarkPosition*>(nullptr))) w.SetPosition(*r);
            break;
        case msg::kWaterMarkGetPosition:
            if (auto* r = record(static_cast<WaterMarkPosition*>(nullptr))) w.GetPosition(*r);
            break;
        case msg::kWaterMarkSetTiming:
            if (auto* r = record(static_cast<WaterMarkTiming*>(nullptr))) w.SetTiming(*r);
            refresh = false;
            break;
        case msg::kWaterMarkGetTiming:
            if (auto* r = record(static_cast<WaterMarkTiming*>(nullptr))) w.GetTiming(*r);
            break;
        case msg::kWaterMarkSetSize:
            if (auto* r = record(static_cast<WaterMarkSize*>(nullptr))) w.SetSize(*r);
            break;
        case msg::kWaterMarkGetSize:
            if (auto* r = record(static_cast<WaterMarkSize*>(nullptr))) w.GetSize(*r);
            break;
        case msg::kWaterMarkSetTransparency:
            if (auto* r = record(static_cast<WaterMarkTransparency*>(nullptr))) w.SetTransparency(*r);
            break;
        case msg::kWaterMarkGetTransparency:
            if (auto* r = record(static_cast<WaterMarkTransparency*>(nullptr))) w.GetTransparency(*r);
            refresh = false;
            break;
        case msg::kWaterMarkSetTextStyle:
            if (auto* r = record(static_cast<WaterMarkTextStyle*>(nullptr))) w.SetTextStyle(*r);
            break;
        case msg::kWaterMarkGetTextStyle:
            if (auto* r = record(static_cast<WaterMarkTextStyle*>(nullptr))) {
                w.GetTextStyle(*r);
                r->isStrikeOut = r->isStrikeOut ? 1 : 0;
                r->isUnderLine = r->isUnderLine ? 1 : 0;
            }
            refresh = false;
            break;
        case msg::kWaterMarkRemove:
            if (p1 == 0 && p2 >= 0) w.RemoveWatermark(static_cast<uint32_t>(p2));
            break;
        case msg::kWaterMarkClear:
            w.ClearWatermarks();  // announces 4355 and marks the list modified itself
            break;
        case msg::kWaterMarkSelect:
            if (p2 >= 0 && w.SelectWatermark(static_cast<uint32_t>(p2))) {
                watermarkSelected_ = true;
                selectedWatermark_ = static_cast<uint32_t>(p2);
            }
            break;
        case msg::kWaterMarkMove:
            if (p2 >= 0 && w.MoveWatermark(static_cast<uint32_t>(p2))) {
                selectedWatermark_ = static_cast<uint32_t>(p2);
                w.SelectWatermark(selectedWatermark_);
            }
            break;
        case msg::kWaterMarkMouseMove:
            if (auto* r = record(static_cast<EditPoint*>(nullptr))) w.OnMouseMove(r->x, r->y);
            break;
        case msg::kWaterMarkMouseDown:
            if (p1) w.OnMouseDown();
            break;
        case msg::kWaterMarkMouseUp:
            if (p1) w.OnMouseUp();
            break;
        case msg::kWaterMarkApplyToAll:
        case msg::kWaterMarkApplyTo: {
            const EditTarget* target = id == msg::kWaterMarkApplyTo ? record(static_cast<EditTarget*>(nullptr)) : nullptr;
            if (id == msg::kWaterMarkApplyTo && !target) return;
            ForEachTarget(target, [&](CBaseClip& other) {
                if (&other == clip_) return;
                other.WaterMarks().CopyWatermarksFrom(w);
            });
            refresh = false;
            break;
        }
        case msg::kWaterMarkGetType:
            if (p1 && p2 == sizeof(uint32_t)) {
                auto* v = reinterpret_cast<uint32_t*>(p1);
                *v = w.GetWatermarkType(*v);
            }
            refresh = false;
            break;
        case msg::kWaterMarkGetCount:
            if (p1 && p2 == sizeof(uint32_t)) *reinterpret_cast<uint32_t*>(p1) = w.GetWatermarkCount();
            refresh = false;
            break;
        case msg::kWaterMarkStartLater:
        case msg::kWaterMarkStartEarlier:
        case msg::kWaterMarkEndLater:
        case msg::kWaterMarkEndEarlier: {
            if (!watermarkSelected_ || selectedWatermark_ >= w.GetWatermarkCount()) return;
            const bool end = id == msg::kWaterMarkEndLater || id == msg::kWaterMarkEndEarlier;
            const bool later = id == msg::kWaterMarkStartLater || id == msg::kWaterMarkEndLater;
            WaterMarkTiming timing{selectedWatermark_, 0, 0, 0, 0};
            w.GetTiming(timing);
            const uint32_t stepped = CTrimMgr::StepTime(end ? timing.endTime : timing.startTime, later, FrameRate());
            (end ? timing.endTime : timing.startTime) = stepped;
            w.SetTiming(timing);
            player_.OnMessage(nullptr, msg::kPlayerSeek, 0, stepped);
            break;
        }
        case msg::kWaterMarkDeselect:
            ClearWaterMarkSelection();
            break;
        default:
            return;
    }
    if (refresh) Refresh();
}

// ---- effects

void CClipEditMessageMgr::OnEffect(void*, int32_t id, intptr_t p1, intptr_t p2) {
    if (!hasSelection_ || !clipSelected_ || !clip_) return;
    CEffectMgr& e = clip_->Effects();
    switch (id) {
        case msg::kEditBrightness: e.SetBrightness(static_cast<uint32_t>(p2)); break;
        case msg::kEditContrast: e.SetContrast(static_cast<uint32_t>(p2)); break;
        case msg::kEditVolume: e.SetVolume(static_cast<uint32_t>(p2)); return;
        case msg::kEditFlip: e.SetFlip(static_cast<int32_t>(p2)); break;
        case msg::kEditEffectName: e.SetEffectName(p1 ? reinterpret_cast<const char*>(p1) : ""); break;
        case msg::kEditDeinterlace: e.SetDeinterlace(p2 ? 1 : 0); break;
        case msg::kEditEffectsToAll:
        case msg::kEditEffectsTo: {
            const EditTarget* target = nullptr;
            if (id == msg::kEditEffectsTo) {
                if (!p1 || p2 != sizeof(EditTarget)) return;
                target = reinterpret_cast<const EditTarget*>(p1);
            }
            ForEachTarget(target, [&](CBaseClip& other) { other.Effects().CopyEffectsFrom(e); });
            return;
        }
        default: return;
    }
    Refresh();
}

// The effect list shows every effect on the picture the panel hands in; the
// shell cannot run the effects itself, and no clip setting changes.
void CClipEditMessageMgr::OnRenderEffect(void*, int32_t, intptr_t p1, intptr_t p2) {
    if (!p1 || p2 != static_cast<intptr_t>(sizeof(EditEffectPicture))) return;
    auto& r = *reinterpret_cast<EditEffectPicture*>(p1);
    constexpr int32_t kMaxSide = 4096;  // thumbnails; keeps width * height * 4 far from overflow
    const bool sized = r.width > 0 && r.height > 0 && r.width <= kMaxSide && r.height <= kMaxSide;
    r.done = sized && r.effectName && CEffectMgr::ApplyNamedEffect(r.effectName, r.pixels, r.width, r.height) ? 1 : 0;
}

// ---- trim and crop

void CClipEditMessageMgr::OnTrimCrop(void*, int32_t id, intptr_t p1, intptr_t p2) {
    if (!hasSelection_ || !clipSelected_ || !clip_) return;
    CTrimMgr& t = clip_->Trim();
    CCropMgr& c = clip_->Crop();
    const bool cropEditing = previewMode_ == CPlayerMessageMgr::kCropEditing;
    switch (id) {
        case msg::kEditTrimStart: t.SetStart(static_cast<uint32_t>(p2)); break;
        case msg::kEditTrimEnd: t.SetEnd(static_cast<uint32_t>(p2)); break;
        case msg::kEditCropMargins:
            if (!cropEditing || !p1 || p2 != sizeof(Rect)) return;
            c.SetCropMargins(*reinterpret_cast<const Rect*>(p1));
            break;
        case msg::kEditCropMouseMove:
            if (!cropEditing || !p1 || p2 != sizeof(EditPoint)) return;
            c.OnMouseMove(reinterpret_cast<const EditPoint*>(p1)->x, reinterpret_cast<const EditPoint*>(p1)->y);
            break;
        case msg::kEditCropMouseDown:
            if (!cropEditing) return;
            c.OnMouseDown();
            break;
        case msg::kEditCropMouseUp: c.OnMouseUp(); break;
        case msg::kEditCropTrimToAll:
        case msg::kEditTrimCropTo: {
            const EditTarget* target = nullptr;
            if (id == msg::kEditTrimCropTo) {
                if (!p1 || p2 != sizeof(EditTarget)) return;
                target = reinterpret_cast<const EditTarget*>(p1);
            }
            ForEachTarget(target, [&](CBaseClip& other) {
                other.Trim().CopyTrimFrom(t);
                if (&other != clip_) other.Crop().CopyCropFrom(c);
            });
            return;
        }
        case msg::kEditTrimStartLater:
            // Beyond a known duration, or with none known, the start stays.
            if (t.Duration() == 0 || CTrimMgr::StepTime(t.Start(), true, FrameRate()) > t.Duration()) return;
            t.StepStart(true, FrameRate());
            break;
        case msg::kEditTrimStartEarlier: t.StepStart(false, FrameRate()); break;
        case msg::kEditTrimEndLater: t.StepEnd(true, FrameRate()); break;
        case msg::kEditTrimEndEarlier: t.StepEnd(false, FrameRate()); break;
        case msg::kEditImageDuration:
            if (clip_->Type() != CBaseClip::kImageType || p2 < 0) return;
            t.SetDuration(static_cast<uint32_t>(p2));
            break;
        default: return;
    }
    Refresh();
}

// ---- queries

void CClipEditMessageMgr::OnQuery(void*, int32_t id, intptr_t p1, intptr_t p2) {
    if (!hasSelection_ || !clipSelected_ || !clip_ || !p1) return;
    switch (id) {
        case msg::kEditGetMediaInfo:
            if (p2 != sizeof(MediaFileInfo)) return;
            try {
                *reinterpret_cast<MediaFileInfo*>(p1) = clip_->GetMediaInfo();
            } catch (...) {
                *reinterpret_cast<MediaFileInfo*>(p1) = MediaFileInfo{};
            }
            break;
        case msg::kEditGetCrop:
            if (p2 != sizeof(Rect)) return;
            *reinterpret_cast<Rect*>(p1) = clip_->Crop().GetCropMargins();
            break;
        case msg::kEditGetTrim:
            if (p2 != sizeof(EditTrim)) return;
            *reinterpret_cast<EditTrim*>(p1) = EditTrim{clip_->Trim().Start(), clip_->Trim().End(), clip_->Trim().Duration()};
            break;
        case msg::kEditGetEffects: {
            if (p2 != sizeof(EditEffects)) return;
            CEffectMgr& e = clip_->Effects();
            effectName_ = e.EffectName();
            *reinterpret_cast<EditEffects*>(p1) =
                EditEffects{effectName_.c_str(), e.FlipIndex(), e.DeinterlaceIndex(), e.Volume(), e.Contrast(), e.Brightness()};
            break;
        }
        case msg::kEditGetCroppedSize: {
            if (p2 != sizeof(Rect)) return;
            const Rect frame = clip_->Crop().FrameRect();
            const Rect m = clip_->Crop().GetCropMargins();
            const int32_t w = frame.Width() - m.left - m.right;
            const int32_t h = frame.Height() - m.top - m.bottom;
            // Never a negative size.
            *reinterpret_cast<Rect*>(p1) = Rect{0, 0, std::max(0, w), std::max(0, h)};
            break;
        }
        default: break;
    }
}

// ---- the preview

void CClipEditMessageMgr::OnPlayerCommand(void* sender, int32_t id, intptr_t p1, intptr_t p2) {
    player_.OnMessage(sender, id, p1, p2);
}

void CClipEditMessageMgr::OnSetMode(void*, int32_t, intptr_t, intptr_t p2) {
    player_.SetPreviewMode(static_cast<int32_t>(p2));
    previewMode_ = static_cast<int32_t>(p2);
    Refresh();
}
