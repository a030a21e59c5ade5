// The font description behind BkFont, and text laid out with it.
#pragma once

#include <pango/pango.h>

#include <cstdint>

#include "Image.h"

struct BkFont {
    PangoFontDescription* desc = nullptr;
    bool underline = false;
    bool strikeout = false;
};

namespace blitkit {

void FreeFont(BkFont* font);

// Logical size of a UTF-8 text in pixels. False when Pango cannot lay it out.
bool MeasureText(const BkFont& font, const char* text, int& width, int& height);

// Draws the text once, when it is registered (the caller's font is not kept),
// in its measured size, in colour (0x00BBGGRR), fully opaque,
// onto a new premultiplied image. An empty text gives an empty image.
// False when the text cannot be laid out or is larger than an overlay may be.
bool RasteriseText(const BkFont& font, const char* text, uint32_t colour, Image& out);

}  // namespace blitkit
