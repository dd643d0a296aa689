// Records of the calculation run: the header row and the segment rows held in
// memory as numbers, read once.

#include "indicators/IndicatorRecords.h"

#include "base/Failure.h"
#include "base/NativeSql.h"
#include "base/Sql.h"

#include <QSqlQuery>
#include <limits>

namespace zurm {

namespace {

const QString kHeaderTable = QStringLiteral("Заг");
const QString kSegmentTable = QStringLiteral("Табл");

bool isNumericType(const QString& declaredType)
{
    const QString type = declaredType.trimmed().toLower();
    for (const char* numeric : {"smallint", "integer", "int", "float", "double", "real", "bit"})
        if (type == QLatin1String(numeric))
            return true;
    return false;
}

QString columnList(const RecordColumns& columns)
{
    QStringList quoted;
    for (const QString& name : columns.names())
        quoted.append(quoteName(name));
    return quoted.join(QStringLiteral(", "));
}

} // namespace

RecordColumns::RecordColumns(QStringList names) : names_(std::move(names))
{
    index_.reserve(names_.size());
    for (int i = 0; i < names_.size(); ++i)
        if (!index_.contains(names_.at(i))) // the first column of a name wins
            index_.insert(names_.at(i), i);
}

RecordColumns RecordColumns::numericColumnsOf(const QSqlDatabase& db, const QString& table)
{
    QStringList names;
    for (const ColumnInfo& column : tableColumns(db, table))
        if (isNumericType(column.declaredType))
            names.append(column.name);
    return RecordColumns(std::move(names));
}

namespace {

// A stored value of a record; see readHeaderRecord for one that is no number.
std::optional<double> readValue(const QVariant& value, int record, int column, std::vector<UnreadableValue>* unreadable)
{
    if (!unreadable || value.isNull() || !value.isValid())
        return recordValueOf(value);
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (ok)
        return number;
    unreadable->push_back({record, column, value.toString()});
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace

HeaderRecord readHeaderRecord(const QSqlDatabase& calculation, const RecordColumns& columns,
                              std::vector<UnreadableValue>* unreadable)
{
    HeaderRecord header;
    header.values.assign(size_t(columns.size()), std::nullopt);
    if (columns.size() == 0)
        return header;
    QSqlQuery row = selectSql(calculation, QStringLiteral("SELECT ") + columnList(columns) + QStringLiteral(" FROM ")
                                               + quoteName(kHeaderTable) + QStringLiteral(" ORDER BY rowid LIMIT 1"));
    if (row.next())
        for (int i = 0; i < columns.size(); ++i)
            header.values[size_t(i)] = readValue(row.value(i), -1, i, unreadable);
    return header;
}

std::vector<SegmentRecord> readSegmentRecords(const QSqlDatabase& calculation, const RecordColumns& columns,
                                              std::vector<UnreadableValue>* unreadable)
{
    QString sql = QStringLiteral("SELECT [id], [НачУзел], [КонУзел]");
    if (columns.size() > 0)
        sql += QStringLiteral(", ") + columnList(columns);
    sql += QStringLiteral(" FROM ") + quoteName(kSegmentTable) + QStringLiteral(" ORDER BY [id]");
    // Read natively: a large network has tens of thousands of rows of some
    // sixty values. Numbers go straight over; other values are read as the
    // Qt driver gives them.
    NativeStatement rows(calculation, sql);
    using Kind = NativeStatement::Kind;
    auto whole = [&rows](int column) {
        const Kind kind = rows.kind(column);
        return kind == Kind::Integer ? rows.integer(column) : kind == Kind::Null ? 0 : rows.value(column).toLongLong();
    };
    auto node = [&rows](int column) {
        const Kind kind = rows.kind(column);
        return qint16(kind == Kind::Integer ? int(rows.integer(column)) : kind == Kind::Null ? 0 : rows.value(column).toInt());
    };
    std::vector<SegmentRecord> segments;
    while (rows.step()) {
        SegmentRecord segment;
        segment.id = whole(0);
        segment.startNode = node(1);
        segment.endNode = node(2);
        segment.values.resize(size_t(columns.size()));
        for (int i = 0; i < columns.size(); ++i) {
            switch (rows.kind(3 + i)) {
            case Kind::Null:
                break;
            case Kind::Integer:
                segment.values[size_t(i)] = double(rows.integer(3 + i));
                break;
            case Kind::Real:
                segment.values[size_t(i)] = rows.real(3 + i);
                break;
            default:
                segment.values[size_t(i)] = readValue(rows.value(3 + i), int(segments.size()), i, unreadable);
            }
        }
        segments.push_back(std::move(segment));
    }
    return segments;
}

std::optional<double> recordValueOf(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        throw Failure(QStringLiteral("ConversionError"),
                      QStringLiteral("\"") + value.toString() + QStringLiteral("\" не является числом."));
    return number;
}

} // namespace zurm
