#pragma once

// The Clip page: the edited clip's trim (typed, marked at the position,
// stepped by frames or dragged on the slider) and its crop margins (typed
// here or dragged on the preview).

#include <QWidget>
#include <functional>

#include "projcore/Records.h"

class QLabel;
class QPushButton;
class QSpinBox;
class TClipEditLink;
class TKeyEdit;
class TfmeRangeSlider;

class TFlvClipPage : public QWidget {
    Q_OBJECT
public:
    TFlvClipPage(TClipEditLink& link, TfmeRangeSlider& slider, QWidget* parent = nullptr);

    // Reads the clip's trim and crop into the controls (the clip was just selected).
    void Fill(const MediaFileInfo& info);
    void Clear();
    void EnableTrim(bool on);
    void EnableCrop(bool on);
    // The slider's range and trim marks from a trim record.
    void SliderFromTrim(const EditTrim& trim);

    // Notifications of the clip's trim and crop.
    void OnTrimStart(uint32_t start);
    void OnTrimEnd(uint32_t end);
    void OnCropMargins(const Rect& margins);
    void UpdateCropLabel();

    // The slider's trim marks, while dragged and when let go.
    void OnSliderTrimMoved(int start, int end, int which);
    void OnSliderTrimReleased(int start, int end, int which);

    QPushButton* ApplyButton() const { return btnApplyTrimCrop_; }
    // Called after every trim notification (the owner's "trim changed").
    std::function<void()> onTrimChanged;

private:
    void StartEntered();
    void EndEntered();
    void MarginEdited(int side, int value);
    void ShowDuration();

    TClipEditLink& link_;
    TfmeRangeSlider& slider_;
    TKeyEdit* edtStartTime_;
    TKeyEdit* edtEndTime_;
    QLabel* lblDuration_;
    QSpinBox* margins_[4];  // edtL, edtT, edtR, edtB
    QLabel* lblVideoSizeValue_;
    QLabel* lblCropSizeValue_;
    QPushButton* btnApplyTrimCrop_;
    QList<QWidget*> trimControls_, cropControls_;
};

// "w X h (a : b)": the cropped size with its shape as n : 3 or n : 9.
QString CropSizeText(int width, int height);
