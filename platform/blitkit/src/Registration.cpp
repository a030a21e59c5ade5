// Appending and replacing overlays. The expensive part (reading, scaling,
// laying out) happens before the drawer's lock is taken, so a thread that
// is blending frames waits only for the slot to be swapped in.
#include <algorithm>
#include <cstdint>
#include <memory>

#include "Drawer.h"
#include "Font.h"
#include "Guard.h"

namespace {

using blitkit::ColourKey;
using blitkit::Overlay;
using blitkit::OverlayKind;

struct Settings {
    int alpha, tolerance, fill;
};

Settings ReadSettings(const BkDrawer& d) {
    std::lock_guard<std::mutex> g(d.lock);
    return Settings{d.nextAlpha, d.nextTolerance, d.fill};
}

// Only the colour's low 24 bits count; -1 is "none".
ColourKey MakeKey(int32_t seeThrough, int tolerance) {
    ColourKey key;
    key.colour = seeThrough == -1 ? -1 : (seeThrough & 0xffffff);
    key.tolerance = tolerance;
    return key;
}

std::unique_ptr<Overlay> NewOverlay(const Settings& s, int start, int count) {
    auto o = std::make_unique<Overlay>();
    o->alpha = s.alpha;
    o->fill = s.fill;
    o->start = start;
    o->count = count < 0 ? -1 : count;
    return o;
}

int32_t Far(int64_t v) {
    return static_cast<int32_t>(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

bool FitsAnOverlay(const blitkit::Image& img) {
    return img.width <= BK_MAX_OVERLAY_SIDE && img.height <= BK_MAX_OVERLAY_SIDE;
}

// Gives an overlay that shows a picture at its natural size its place.
void PlaceNatural(Overlay& o, int x, int y) {
    const blitkit::Image& first = o.picture.frames.front();
    o.place = BkRect{x, y, Far(static_cast<int64_t>(x) + first.width), Far(static_cast<int64_t>(y) + first.height)};
}

// Puts the overlay into the list: appended when slot < 0, else replacing the
// slot (its fades kept). Returns the slot, or BK_ERR_SLOT when it is gone.
int Install(BkDrawer& d, std::unique_ptr<Overlay> o, int slot) {
    std::lock_guard<std::mutex> g(d.lock);
    if (slot < 0) {
        d.slots.push_back(std::move(o));
        return static_cast<int>(d.slots.size()) - 1;
    }
    if (static_cast<size_t>(slot) >= d.slots.size()) return BK_ERR_SLOT;
    o->fadeIn = d.slots[slot]->fadeIn;
    o->fadeOut = d.slots[slot]->fadeOut;
    d.slots[slot] = std::move(o);
    return slot;
}

bool SlotExists(const BkDrawer& d, int slot) {
    std::lock_guard<std::mutex> g(d.lock);
    return slot >= 0 && static_cast<size_t>(slot) < d.slots.size();
}

// A result for a content failure: the slot is taken by the empty overlay all the same.
int Finish(BkDrawer& d, std::unique_ptr<Overlay> o, int slot, int failure) {
    const bool failed = o->kind == OverlayKind::Empty;
    const int placed = Install(d, std::move(o), slot);
    if (placed < 0) return placed;
    if (failed) return failure;
    return slot < 0 ? placed : BK_OK;
}

int RegisterPicture(BkDrawer* d, int slot, const char* path, const BkRect* rect, int32_t seeThrough, int start,
                    int count) {
    if (!d || !path || !rect) return BK_ERR_ARGUMENT;
    const int64_t w = static_cast<int64_t>(rect->right) - rect->left;
    const int64_t h = static_cast<int64_t>(rect->bottom) - rect->top;
    if (w <= 0 || h <= 0 || w > BK_MAX_OVERLAY_SIDE || h > BK_MAX_OVERLAY_SIDE) return BK_ERR_SIZE;
    if (slot >= 0 && !SlotExists(*d, slot)) return BK_ERR_SLOT;
    const Settings s = ReadSettings(*d);
    auto o = NewOverlay(s, start, count);
    o->place = *rect;
    if (blitkit::LoadPictureFile(path, MakeKey(seeThrough, s.tolerance), o->picture) &&
        blitkit::ScalePicture(o->picture, static_cast<int>(w), static_cast<int>(h))) {
        o->kind = OverlayKind::Picture;
    } else {
        o->picture = blitkit::Picture{};
    }
    return Finish(*d, std::move(o), slot, BK_ERR_PICTURE);
}

int RegisterText(BkDrawer* d, int slot, const char* text, int x, int y, uint32_t colour, const BkFont* font,
                 int start, int count) {
    if (!d || !text || !font) return BK_ERR_ARGUMENT;
    if (slot >= 0 && !SlotExists(*d, slot)) return BK_ERR_SLOT;
    const Settings s = ReadSettings(*d);
    auto o = NewOverlay(s, start, count);
    o->fill = BK_FILL_PLACE;  // a text always stands at its point
    o->place = BkRect{x, y, x, y};
    blitkit::Image raster;
    if (blitkit::RasteriseText(*font, text, colour, raster)) {
        o->kind = OverlayKind::Text;
        o->picture.frames.push_back(std::move(raster));
        o->picture.frameEndsMs.push_back(0);
        PlaceNatural(*o, x, y);
    }
    return Finish(*d, std::move(o), slot, BK_ERR_TEXT);
}

}  // namespace

extern "C" {

BLITKIT_API int BK_AppendPicture(BkDrawer* d, const char* path, const BkRect* rect, int32_t seeThrough,
                                 int start, int count) {
    return blitkit::Guarded([&] { return RegisterPicture(d, -1, path, rect, seeThrough, start, count); });
}

BLITKIT_API int BK_ReplacePicture(BkDrawer* d, int slot, const char* path, const BkRect* rect,
                                  int32_t seeThrough, int start, int count) {
    if (slot < 0) return d ? BK_ERR_SLOT : BK_ERR_ARGUMENT;
    return blitkit::Guarded([&] { return RegisterPicture(d, slot, path, rect, seeThrough, start, count); });
}

BLITKIT_API int BK_AppendPictureAt(BkDrawer* d, const char* path, int x, int y, int32_t seeThrough, int start,
                                   int count) {
    return blitkit::Guarded([&]() -> int {
        if (!d || !path) return BK_ERR_ARGUMENT;
        const Settings s = ReadSettings(*d);
        auto o = NewOverlay(s, start, count);
        o->place = BkRect{x, y, x, y};
        if (blitkit::LoadPictureFile(path, MakeKey(seeThrough, s.tolerance), o->picture) &&
            FitsAnOverlay(o->picture.frames.front())) {
            o->kind = OverlayKind::Picture;
            PlaceNatural(*o, x, y);
        } else {
            o->picture = blitkit::Picture{};
        }
        return Finish(*d, std::move(o), -1, BK_ERR_PICTURE);
    });
}

BLITKIT_API int BK_AppendBitmap(BkDrawer* d, const BkBitmap* bitmap, int x, int y, int32_t seeThrough, int start,
                                int count) {
    return blitkit::Guarded([&]() -> int {
        if (!d || !bitmap) return BK_ERR_ARGUMENT;
        blitkit::FrameView view;
        const int check = blitkit::MakeFrameView(bitmap->bits, bitmap->width, bitmap->height, bitmap->stride, view);
        if (check != BK_OK) return check;
        if (bitmap->width > BK_MAX_OVERLAY_SIDE || bitmap->height > BK_MAX_OVERLAY_SIDE) return BK_ERR_SIZE;
        const Settings s = ReadSettings(*d);
        auto o = NewOverlay(s, start, count);
        blitkit::LoadBitmap(view, MakeKey(seeThrough, s.tolerance), o->picture);
        o->kind = OverlayKind::Picture;
        PlaceNatural(*o, x, y);
        return Finish(*d, std::move(o), -1, BK_ERR_PICTURE);
    });
}

BLITKIT_API int BK_AppendText(BkDrawer* d, const char* text, int x, int y, uint32_t colour, const BkFont* font,
                              int start, int count) {
    return blitkit::Guarded([&] { return RegisterText(d, -1, text, x, y, colour, font, start, count); });
}

BLITKIT_API int BK_ReplaceText(BkDrawer* d, int slot, const char* text, int x, int y, uint32_t colour,
                               const BkFont* font, int start, int count) {
    if (slot < 0) return d ? BK_ERR_SLOT : BK_ERR_ARGUMENT;
    return blitkit::Guarded([&] { return RegisterText(d, slot, text, x, y, colour, font, start, count); });
}

}  // extern "C"
