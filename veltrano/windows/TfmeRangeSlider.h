#pragma once

// The bar under the clip preview: a position mark, the two trim marks with
// the bar between them, and the two watermark marks with theirs. It keeps
// only the values the panel hands in; dragging a mark calls the owner back
// with the values after the move.

#include <QFrame>
#include <functional>

class QLabel;
class TMyLang;
class TMyLangDispatcher;

class TfmeRangeSlider : public QFrame {
    Q_OBJECT
public:
    enum Which { kStartMark = 1, kEndMark = 2 };
    // Modes: which pairs of marks show besides the position mark.
    enum Mode { kPositionOnly = 0, kTrim = 1, kWatermark = 2, kBoth = 3 };

    using RangeCallback = std::function<void(int start, int end, int which)>;
    using PositionButtonCallback = std::function<void(int position, Qt::MouseButton button)>;
    using PositionCallback = std::function<void(int position)>;
    using HintCallback = std::function<void(QWidget* control, const QString& text)>;

    explicit TfmeRangeSlider(TMyLangDispatcher* languages, QWidget* parent = nullptr);

    void Reset();
    void SetMax(int v);
    void SetMin(int v);
    void SetTrimStart(int v);
    void SetTrimEnd(int v);
    void SetWatermarkStart(int v);
    void SetWatermarkEnd(int v);
    void SetPosition(int v);  // kept within the trim marks
    void SetMode(int mode);
    void SetEnabled(bool enabled);

    int GetMin() const { return min_; }
    int GetMax() const { return max_; }
    int GetPosition() const { return position_; }
    int GetTrimStart() const { return trimStart_; }
    int GetTrimEnd() const { return trimEnd_; }
    int GetWatermarkStart() const { return waterStart_; }
    int GetWatermarkEnd() const { return waterEnd_; }
    int GetMode() const { return mode_; }
    bool IsSliderEnabled() const { return enabled_; }

    // Geometry: the centre of a value's mark, and the value at a centre.
    int CentreOf(int value) const;
    int ValueAt(int centre) const;

    RangeCallback onTrimPressed, onTrimMoved, onTrimReleased;
    RangeCallback onWaterPressed, onWaterMoved, onWaterReleased;
    PositionButtonCallback onPositionPressed, onPositionReleased;
    PositionCallback onPositionMoved;
    HintCallback onHint;

protected:
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    enum MarkId { kNone = -1, kPos = 0, kTrimStartMark, kTrimEndMark, kWaterStartMark, kWaterEndMark, kMarkCount };

    QLabel* MakeMark(const char* name, const QString& designHint, int kind);
    void Place();
    void PlaceBar(QWidget* bar, int from, int to);
    int BgLeft() const;
    int BgWidth() const;
    void Drag(MarkId mark, int mouseX);
    void Report(MarkId mark, int phase, Qt::MouseButton button);
    MarkId MarkOf(QObject* o) const;

    TMyLang* lang_;
    QFrame* imgBackground_;
    QFrame* imgSel_;
    QFrame* imgSel1_;
    QLabel* marks_[kMarkCount] = {};
    int min_ = 0, max_ = 100;
    int trimStart_ = 0, trimEnd_ = 100;
    int waterStart_ = 0, waterEnd_ = 0;
    int position_ = 0;
    int mode_ = kPositionOnly;
    bool enabled_ = true;
    MarkId held_ = kNone;
    int grabOffset_ = 0;
};
