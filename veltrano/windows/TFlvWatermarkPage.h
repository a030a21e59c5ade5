#pragma once

// The Watermark page: the edited clip's watermarks in the engine's order,
// adding pictures and texts, ordering and removing them, and the selected
// one's picture, text, place, size, see-through colour, font and timing.
// Every editor reads the watermark's record, changes one field and sends it
// back; the engine's notifications refresh the list and the editors.

#include <QWidget>
#include <functional>

#include "projcore/Records.h"

class QComboBox;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class QTreeWidget;
class TClipEditLink;
class TKeyEdit;
class TMyFontDialog;
class TMyLangDispatcher;
class TfmeRangeSlider;

class TFlvWatermarkPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxCaption = 1024;  // characters of a text watermark

    TFlvWatermarkPage(TClipEditLink& link, TfmeRangeSlider& slider, TMyLangDispatcher* languages,
                      QWidget* parent = nullptr);

    // The list from the engine (a clip was just selected).
    // The Type column in the current language.
    void Retranslate();
    void Fill();
    // The list and the editors emptied, the item editors off (the target is changing).
    void ClearAll();
    void EnableGroup(bool on);
    int SelectedRow() const;
    int RowCount() const;

    // Notifications of the clip's watermark manager.
    void OnAdded(int index);
    void OnRemoving(int index);
    void OnCleared();
    void OnSelected(int index);
    void OnStartTime(uint32_t start);
    void OnEndTime(uint32_t end);
    void OnFade();
    void OnPlace(const WaterMarkPlace& place);
    void OnDeselected();
    void OnMoved(const WaterMarkMove& move);

    // The slider's watermark marks.
    void OnSliderPressed();
    void OnSliderMoved(int start, int end, int which);

    void AddImage();
    void AddText();

    QPushButton* ApplyButton() const { return btnApplyWatermark_; }
    QMenu* AddMenu() const { return ppmLogo_; }
    TMyFontDialog* FontDialog() const { return fontDialog_; }

    // Picks a picture file; a file dialog unless replaced (tests).
    std::function<QString()> choosePicture;
    // The page's drawing and slider modes are to be applied again.
    std::function<void()> onModeChanged;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildImageTab(QWidget* tab);
    void BuildTextTab(QWidget* tab);
    void BuildTimeTab(QWidget* tab);
    QString ChoosePictureWithDialog();

    QString ReadValue(int index, uint32_t* type);
    void SetRow(int index, uint32_t type, const QString& value, bool insert);
    void RefreshButtons();
    void EnableItemEditors(bool image, bool text);
    void ClearEditors();
    void ReadSelected();
    void ReadTiming();
    void RowSelectionChanged();

    void ChangePosition(int field, int value);  // 0 origin, 1 x, 2 y
    void ChangeSize();
    void ChangeImageFile();
    void ChangeCaption();
    void TimingEntered(int which);  // 0 start, 1 end, 2 fade-in, 3 fade-out
    void TimingEscaped(int which);
    void MarkTime(bool end);
    void ChooseSeeThrough();
    void ChooseFont();

    TClipEditLink& link_;
    TfmeRangeSlider& slider_;
    TMyLangDispatcher* languages_;
    bool groupEnabled_ = false;

    QTreeWidget* lvWatermark_;
    QPushButton* btnAddWatermark_;
    QMenu* ppmLogo_;
    QPushButton* btnDelWatermark_;
    QPushButton* btnClearWatermark_;
    QPushButton* btnMoveUpWater_;
    QPushButton* btnMoveDownWater_;
    QPushButton* btnApplyWatermark_;
    QTabWidget* pgcWatermark_;
    QWidget* tsImage_;
    QWidget* tsText_;
    QWidget* tsTimeOffset_;
    // Image.
    QLineEdit* edtBrowse_;
    QToolButton* btnBrowseFile_;
    QComboBox* cbxImageOrigin_;
    QSpinBox* edtImageLeft_;
    QSpinBox* edtImageTop_;
    QSpinBox* edtImageWidth_;
    QSpinBox* edtImageHeight_;
    QToolButton* btnImageSizeLock_;
    QPushButton* btnBrowse_;
    // Text.
    QPlainTextEdit* mmoCaption_;
    QPushButton* btnFont_;
    QComboBox* cbxTextOrigin_;
    QSpinBox* spedtTextLeft_;
    QSpinBox* spedtTextTop_;
    // Time.
    TKeyEdit* edtWaterStartTime_;
    TKeyEdit* edtWaterEndTime_;
    TKeyEdit* edtFadein_;
    TKeyEdit* edtFadeout_;
    QList<QWidget*> imageEditors_, textEditors_, timeEditors_;

    TMyFontDialog* fontDialog_;
};
