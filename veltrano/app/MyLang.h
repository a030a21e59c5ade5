#pragma once

// The language component of a window: names the window's language unit,
// looks keys up in it and translates the window's controls. Each window and
// frame has one; when the language changes it raises langChanged and the
// window translates itself.

#include <QObject>
#include <QString>

#include "app/LangKeys.h"
#include "linguakit/linguakit.h"

class QWidget;
class TMyLangDispatcher;

// The six texts an item may carry.
struct TLangItem {
    QString caption, hint, resource, fontName, fontSize, value;
};

class TMyLang : public QObject {
    Q_OBJECT
public:
    enum Attr { kCaption, kHint, kResource, kFontName, kFontSize, kValue };

    // owner: the window or frame the component sits on (it becomes its parent).
    TMyLang(QWidget* owner, const QString& unitName, TMyLangDispatcher* dispatcher);
    ~TMyLang() override;

    const QString& LangUnitName() const { return unitName_; }

    // The attribute of an item of this unit; empty when the item or attribute
    // is missing (or there are no tables).
    QString Text(const QString& key, Attr attr = kCaption);
    QString Text(const TLangKey& key) { return Text(QString::fromLatin1(key.key)); }

    // Throws std::runtime_error("Language control lock unit <name> fail!").
    void LockUnit();
    // Throws std::runtime_error("Language control unlock unit fail!").
    void UnlockUnit();

    // Font face and size from the unit "index" (items "FontName", "FontSize").
    void ApplyFormFont(QWidget* form);
    // Depth-first over root and what it owns, leaving out frames that carry
    // their own language component. The unit must be locked.
    void TranslateTree(QObject* root);
    // ApplyFormFont, LockUnit, TranslateTree, UnlockUnit; a missing unit
    // leaves the window as designed.
    void TranslateForm(QWidget* form);

signals:
    void langChanged(int languageIndex);
    // For controls the built-in branches do not know.
    void customTranslate(QObject* component, const TLangItem& item);

private:
    static void OnLibraryLanguageChanged(void* context, linguakit_handle lib, int index);
    bool ReadItem(const QString& name, TLangItem& item);
    void Apply(QObject* obj);
    void Visit(QObject* obj, QObject* root);

    QString unitName_;
    TMyLangDispatcher* dispatcher_;
    bool registered_ = false;
    linguakit_unit_handle lockedUnit_ = nullptr;
};
