#pragma once

// The see-through colour dialog of an image watermark: the picture on the
// left (click it to take a colour), the watermark as it will be drawn on the
// right, with the colour, its tolerance and the watermark's alpha.

#include <QColor>
#include <QDialog>
#include <QImage>
#include <QPoint>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TMyLang;
class TMyLangDispatcher;

class TfrmTranColor : public QDialog {
    Q_OBJECT
public:
    static constexpr int kBoxWidth = 253, kBoxHeight = 261;

    explicit TfrmTranColor(TMyLangDispatcher* languages, QWidget* parent = nullptr);

    void SetTransparencyEnabled(bool enabled);
    bool TransparencyEnabled() const;
    void SetAlpha(int alpha);
    int GetAlpha() const;
    void SetColor(const QColor& colour);
    QColor Color() const { return colour_; }
    void SetTolerance(int tolerance);
    int GetTolerance() const;
    // The picture to show; forgets a path given before.
    void SetBitmap(const QImage& bitmap);
    // Reads the picture from a file; false (and nothing changes) when the
    // file gives no picture.
    bool SetPicturePath(const QString& path);

    // The composed watermark shown on the right.
    QImage Result() const { return result_; }
    // Takes the colour of the picture's pixel under a point of img1.
    void PickAt(QPoint point);

    void accept() override;

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void ShowPicture(const QImage& picture);
    void ColourFromBoxes();
    void Redraw();

    TMyLang* lang_;
    QLabel* img1_;
    QLabel* img2_;
    QSlider* trbTolerance_;
    QSlider* trbAlpha_;
    QLabel* lblTolerance_;
    QLabel* lblAlpha_;
    QLineEdit* edtR_;
    QLineEdit* edtG_;
    QLineEdit* edtB_;
    QFrame* pnlColor_;
    QCheckBox* chbTransparency_;
    QColor colour_{Qt::white};
    QString path_;
    QImage picture_;  // as loaded or handed in
    QSize shown_;     // its size in img1
    QImage result_;
    QPoint dragStart_;
    bool filling_ = false;  // the boxes are being set from the colour
};
