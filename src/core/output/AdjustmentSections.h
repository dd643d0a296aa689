#pragma once

// The adjustment of the inputs inside the report's outputs: a sheet after the
// report's own in the exported workbook, and a section at the end of the
// printed report of a two-pipe network. Both appear only when the
// calculation has consumers. Only core sources include this header
// (libxlsxwriter and mstch are the core's private dependencies).

#include "hydraulics/InputAdjustment.h"
#include "output/SheetWriter.h"

#include <mstch/mstch.hpp>
#include <vector>

namespace zurm {

class DataModule;
class Progress;

// The rows under their captions from `captionRow` on (the captions' row, the
// first row of values after it).
void writeAdjustmentRows(SheetWriter& out, const std::vector<InputAdjustment>& rows, int captionRow);

// Adds the sheet "Наладка" to the report workbook being written (its title,
// the calculation's name and the table). Throws Failure.
void writeAdjustmentSheet(DataModule& data, SheetWriter& out, Progress& progress);

// rcNalad of the printed report: `present` when there is a table to print;
// its `pieces` (at most kReportRowsPerPiece `rows` each, `last` on the last
// piece) with the fields node, consumer, scheme, G, H, t1, t2, u, up,
// elevator, throat, hmin, nozzle, dh, orifice, count, remark; `hasRemarks` and
// `remarkPieces`, the same for the rows with a remark. Throws Failure.
mstch::map adjustmentReportItem(DataModule& data);

} // namespace zurm
