#include "PictureSource.h"

#include <cairo.h>

#include <cstring>
#include <memory>

#include "avkit/PictureFile.h"
#include "blitkit/blitkit.h"

namespace blitkit {
namespace {

// What one overlay may hold of an animation; a longer one shows its first frame.
constexpr size_t kAnimationBudget = 64u << 20;
// A stored delay of 0 is shown as 10 hundredths, as browsers and viewers do.
constexpr int kDefaultDelayCs = 10;

size_t FrameBytes(int width, int height) {
    return static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
}

struct PictureFileCloser {
    void operator()(AvkPictureFile* h) const { APF_Close(h); }
};

}  // namespace

bool LoadPictureFile(const char* path, ColourKey key, Picture& out) {
    out = Picture{};
    std::unique_ptr<AvkPictureFile, PictureFileCloser> file(APF_Open(path));
    if (!file) return false;
    const int width = APF_Width(file.get());
    const int height = APF_Height(file.get());
    if (width <= 0 || height <= 0 || width > BK_MAX_FRAME_SIDE || height > BK_MAX_FRAME_SIDE) return false;
    int frames = APF_FrameCount(file.get());
    if (frames < 1) frames = 1;
    if (frames > 1 && static_cast<size_t>(frames) * FrameBytes(width, height) > kAnimationBudget) frames = 1;

    int64_t endMs = 0;
    for (int i = 0; i < frames; ++i) {
        const uint8_t* bgra = APF_FrameBGRA(file.get(), i);
        if (!bgra) {
            if (i == 0) return false;
            break;  // a damaged later frame ends the animation there
        }
        Image img;
        img.width = width;
        img.height = height;
        img.px.assign(bgra, bgra + FrameBytes(width, height));
        KeyAndPremultiply(img.px.data(), static_cast<size_t>(width) * height, key);
        out.frames.push_back(std::move(img));
        int delay = APF_FrameDelay(file.get(), i);
        if (delay <= 0) delay = kDefaultDelayCs;
        endMs += static_cast<int64_t>(delay) * 10;
        out.frameEndsMs.push_back(endMs);
    }
    return true;
}

bool LoadBitmap(const FrameView& bitmap, ColourKey key, Picture& out) {
    out = Picture{};
    Image img;
    img.width = bitmap.width;
    img.height = bitmap.height;
    img.px.resize(FrameBytes(bitmap.width, bitmap.height));
    for (int y = 0; y < bitmap.height; ++y)
        std::memcpy(img.row(y), bitmap.row(y), static_cast<size_t>(bitmap.width) * 4);
    KeyAndPremultiply(img.px.data(), static_cast<size_t>(img.width) * img.height, key);
    out.frames.push_back(std::move(img));
    out.frameEndsMs.push_back(kDefaultDelayCs * 10);
    return true;
}

namespace {

// Cairo does the resampling: with the GOOD filter it averages over the
// covered area when shrinking and interpolates when enlarging. The pad
// extension keeps the border pixels from fading into transparent black.
bool ScaleImage(const Image& src, int width, int height, Image& dst) {
    dst.width = width;
    dst.height = height;
    dst.px.assign(FrameBytes(width, height), 0);
    cairo_surface_t* in = cairo_image_surface_create_for_data(
        const_cast<uint8_t*>(src.px.data()), CAIRO_FORMAT_ARGB32, src.width, src.height, src.width * 4);
    cairo_surface_t* outSurface =
        cairo_image_surface_create_for_data(dst.px.data(), CAIRO_FORMAT_ARGB32, width, height, width * 4);
    bool ok = cairo_surface_status(in) == CAIRO_STATUS_SUCCESS &&
              cairo_surface_status(outSurface) == CAIRO_STATUS_SUCCESS;
    if (ok) {
        cairo_t* cr = cairo_create(outSurface);
        cairo_scale(cr, static_cast<double>(width) / src.width, static_cast<double>(height) / src.height);
        cairo_set_source_surface(cr, in, 0, 0);
        cairo_pattern_t* pattern = cairo_get_source(cr);
        cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_rectangle(cr, 0, 0, src.width, src.height);
        cairo_fill(cr);
        ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
        cairo_destroy(cr);
        cairo_surface_flush(outSurface);
    }
    cairo_surface_destroy(in);
    cairo_surface_destroy(outSurface);
    return ok;
}

}  // namespace

bool ScalePicture(Picture& picture, int width, int height) {
    if (picture.frames.empty()) return false;
    if (picture.frames.size() > 1 && picture.frames.size() * FrameBytes(width, height) > kAnimationBudget) {
        picture.frames.resize(1);
        picture.frameEndsMs.resize(1);
    }
    for (Image& frame : picture.frames) {
        if (frame.width == width && frame.height == height) continue;
        Image scaled;
        if (!ScaleImage(frame, width, height, scaled)) return false;
        frame = std::move(scaled);
    }
    return true;
}

}  // namespace blitkit
