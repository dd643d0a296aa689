#pragma once

#include "base/Sql.h"
#include "document/DataModule.h"

#include <QVariant>
#include <optional>
#include <vector>

namespace zurm {

class UserDialogs;

// Values a new segment row receives when it is inserted (atTablAfterInsert).
struct NewSegmentValues {
    int startNode = 0;
    std::optional<int> endNode;  // empty after node 32767
    std::optional<qint64> id;    // empty when no free key exists
};

// The key a new segment gets: the next after the largest while that stays
// below 2147483600, else the first gap in 1, 2, ...; nullopt when there is none.
std::optional<qint64> nextSegmentKey(const std::vector<qint64>& idsAscending);

// Node numbers continue the chain from the last segment in the given order;
// the key follows nextSegmentKey. Failures are shown as error reports with the
// step's context, "no free key" as its own message; the returned values are
// what could be generated.
NewSegmentValues atTablAfterInsert(DataModule& data, UserDialogs& dialogs);

// One segment row as the grid holds it: values in table column order, the key
// column (id) first.
struct SegmentRowBuffer {
    QVariantList values;
    bool inserting = false;
    // The columns the user changed; when given, only these are written, so
    // that what another program wrote into the other columns of the row
    // meanwhile is kept. Without it every column is written.
    std::optional<QList<int>> changedColumns;
};

// The SQL text of one value for a column of the given declared type: Null,
// digits, True/False, a 15-digit float with a point whatever the locale, or a
// quoted text in the single-byte Cyrillic code page with "'" doubled.
QString sqlValueText(const QVariant& value, const QString& declaredType);

// The UPDATE statement that writes columns [1, columnCount) of a row; the key
// (column 0) is never changed.
QString segmentUpdateStatement(const QList<ColumnInfo>& columns, const QVariantList& values, int columnCount);
// The same over the given columns only (none of them the key); empty when the
// list is empty.
QString segmentUpdateStatement(const QList<ColumnInfo>& columns, const QVariantList& values,
                               const QList<int>& columnsToWrite);

// Writes the row to the calculation file by SQL (an INSERT of the key first
// when the row is new) in one transaction. The caller re-reads the table and
// makes the row with this key current again.
// writeLastColumn false leaves out the last column (the repeated-entry marker),
// as the main window's own row save does.
void SaveCurrentSegmentRow(DataModule& data, const SegmentRowBuffer& row, bool writeLastColumn = true);

// The message for a node number outside 0..32700, or empty when the value is
// acceptable (Null is acceptable).
QString nodeNumberProblem(const QVariant& value);

} // namespace zurm
