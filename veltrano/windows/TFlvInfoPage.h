#pragma once

// The Preview page: the edited clip's facts, one row per fact, under
// headings for the picture and the sound.

#include <QWidget>

#include "projcore/Records.h"

class QTreeWidget;
class TClipEditLink;

class TFlvInfoPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRowCount = 14;

    TFlvInfoPage(TClipEditLink& link, QWidget* parent = nullptr);

    void Fill(const MediaFileInfo& info, const QString& path);
    void Clear();
    // The keys' texts in the current language.
    void Retranslate();
    QTreeWidget* List() const { return lvFlvInfo_; }

private:
    TClipEditLink& link_;
    QTreeWidget* lvFlvInfo_;
};
