#include "windows/TClipEditLink.h"

#include <QEvent>
#include <QWidget>

#include "app/MyLang.h"
#include "windows/TfrmPrompt.h"

TClipEditLink::TClipEditLink(QWidget* owner, TMyLang* lang) : QObject(owner), owner_(owner), lang_(lang) {}

void TClipEditLink::Send(int32_t id, intptr_t p1, intptr_t p2) {
    if (Active()) engine->Send(clipEdit, id, p1, p2);
}

void TClipEditLink::SendToSequences(int32_t id, intptr_t p1, intptr_t p2) {
    if (engine && seqMgr) engine->Send(seqMgr, id, p1, p2);
}

EditTrim TClipEditLink::Trim() {
    EditTrim trim{0, 0, 0};
    SendRecord(msg::kEditGetTrim, trim);
    return trim;
}

Rect TClipEditLink::Crop() {
    Rect margins{0, 0, 0, 0};
    SendRecord(msg::kEditGetCrop, margins);
    return margins;
}

Rect TClipEditLink::CroppedSize() {
    Rect size{0, 0, 0, 0};  // the engine shrinks what it is given when the margins leave nothing
    SendRecord(msg::kEditGetCroppedSize, size);
    return size;
}

int32_t TClipEditLink::Position() {
    int32_t position = 0;
    Send(msg::kPlayerGetPosition, reinterpret_cast<intptr_t>(&position), sizeof position);
    return position;
}

bool TClipEditLink::ReadMediaInfo(int sequenceIndex, int clipIndex, MediaFileInfo& info, QString* path) {
    constexpr uint32_t kUnanswered = 0xFFFFFFFF;  // no clip there: the engine writes nothing
    info = MediaFileInfo{};
    info.duration = kUnanswered;
    if (engine && seqMgr && sequenceIndex >= 0) {
        TSeqClipQuery query{sequenceIndex, clipIndex, reinterpret_cast<intptr_t>(&info)};
        engine->Send(seqMgr, msg::kSeqGetMediaInfo, reinterpret_cast<intptr_t>(&query), sizeof query);
    }
    const bool answered = info.duration != kUnanswered;
    if (!answered) info = MediaFileInfo{};
    if (path) *path = QString::fromUtf8(info.path ? info.path : "");
    info.path = nullptr;  // the engine's string is only lent for the call
    return answered;
}

QString TClipEditLink::Text(const TLangKey& key) const { return lang_ ? lang_->Text(key) : QString(); }

void TClipEditLink::Warn(const QString& text) { ShowPrompt(text, 0, kIconWarning, 2, owner_); }

void TClipEditLink::SetHint(QWidget* control, const TLangKey& key) {
    hints_.insert(control, key);
    control->installEventFilter(this);
}

bool TClipEditLink::eventFilter(QObject* watched, QEvent* e) {
    if ((e->type() == QEvent::Enter || e->type() == QEvent::Leave) && hint) {
        auto it = hints_.constFind(watched);
        if (it != hints_.constEnd())
            hint(static_cast<QWidget*>(watched), e->type() == QEvent::Enter ? Text(*it) : QString());
    }
    return QObject::eventFilter(watched, e);
}

int ClipKindOf(const MediaFileInfo& info) {
    if (info.isFlv) {
        const bool video = info.videoCodec != -1, audio = info.audioFormat != -1;
        if (video && !audio) return 3;
        if (audio && !video) return 4;
        return 1;
    }
    return info.frameCount == 1 ? 2 : 3;
}
