#include "output/WholeValues.h"

#include "base/Sql.h"

#include <QSqlQuery>
#include <cmath>

namespace zurm {

bool isWholeNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        return std::isfinite(number) && number == std::round(number);
    }
    default:
        return false;
    }
}

QSet<QString> wholeValuedColumns(const QSqlDatabase& db, const QString& table, const QStringList& columns)
{
    QSet<QString> whole;
    if (columns.isEmpty())
        return whole;
    // One pass over the table for all the columns: a network of 32 700
    // segments is scanned once, not once a column. SQLite's round() leaves
    // an infinite value as it is, so only the finite ones are counted.
    QStringList tests;
    for (const QString& column : columns) {
        const QString c = quoteName(column);
        tests.append(QStringLiteral("count(CASE WHEN typeof(%1) IN ('integer', 'real') AND abs(%1) < 1e308 THEN 1 END) > 0 "
                                    "AND count(CASE WHEN typeof(%1) = 'real' AND %1 <> round(%1) THEN 1 END) = 0")
                         .arg(c));
    }
    QSqlQuery query = selectSql(db, QStringLiteral("SELECT ") + tests.join(QStringLiteral(", ")) + QStringLiteral(" FROM ")
                                        + quoteName(table));
    if (query.next())
        for (qsizetype i = 0; i < columns.size(); ++i)
            if (query.value(int(i)).toInt() != 0)
                whole.insert(columns[i]);
    return whole;
}

} // namespace zurm
