#pragma once

#include <QString>

class QWidget;

namespace zurm::gui {

// Opens the program's help window on a page of the help folder in the program
// folder, for example "GR/VvParR.htm"; an empty topic opens the contents page.
// The help window is one for the whole program and is reused.
void showHelp(QWidget* parent, const QString& topic = QString());

// The program folder whose help/ folder holds the pages; the main window sets it
// at start. Until then the folder of the executable is used.
void setHelpProgramFolder(const QString& programFolder);

// help/ in the program folder when it is there; otherwise help/ beside the
// executable (a per-user program folder holds copies of the databases only).
// When neither exists, the program folder's help/ is named, so the missing-page
// message says where the pages were expected.
QString resolveHelpFolder(const QString& programFolder, const QString& executableFolder);

// The file of a topic in a help folder: "GR\\VvParR.htm" and "GR/VvParR.htm"
// name the same page; an empty topic names index.htm. A "#anchor" is not part
// of the file name.
QString helpPagePath(const QString& helpFolder, const QString& topic);

// The help window once it has been shown, null before.
QWidget* helpWindow();

} // namespace zurm::gui
