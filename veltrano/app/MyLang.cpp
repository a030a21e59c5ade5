#include "app/MyLang.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QWidget>
#include <stdexcept>

#include "app/LangDispatcher.h"

namespace {

void ApplyFont(QWidget* w, const TLangItem& item) {
    if (item.fontName.isEmpty() && item.fontSize.isEmpty()) return;
    QFont font = w->font();
    if (!item.fontName.isEmpty()) font.setFamily(item.fontName);
    bool ok = false;
    const int size = item.fontSize.toInt(&ok);
    if (ok && size > 0) font.setPointSize(size);
    w->setFont(font);
}

void ApplyHint(QWidget* w, const TLangItem& item) {
    if (!item.hint.isEmpty()) w->setToolTip(item.hint);
}

}  // namespace

TMyLang::TMyLang(QWidget* owner, const QString& unitName, TMyLangDispatcher* dispatcher)
    : QObject(owner), unitName_(unitName), dispatcher_(dispatcher) {
    setObjectName(QStringLiteral("myLang"));
    if (dispatcher_ && dispatcher_->Handle())
        registered_ = linguakit_register_callback(dispatcher_->Handle(), &TMyLang::OnLibraryLanguageChanged, this);
}

TMyLang::~TMyLang() {
    if (registered_ && dispatcher_ && dispatcher_->Handle())
        linguakit_unregister_callback(dispatcher_->Handle(), &TMyLang::OnLibraryLanguageChanged, this);
}

void TMyLang::OnLibraryLanguageChanged(void* context, linguakit_handle, int index) {
    auto* self = static_cast<TMyLang*>(context);
    self->lockedUnit_ = nullptr;  // a unit of the old language
    try {
        emit self->langChanged(index);
    } catch (...) {
        // A window that fails to translate keeps its old texts; the others go on.
    }
}

void TMyLang::LockUnit() {
    if (lockedUnit_) return;
    linguakit_handle lib = dispatcher_ ? dispatcher_->Handle() : nullptr;
    lockedUnit_ = lib ? linguakit_lock_lu(lib, unitName_.toUtf8().constData()) : nullptr;
    if (!lockedUnit_)
        throw std::runtime_error("Language control lock unit " + unitName_.toStdString() + " fail!");
}

void TMyLang::UnlockUnit() {
    if (!lockedUnit_) throw std::runtime_error("Language control unlock unit fail!");
    linguakit_unlock_lu(dispatcher_->Handle(), lockedUnit_);
    lockedUnit_ = nullptr;
}

QString TMyLang::Text(const QString& key, Attr attr) {
    static const char* const kNames[] = {"Caption", "Hint", "Resource", "FontName", "FontSize", "Value"};
    const bool wasLocked = lockedUnit_ != nullptr;
    try {
        LockUnit();
    } catch (const std::runtime_error&) {
        return {};
    }
    QString text;
    if (linguakit_item_handle item = linguakitu_lock_item(lockedUnit_, key.toUtf8().constData())) {
        text = QString::fromUtf8(linguakiti_query_attr(item, kNames[attr]));
        linguakitu_unlock_item(item);
    }
    if (!wasLocked) UnlockUnit();
    return text;
}

bool TMyLang::ReadItem(const QString& name, TLangItem& out) {
    linguakit_item_handle item = linguakitu_lock_item(lockedUnit_, name.toUtf8().constData());
    if (!item) return false;
    auto attr = [item](const char* a) { return QString::fromUtf8(linguakiti_query_attr(item, a)); };
    out = {attr("Caption"), attr("Hint"), attr("Resource"), attr("FontName"), attr("FontSize"), attr("Value")};
    linguakitu_unlock_item(item);
    return true;
}

void TMyLang::ApplyFormFont(QWidget* form) {
    linguakit_handle lib = dispatcher_ ? dispatcher_->Handle() : nullptr;
    linguakit_unit_handle index = lib ? linguakit_lock_lu(lib, "index") : nullptr;
    if (!index) return;
    TLangItem font;
    auto value = [index](const char* name) {
        linguakit_item_handle item = linguakitu_lock_item(index, name);
        QString text = item ? QString::fromUtf8(linguakiti_query_attr(item, "Value")) : QString();
        if (item) linguakitu_unlock_item(item);
        return text;
    };
    // "CharSet" has no meaning with UTF-8 texts and is not read.
    font.fontName = value("FontName");
    font.fontSize = value("FontSize");
    linguakit_unlock_lu(lib, index);
    ApplyFont(form, font);
}

