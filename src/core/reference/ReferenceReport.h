#pragma once

#include "output/CalculationReport.h"
#include "reference/ReferenceTableModel.h"

namespace zurm {

// Fills the print definition of a reference table (a Mustache template beside
// the program) with the table through its named connection (rcDiamTrPr,
// rcPlVodiOtT or rcPoprKoefKUdPot): `title`, `columns` (caption) and `rows`
// in the editor's order, each with its fields by name and its `cells`.
// Whole-number columns as stored, the others with the report precision
// (`digits`, or the settings' when negative) and the decimal point ".",
// whatever the user's locale. Throws Failure (the definition missing or
// unreadable).
ReportDocument buildReferenceReport(DataModule& data, ReferenceTable table, int digits = -1);

} // namespace zurm
