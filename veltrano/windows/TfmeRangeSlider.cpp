#include "windows/TfmeRangeSlider.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "app/MyLang.h"
#include "windows/PanelLangKeys.h"

namespace {
constexpr int kMarkWidth = 9;
constexpr int kHeight = 32;
// Vertical places: watermark marks on top, the bar in the middle, trim marks below.
constexpr int kWaterTop = 0, kWaterHeight = 9;
constexpr int kBarTop = 12, kBarHeight = 8;
constexpr int kTrimTop = 21, kTrimHeight = 10;
constexpr int kPosTop = 4, kPosHeight = 20;

enum Shape { kPositionShape, kTrimShape, kWaterShape };

QPixmap MarkPicture(int shape, bool start) {
    const int h = shape == kPositionShape ? kPosHeight : shape == kTrimShape ? kTrimHeight : kWaterHeight;
    QPixmap pixmap(kMarkWidth, h);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const double c = kMarkWidth / 2.0;
    switch (shape) {
        case kPositionShape:
            p.fillRect(QRectF(c - 1, 4, 2, h - 4), QColor(170, 20, 20));
            path.moveTo(0, 0), path.lineTo(kMarkWidth, 0), path.lineTo(c, 6), path.closeSubpath();
            p.fillPath(path, QColor(170, 20, 20));
            break;
        case kTrimShape:  // a flag pointing into the kept range
            path.moveTo(c, 0), path.lineTo(start ? kMarkWidth : 0, h / 2.0), path.lineTo(c, h), path.closeSubpath();
            p.fillPath(path, QColor(30, 90, 190));
            p.fillRect(QRectF(c - 1, 0, 2, h), QColor(30, 90, 190));
            break;
        default:
            path.moveTo(0, 0), path.lineTo(kMarkWidth, 0), path.lineTo(c, h), path.closeSubpath();
            p.fillPath(path, start ? QColor(230, 130, 20) : QColor(200, 100, 0));
            break;
    }
    return pixmap;
}
}  // namespace

TfmeRangeSlider::TfmeRangeSlider(TMyLangDispatcher* languages, QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("fmeRangeSlider"));
    setFixedHeight(kHeight);
    setMinimumWidth(3 * kMarkWidth);
    lang_ = new TMyLang(this, QStringLiteral("fmeRangeSlider"), languages);
    connect(lang_, &TMyLang::langChanged, this, [this] { lang_->ApplyFormFont(this); });

    imgBackground_ = new QFrame(this);
    imgBackground_->setObjectName(QStringLiteral("imgBackground"));
    imgBackground_->setStyleSheet(QStringLiteral("background:#d8dde6; border:1px solid #8a94a6; border-radius:3px;"));
    imgSel_ = new QFrame(this);
    imgSel_->setObjectName(QStringLiteral("imgSel"));
    imgSel_->setStyleSheet(QStringLiteral("background:#4c9a4c;"));
    imgSel1_ = new QFrame(this);
    imgSel1_->setObjectName(QStringLiteral("imgSel1"));
    imgSel1_->setStyleSheet(QStringLiteral("background:#e6a040;"));
    for (QFrame* bar : {imgBackground_, imgSel_, imgSel1_}) bar->setAttribute(Qt::WA_TransparentForMouseEvents);

    marks_[kTrimStartMark] = MakeMark("imgStart", QString(), kTrimShape * 2 + 1);
    marks_[kTrimEndMark] = MakeMark("imgEnd", QString(), kTrimShape * 2);
    marks_[kWaterStartMark] = MakeMark("imgStart1", QStringLiteral("Watermark start point"), kWaterShape * 2 + 1);
    marks_[kWaterEndMark] = MakeMark("imgEnd1", QStringLiteral("Watermark end point"), kWaterShape * 2);
    marks_[kPos] = MakeMark("imgPosition", QStringLiteral("Position"), kPositionShape * 2);
    Reset();
}

QLabel* TfmeRangeSlider::MakeMark(const char* name, const QString& designHint, int kind) {
    auto* mark = new QLabel(this);
    mark->setObjectName(QLatin1String(name));
    const QPixmap picture = MarkPicture(kind / 2, kind % 2 == 1);
    mark->setPixmap(picture);
    mark->setFixedSize(picture.size());
    mark->setToolTip(designHint);
    mark->setCursor(Qt::SizeHorCursor);
    mark->installEventFilter(this);
    return mark;
}

