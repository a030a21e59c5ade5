#pragma once

#include <cstdint>
#include <string>

#include "bus/BaseBrocaster.h"
#include "model/BaseSerial.h"
#include "model/XMutex.h"

struct eil_effect;
struct BkDrawer;
struct AvkDeinterlacer;

// A clip's picture and sound settings, and the objects that apply them to
// decoded frames and sound. The window thread changes the settings while the
// player's or the conversion's thread applies them; one lock serialises both.
class CEffectMgr : public CBaseSerial, public CBaseBrocaster {
public:
    enum Flip : int32_t { kNoFlip = 0, kUpsideDown = 1, kLeftRight = 2 };
    static constexpr uint32_t kNeutral = 127;  // brightness and contrast unchanged
    static constexpr uint32_t kMaxVolume = 400;

    CEffectMgr();
    ~CEffectMgr() override;
    CEffectMgr(const CEffectMgr&) = delete;
    CEffectMgr& operator=(const CEffectMgr&) = delete;

    // Each answers whether the value was accepted; an accepted change is
    // announced with the value now stored (and the same value again is
    // accepted silently).
    bool SetBrightness(uint32_t value);  // 0 ... 255
    bool SetContrast(uint32_t value);    // 0 ... 255
    bool SetVolume(uint32_t value);      // percent, 0 ... 400
    // 0 turns the flip off (true); any value but 1 and 2 turns it off too, but
    // answers false.
    bool SetFlip(int32_t index);
    // An unknown or empty name leaves the clip without an effect (false).
    bool SetEffectName(const std::string& name);
    bool SetDeinterlace(int32_t index);  // 0 or 1
    void CopyEffectsFrom(CEffectMgr& source);

    // Applies effect, flip, brightness/contrast and deinterlacing to one
    // frame of BGRA pixels in place (stride: bytes from one row to the next).
    // Callers apply effects before they draw watermarks, so watermarks are
    // never mirrored or blurred.
    void ApplyFrameEffects(uint8_t* pixels, int width, int height, int stride);
    // Whether ApplyFrameEffects changes pictures at all (a caller may then
    // leave them in the decoder's own colour format), and whether it changes
    // them in any way but the flip (which a caller may do in any format).
    bool ChangesPictures();
    bool ChangesPicturesBesidesFlip();
    // Scales 16-bit signed samples by the volume, saturating.
    void ApplyVolume(int16_t* samples, size_t bytes);
    static void ApplyVolume(uint32_t volume, int16_t* samples, size_t bytes);
    // Runs one named effect on a packed picture (width * 4 bytes per row) in
    // place, outside any clip's settings; false when the name is unknown or
    // the effect cannot work at that size.
    static bool ApplyNamedEffect(const std::string& name, uint8_t* pixels, int width, int height);

    std::string EffectName();
    int32_t FlipIndex();
    int32_t DeinterlaceIndex();
    uint32_t Volume();
    uint32_t Contrast();
    uint32_t Brightness();

    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void*, LoadCallback) override {}
    void MarkSaved() override { modified_ = false; }

private:
    // Begins a pixfilter effect for the current frame size; false (and the
    // effect ended and closed) when it cannot work at that size.
    bool BeginForFrame(eil_effect* effect, int width, int height, int stride);
    void CloseEffect(eil_effect*& effect);
    bool SetRanged(uint32_t& field, uint32_t value, uint32_t max, int32_t message);

    std::string effectName_;
    int32_t flipIndex_ = kNoFlip;
    int32_t deinterlaceIndex_ = 0;
    uint32_t volume_ = 100;
    uint32_t contrast_ = kNeutral;
    uint32_t brightness_ = kNeutral;
    eil_effect* effect_ = nullptr;
    BkDrawer* adjuster_ = nullptr;
    eil_effect* mirror_ = nullptr;
    AvkDeinterlacer* deinterlacer_ = nullptr;
    int deinterlacerWidth_ = 0, deinterlacerHeight_ = 0;
    CXMutex lock_;
    bool modified_ = false;
    // The frame the effects were last begun for.
    int32_t frameWidth_ = 0, frameHeight_ = 0, frameStride_ = 0;
};
