#pragma once

#include "entry/SpreadsheetLoad.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zurm {
class DataModule;
class Progress;
} // namespace zurm

namespace zurm::cli {

// --load BOOK --sheet NAME --rows FIRST-LAST --nodes START,END --column SHORT=COL …:
// the fields of the load dialog as typed on the command line.
struct LoadRequest {
    QString workbook;
    zurm::LoadSettings fields;
    int lines = 0; // --column options taken
};

// Takes one of the load options and its value into `request`. Returns an
// empty text, or the reason the value is refused.
QString takeLoadOption(const QString& option, const QString& value, LoadRequest& request);
bool isLoadOption(const QString& option);

struct LoadOutcome {
    int exitCode = 0; // 0 loaded, 1 a workbook or cell that cannot be read, 2 a field refused
    QString message;
};

// Loads as the dialog does, with its checks and messages, into the open
// calculation (the settings file is not touched).
LoadOutcome loadSegments(zurm::DataModule& data, zurm::Progress& progress, const LoadRequest& request);

} // namespace zurm::cli
