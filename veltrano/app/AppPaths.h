#pragma once

#include <QString>

// The folders the program uses. Every folder returned ends with "/".
namespace AppPaths {

// $XDG_CONFIG_HOME (default ~/.config) + "/Tarvolen/<sub>/", created with its
// parents. Holds Defsetting.ini, CustomFormats.xml and the logs.
QString DataFolder(const QString& subFolder = QStringLiteral("Veltrano"));
// The user's documents folder.
QString DocumentsFolder();
// The folder of the running program; the shipped files sit beside it.
QString ProgramFolder();
QString LanguageFolder();
// The profile file shipped with the program.
QString BuiltInProfileFile();

}  // namespace AppPaths
