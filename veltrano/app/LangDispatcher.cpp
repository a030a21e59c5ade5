#include "app/LangDispatcher.h"

#include <QFile>
#include <stdexcept>

void TMyLangDispatcher::Open(const QString& folder) {
    Close();
    folder_ = folder;
    handle_ = linguakit_init(QFile::encodeName(folder).constData());
    if (!handle_) throw std::runtime_error("Load language path fail!");
}

void TMyLangDispatcher::Close() {
    if (handle_) linguakit_release(handle_);
    handle_ = nullptr;
}

bool TMyLangDispatcher::SelectLanguage(const QString& name) {
    const int count = LanguageCount();
    for (int i = 0; i < count; ++i) {
        if (QString::fromUtf8(linguakit_get_lang_name(handle_, i)).compare(name, Qt::CaseInsensitive) == 0)
            return linguakit_set_lang(handle_, i) != 0;
    }
    return false;
}

QString TMyLangDispatcher::CurrentLanguageName() const {
    if (!handle_) return {};
    return QString::fromUtf8(linguakit_get_lang_name(handle_, linguakit_get_lang(handle_)));
}

int TMyLangDispatcher::LanguageCount() const { return handle_ ? linguakit_get_lang_count(handle_) : 0; }

QStringList TMyLangDispatcher::LanguageNames() const {
    QStringList names;
    for (int i = 0; i < LanguageCount(); ++i) names << QString::fromUtf8(linguakit_get_lang_name(handle_, i));
    return names;
}
