#pragma once

// Writing records back to a calculation file, so that tests can set up and
// compare the values the calculation run reads.

#include "indicators/IndicatorRecords.h"

#include <QSqlDatabase>
#include <vector>

namespace zurm {

// Write every column of the record except the key, by one prepared UPDATE with
// bound values, in one transaction. Throw Failure on a database error.
void writeHeaderRecord(const QSqlDatabase& calculation, const RecordColumns& columns, const HeaderRecord& header);
void writeSegmentRecord(const QSqlDatabase& calculation, const RecordColumns& columns, const SegmentRecord& segment);
void writeSegmentRecords(const QSqlDatabase& calculation, const RecordColumns& columns,
                         const std::vector<SegmentRecord>& segments);

} // namespace zurm
