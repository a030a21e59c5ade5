#include "edit/WaterMark.h"

#include "bus/BaseException.h"
#include "model/BaseSerialStream.h"

namespace {

// The colours are stored as their four bytes in little-endian order, the same
// on every machine.
void ToBytes(uint32_t v, uint8_t (&b)[4]) {
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(v >> (8 * i));
}
uint32_t FromBytes(const uint8_t (&b)[4]) {
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
}

}  // namespace

CWaterMark::CWaterMark(const CWaterMark& other) : CBaseSerial() { *this = other; }

CWaterMark& CWaterMark::operator=(const CWaterMark& o) {
    if (this == &o) return *this;
    imageFile = o.imageFile;
    text = o.text;
    type = o.type;
    alpha = o.alpha;
    transparent = o.transparent;
    tolerance = o.tolerance;
    origin = o.origin;
    xOffset = o.xOffset;
    yOffset = o.yOffset;
    width = o.width;
    height = o.height;
    startTime = o.startTime;
    endTime = o.endTime;
    fadeIn = o.fadeIn;
    fadeOut = o.fadeOut;
    font = o.font;
    textSize = o.textSize;
    textColor = o.textColor;
    fontStyle = o.fontStyle;
    isStrikeOut = o.isStrikeOut;
    isUnderLine = o.isUnderLine;
    isOrgScale = o.isOrgScale;
    modified_ = false;
    return *this;
}

bool CWaterMark::Serial(CBaseSerialStream* s) {
    if (!s) return false;
    const auto fail = [] { return CBaseException(errcode::kSerialWaterMark, "errSerialWaterMark"); };
    if (!s->BeginGroup("WaterMark")) throw fail();
    uint8_t transparentBytes[4], colourBytes[4];
    ToBytes(transparent, transparentBytes);
    ToBytes(textColor, colourBytes);
    const bool ok = s->PutUChar("WaterMarkType", type) && s->PutUChar("Alpha", alpha) &&
                    s->PutUChar("Tolerance", tolerance) && s->PutShort("Origin", origin) &&
                    s->PutShort("XOffset", xOffset) && s->PutShort("YOffset", yOffset) &&
                    s->PutUShort("Width", width) && s->PutUShort("Height", height) &&
                    s->PutUShort("TextSize", textSize) && s->PutUInt("StartTime", startTime) &&
                    s->PutUInt("EndTime", endTime) && s->PutUInt("FontStyle", fontStyle) &&
                    s->PutString("ImageFile", imageFile.c_str()) && s->PutString("Text", text.c_str()) &&
                    s->PutString("Font", font.c_str()) && s->PutFloat("FadeIn", fadeIn) &&
                    s->PutFloat("FadeOut", fadeOut) && s->Put4("Transparent", transparentBytes) &&
                    s->Put4("TextColor", colourBytes) && s->PutUChar("IsStrikeOUt", isStrikeOut) &&
                    s->PutUChar("IsUnderLine", isUnderLine) && s->PutUChar("IsOrgScale", isOrgScale);
    if (!s->EndGroup() || !ok) throw fail();
    return true;
}

bool CWaterMark::Deserial(CBaseSerialStream* s) {
    if (!s) return false;
    const auto fail = [] { return CBaseException(errcode::kDeserialWaterMark, "errDeserialWaterMark"); };
    if (!s->OpenGroup("WaterMark")) throw fail();
    CWaterMark r;  // read into a copy: a failure leaves this watermark untouched
    uint8_t transparentBytes[4], colourBytes[4];
    const bool ok = s->GetUChar("WaterMarkType", r.type) && s->GetUChar("Alpha", r.alpha) &&
                    s->GetUChar("Tolerance", r.tolerance) && s->GetShort("Origin", r.origin) &&
                    s->GetShort("XOffset", r.xOffset) && s->GetShort("YOffset", r.yOffset) &&
                    s->GetUShort("Width", r.width) && s->GetUShort("Height", r.height) &&
                    s->GetUShort("TextSize", r.textSize) && s->GetUInt("StartTime", r.startTime) &&
                    s->GetUInt("EndTime", r.endTime) && s->GetUInt("FontStyle", r.fontStyle) &&
                    s->GetString("ImageFile", r.imageFile) && s->GetString("Text", r.text) &&
                    s->GetString("Font", r.font) && s->GetFloat("FadeIn", r.fadeIn) &&
                    s->GetFloat("FadeOut", r.fadeOut) && s->Get4("Transparent", transparentBytes) &&
                    s->Get4("TextColor", colourBytes) && s->GetUChar("IsStrikeOUt", r.isStrikeOut) &&
                    s->GetUChar("IsUnderLine", r.isUnderLine) && s->GetUChar("IsOrgScale", r.isOrgScale);
    s->CloseGroup();
    if (!ok) throw fail();
    r.transparent = FromBytes(transparentBytes);
    r.textColor = FromBytes(colourBytes);
    if (r.text.empty()) r.text.push_back(' ');  // a text is never empty
    *this = r;  // clears modified
    return true;
}
