#pragma once

// The form of the text watermark's font dialog: face, style, size, strike-out,
// underline, colour and (for watermarks) alpha, with a sample.

#include <QColor>
#include <QDialog>
#include <QFont>

class QCheckBox;
class QComboBox;
class QFontComboBox;
class QGroupBox;
class QLabel;
class QSlider;
class TMyLang;
class TMyLangDispatcher;

class TMyFontDialogFrm : public QDialog {
    Q_OBJECT
public:
    explicit TMyFontDialogFrm(TMyLangDispatcher* languages, QWidget* parent = nullptr);

    // Shows a font, its colour and the alpha; the alpha group only when asked.
    void Show(const QFont& font, const QColor& colour, int alpha, bool showAlpha);
    QFont ChosenFont() const { return font_; }
    QColor ChosenColour() const { return colour_; }
    int ChosenAlpha() const;

private:
    void FaceChanged();
    void SizeChanged();
    void StyleChanged();
    void EffectsChanged();
    void ColourChanged();
    void SelectColour(const QColor& colour);
    void Sample();

    TMyLang* lang_;
    QFontComboBox* fcbbFont_;
    QComboBox* cbbFontStyle_;
    QComboBox* cbbFontSize_;
    QCheckBox* chkStrike_;
    QCheckBox* chkUnderLine_;
    QComboBox* ccbbFontColor_;
    QLabel* txtSample_;
    QGroupBox* grpAlpha_;
    QSlider* trbAlpha_;
    QLabel* lblAlpha_;
    QFont font_;
    QColor colour_{Qt::black};
    bool showing_ = false;  // the controls are being set from the font
};
