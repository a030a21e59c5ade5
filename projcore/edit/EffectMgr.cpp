#include "edit/EffectMgr.h"

#include <algorithm>
#include <mutex>

#include "avkit/avkit.h"
#include "avkit/Deinterlacer.h"
#include "blitkit/blitkit.h"
#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"
#include "pixfilter/pixfilter.h"
#include "projcore/MessageIds.h"

// The adjuster and the deinterlacer are made when a picture first needs them:
// a clip that is only read, joined or repaired never loads blitkit or avkit.
CEffectMgr::CEffectMgr() = default;

CEffectMgr::~CEffectMgr() {
    std::lock_guard guard(lock_);
    CloseEffect(effect_);
    CloseEffect(mirror_);
    if (adjuster_) BK_DeleteDrawer(adjuster_);
    if (deinterlacer_) IMD_Free(deinterlacer_);
}

void CEffectMgr::CloseEffect(eil_effect*& effect) {
    if (!effect) return;
    eil_end_process_image(effect);
    eil_close_effect(effect);
    effect = nullptr;
}

bool CEffectMgr::BeginForFrame(eil_effect* effect, int width, int height, int stride) {
    eil_end_process_image(effect);
    return eil_begin_process_image(effect, 1, stride, width, height, false);
}

bool CEffectMgr::SetRanged(uint32_t& field, uint32_t value, uint32_t max, int32_t message) {
    {
        std::lock_guard guard(lock_);
        if (value > max) return false;
        if (value == field) return true;
        field = value;
        modified_ = true;
    }
    Notify(message, 0, value);
    return true;
}

bool CEffectMgr::SetBrightness(uint32_t value) { return SetRanged(brightness_, value, 255, msg::kNotifyBrightness); }
bool CEffectMgr::SetContrast(uint32_t value) { return SetRanged(contrast_, value, 255, msg::kNotifyContrast); }
bool CEffectMgr::SetVolume(uint32_t value) { return SetRanged(volume_, value, kMaxVolume, msg::kNotifyVolume); }

bool CEffectMgr::SetDeinterlace(int32_t index) {
    if (index != 0 && index != 1) return false;
    {
        std::lock_guard guard(lock_);
        if (index == deinterlaceIndex_) return true;
        deinterlaceIndex_ = index;
        modified_ = true;
    }
    Notify(msg::kNotifyDeinterlace, 0, index);
    return true;
}

bool CEffectMgr::SetFlip(int32_t index) {
    bool accepted = true;
    int32_t stored = kNoFlip;
    {
        std::lock_guard guard(lock_);
        if (index == flipIndex_) return true;
        int32_t next = kNoFlip;
        if (index == kUpsideDown || index == kLeftRight) {
            if (!mirror_) mirror_ = eil_create_image_effect("Mirror");
            if (mirror_ && frameWidth_ != 0 && frameHeight_ != 0 &&
                !BeginForFrame(mirror_, frameWidth_, frameHeight_, frameStride_))
                CloseEffect(mirror_);
            const uint8_t direction = index == kUpsideDown ? 1 : 0;
            if (mirror_ && !eil_set_parameter(mirror_, "MirrorDirection", &direction, 1)) CloseEffect(mirror_);
            accepted = mirror_ != nullptr;
            if (accepted) next = index;
        } else {
            // Off, or a value we do not know, taken as off.
            accepted = index == kNoFlip;
            CloseEffect(mirror_);
        }
        if (next != flipIndex_) modified_ = true;
        flipIndex_ = next;
        stored = next;
    }
    // Listeners always learn the value in force, so an editor snaps back to it.
    Notify(msg::kNotifyFlip, 0, stored);
    return accepted;
}

