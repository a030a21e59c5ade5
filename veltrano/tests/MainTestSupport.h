#pragma once

// What the main window's tests share: a settings and language holder in a
// folder of their own, fixture paths, and answering message dialogs.

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
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

// Answers a file dialog with files of one folder.
inline void ChooseFiles(QWidget* modal, const QString& folder, const QStringList& names) {
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    if (!dialog) qFatal("a file dialog was expected");
    dialog->setDirectory(folder);
    QStringList quoted;
    for (const QString& n : names) quoted << QLatin1Char('"') + n + QLatin1Char('"');
    dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
        ->setText(names.size() == 1 ? names[0] : quoted.join(QLatin1Char(' ')));
    static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
}

// Triggers `saveAs` and answers the save dialog it opens with `path`.
inline void SaveProjectAs(QAction* saveAs, const QString& path) {
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            dialog->setDirectory(QFileInfo(path).path());
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
                name->setText(QFileInfo(path).fileName());
            static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
        }
    });
    timer.start();
    saveAs->trigger();
}
