#pragma once

// Checks that a window's texts exist in every language: each named control
// that shows a design text has an item in the window's unit.

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QStringList>
#include <QWidget>

#include "app/LangDispatcher.h"
#include "app/MyLang.h"

// The names of a window's items no language may lack.
inline QStringList MissingLanguageItems(QWidget* form, TMyLangDispatcher& languages) {
    auto* lang = form->findChild<TMyLang*>();
    if (!lang) return {QStringLiteral("(no language component)")};
    QList<QObject*> all = form->findChildren<QObject*>();
    all.prepend(form);
    QStringList missing;
    for (const QString& language : languages.LanguageNames()) {
        languages.SelectLanguage(language);
        for (QObject* obj : all) {
            if (obj->objectName().isEmpty() || obj->property("langSkip").toBool()) continue;
            QString shown;
            if (auto* b = qobject_cast<QAbstractButton*>(obj)) shown = b->text();
            else if (auto* l = qobject_cast<QLabel*>(obj)) shown = l->text();
            else if (auto* g = qobject_cast<QGroupBox*>(obj)) shown = g->title();
            else if (auto* w = qobject_cast<QWidget*>(obj); w && w->isWindow()) shown = w->windowTitle();
            if (!shown.isEmpty() && lang->Text(obj->objectName()).isEmpty())
                missing << language + QLatin1Char(':') + obj->objectName();
        }
    }
    languages.SelectLanguage(QStringLiteral("English"));
    return missing;
}