bool CEffectMgr::SetEffectName(const std::string& name) {
    std::string stored;
    bool accepted = false;
    {
        std::lock_guard guard(lock_);
        if (name == effectName_) return false;
        CloseEffect(effect_);
        effect_ = name.empty() ? nullptr : eil_create_image_effect(name.c_str());
        if (effect_ && frameWidth_ != 0 && frameHeight_ != 0 &&
            !BeginForFrame(effect_, frameWidth_, frameHeight_, frameStride_))
            CloseEffect(effect_);
        accepted = effect_ != nullptr || name.empty();
        // A name no effect answers to leaves the clip without an effect.
        const std::string now = effect_ ? name : std::string();
        const bool changed = now != effectName_;
        effectName_ = now;
        if (changed) modified_ = true;
        stored = effectName_;
    }
    // p1 is the name in force (a zeroed 10-byte buffer when there is none),
    // p2 the size of what p1 points to.
    char none[10] = {};
    const char* text = stored.empty() ? none : stored.c_str();
    Notify(msg::kNotifyEffectName, reinterpret_cast<intptr_t>(text),
           stored.empty() ? static_cast<intptr_t>(sizeof none) : static_cast<intptr_t>(stored.size() + 1));
    return accepted && !name.empty();
}

void CEffectMgr::CopyEffectsFrom(CEffectMgr& source) {
    if (&source == this) return;
    SetEffectName(source.EffectName());
    SetFlip(source.FlipIndex());
    SetDeinterlace(source.DeinterlaceIndex());
    SetVolume(source.Volume());
    SetContrast(source.Contrast());
    SetBrightness(source.Brightness());
}

void CEffectMgr::ApplyFrameEffects(uint8_t* pixels, int width, int height, int stride) {
    if (!pixels || width <= 0 || height <= 0) return;
    std::lock_guard guard(lock_);
    // The effects are bound to the row pitch as well as the size: a conversion
    // hands letterboxed rows inside a wider frame, the preview packed rows.
    const bool newSize = width != frameWidth_ || height != frameHeight_ || stride != frameStride_;
    if (effect_) {
        if (newSize && !BeginForFrame(effect_, width, height, stride)) {
            CloseEffect(effect_);
        } else {
            eil_process_image(effect_, pixels);
        }
    }
    if (flipIndex_ != kNoFlip && mirror_) {
        // A new size begins the mirror and flips that very frame too.
        if (newSize && !BeginForFrame(mirror_, width, height, stride)) CloseEffect(mirror_);
        else eil_process_image(mirror_, pixels);
    }
    if (brightness_ != kNeutral || contrast_ != kNeutral) {
        const float b = (static_cast<float>(brightness_) - 127.0f) / 128.0f;
        const float c = (static_cast<float>(contrast_) - 127.0f) / 128.0f;
        if (!adjuster_) adjuster_ = BK_CreateDrawer();
        BK_AdjustPicture(adjuster_, pixels, width, height, stride, b, c);
    }
    if (deinterlaceIndex_ == 1) {
        if (!deinterlacer_ || deinterlacerWidth_ != width || deinterlacerHeight_ != height) {
            if (deinterlacer_) IMD_Free(deinterlacer_);
            deinterlacer_ = IMD_Create(width, height);
            deinterlacerWidth_ = width;
            deinterlacerHeight_ = height;
        }
        uint8_t* planes[4] = {pixels, nullptr, nullptr, nullptr};
        const int lines[4] = {stride, 0, 0, 0};
        if (deinterlacer_) IMD_Deinterlace(deinterlacer_, planes, lines, AVK_IMAGE_BGRA32);
    }
    frameWidth_ = width;
    frameHeight_ = height;
    frameStride_ = stride;
}

bool CEffectMgr::ChangesPictures() {
    std::lock_guard guard(lock_);
    return (flipIndex_ != kNoFlip && mirror_) || ChangesPicturesBesidesFlip();
}

bool CEffectMgr::ChangesPicturesBesidesFlip() {
    std::lock_guard guard(lock_);
    return effect_ || brightness_ != kNeutral || contrast_ != kNeutral || deinterlaceIndex_ == 1;
}

