// Blending the overlays into frames, and composing a bitmap over a background.
#include <cstring>

#include "Blend.h"
#include "Drawer.h"
#include "Guard.h"

namespace blitkit {
namespace {

void DrawOverlay(const Overlay& o, const FrameView& frame, int strength, const Image& img) {
    switch (o.fill) {
        case BK_FILL_CENTER:
            BlendOver(frame, img, (static_cast<int64_t>(frame.width) - img.width) / 2,
                      (static_cast<int64_t>(frame.height) - img.height) / 2, strength);
            break;
        case BK_FILL_TILE:
            for (int64_t y = 0; y < frame.height; y += img.height)
                for (int64_t x = 0; x < frame.width; x += img.width) BlendOver(frame, img, x, y, strength);
            break;
        default:
            BlendOver(frame, img, o.place.left, o.place.top, strength);
            break;
    }
}

}  // namespace

void DrawLocked(const BkDrawer& d, const FrameView& frame, bool withBackground) {
    if (withBackground && d.background) {
        const Overlay& bg = *d.background;
        // The background is always there, whatever the frame.
        DrawOverlay(bg, frame, OverlayStrength(bg, d.frame, false), bg.picture.frames.front());
    }
    for (const auto& slot : d.slots) {
        const int strength = OverlayStrength(*slot, d.frame, d.timeline);
        if (strength <= 0) continue;
        const Image& img = AnimationFrame(*slot, d.frame, d.fps, d.timeline);
        if (img.empty()) continue;
        DrawOverlay(*slot, frame, strength, img);
    }
}

}  // namespace blitkit

extern "C" {

BLITKIT_API int BK_SetFrameIndex(BkDrawer* d, int frame) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    d->frame = frame;
    return BK_OK;
}

BLITKIT_API int BK_BlendFrame(BkDrawer* d, uint8_t* pixels, int width, int height, int stride) {
    if (!d) return BK_ERR_ARGUMENT;
    blitkit::FrameView frame;
    const int check = blitkit::MakeFrameView(pixels, width, height, stride, frame);
    if (check != BK_OK) return check;
    std::lock_guard<std::mutex> g(d->lock);
    blitkit::DrawLocked(*d, frame, false);
    return BK_OK;
}

BLITKIT_API int BK_AnyOverlayShown(BkDrawer* d, int frame) {
    if (!d) return 0;
    std::lock_guard<std::mutex> g(d->lock);
    for (const auto& slot : d->slots)
        if (blitkit::OverlayStrength(*slot, frame, d->timeline) > 0) return 1;
    return 0;
}

BLITKIT_API int BK_SetBackground(BkDrawer* d, const BkBitmap* bitmap) {
    return blitkit::Guarded([&]() -> int {
        if (!d) return BK_ERR_ARGUMENT;
        if (!bitmap) {
            std::lock_guard<std::mutex> g(d->lock);
            d->background.reset();
            return BK_OK;
        }
        blitkit::FrameView view;
        const int check = blitkit::MakeFrameView(bitmap->bits, bitmap->width, bitmap->height, bitmap->stride, view);
        if (check != BK_OK) return check;
        if (bitmap->width > BK_MAX_OVERLAY_SIDE || bitmap->height > BK_MAX_OVERLAY_SIDE) return BK_ERR_SIZE;
        auto bg = std::make_unique<blitkit::Overlay>();
        blitkit::LoadBitmap(view, blitkit::ColourKey{}, bg->picture);
        bg->kind = blitkit::OverlayKind::Picture;
        bg->place = BkRect{0, 0, bitmap->width, bitmap->height};
        std::lock_guard<std::mutex> g(d->lock);
        bg->alpha = d->nextAlpha;
        bg->fill = d->fill;
        d->background = std::move(bg);
        return BK_OK;
    });
}

BLITKIT_API BkBitmap* BK_Compose(BkDrawer* d, BkBitmap* target) {
    if (!d || !target) return nullptr;
    blitkit::FrameView frame;
    if (blitkit::MakeFrameView(target->bits, target->width, target->height, target->stride, frame) != BK_OK)
        return nullptr;
    for (int y = 0; y < frame.height; ++y) std::memset(frame.row(y), 0, static_cast<size_t>(frame.width) * 4);
    std::lock_guard<std::mutex> g(d->lock);
    blitkit::DrawLocked(*d, frame, true);
    return target;
}

}  // extern "C"
