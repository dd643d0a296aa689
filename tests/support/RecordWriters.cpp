#include "support/RecordWriters.h"

#include "base/Failure.h"
#include "base/Sql.h"

#include <QSqlError>
#include <QSqlQuery>

namespace zurm {

namespace {

const QString kHeaderTable = QStringLiteral("Заг");
const QString kSegmentTable = QStringLiteral("Табл");
const QString kKeyColumn = QStringLiteral("id");


QVariant variantOf(const std::optional<double>& value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<double>());
}

// "UPDATE [table] SET [a]=?, [b]=? " over the columns other than the key;
// the positions of those columns in the record go to `written`.
QString updateStatement(const QString& table, const RecordColumns& columns, std::vector<int>& written)
{
    QString sql = QStringLiteral("UPDATE ") + quoteName(table) + QStringLiteral(" SET ");
    for (int i = 0; i < columns.size(); ++i) {
        if (columns.names().at(i) == kKeyColumn)
            continue;
        if (!written.empty())
            sql += QStringLiteral(", ");
        sql += quoteName(columns.names().at(i)) + QStringLiteral("=?");
        written.push_back(i);
    }
    return sql;
}


void checkSize(const RecordValues& values, const RecordColumns& columns)
{
    if (int(values.size()) != columns.size())
        throw Failure(QStringLiteral("EvaluatorError"),
                      QStringLiteral("Число значений записи не совпадает с числом полей."));
}

} // namespace

void writeHeaderRecord(const QSqlDatabase& calculation, const RecordColumns& columns, const HeaderRecord& header)
{
    checkSize(header.values, columns);
    std::vector<int> written;
    const QString sql = updateStatement(kHeaderTable, columns, written)
        + QStringLiteral(" WHERE rowid = (SELECT rowid FROM [Заг] ORDER BY rowid LIMIT 1)");
    if (written.empty())
        return;
    Transaction transaction(calculation);
    QSqlQuery update = prepareSql(calculation, sql);
    for (size_t i = 0; i < written.size(); ++i)
        update.bindValue(int(i), variantOf(header.values[size_t(written[i])]));
    if (!update.exec())
        failQuery(update);
    transaction.commit();
}

void writeSegmentRecords(const QSqlDatabase& calculation, const RecordColumns& columns,
                         const std::vector<SegmentRecord>& segments)
{
    std::vector<int> written;
    const QString sql = updateStatement(kSegmentTable, columns, written) + QStringLiteral(" WHERE [id]=?");
    if (written.empty() || segments.empty())
        return;
    Transaction transaction(calculation);
    QSqlQuery update = prepareSql(calculation, sql);
    for (const SegmentRecord& segment : segments) {
        checkSize(segment.values, columns);
        for (size_t i = 0; i < written.size(); ++i)
            update.bindValue(int(i), variantOf(segment.values[size_t(written[i])]));
        update.bindValue(int(written.size()), segment.id);
        if (!update.exec())
            failQuery(update);
    }
    transaction.commit();
}

void writeSegmentRecord(const QSqlDatabase& calculation, const RecordColumns& columns, const SegmentRecord& segment)
{
    writeSegmentRecords(calculation, columns, {segment});
}

} // namespace zurm