void TMyLang::TranslateForm(QWidget* form) {
    form->setUpdatesEnabled(false);
    ApplyFormFont(form);
    try {
        LockUnit();
        TranslateTree(form);
        UnlockUnit();
    } catch (const std::runtime_error&) {
        // No unit for this window in the current language: it keeps its texts.
    }
    form->setUpdatesEnabled(true);
}

void TMyLang::TranslateTree(QObject* root) { Visit(root, root); }

void TMyLang::Visit(QObject* obj, QObject* root) {
    if (obj != root) {
        // A frame with its own language component translates itself.
        for (QObject* child : obj->children())
            if (child != this && qobject_cast<TMyLang*>(child)) return;
    }
    Apply(obj);
    for (QObject* child : obj->children()) Visit(child, root);
}

void TMyLang::Apply(QObject* obj) {
    const QString name = obj->objectName();
    if (name.isEmpty() || obj == this) return;
    if (auto* tree = qobject_cast<QTreeWidget*>(obj)) {
        // Column i takes its caption from the item "<list>.Column<i>".
        for (int i = 0; i < tree->columnCount(); ++i) {
            TLangItem column;
            if (ReadItem(name + QStringLiteral(".Column") + QString::number(i), column) && !column.caption.isEmpty())
                tree->headerItem()->setText(i, column.caption);
        }
    }
    if (auto* combo = qobject_cast<QComboBox*>(obj)) {
        // Item i takes its text from the item "<combo>.Item<i>".
        for (int i = 0; i < combo->count(); ++i) {
            TLangItem entry;
            if (ReadItem(name + QStringLiteral(".Item") + QString::number(i), entry) && !entry.caption.isEmpty())
                combo->setItemText(i, entry.caption);
        }
    }
    TLangItem item;
    if (!ReadItem(name, item)) return;
    const QString& caption = item.caption;
    if (auto* action = qobject_cast<QAction*>(obj)) {
        if (!caption.isEmpty()) action->setText(caption);
        if (!item.hint.isEmpty()) {
            action->setToolTip(item.hint);
            action->setStatusTip(item.hint);
        }
    } else if (auto* dialog = qobject_cast<QFileDialog*>(obj)) {
        if (!caption.isEmpty()) dialog->setWindowTitle(caption);
        if (!item.hint.isEmpty()) dialog->setNameFilter(item.hint);
    } else if (auto* menu = qobject_cast<QMenu*>(obj)) {
        if (!caption.isEmpty()) menu->setTitle(caption);
        ApplyHint(menu, item);
    } else if (auto* button = qobject_cast<QAbstractButton*>(obj)) {
        if (!caption.isEmpty()) button->setText(caption);
        ApplyHint(button, item);
        ApplyFont(button, item);
    } else if (auto* label = qobject_cast<QLabel*>(obj)) {
        if (!caption.isEmpty()) label->setText(caption);
        ApplyHint(label, item);
        ApplyFont(label, item);
    } else if (auto* group = qobject_cast<QGroupBox*>(obj)) {
        if (!caption.isEmpty()) group->setTitle(caption);
        ApplyHint(group, item);
        ApplyFont(group, item);
    } else if (qobject_cast<QLineEdit*>(obj) || qobject_cast<QComboBox*>(obj) ||
               qobject_cast<QAbstractSpinBox*>(obj)) {
        auto* w = static_cast<QWidget*>(obj);
        ApplyHint(w, item);
        ApplyFont(w, item);
    } else if (auto* w = qobject_cast<QWidget*>(obj); w && w->isWindow()) {
        if (!caption.isEmpty()) w->setWindowTitle(caption);
        ApplyHint(w, item);
        ApplyFont(w, item);
    } else {
        try {
            emit customTranslate(obj, item);
        } catch (...) {
        }
    }
}
