#pragma once

// The resource preview's position bar: a range in milliseconds, a position
// outside it is ignored, and the mark can be dragged only while the bar is
// enabled, reporting the position on press, move and release.

#include <QSlider>
#include <cstdint>

class TmyTrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TmyTrackBar(QWidget* parent = nullptr);

    void SetRange(int64_t minimum, int64_t maximum);
    // Ignored outside the range, and while the user holds the mark.
    void SetPosition(int64_t position);
    int64_t Position() const { return value(); }

signals:
    void dragged(int64_t position);   // pressed or moved by the user
    void released(int64_t position);  // let go
};
