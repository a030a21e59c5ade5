#include "windows/TmyTrackBar.h"

#include <algorithm>
#include <limits>

TmyTrackBar::TmyTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setObjectName(QStringLiteral("fmeResPlayer"));
    setRange(0, 0);
    setTracking(true);
    connect(this, &QSlider::sliderPressed, this, [this] { emit dragged(value()); });
    connect(this, &QSlider::sliderMoved, this, [this](int v) { emit dragged(v); });
    connect(this, &QSlider::sliderReleased, this, [this] { emit released(value()); });
}

void TmyTrackBar::SetRange(int64_t minimum, int64_t maximum) {
    // Milliseconds of a preview fit an int for 24 days.
    constexpr int64_t kMost = std::numeric_limits<int>::max();
    setRange(static_cast<int>(std::clamp<int64_t>(minimum, 0, kMost)),
             static_cast<int>(std::clamp<int64_t>(maximum, 0, kMost)));
}

void TmyTrackBar::SetPosition(int64_t position) {
    if (position < minimum() || position > maximum() || isSliderDown()) return;
    setValue(static_cast<int>(position));
}
