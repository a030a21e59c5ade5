#include "windows/TfrmLang.h"

#include <stdexcept>

namespace {
TfrmLang* g_instance = nullptr;
}

TfrmLang::TfrmLang(const QString& dataFolder, const QString& documentsFolder, const QString& languageFolder)
    : dataFolder_(dataFolder),
      ini_(std::make_unique<TIniInfo>(dataFolder + QStringLiteral("Defsetting.ini"), documentsFolder)) {
    try {
        languages_.Open(languageFolder);
        // Start-up always shows English; the Languages menu switches later.
        languages_.SelectLanguage(QStringLiteral("English"));
    } catch (const std::runtime_error& e) {
        languageError_ = QString::fromUtf8(e.what());
    }
    g_instance = this;
}

TfrmLang::~TfrmLang() {
    if (g_instance == this) g_instance = nullptr;
}

TfrmLang* TfrmLang::Instance() { return g_instance; }
