#pragma once

#include <QString>
#include <QStringList>

#include "linguakit/linguakit.h"

// The process-wide owner of the language tables and of the current language.
class TMyLangDispatcher {
public:
    TMyLangDispatcher() = default;
    ~TMyLangDispatcher() { Close(); }
    TMyLangDispatcher(const TMyLangDispatcher&) = delete;
    TMyLangDispatcher& operator=(const TMyLangDispatcher&) = delete;

    // Throws std::runtime_error("Load language path fail!") when the folder
    // holds no readable language.
    void Open(const QString& folder);
    void Close();

    // Makes the first language of that name (any case) current; false and
    // nothing changes when there is none.
    bool SelectLanguage(const QString& name);
    QString CurrentLanguageName() const;
    int LanguageCount() const;
    QStringList LanguageNames() const;

    linguakit_handle Handle() const { return handle_; }
    const QString& Folder() const { return folder_; }

private:
    QString folder_;
    linguakit_handle handle_ = nullptr;
};
