#pragma once

#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace zurm {

// A finite number without a fractional part.
bool isWholeNumber(const QVariant& value);

// Those of `columns` of `table` that hold at least one finite number and no
// number with a fractional part: nominal diameters, counts, numbers of nodes,
// shown without decimals in the reports. Texts and empty or infinite values
// do not count. Throws Failure.
QSet<QString> wholeValuedColumns(const QSqlDatabase& db, const QString& table, const QStringList& columns);

} // namespace zurm
