#include "windows/BlitkitPicture.h"

#include <memory>

#include "blitkit/blitkit.h"

namespace {
using Drawer = std::unique_ptr<BkDrawer, decltype(&BK_DeleteDrawer)>;

BkBitmap BitmapOf(QImage& image) {
    return BkBitmap{image.width(), image.height(), static_cast<int32_t>(image.bytesPerLine()), image.bits()};
}

// blitkit's colours are 0x00BBGGRR.
int32_t ColourRef(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }

QImage Checkers(QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) row[x] = ((x / 8 + y / 8) % 2) ? qRgb(204, 204, 204) : qRgb(255, 255, 255);
    }
    return image;
}
}  // namespace

QImage LoadPictureFile(const QString& path) {
    if (path.isEmpty()) return {};
    Drawer d(BK_CreateDrawer(), &BK_DeleteDrawer);
    if (!d) return {};
    const int slot = BK_AppendPictureAt(d.get(), path.toUtf8().constData(), 0, 0, -1, 0, -1);
    BkOverlayInfo info{};
    if (slot < 0 || BK_GetOverlayInfo(d.get(), slot, &info) != BK_OK || info.kind != 1) return {};
    const QSize size(info.place.right - info.place.left, info.place.bottom - info.place.top);
    if (size.isEmpty()) return {};
    QImage image(size, QImage::Format_ARGB32);  // blue, green, red, alpha in memory
    BkBitmap target = BitmapOf(image);
    if (!BK_Compose(d.get(), &target)) return {};
    return image;
}

QImage ComposeSeeThrough(const QString& path, const QImage& bitmap, QSize size, const QColor& seeThrough,
                         int tolerance, int alpha) {
    if (size.isEmpty()) return {};
    Drawer d(BK_CreateDrawer(), &BK_DeleteDrawer);
    if (!d) return {};
    const int32_t colour = seeThrough.isValid() ? ColourRef(seeThrough) : -1;
    BK_SetNextTolerance(d.get(), tolerance);
    BK_SetNextAlpha(d.get(), alpha);
    BK_SetFillMode(d.get(), BK_FILL_PLACE);
    const BkRect rect{0, 0, size.width(), size.height()};
    if (!path.isEmpty()) {
        BK_AppendPicture(d.get(), path.toUtf8().constData(), &rect, colour, 0, -1);
    } else if (!bitmap.isNull()) {
        QImage scaled = bitmap.convertToFormat(QImage::Format_ARGB32).scaled(size, Qt::IgnoreAspectRatio,
                                                                             Qt::SmoothTransformation);
        const BkBitmap source = BitmapOf(scaled);
        BK_AppendBitmap(d.get(), &source, 0, 0, colour, 0, -1);
    }
    // The checkered background shows through what is see-through.
    BK_SetNextTolerance(d.get(), 0);
    BK_SetNextAlpha(d.get(), 255);
    BK_SetFillMode(d.get(), BK_FILL_TILE);
    QImage checkers = Checkers(QSize(16, 16));
    const BkBitmap background = BitmapOf(checkers);
    BK_SetBackground(d.get(), &background);
    QImage result(size, QImage::Format_ARGB32);
    BkBitmap target = BitmapOf(result);
    if (!BK_Compose(d.get(), &target)) return {};
    return result;
}
