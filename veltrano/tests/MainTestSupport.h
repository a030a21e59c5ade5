#pragma once

// What the main window's tests share: a settings and language holder in a
// folder of their own, fixture paths, and answering message dialogs.

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/AppPaths.h"
#include "windows/TfrmLang.h"
#include "windows/TfrmPrompt.h"

inline QString Fixture(const char* name) {
    return QStringLiteral(VELTRANO_FIXTURES_DIR) + QLatin1Char('/') + QLatin1String(name);
}

// The settings and the language tables, with $XDG_CONFIG_HOME (and $HOME)
// in a temporary folder so the user's own files are never touched.
class TestHolder {
public:
    TestHolder() {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        qputenv("XDG_CACHE_HOME", (config.path() + QStringLiteral("/cache")).toUtf8());
        qputenv("HOME", config.path().toUtf8());
        holder = std::make_unique<TfrmLang>(AppPaths::DataFolder(), AppPaths::DocumentsFolder(),
                                            AppPaths::LanguageFolder());
    }
    QTemporaryDir config;
    std::unique_ptr<TfrmLang> holder;
};

// Answers every message dialog that opens while it lives with the button in
// `slot` (the right one when that slot is empty), and keeps their texts.
class PromptLog : public QObject {
public:
    explicit PromptLog(int slot = 2) : slot_(slot) {
        timer_.setInterval(10);
        connect(&timer_, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* prompt = qobject_cast<TfrmPrompt*>(w);
                if (!prompt || !prompt->isVisible()) continue;
                texts << prompt->findChild<QLabel*>(QStringLiteral("lblText"))->text();
                QPushButton* button = prompt->SlotButton(slot_) ? prompt->SlotButton(slot_) : prompt->SlotButton(2);
                button->click();
            }
        });
        timer_.start();
    }
    void SetSlot(int slot) { slot_ = slot; }
    QStringList texts;

private:
    int slot_;
    QTimer timer_;
};
