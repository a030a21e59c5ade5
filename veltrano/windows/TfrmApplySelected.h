#pragma once

// Chooses the clips a setting is applied to: every sequence with its clips,
// each with a check box. Only checked clips count.

#include <QDialog>
#include <QList>
#include <QPoint>

#include "app/EngineApi.h"

class QTreeWidget;
class TMyLang;
class TMyLangDispatcher;

class TfrmApplySelected : public QDialog {
    Q_OBJECT
public:
    struct Target {
        int sequence, clip;
        bool operator==(const Target&) const = default;
    };

    // Fills the tree from the sequence manager (nothing when it is 0).
    TfrmApplySelected(TEngineApi& engine, CBaseListener* seqMgr, TMyLangDispatcher* languages,
                      QWidget* parent = nullptr);

    // After OK: the checked clips in the tree's order.
    const QList<Target>& Targets() const { return targets_; }
    QTreeWidget* Tree() const { return cteeSeq_; }

    void accept() override;

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;

private:
    void Fill(TEngineApi& engine, CBaseListener* seqMgr);

    TMyLang* lang_;
    QTreeWidget* cteeSeq_;
    QList<Target> targets_;
    QPoint dragStart_;
};
