#pragma once

#include <cstdint>
#include <string>

#include "model/BaseSerial.h"

// One watermark of a clip: a picture or a line of text laid over the picture
// for a span of clip time. Place and size are frame pixels of the clip's
// uncropped video, measured from the anchor cell (Origin) of the visible
// picture; the manager derives every on-screen and output rectangle from them.
class CWaterMark : public CBaseSerial {
public:
    enum Type : uint8_t { kImage = 0, kText = 1 };
    // The 4-byte colours as little-endian 32-bit values: bytes red, green,
    // blue, flag. A see-through flag of 255 means "no see-through colour".
    static constexpr uint32_t kNoColour = 0xFFFFFF00u;

    CWaterMark() = default;
    // A copy of every field; the copy starts unmodified.
    CWaterMark(const CWaterMark& other);
    CWaterMark& operator=(const CWaterMark& other);

    // Writes or reads the group "WaterMark". Failures throw CBaseException
    // 10580005 (write) or 10580006 (a missing group or value); a failed read
    // leaves the watermark as it was.
    bool Serial(CBaseSerialStream* stream) override;
    bool Deserial(CBaseSerialStream* stream) override;
    bool IsModified() override { return modified_; }
    void SetLoadCallback(void*, LoadCallback) override {}
    void MarkSaved() override { modified_ = false; }
    void MarkModified() { modified_ = true; }

    bool HasSeeThrough() const { return (transparent >> 24) != 0xFF; }

    std::string imageFile;
    std::string text = "Tarvolen";  // never empty: an empty text is kept as " "
    uint8_t type = kText;
    uint8_t alpha = 255;
    uint32_t transparent = kNoColour;
    uint8_t tolerance = 0;
    int16_t origin = 4;
    int16_t xOffset = 0;
    int16_t yOffset = 0;
    uint16_t width = 100;
    uint16_t height = 100;
    uint32_t startTime = 0;  // milliseconds of clip time
    uint32_t endTime = 10000;
    float fadeIn = 0;  // seconds
    float fadeOut = 0;
    std::string font = "Arial";
    uint16_t textSize = 10;  // points
    uint32_t textColor = kNoColour;
    uint32_t fontStyle = 0;  // 0 regular, 1 italic, 2 bold, 3 bold italic
    uint8_t isStrikeOut = 0;
    uint8_t isUnderLine = 0;
    uint8_t isOrgScale = 0;  // a picture keeps its width:height ratio when resized

private:
    bool modified_ = false;
};
