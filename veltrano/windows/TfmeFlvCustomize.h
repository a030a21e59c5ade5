#pragma once

// The clip customize panel: the one clip selected in the sequence list,
// previewed with its settings, and its trim, crop, watermarks and effects
// on four pages. The panel keeps no copy of the settings: every control
// reads the clip edit manager, every action is one message to it, and the
// engine's notifications bring the values back.

#include <QFrame>
#include <QPointer>
#include <functional>

#include "app/EngineApi.h"
#include "app/ListenerWrapper.h"
#include "app/WindowMessages.h"

class QLabel;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class TClipEditLink;
class TFlvClipPage;
class TFlvEffectPage;
class TFlvInfoPage;
class TFlvWatermarkPage;
class TIniInfo;
class TMyLang;
class TMyLangDispatcher;
class TPreviewSurface;
class TfmeRangeSlider;
class TfrmPopupPreview;

class TfmeFlvCustomize : public QFrame, public TWindowMessageReceiver {
    Q_OBJECT
public:
    enum Page { kPreviewPage = 0, kClipPage = 1, kWatermarkPage = 2, kEffectPage = 3 };
    // A player notification raised on an engine thread, handled on the window thread.
    static constexpr int kClipPreviewNote = 3047;

    TfmeFlvCustomize(TEngineApi& engine, TIniInfo& ini, TMyLangDispatcher* languages, QWidget* parent = nullptr);
    ~TfmeFlvCustomize() override;

    // The engine's notifications for the panel come through this wrapper.
    // The owner unsubscribes (or lets the engine go) before the wrapper goes.
    void Subscribe(TListenerWrapper& wrapper);
    void Unsubscribe();
    // The sequence manager and clip edit manager of the current project;
    // null after it closed (the panel is then cleared and inert).
    void SetHandles(CBaseListener* seqMgr, CBaseListener* clipEdit);
    void SetTarget(int sequence, int clip);
    void Clear();
    void Refit();

    // Owner callbacks.
    std::function<void(QWidget* control, const QString& text)> onHint;
    std::function<void(int sequence, const EditTrim& trim, int clip)> onTrimChanged;
    std::function<void(bool all, int clip, int sequence)> onApplied;

    // The pieces, for the owner's layout and for tests.
    TPreviewSurface* Preview() const { return pnlPreview_; }
    TfmeRangeSlider* Slider() const { return slider_; }
    TfrmPopupPreview* Popup() const { return popup_; }
    QTabWidget* Pages() const { return pgcFlvCustomize_; }
    TFlvInfoPage* InfoPage() const { return infoPage_; }
    TFlvClipPage* ClipPage() const { return clipPage_; }
    TFlvWatermarkPage* WatermarkPage() const { return watermarkPage_; }
    TFlvEffectPage* EffectPage() const { return effectPage_; }
    QMenu* ApplyMenu() const { return ppmApply_; }
    int ClipKind() const;
    bool Paused() const { return paused_; }
    QString DurationText() const { return durationText_; }

    // The next snapshot's file: SnapPath, the clip's name, a number while taken.
    QString NextSnapshotPath() const;
    void TakeSnapshot();

    void OnWindowMessage(int message, const QByteArray& data) override;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    // Layout (TfmeFlvCustomize.cpp).
    void BuildPlayer();
    void BuildPages();
    void WireSlider();
    void Retranslate();

    // Engine notifications (TfmeFlvCustomizeEngine.cpp).
    void OnNotify(void* sender, uint32_t id, intptr_t p1, intptr_t p2);
    void OnEditClip(const TSeqSelection& selection);
    void OnPlayerNote(int32_t id, intptr_t p2, const QString& text);
    void EnableGroups(bool on);
    void TrimChanged();

    // Preview and player (TfmeFlvCustomizePlayer.cpp).
    void AttachEmbedded();
    void Fit();
    void Play();
    void ShowStopped();
    void ShowPlayingButtons(bool playing);
    void UpdatePosition();
    void ShowPosition(int32_t position);
    void PageChanged();
    int PageMode() const;
    QString PageCaption() const;
    void PreviewMouse(QPoint point, int kind);
    void SetPreviewCursor(intptr_t handle);
    void TogglePopup();
    void PopupClosed();
    void OpenSnapshotFolder();
    void ApplyToAll();
    void ApplyToSelected();
    void RefreshThumbnails();
    void OnPresented(TPreviewSurface* surface);

    TEngineApi& engine_;
    TIniInfo& ini_;
    TMyLangDispatcher* languages_;
    TMyLang* lang_;
    TClipEditLink* link_;
    TListenerWrapper* wrapper_ = nullptr;

    QWidget* pnlPreviewParent_;
    TPreviewSurface* pnlPreview_;
    QLabel* imgPreviewMask_;
    TfmeRangeSlider* slider_;
    QPushButton* btnPlay_;
    QPushButton* btnPause_;
    QPushButton* btnStop_;
    QPushButton* btnPreFrame_;
    QPushButton* btnNextFrame_;
    QPushButton* btnSnap_;
    QPushButton* btnOpen_;
    QPushButton* btnPopup_;
    QLabel* pnlCurPlayTime_;
    QTabWidget* pgcFlvCustomize_;
    TFlvInfoPage* infoPage_;
    TFlvClipPage* clipPage_;
    TFlvWatermarkPage* watermarkPage_;
    TFlvEffectPage* effectPage_;
    QMenu* ppmApply_;
    QTimer* tmrUpdatePos_;
    QPointer<TfrmPopupPreview> popup_;

    QString durationText_;
    bool paused_ = false;
    // The Effect page opened (or got a new clip): the next picture shown
    // makes its thumbnails, whether the clip plays or not.
    bool thumbnailsDue_ = false;
    bool pressed_ = false;  // a press on the embedded preview was forwarded
    int naturalWidth_ = 0, naturalHeight_ = 0;
};
