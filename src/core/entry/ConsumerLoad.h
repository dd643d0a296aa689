#pragma once

#include "entry/SpreadsheetLoad.h"

#include <QStringList>

namespace zurm {

class Progress;

// Loading the consumers at the end nodes from a worksheet, with the plan of
// the segment load: one node column (the end node) and up to six lines naming
// fields of Потребители. The first row of the range for an end node gives its
// values; a row whose node cell is empty is passed over (a blank line or a
// subtotal between blocks of the sheet).

// The fields a consumer load can fill, in the order of the editor's columns.
QStringList consumerLoadFields();

// Reads every planned row first and writes only when all of them are sound,
// in one transaction: a row whose node is not an end node of the network, a
// node cell that is no whole number, a number cell that is no number and a
// scheme cell that names no scheme end the load with their message and the
// cell (the workbook is then shown), and nothing is written. A name cell may
// hold a number; a scheme cell a scheme's name (letter case ignored) or its
// code; an empty cell empties the field. Input changed on `source`'s behalf
// when a consumer was written.
LoadResult loadConsumersFromWorkbook(DataModule& data, const QString& workbook, const LoadPlan& plan,
                                     Progress& progress, const QObject* source = nullptr);

} // namespace zurm
