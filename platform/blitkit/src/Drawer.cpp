// Drawer life, its settings and the slot list operations.
#include "Drawer.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include <new>

namespace {

bool ValidSlot(const BkDrawer& d, int slot) { return slot >= 0 && static_cast<size_t>(slot) < d.slots.size(); }

int32_t ClampToInt32(int64_t v) {
    if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Takes the overlay out of from and inserts it at to.
void MoveWithin(BkDrawer& d, int from, int to) {
    auto overlay = std::move(d.slots[from]);
    d.slots.erase(d.slots.begin() + from);
    d.slots.insert(d.slots.begin() + to, std::move(overlay));
}

}  // namespace

extern "C" {

BLITKIT_API BkDrawer* BK_CreateDrawer(void) { return new (std::nothrow) BkDrawer; }

BLITKIT_API void BK_DeleteDrawer(BkDrawer* d) { delete d; }

BLITKIT_API int BK_SetTimeline(BkDrawer* d, int on) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    d->timeline = on != 0;
    return BK_OK;
}

BLITKIT_API int BK_SetFrameRate(BkDrawer* d, double fps) {
    if (!d || !std::isfinite(fps) || fps <= 0 || fps > 1000) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    d->fps = fps;
    return BK_OK;
}

BLITKIT_API int BK_SetNextAlpha(BkDrawer* d, int alpha) {
    if (!d || alpha < 0 || alpha > 255) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    d->nextAlpha = alpha;
    return BK_OK;
}

BLITKIT_API int BK_SetNextTolerance(BkDrawer* d, int tolerance) {
    if (!d || tolerance < 0 || tolerance > 255) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    d->nextTolerance = tolerance;
    return BK_OK;
}

BLITKIT_API int BK_SetFillMode(BkDrawer* d, int mode) {
    if (!d || (mode != BK_FILL_PLACE && mode != BK_FILL_CENTER && mode != BK_FILL_TILE)) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    d->fill = mode;
    return BK_OK;
}

BLITKIT_API int BK_SetFades(BkDrawer* d, int slot, int fadeIn, int fadeOut) {
    if (!d || fadeIn < 0 || fadeOut < 0) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    if (!ValidSlot(*d, slot)) return BK_ERR_SLOT;
    d->slots[slot]->fadeIn = fadeIn;
    d->slots[slot]->fadeOut = fadeOut;
    return BK_OK;
}

BLITKIT_API int BK_SetSpan(BkDrawer* d, int slot, int start, int count) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    if (!ValidSlot(*d, slot)) return BK_ERR_SLOT;
    d->slots[slot]->start = start;
    d->slots[slot]->count = count < 0 ? -1 : count;
    return BK_OK;
}

BLITKIT_API int BK_MoveOverlay(BkDrawer* d, int slot, int x, int y) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    if (!ValidSlot(*d, slot)) return BK_ERR_SLOT;
    BkRect& r = d->slots[slot]->place;
    const int64_t w = static_cast<int64_t>(r.right) - r.left;
    const int64_t h = static_cast<int64_t>(r.bottom) - r.top;
    r = BkRect{x, y, ClampToInt32(x + w), ClampToInt32(y + h)};
    return BK_OK;
}

BLITKIT_API int BK_RemoveOverlay(BkDrawer* d, int slot) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    if (!ValidSlot(*d, slot)) return BK_ERR_SLOT;
    d->slots.erase(d->slots.begin() + slot);
    return BK_OK;
}

BLITKIT_API int BK_MoveSlot(BkDrawer* d, int from, int to) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    if (!ValidSlot(*d, from) || !ValidSlot(*d, to)) return BK_ERR_SLOT;
    MoveWithin(*d, from, to);
    return BK_OK;
}

BLITKIT_API int BK_PlaceAppended(BkDrawer* d, int from, int to) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    if (!ValidSlot(*d, to) || !ValidSlot(*d, from) || static_cast<size_t>(from) != d->slots.size() - 1)
        return BK_ERR_SLOT;
    MoveWithin(*d, from, to);
    return BK_OK;
}

BLITKIT_API int BK_ClearOverlays(BkDrawer* d) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    d->slots.clear();
    return BK_OK;
}

BLITKIT_API int BK_GetOverlayCount(const BkDrawer* d) {
    if (!d) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    return static_cast<int>(d->slots.size());
}

BLITKIT_API int BK_GetOverlayInfo(const BkDrawer* d, int slot, BkOverlayInfo* info) {
    if (!d || !info) return BK_ERR_ARGUMENT;
    std::lock_guard<std::mutex> g(d->lock);
    if (!ValidSlot(*d, slot)) return BK_ERR_SLOT;
    const blitkit::Overlay& o = *d->slots[slot];
    info->kind = static_cast<int32_t>(o.kind);
    info->place = o.place;
    info->alpha = o.alpha;
    info->start = o.start;
    info->count = o.count;
    info->fadeIn = o.fadeIn;
    info->fadeOut = o.fadeOut;
    return BK_OK;
}

}  // extern "C"
