#pragma once

// The floating preview: the clip (or the sequence) at half, full or twice
// its size, on top of the other windows. The panel attaches it to the clip
// edit manager in place of the embedded preview; on the Clip and Watermark
// pages it forwards the mouse to the panel, which sends it to the engine.

#include <QPoint>
#include <QWidget>
#include <functional>

#include "app/EngineApi.h"

class QAction;
class QMenu;
class TIniInfo;
class TMyLang;
class TMyLangDispatcher;
class TPreviewSurface;

class TfrmPopupPreview : public QWidget {
    Q_OBJECT
public:
    enum MouseKind { kPress = 0, kMove = 1, kRelease = 2 };

    TfrmPopupPreview(TEngineApi& engine, TIniInfo& ini, TMyLangDispatcher* languages, QWidget* parent = nullptr);

    // Stores the target and the page's drawing mode, titles the window and
    // gives the engine this window's picture panel.
    void Attach(CBaseListener* seqMgr, CBaseListener* clipEdit, int mode, const QString& pageCaption, int clip,
                int sequence);
    // A new page: its mode, and its caption in place of the old one.
    void SetMode(const QString& pageCaption, int mode);
    // Sizes the window to the picture by the "PopupSizeType" setting.
    void Resize();

    TPreviewSurface* Preview() const { return pnlPreview_; }
    int Mode() const { return mode_; }
    QSize NaturalSize() const { return QSize(naturalWidth_, naturalHeight_); }
    QMenu* PictureMenu() const { return ppmPreview_; }

    std::function<void()> onClosed;
    std::function<void(QPoint point, int kind)> onMouse;
    std::function<void(QWidget* control, bool entered)> onHover;

protected:
    void closeEvent(QCloseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void ChooseSize(int sizeType);
    // 210581503 with the picture panel's area, when shown and changed.
    void SendArea();
    void Send(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);

    TEngineApi& engine_;
    TIniInfo& ini_;
    TMyLang* lang_;
    TPreviewSurface* pnlPreview_;
    QMenu* ppmPreview_;
    QAction* sizeItems_[3];
    CBaseListener* seqMgr_ = nullptr;
    CBaseListener* clipEdit_ = nullptr;
    int sequence_ = -1, clip_ = -1;
    int mode_ = 0;
    int naturalWidth_ = 0, naturalHeight_ = 0;
    bool pressed_ = false;
    Rect sentArea_{0, 0, 0, 0};
};
