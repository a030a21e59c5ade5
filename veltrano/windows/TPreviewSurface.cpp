#include "windows/TPreviewSurface.h"

#include <QMetaObject>
#include <QPainter>
#include <cstring>

namespace {
QRect ToQRect(const Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }
}  // namespace

TPreviewSurface::TPreviewSurface(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void TPreviewSurface::PresentFrame(const uint8_t* bits, int width, int height, bool bottomUp, const Rect& src,
                                   const Rect& dst) {
    if (!bits || width <= 0 || height <= 0) return;
    {
        std::lock_guard lock(mutex_);
        if (frame_.width() != width || frame_.height() != height)
            frame_ = QImage(width, height, QImage::Format_ARGB32);  // BGRA in memory
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        for (int y = 0; y < height; ++y) {
            const int from = bottomUp ? height - 1 - y : y;
            std::memcpy(frame_.scanLine(y), bits + rowBytes * static_cast<size_t>(from), rowBytes);
        }
        src_ = ToQRect(src);
        dst_ = ToQRect(dst);
        // Marks drawn over the last picture (the selected watermark's
        // outline) belong to it; the black around the picture stays.
        std::erase_if(fills_, [this](const auto& fill) { return dst_.intersects(fill.first); });
    }
    ++frames_;
    ScheduleRepaint();
}

QImage TPreviewSurface::CurrentFrame() {
    std::lock_guard lock(mutex_);
    return frame_.copy();
}

QRect TPreviewSurface::CurrentFrameRect() {
    std::lock_guard lock(mutex_);
    return frame_.isNull() ? QRect() : dst_;
}

void TPreviewSurface::FillRect(const Rect& r, uint32_t bgra) {
    {
        std::lock_guard lock(mutex_);
        const QColor colour((bgra >> 16) & 0xff, (bgra >> 8) & 0xff, bgra & 0xff);
        // Only the latest fills matter: a full clear replaces the earlier ones.
        if (fills_.size() > 16) fills_.clear();
        fills_.emplace_back(ToQRect(r), colour);
    }
    ScheduleRepaint();
}

void TPreviewSurface::ScheduleRepaint() {
    // One pending repaint is enough however fast frames come.
    if (repaintPending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            repaintPending_ = false;
            update();
            emit presented();
        },
        Qt::QueuedConnection);
}

void TPreviewSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    std::lock_guard lock(mutex_);
    if (fills_.empty() && frame_.isNull()) painter.fillRect(rect(), Qt::black);
    const bool picture = !frame_.isNull() && dst_.isValid();
    // Fills beside the picture go under it, fills on it (marks) over it.
    for (const auto& [r, colour] : fills_)
        if (!picture || !dst_.intersects(r)) painter.fillRect(r, colour);
    if (!picture) return;
    painter.drawImage(dst_, frame_, src_.isValid() ? src_ : frame_.rect());
    for (const auto& [r, colour] : fills_)
        if (dst_.intersects(r)) painter.fillRect(r, colour);
}
