#pragma once

#include "reference/ReferenceTableModel.h"

#include <QString>

namespace zurm {

class DataModule;
class Progress;

// Writes one reference table as a workbook with one sheet named after the
// table: the title merged across the columns in row 1, the column captions in
// row 2, then the rows in the editor's order, the block from row 2 bordered.
// Whole-number columns are grouped integers, the others show the report
// precision (`digits`, or the settings' when negative). False, writing
// nothing, when the table has no row. Written under a temporary name and moved
// onto `path` at the end. Throws Failure.
bool writeReferenceWorkbook(DataModule& data, ReferenceTable table, const QString& path, Progress& progress,
                            int digits = -1);

} // namespace zurm
