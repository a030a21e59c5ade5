#pragma once

// The hidden holder of the settings and the language tables: created before
// the main window, destroyed after it (which writes the settings).

#include <QString>
#include <memory>

#include "app/IniInfo.h"
#include "app/LangDispatcher.h"

class TfrmLang {
public:
    // Reads dataFolder + "Defsetting.ini", opens the language folder and
    // selects English. A language folder that cannot be opened is reported by
    // LanguageError() and the program goes on without tables.
    TfrmLang(const QString& dataFolder, const QString& documentsFolder, const QString& languageFolder);
    ~TfrmLang();

    TIniInfo& Ini() { return *ini_; }
    TMyLangDispatcher& Languages() { return languages_; }
    const QString& LanguageError() const { return languageError_; }
    const QString& DataFolder() const { return dataFolder_; }

    // Writes the settings now and frees them (before a shut-down).
    void SaveSettings() { ini_->Save(); }

    // The one holder of the process, for windows made far from the main one.
    static TfrmLang* Instance();

private:
    QString dataFolder_;
    std::unique_ptr<TIniInfo> ini_;
    TMyLangDispatcher languages_;
    QString languageError_;
};
