// Texts are laid out with Pango and drawn with Cairo. Sizes are absolute
// pixels (points at 96 per inch) so that a text measures the same on every
// display, and metrics are not hinted so that layout does not depend on the
// font map's resolution.
#include "Font.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstring>
#include <memory>
#include <new>

#include "blitkit/blitkit.h"

namespace blitkit {
namespace {

constexpr double kPixelsPerPoint = 96.0 / 72.0;

struct CairoDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct GObjectDeleter {
    void operator()(void* p) const { g_object_unref(p); }
};
using LayoutPtr = std::unique_ptr<PangoLayout, GObjectDeleter>;

LayoutPtr MakeLayout(cairo_t* cr, const BkFont& font, const char* text) {
    PangoContext* context = pango_cairo_create_context(cr);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);

    LayoutPtr layout(pango_layout_new(context));
    g_object_unref(context);
    pango_layout_set_font_description(layout.get(), font.desc);
    // Several lines are centred on each other, as the watermark's text box is.
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
    pango_layout_set_text(layout.get(), text, -1);
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.underline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.strikeout) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout.get(), attrs);
    pango_attr_list_unref(attrs);
    return layout;
}

// A tiny surface is enough to measure on.
std::unique_ptr<cairo_t, CairoDeleter> MeasuringContext() {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(surface));
    cairo_surface_destroy(surface);  // the context holds its own reference
    return cr;
}

}  // namespace

void FreeFont(BkFont* font) {
    if (!font) return;
    if (font->desc) pango_font_description_free(font->desc);
    delete font;
}

bool MeasureText(const BkFont& font, const char* text, int& width, int& height) {
    if (!g_utf8_validate(text, -1, nullptr)) return false;
    auto cr = MeasuringContext();
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    LayoutPtr layout = MakeLayout(cr.get(), font, text);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    width = *text ? logical.width : 0;
    height = *text ? logical.height : 0;
    return true;
}

bool RasteriseText(const BkFont& font, const char* text, uint32_t colour, Image& out) {
    out = Image{};
    int width = 0, height = 0;
    if (!MeasureText(font, text, width, height)) return false;
    if (width > BK_MAX_OVERLAY_SIDE || height > BK_MAX_OVERLAY_SIDE) return false;
    if (width <= 0 || height <= 0) return true;

    out.width = width;
    out.height = height;
    out.px.assign(static_cast<size_t>(width) * height * 4, 0);
    std::unique_ptr<cairo_surface_t, CairoDeleter> surface(cairo_image_surface_create_for_data(
        out.px.data(), CAIRO_FORMAT_ARGB32, width, height, width * 4));
    std::unique_ptr<cairo_t, CairoDeleter> cr(cairo_create(surface.get()));
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;
    LayoutPtr layout = MakeLayout(cr.get(), font, text);
    PangoRectangle logical;
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    // Ink that reaches past the logical box (an italic overhang) is cut off:
    // the overlay is exactly the size the caller measured.
    cairo_set_source_rgb(cr.get(), (colour & 0xff) / 255.0, ((colour >> 8) & 0xff) / 255.0,
                         ((colour >> 16) & 0xff) / 255.0);
    cairo_move_to(cr.get(), -logical.x, -logical.y);
    pango_cairo_show_layout(cr.get(), layout.get());
    cairo_surface_flush(surface.get());
    return cairo_status(cr.get()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace blitkit

extern "C" {

BLITKIT_API BkFont* BK_CreateFont(const char* family, int pointSize, int styleFlags) {
    if (!family || !*family || pointSize < 1 || pointSize > 1000) return nullptr;
    if (styleFlags & ~(BK_FONT_BOLD | BK_FONT_ITALIC | BK_FONT_UNDERLINE | BK_FONT_STRIKEOUT)) return nullptr;
    auto* font = new (std::nothrow) BkFont;
    if (!font) return nullptr;
    font->desc = pango_font_description_new();
    pango_font_description_set_family(font->desc, family);
    pango_font_description_set_absolute_size(font->desc, pointSize * blitkit::kPixelsPerPoint * PANGO_SCALE);
    pango_font_description_set_weight(font->desc,
                                      (styleFlags & BK_FONT_BOLD) ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(font->desc,
                                     (styleFlags & BK_FONT_ITALIC) ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    font->underline = (styleFlags & BK_FONT_UNDERLINE) != 0;
    font->strikeout = (styleFlags & BK_FONT_STRIKEOUT) != 0;
    return font;
}

BLITKIT_API void BK_DeleteFont(BkFont* font) { blitkit::FreeFont(font); }

BLITKIT_API int BK_MeasureText(const BkFont* font, const char* text, int32_t* width, int32_t* height) {
    if (!font || !text || !width || !height) return BK_ERR_ARGUMENT;
    int w = 0, h = 0;
    if (!blitkit::MeasureText(*font, text, w, h)) return BK_ERR_TEXT;
    *width = w;
    *height = h;
    return BK_OK;
}

}  // extern "C"
