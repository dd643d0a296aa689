#pragma once

#include <QString>
#include <QStringList>

namespace zurm::test {

// An .xls (BIFF8 in a compound file) of one sheet written byte by byte as
// spreadsheet programs write it: row i holds texts[i] in column A, through the
// shared-string table, and the number i + 1 in column B. The table is split
// over CONTINUE records at the record size limit, a string's characters going
// on in the next record behind a new option byte.
void writeXls(const QString& path, const QString& sheetName, const QStringList& texts);

} // namespace zurm::test
