#pragma once

// What the clip customize panel and its pages share: the engine handles,
// the edited target, the "updating" flag and the small reads every page
// makes. The panel keeps no copy of a clip's settings; a page reads the
// record from the engine, changes one field and sends it back.

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

#include "app/EngineApi.h"
#include "app/LangKeys.h"

class QWidget;
class TMyLang;

class TClipEditLink : public QObject {
    Q_OBJECT
public:
    TClipEditLink(QWidget* owner, TMyLang* lang);

    TEngineApi* engine = nullptr;
    CBaseListener* seqMgr = nullptr;
    CBaseListener* clipEdit = nullptr;
    int sequence = -1, clip = -1;  // the edited target; -1 none
    int clipKind = 1;              // 1 video+audio, 2 still picture, 3 video only or animation, 4 audio only
    // Set while the panel writes engine values into its own controls, so a
    // control's change handler does not send the value back.
    bool updating = false;
    // The owner's hint line: the control and its text, or no text on leaving.
    std::function<void(QWidget*, const QString&)> hint;

    // Messages go only while there is a clip edit manager and a target.
    bool Active() const { return engine && clipEdit && sequence != -1; }
    void Send(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);
    template <class T>
    void SendRecord(int32_t id, T& record) {
        Send(id, reinterpret_cast<intptr_t>(&record), sizeof record);
    }
    void SendToSequences(int32_t id, intptr_t p1 = 0, intptr_t p2 = 0);

    EditTrim Trim();
    Rect Crop();
    Rect CroppedSize();
    int32_t Position();
    // A clip's facts from the sequence manager; false (and info zeroed) when
    // there are none. The path is copied out before the next call.
    bool ReadMediaInfo(int sequenceIndex, int clipIndex, MediaFileInfo& info, QString* path = nullptr);

    QString Text(const TLangKey& key) const;
    void Warn(const QString& text);
    // Shows the key's text in the owner's hint line while the mouse is over
    // the control.
    void SetHint(QWidget* control, const TLangKey& key);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QWidget* owner_;
    TMyLang* lang_;
    QHash<QObject*, TLangKey> hints_;
};

// Sets the link's updating flag for a scope (nesting keeps the outer value).
class TUpdating {
public:
    explicit TUpdating(TClipEditLink& link) : link_(link), was_(link.updating) { link_.updating = true; }
    ~TUpdating() { link_.updating = was_; }
    TUpdating(const TUpdating&) = delete;
    TUpdating& operator=(const TUpdating&) = delete;

private:
    TClipEditLink& link_;
    bool was_;
};

// The clip's kind for enabling the panel's controls, from its facts.
int ClipKindOf(const MediaFileInfo& info);
