#include "windows/TfmeResourceList.h"

#include <QApplication>
#include <QEvent>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/MyLang.h"
#include "windows/ResourcePlaces.h"
#include "windows/TfmeLocalResource.h"
#include "windows/TfrmLang.h"

TfmeResourceList::TfmeResourceList(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("fmeResList"));
    TfrmLang* holder = TfrmLang::Instance();
    lang_ = new TMyLang(this, QStringLiteral("fmeResourceList"), holder ? &holder->Languages() : nullptr);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(1, 1, 1, 1);
    layout_->setSpacing(2);
    connect(lang_, &TMyLang::langChanged, this, &TfmeResourceList::Retranslate);
}

void TfmeResourceList::SetPlaces(const QStringList& cacheFolders, const QString& historyFile) {
    cacheFolders_ = cacheFolders;
    historyFile_ = historyFile;
    placesSet_ = true;
}

TfmeLocalResource* TfmeResourceList::AddGroup(int groupType, const char* captionKey, const char* hintKey,
                                              const QIcon& icon) {
    auto* header = new QToolButton(this);
    header->setObjectName(QStringLiteral("grpHeader%1").arg(groupType));
    header->setProperty("langSkip", true);  // captioned from this frame's unit
    header->setIcon(icon);
    header->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    header->setAutoRaise(true);
    header->setCheckable(true);
    header->installEventFilter(this);
    auto* frame = new TfmeLocalResource(groupType, this);
    frame->hide();
    const int position = static_cast<int>(groups_.size());
    groups_.append({header, frame, captionKey, hintKey, false});
    layout_->addWidget(header);
    layout_->addWidget(frame, 1);
    connect(header, &QToolButton::clicked, this, [this, position] { Expand(position); });
    connect(frame, &TfmeLocalResource::hintChanged, this, &TfmeResourceList::hintChanged);
    Retranslate();
    return frame;
}

TfmeLocalResource* TfmeResourceList::Group(int position) const {
    return position >= 0 && position < groups_.size() ? groups_[position].frame : nullptr;
}

TfmeLocalResource* TfmeResourceList::GroupOfType(int groupType) const {
    for (const TFlvGroupItem& g : groups_)
        if (g.frame->GroupType() == groupType) return g.frame;
    return nullptr;
}

void TfmeResourceList::Expand(int position) {
    if (position < 0 || position >= groups_.size()) return;
    TFlvGroupItem& group = groups_[position];
    group.header->setChecked(true);
    if (position == expanded_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (!placesSet_) SetPlaces(resplaces::BrowserCacheFolders(), resplaces::DownloadHistoryFile());
    // The cache and download groups are read once; Refresh reads them again.
    if (!group.filled) {
        if (group.frame->GroupType() == 1) group.frame->FillBrowserCache(cacheFolders_);
        else if (group.frame->GroupType() == 2) group.frame->FillDownloads(historyFile_);
        group.filled = true;
    }
    if (expanded_ >= 0) {
        groups_[expanded_].frame->hide();
        groups_[expanded_].header->setChecked(false);
    }
    group.frame->show();
    expanded_ = position;
    QApplication::restoreOverrideCursor();
}

void TfmeResourceList::Clear() {
    for (TFlvGroupItem& g : groups_) {
        delete g.header;
        delete g.frame;
    }
    groups_.clear();
    expanded_ = -1;
}

void TfmeResourceList::Retranslate() {
    lang_->ApplyFormFont(this);
    for (TFlvGroupItem& g : groups_) {
        g.header->setText(lang_->Text(QLatin1String(g.captionKey)));
        g.header->setToolTip(lang_->Text(QLatin1String(g.hintKey)));
    }
}

bool TfmeResourceList::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::Enter || e->type() == QEvent::Leave) {
        for (const TFlvGroupItem& g : groups_)
            if (g.header == watched)
                emit hintChanged(e->type() == QEvent::Enter ? lang_->Text(QLatin1String(g.hintKey)) : QString());
    }
    return QWidget::eventFilter(watched, e);
}