void TfmeRangeSlider::Reset() {
    min_ = 0;
    max_ = 100;
    trimStart_ = 0;
    trimEnd_ = 100;
    waterStart_ = waterEnd_ = 0;
    position_ = 0;
    held_ = kNone;
    SetEnabled(true);
    mode_ = -1;  // makes SetMode apply the visibility
    SetMode(kPositionOnly);
}

void TfmeRangeSlider::SetMax(int v) {
    if (v == max_ || v <= min_) return;
    max_ = v;
    Place();
}

void TfmeRangeSlider::SetMin(int v) {
    if (v == min_ || v >= max_) return;
    min_ = v;
    Place();
}

void TfmeRangeSlider::SetTrimStart(int v) {
    if (v == trimStart_ || v < min_ || v > trimEnd_) return;
    trimStart_ = v;
    Place();
}

void TfmeRangeSlider::SetTrimEnd(int v) {
    if (v == trimEnd_ || v < trimStart_ || v > max_) return;
    trimEnd_ = v;
    Place();
}

void TfmeRangeSlider::SetWatermarkStart(int v) {
    if (v == waterStart_) return;
    waterStart_ = v;
    Place();
}

void TfmeRangeSlider::SetWatermarkEnd(int v) {
    if (v == waterEnd_) return;
    waterEnd_ = v;
    Place();
}

void TfmeRangeSlider::SetPosition(int v) {
    position_ = std::max(trimStart_, std::min(v, trimEnd_));
    Place();
}

void TfmeRangeSlider::SetMode(int mode) {
    if (mode < kPositionOnly || mode > kBoth) return;
    mode_ = mode;
    const bool trim = mode == kTrim || mode == kBoth, water = mode == kWatermark || mode == kBoth;
    marks_[kTrimStartMark]->setVisible(trim);
    marks_[kTrimEndMark]->setVisible(trim);
    imgSel_->setVisible(trim);
    marks_[kWaterStartMark]->setVisible(water);
    marks_[kWaterEndMark]->setVisible(water);
    imgSel1_->setVisible(water);
    Place();
    marks_[kPos]->raise();
}

void TfmeRangeSlider::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled) held_ = kNone;
    setEnabled(enabled);
    for (QWidget* w : {static_cast<QWidget*>(imgBackground_), static_cast<QWidget*>(imgSel_),
                       static_cast<QWidget*>(marks_[kTrimStartMark]), static_cast<QWidget*>(marks_[kTrimEndMark]),
                       static_cast<QWidget*>(marks_[kPos])})
        w->setEnabled(enabled);
}

int TfmeRangeSlider::BgLeft() const { return kMarkWidth / 2; }
int TfmeRangeSlider::BgWidth() const { return std::max(0, width() - 2 * (kMarkWidth / 2) - 1); }

int TfmeRangeSlider::CentreOf(int value) const {
    const double span = static_cast<double>(max_) - min_;
    if (span <= 0) return BgLeft();
    return BgLeft() + static_cast<int>(std::lround(BgWidth() * ((static_cast<double>(value) - min_) / span)));
}

int TfmeRangeSlider::ValueAt(int centre) const {
    if (BgWidth() <= 0) return min_;
    const double span = static_cast<double>(max_) - min_;
    return min_ + static_cast<int>(std::lround((static_cast<double>(centre) - BgLeft()) * span / BgWidth()));
}

void TfmeRangeSlider::PlaceBar(QWidget* bar, int from, int to) {
    const int left = std::min(from, to);
    bar->setGeometry(left, bar == imgSel1_ ? kWaterTop + 3 : kBarTop + 1, std::max(1, std::abs(to - from) + 1),
                     bar == imgSel1_ ? 3 : kBarHeight - 2);
}

void TfmeRangeSlider::Place() {
    imgBackground_->setGeometry(BgLeft(), kBarTop, BgWidth() + 1, kBarHeight);
    const auto put = [this](MarkId id, int value, int top) {
        marks_[id]->move(CentreOf(value) - kMarkWidth / 2, top);
    };
    put(kTrimStartMark, trimStart_, kTrimTop);
    put(kTrimEndMark, trimEnd_, kTrimTop);
    put(kWaterStartMark, waterStart_, kWaterTop);
    put(kWaterEndMark, waterEnd_, kWaterTop);
    put(kPos, position_, kPosTop);
    PlaceBar(imgSel_, CentreOf(trimStart_), CentreOf(trimEnd_));
    PlaceBar(imgSel1_, CentreOf(waterStart_), CentreOf(waterEnd_));
}

