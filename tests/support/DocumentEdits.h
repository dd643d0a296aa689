#pragma once

// Edits of an open document that only the tests make.

#include "base/Sql.h"
#include "document/DataModule.h"

#include <QSqlDatabase>
#include <QString>

namespace zurm {

// Deletes every row of a table of the given connection. A table whose
// deletion guard is set refuses quietly (QuietAbort), as the grids do;
// a command that empties such a table on purpose lifts the guard first.
inline void DeleteAllRows(DataModule& data, const QSqlDatabase& db, const QString& table)
{
    data.guards().check(table, EditOperation::Delete);
    execSql(db, QStringLiteral("DELETE FROM ") + quoteName(table));
}

} // namespace zurm
