#pragma once

// A panel the engine draws preview frames into. The engine calls from its
// own threads: a frame is copied under a lock into a buffer kept between
// frames and the panel repaints on the window thread. The engine must be let
// go (or given another surface) before the panel is destroyed.

#include <QImage>
#include <QWidget>
#include <atomic>
#include <mutex>
#include <vector>

#include "projcore/DrawSurface.h"

class TPreviewSurface : public QWidget, public CDrawSurface {
    Q_OBJECT
public:
    explicit TPreviewSurface(QWidget* parent = nullptr);

    void PresentFrame(const uint8_t* bits, int width, int height, bool bottomUp, const Rect& src,
                      const Rect& dst) override;
    void FillRect(const Rect& r, uint32_t bgra) override;

    // The preview area in the engine's terms: {0, 0, width, height}.
    Rect Area() const { return Rect{0, 0, width(), height()}; }
    int FramesPresented() const { return frames_.load(); }
    // A copy of the last frame presented, upright and at the frame's own
    // size; a null image before the first.
    QImage CurrentFrame();
    // Where the last frame was drawn on the panel (null before the first).
    QRect CurrentFrameRect();

signals:
    // On the window thread, after frames (or fills) arrived.
    void presented();

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void ScheduleRepaint();

    std::mutex mutex_;
    QImage frame_;  // reused while the size stays
    QRect src_, dst_;
    std::vector<std::pair<QRect, QColor>> fills_;
    std::atomic<int> frames_{0};
    std::atomic<bool> repaintPending_{false};
};