void TfmeRangeSlider::resizeEvent(QResizeEvent* e) {
    QFrame::resizeEvent(e);
    Place();
}

TfmeRangeSlider::MarkId TfmeRangeSlider::MarkOf(QObject* o) const {
    for (int i = 0; i < kMarkCount; ++i)
        if (marks_[i] == o) return static_cast<MarkId>(i);
    return kNone;
}

// Moves a held mark so that the point where it was grabbed stays under the
// mouse, within the limits of its kind. A mark pushed against a limit takes
// the limit's value exactly.
void TfmeRangeSlider::Drag(MarkId mark, int mouseX) {
    const int centre = mouseX - grabOffset_;
    const auto between = [&](int lo, int hi) {
        if (centre <= CentreOf(lo)) return lo;
        if (centre >= CentreOf(hi)) return hi;
        return std::max(lo, std::min(ValueAt(centre), hi));
    };
    switch (mark) {
        case kPos: position_ = between(trimStart_, trimEnd_); break;
        case kTrimStartMark:
            trimStart_ = between(min_, trimEnd_);
            position_ = trimStart_;  // the position follows a dragged trim mark
            break;
        case kTrimEndMark:
            trimEnd_ = between(trimStart_, max_);
            position_ = trimEnd_;
            break;
        case kWaterStartMark: waterStart_ = between(std::min(min_, waterEnd_), waterEnd_); break;
        case kWaterEndMark: waterEnd_ = between(waterStart_, std::max(max_, waterStart_)); break;
        default: return;
    }
    Place();
}

// phase: 0 pressed, 1 moved, 2 released.
void TfmeRangeSlider::Report(MarkId mark, int phase, Qt::MouseButton button) {
    const auto range = [&](const RangeCallback* callbacks, int start, int end, int which) {
        if (callbacks[phase]) callbacks[phase](start, end, which);
    };
    const RangeCallback trim[] = {onTrimPressed, onTrimMoved, onTrimReleased};
    const RangeCallback water[] = {onWaterPressed, onWaterMoved, onWaterReleased};
    switch (mark) {
        case kTrimStartMark: range(trim, trimStart_, trimEnd_, kStartMark); break;
        case kTrimEndMark: range(trim, trimStart_, trimEnd_, kEndMark); break;
        case kWaterStartMark: range(water, waterStart_, waterEnd_, kStartMark); break;
        case kWaterEndMark: range(water, waterStart_, waterEnd_, kEndMark); break;
        case kPos:
            if (phase == 0 && onPositionPressed) onPositionPressed(position_, button);
            if (phase == 1 && onPositionMoved) onPositionMoved(position_);
            if (phase == 2 && onPositionReleased) onPositionReleased(position_, button);
            break;
        default: break;
    }
}

bool TfmeRangeSlider::eventFilter(QObject* watched, QEvent* e) {
    const MarkId mark = MarkOf(watched);
    if (mark == kNone) return QFrame::eventFilter(watched, e);
    switch (e->type()) {
        case QEvent::MouseButtonPress: {
            auto* me = static_cast<QMouseEvent*>(e);
            if (!enabled_ || held_ != kNone) return true;  // one mark at a time
            held_ = mark;
            const int x = mapFromGlobal(me->globalPosition().toPoint()).x();
            grabOffset_ = x - (marks_[mark]->x() + kMarkWidth / 2);
            Report(mark, 0, me->button());
            return true;
        }
        case QEvent::MouseMove: {
            if (held_ != mark) return true;  // a move is ignored while another mark is held
            Drag(mark, mapFromGlobal(static_cast<QMouseEvent*>(e)->globalPosition().toPoint()).x());
            Report(mark, 1, Qt::NoButton);
            return true;
        }
        case QEvent::MouseButtonRelease: {
            if (held_ != mark) return true;
            held_ = kNone;
            Report(mark, 2, static_cast<QMouseEvent*>(e)->button());
            return true;
        }
        case QEvent::Enter:
        case QEvent::Leave: {
            if (!onHint) break;
            static const TLangKey* const kKeys[kMarkCount] = {&panelkey::kSliderPosition, &panelkey::kSliderStart,
                                                              &panelkey::kSliderEnd, &panelkey::kSliderWaterStart,
                                                              &panelkey::kSliderWaterEnd};
            onHint(marks_[mark], e->type() == QEvent::Enter ? lang_->Text(*kKeys[mark]) : QString());
            break;
        }
        default: break;
    }
    return QFrame::eventFilter(watched, e);
}
