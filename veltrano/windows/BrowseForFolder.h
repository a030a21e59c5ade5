#pragma once

#include <QString>

class QWidget;

// The folder picker: returns the chosen folder with a trailing "/", or an
// empty text when cancelled. `initialFolder` is selected when it opens;
// newStyle uses Qt's own dialog instead of the desktop's.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder, bool newStyle);
