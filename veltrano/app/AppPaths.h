#pragma once

#include <QString>

// The folders the program uses. Every folder returned ends with "/".
namespace AppPaths {

// $XDG_CONFIG_HOME (default ~/.config) + "/Tarvolen/<sub>/", created with its
// parents. Holds Defsetting.ini, CustomFormats.xml and the logs.
QString DataFolder(const QString& subFolder = QStringLiteral("Veltrano"));
// The user's documents folder.
QString DocumentsFolder();
// The folder of the running program; in a build tree the shipped files sit beside it.
QString ProgramFolder();
// <prefix>/share/veltrano/ of an installed program: the sibling of its bin/.
QString InstalledDataFolder();
// The shipped language folder and profile file: beside the program, else in
// the installed data folder.
QString LanguageFolder();
QString BuiltInProfileFile();

}  // namespace AppPaths
