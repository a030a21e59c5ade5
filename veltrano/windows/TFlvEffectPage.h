#pragma once

// The Effect page: brightness, contrast, volume, flip, deinterlacing and one
// of the named effects, each shown as a thumbnail of the current picture.

#include <QImage>
#include <QWidget>

#include "projcore/Records.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QSlider;
class QSpinBox;
class TClipEditLink;

class TFlvEffectPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kEffectCount = 12;
    static const char* const kEffectNames[kEffectCount];
    static constexpr QSize kThumbnailSize{64, 48};

    TFlvEffectPage(TClipEditLink& link, QWidget* parent = nullptr);

    // Reads the clip's settings into the controls (the clip was just selected).
    void Fill();
    void Clear();
    void Enable(bool picture, bool volume);
    void Reset();
    // Each effect's item shows the picture with that effect, made by the engine
    // (kept while the clip has an effect of its own, which the picture already shows).
    void RefreshThumbnails(const QImage& frame);

    // Notifications of the clip's effect settings.
    void OnBrightness(intptr_t value);
    void OnContrast(intptr_t value);
    void OnVolume(intptr_t value);
    void OnEffectName(const char* name);
    void OnFlip(intptr_t value);
    void OnDeinterlace(intptr_t value);

    QPushButton* ApplyButton() const { return btnApplyEffect_; }
    QComboBox* EffectBox() const { return cbxEffect_; }

private:
    struct Pair {
        QSpinBox* spin;
        QSlider* bar;
    };
    Pair MakePair(const char* spinName, const char* barName, int min, int max, int id, int offset);
    void SetPair(const Pair& pair, int value);
    void SelectEffect(const QString& name, Qt::CaseSensitivity cs);

    TClipEditLink& link_;
    Pair brightness_, contrast_, volume_;
    QComboBox* cbxFlip_;
    QComboBox* cbxEffect_;
    QCheckBox* chkDeinterlace_;
    QPushButton* btnApplyEffect_;
    QPushButton* btnResetEffect_;
    QList<QWidget*> pictureControls_, volumeControls_;
};
