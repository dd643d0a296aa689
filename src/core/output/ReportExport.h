#pragma once

#include <QString>

namespace zurm {

class DataModule;
class Progress;
class UserDialogs;

// "Выгрузить отчет в Microsoft Excel": refused while the calculation-done flag
// is clear; asks where to save the workbook (".xlsx" appended when missing)
// and whether an existing file is to be replaced, writes it with the window
// locked and the progress in the status line, and opens it in the desktop's
// default application. A failure shows its own text. Returns true when the
// workbook was written.
bool exportReport(DataModule& data, UserDialogs& dialogs, Progress& progress);

} // namespace zurm
