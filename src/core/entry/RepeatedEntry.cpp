#include "entry/RepeatedEntry.h"

#include "base/Failure.h"
#include "base/Sql.h"
#include "indicators/IndicatorCatalogue.h"
#include "network/SchemaEditHistory.h"
#include "platform/NumberText.h"

#include <QSet>
#include <QSqlQuery>

namespace zurm {

namespace {

const QString kMark = QStringLiteral("Д");

bool isHeaderType(const QString& upperType)
{
    return upperType == QStringLiteral("З");
}

} // namespace

int MatchComboItem(const QStringList& items, const QString& typed)
{
    const QString wanted = typed.toUpper();
    for (qsizetype i = 0; i < items.size(); ++i)
        if (items[i].toUpper() == wanted)
            return int(i);
    return -1;
}

RepeatedEntryLists repeatedEntryLists(const DataModule& data)
{
    const QSqlDatabase db = data.calculation();
    const IndicatorCatalogue catalogue = IndicatorCatalogue::load(db);
    QSet<QString> columns;
    for (const ColumnInfo& column : tableColumns(db, QStringLiteral("Табл")))
        columns.insert(column.name);

    RepeatedEntryLists lists;
    auto take = [&](const IndicatorRecord& record) {
        if (isHeaderType(record.type) || record.shortName.isEmpty() || !columns.contains(record.shortName))
            return;
        lists.sources.append(record.shortName);
        if (record.enteredByUser.value_or(false))
            lists.targets.append(record.shortName);
    };
    const int networkType = catalogue.networkType();
    for (const IndicatorRecord& record : catalogue.predefined())
        if (networkType == 1 || (networkType == 0 && record.usedInOnePipe))
            take(record);
    for (const IndicatorRecord& record : catalogue.user())
        take(record);
    return lists;
}

int writeAssignments(DataModule& data, const QList<AssignmentLine>& lines, const QObject* source)
{
    const QSqlDatabase db = data.calculation();
    const int marked =
        selectValue(db, QStringLiteral("SELECT count(*) FROM Табл WHERE Заполн_Уч = ?"), {kMark}).toInt();
    if (marked == 0)
        return 0;

    // Every number is converted before anything is written: a bad one stops
    // the command at the first marked segment, before its row is saved.
    struct Statement {
        QString sql;
        QVariantList bindings;
    };
    QList<Statement> statements;
    for (const AssignmentLine& line : lines) {
        if (line.target.isEmpty())
            continue;
        const QString target = quoteName(line.target);
        if (!line.number.isEmpty()) {
            const std::optional<double> value = parseTypedReal(line.number);
            if (!value)
                throw Failure(QStringLiteral("ConversionError"),
                              QStringLiteral("\"") + line.number + QStringLiteral("\" не является числом."));
            // Stored with 15 significant digits, as a saved row stores it.
            statements.append({QStringLiteral("UPDATE Табл SET ") + target + QStringLiteral(" = ? WHERE Заполн_Уч = ?"),
                               {formatGeneral15(*value).toDouble(), kMark}});
        } else if (!line.source.isEmpty()) {
            statements.append({QStringLiteral("UPDATE Табл SET ") + target + QStringLiteral(" = ") +
                                   quoteName(line.source) + QStringLiteral(" WHERE Заполн_Уч = ?"),
                               {kMark}});
        }
    }
    if (statements.isEmpty())
        return marked;
    {
        // One statement per line over all marked rows: each reads the row as
        // the lines before it left it, as writing row by row would.
        Transaction transaction(db);
        for (const Statement& statement : statements)
            execSql(db, statement.sql, statement.bindings);
        transaction.commit();
    }
    data.noteInputChanged(source);
    return marked;
}

std::optional<int> firstLineNotANumber(const QList<AssignmentLine>& lines)
{
    for (int k = 0; k < lines.size(); ++k)
        if (!lines[k].target.isEmpty() && !lines[k].number.isEmpty() && !parseTypedReal(lines[k].number))
            return k;
    return std::nullopt;
}

QString lineNotANumberMessage(const QList<AssignmentLine>& lines, int line)
{
    return QStringLiteral("Строка ") + QString::number(line + 1) + QStringLiteral(", поле \"Число\": \"")
           + lines[line].number + QStringLiteral("\" не является числом. Введите число.");
}

void changeMarks(DataModule& data, MarkChange change, const std::optional<QList<qint64>>& ids,
                 const QObject* source)
{
    QString value;
    switch (change) {
    case MarkChange::Set:
        value = QStringLiteral("'Д'");
        break;
    case MarkChange::Clear:
        value = QStringLiteral("Null");
        break;
    case MarkChange::Toggle:
        value = QStringLiteral("CASE WHEN Заполн_Уч IS NULL THEN 'Д' ELSE Null END");
        break;
    }
    QString sql = QStringLiteral("UPDATE Табл SET Заполн_Уч = ") + value;
    QVariantList bindings;
    if (ids) {
        if (ids->isEmpty())
            return;
        sql += QStringLiteral(" WHERE id IN ") + kNumberList;
        bindings.append(jsonNumbers(*ids));
    }
    execSql(data.calculation(), sql, bindings);
    data.noteInputChanged(source);
}

// ---------------------------------------------------------------- segment list

MarkedSegmentsModel::MarkedSegmentsModel(DataModule& data, QObject* parent)
    : QAbstractTableModel(parent), data_(data)
{
}

void MarkedSegmentsModel::reload()
{
    QList<Row> rows;
    QSqlQuery query = selectSql(data_.calculation(), QStringLiteral("SELECT id, НачУзел, КонУзел, Заполн_Уч FROM Табл ORDER BY ") +
                                                         segmentSortClause(data_.segmentSort()));
    while (query.next())
        rows.append({query.value(0).toLongLong(), query.value(1), query.value(2), query.value(3)});
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

QString MarkedSegmentsModel::segmentName(int row) const
{
    const Row& r = rows_[row];
    auto number = [](const QVariant& v) { return v.isNull() ? QString() : v.toString(); };
    return number(r.start) + QStringLiteral(" - ") + number(r.end);
}

int MarkedSegmentsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int MarkedSegmentsModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant MarkedSegmentsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_.size())
        return {};
    if (role == Qt::TextAlignmentRole && index.column() == kMarkColumn)
        return int(Qt::AlignCenter);
    if (role != Qt::DisplayRole)
        return {};
    const Row& row = rows_[index.row()];
    switch (index.column()) {
    case 0:
        return row.start;
    case 1:
        return row.end;
    default:
        return row.mark;
    }
}

QVariant MarkedSegmentsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case 0:
        return QStringLiteral("НачУзел");
    case 1:
        return QStringLiteral("КонУзел");
    default:
        return QStringLiteral("\"Д\" = Да");
    }
}

Qt::ItemFlags MarkedSegmentsModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace zurm