void CEffectMgr::ApplyVolume(uint32_t volume, int16_t* samples, size_t bytes) {
    if (volume == 100 || !samples || bytes == 0) return;
    const int32_t gain = static_cast<int32_t>(volume / 100.0 * 256.0);
    const size_t count = bytes / 2;
    for (size_t i = 0; i < count; ++i) {
        const int32_t v = (samples[i] * gain) >> 8;
        samples[i] = static_cast<int16_t>(std::clamp(v, -32768, 32767));
    }
}

bool CEffectMgr::ApplyNamedEffect(const std::string& name, uint8_t* pixels, int width, int height) {
    if (name.empty() || !pixels || width <= 0 || height <= 0) return false;
    eil_effect* effect = eil_create_image_effect(name.c_str());
    if (!effect) return false;
    const bool done = eil_begin_process_image(effect, 1, width * 4, width, height, false) &&
                      eil_process_image(effect, pixels);
    eil_end_process_image(effect);
    eil_close_effect(effect);
    return done;
}

void CEffectMgr::ApplyVolume(int16_t* samples, size_t bytes) {
    std::lock_guard guard(lock_);
    ApplyVolume(volume_, samples, bytes);
}

std::string CEffectMgr::EffectName() {
    std::lock_guard guard(lock_);
    return effectName_;
}
int32_t CEffectMgr::FlipIndex() {
    std::lock_guard guard(lock_);
    return flipIndex_;
}
int32_t CEffectMgr::DeinterlaceIndex() {
    std::lock_guard guard(lock_);
    return deinterlaceIndex_;
}
uint32_t CEffectMgr::Volume() {
    std::lock_guard guard(lock_);
    return volume_;
}
uint32_t CEffectMgr::Contrast() {
    std::lock_guard guard(lock_);
    return contrast_;
}
uint32_t CEffectMgr::Brightness() {
    std::lock_guard guard(lock_);
    return brightness_;
}

bool CEffectMgr::Serial(CBaseSerialStream* stream) {
    if (!stream) return false;
    std::lock_guard guard(lock_);
    const bool ok = stream->BeginGroup("EffectMgr") &&
                    stream->PutUInt("FlipIndex", static_cast<uint32_t>(flipIndex_)) &&
                    stream->PutUInt("DeinterlaceIndex", static_cast<uint32_t>(deinterlaceIndex_)) &&
                    stream->PutUInt("Volume", volume_) && stream->PutUInt("Contrast", contrast_) &&
                    stream->PutUInt("Brightness", brightness_) &&
                    stream->PutString("EffectName", effectName_.c_str()) && stream->EndGroup();
    if (!ok) throw CBaseException(errcode::kSerialEffects, "errSerialEffectMgr");
    return true;
}

bool CEffectMgr::Deserial(CBaseSerialStream* stream) {
    if (!stream) return false;
    if (!stream->OpenGroup("EffectMgr"))
        throw CBaseException(errcode::kDeserialEffects, "error:Deserial EffectMgr");
    uint32_t flip = 0, deinterlace = 0, volume = 0, contrast = 0, brightness = 0;
    std::string name;
    const bool ok = stream->GetUInt("FlipIndex", flip) && stream->GetUInt("DeinterlaceIndex", deinterlace) &&
                    stream->GetUInt("Volume", volume) && stream->GetUInt("Contrast", contrast) &&
                    stream->GetUInt("Brightness", brightness) && stream->GetString("EffectName", name);
    stream->CloseGroup();
    if (!ok) throw CBaseException(errcode::kDeserialEffects, "error:Deserial EffectMgr");
    // Through the setters, so stored values out of range are refused.
    SetEffectName(name);
    SetFlip(static_cast<int32_t>(flip));
    SetDeinterlace(static_cast<int32_t>(deinterlace));
    SetVolume(volume);
    SetContrast(contrast);
    SetBrightness(brightness);
    modified_ = false;
    return true;
}
