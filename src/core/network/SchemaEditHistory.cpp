#include "network/SchemaEditHistory.h"

#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"

#include <QSqlQuery>
#include <algorithm>
#include <charconv>
#include <cmath>

namespace zurm {

namespace {

// Rows per INSERT when a step is applied.
constexpr int kRowsPerStatement = 400;

// A stored value as an SQL literal that stores it again unchanged: doubles
// in their shortest exact form, texts quoted, blobs in hex.
QString literal(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Double: {
        const double number = value.toDouble();
        if (std::isinf(number))
            return number > 0 ? QStringLiteral("1e999") : QStringLiteral("-1e999");
        // The shortest text that reads back as the same double.
        char buffer[32];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, number).ptr;
        QString text = QString::fromLatin1(buffer, end - buffer);
        if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
            text += QStringLiteral(".0"); // stays a REAL where the column has no affinity
        return text;
    }
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        return QString::number(value.toLongLong());
    case QMetaType::QByteArray:
        return QStringLiteral("X'") + QString::fromLatin1(value.toByteArray().toHex()) + QLatin1Char('\'');
    default: {
        QString text = value.toString();
        text.replace(QLatin1Char('\''), QStringLiteral("''"));
        return QLatin1Char('\'') + text + QLatin1Char('\'');
    }
    }
}

const QStringList& calculationNodeFields()
{
    static const QStringList fields{CalculationRow::kStartNode, CalculationRow::kSupplyHeadNode,
                                    CalculationRow::kAvailableHeadNode};
    return fields;
}

QVariantList rowValues(const QSqlQuery& query, int columns)
{
    QVariantList values;
    values.reserve(columns);
    for (int i = 0; i < columns; ++i)
        values.append(query.value(i + 1));
    return values;
}

SchemaSelection selectionOf(const DataModule& data)
{
    return data.workOpen() ? readSchemaSelection(data.work()) : SchemaSelection{};
}

void writeSelection(const DataModule& data, const SchemaSelection& selection)
{
    if (!data.workOpen())
        return;
    const QSqlDatabase work = data.work();
    Transaction transaction(work);
    clearSchemaSelection(work);
    QSqlQuery insert = prepareSql(work, QStringLiteral("INSERT INTO [ВыделУзлыТС] ([Nуз]) VALUES (?)"));
    for (int node : selection.nodes) {
        insert.bindValue(0, node);
        execPrepared(insert);
    }
    if (selection.rect)
        setSelectionRect(work, *selection.rect);
    transaction.commit();
}

} // namespace

bool SchemaEditStep::empty() const
{
    if (calculationBefore != calculationAfter)
        return false;
    for (const Table& table : tables)
        for (const Row& row : table.rows)
            if (row.before != row.after)
                return false;
    return true;
}

SchemaEditRecorder::SchemaEditRecorder(const DataModule& data) : data_(data)
{
    step_.calculationBefore = CalculationRow(data.calculation()).read(calculationNodeFields());
    step_.selectionBefore = selectionOf(data);
}

SchemaEditRecorder::Log& SchemaEditRecorder::log(const QString& table)
{
    auto it = logs_.find(table);
    if (it == logs_.end()) {
        Log fresh;
        for (const ColumnInfo& column : tableColumns(data_.calculation(), table))
            fresh.columns.append(column.name);
        it = logs_.insert(table, fresh);
        tableOrder_.append(table);
    }
    return *it;
}

void SchemaEditRecorder::touch(const QString& table, const QString& column, const QSet<int>& values)
{
    if (values.isEmpty())
        return;
    Log& entry = log(table);
    const QSqlDatabase db = data_.calculation();
    const QString select = QStringLiteral("SELECT rowid, * FROM ") + quoteName(table);
    const int columns = int(entry.columns.size());
    const auto keep = [&](const QSqlQuery& query) {
        const qint64 rowid = query.value(0).toLongLong();
        if (entry.has(rowid))
            return;
        entry.before.insert(rowid, rowValues(query, columns));
        entry.order.push_back(rowid);
    };
    QSqlQuery query = selectSql(db, select + QStringLiteral(" WHERE ") + quoteName(column) + QStringLiteral(" IN ")
                                        + kNumberList,
                                {jsonNumbers(values)});
    while (query.next())
        keep(query);
}

void SchemaEditRecorder::inserted(const QString& table, qint64 rowid)
{
    Log& entry = log(table);
    if (entry.has(rowid))
        return;
    entry.fresh.insert(rowid);
    entry.order.push_back(rowid);
}

SchemaEditStep SchemaEditRecorder::finish()
{
    const QSqlDatabase db = data_.calculation();
    for (const QString& name : tableOrder_) {
        const Log& entry = logs_[name];
        SchemaEditStep::Table table{name, entry.columns, {}};
        table.rows.reserve(entry.order.size());
        const int columns = int(entry.columns.size());
        QHash<qint64, QVariantList> after;
        const QString select = QStringLiteral("SELECT rowid, * FROM ") + quoteName(name);
        QSqlQuery query = selectSql(db, select + QStringLiteral(" WHERE rowid IN ") + kNumberList,
                                    {jsonNumbers(entry.order)});
        while (query.next())
            after.insert(query.value(0).toLongLong(), rowValues(query, columns));
        for (qint64 rowid : entry.order) {
            SchemaEditStep::Row row;
            row.rowid = rowid;
            const auto was = entry.before.constFind(rowid);
            if (was != entry.before.constEnd())
                row.before = *was;
            const auto found = after.constFind(rowid);
            if (found != after.constEnd())
                row.after = *found;
            if (row.before != row.after)
                table.rows.push_back(std::move(row));
        }
        step_.tables.push_back(std::move(table));
    }
    step_.calculationAfter = CalculationRow(db).read(calculationNodeFields());
    step_.selectionAfter = selectionOf(data_);
    return std::move(step_);
}

void SchemaEditHistory::push(SchemaEditStep step)
{
    if (step.empty())
        return;
    while (steps_.size() > position_)
        steps_.pop_back();
    steps_.push_back(std::move(step));
    while (int(steps_.size()) > limit_)
        steps_.pop_front();
    position_ = steps_.size();
}

void SchemaEditHistory::clear()
{
    steps_.clear();
    position_ = 0;
}

bool SchemaEditHistory::undo(DataModule& data, const QObject* source)
{
    if (!canUndo())
        return false;
    apply(data, steps_[position_ - 1], false, source);
    --position_;
    return true;
}

bool SchemaEditHistory::redo(DataModule& data, const QObject* source)
{
    if (!canRedo())
        return false;
    apply(data, steps_[position_], true, source);
    ++position_;
    return true;
}

void SchemaEditHistory::apply(DataModule& data, const SchemaEditStep& step, bool forward, const QObject* source)
{
    const QSqlDatabase db = data.calculation();
    {
        Transaction transaction(db);
        // Every row the step touched goes first, so that keys freed by one
        // row can be taken by another.
        for (const SchemaEditStep::Table& table : step.tables) {
            std::vector<qint64> rowids;
            rowids.reserve(table.rows.size());
            for (const SchemaEditStep::Row& row : table.rows)
                rowids.push_back(row.rowid);
            execSql(db, QStringLiteral("DELETE FROM ") + quoteName(table.name) + QStringLiteral(" WHERE rowid IN ")
                            + kNumberList,
                    {jsonNumbers(rowids)});
        }
        for (const SchemaEditStep::Table& table : step.tables) {
            QStringList names{QStringLiteral("rowid")};
            for (const QString& column : table.columns)
                names.append(quoteName(column));
            const QString head = QStringLiteral("INSERT INTO ") + quoteName(table.name) + QStringLiteral(" (")
                + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES ");
            std::vector<const SchemaEditStep::Row*> rows;
            for (const SchemaEditStep::Row& row : table.rows)
                if (forward ? row.after.has_value() : row.before.has_value())
                    rows.push_back(&row);
            // Many rows per statement, written as literals: binding values
            // one by one costs more than the rows.
            QString sql;
            int inStatement = 0;
            for (const SchemaEditStep::Row* row : rows) {
                const QVariantList& values = forward ? *row->after : *row->before;
                sql += sql.isEmpty() ? head : QStringLiteral(",");
                sql += QLatin1Char('(') + QString::number(row->rowid);
                for (const QVariant& value : values)
                    sql += QLatin1Char(',') + literal(value);
                sql += QLatin1Char(')');
                if (++inStatement == kRowsPerStatement) {
                    execSql(db, sql);
                    sql.clear();
                    inStatement = 0;
                }
            }
            if (!sql.isEmpty())
                execSql(db, sql);
        }
        const QVariantList& fields = forward ? step.calculationAfter : step.calculationBefore;
        if (fields.size() == calculationNodeFields().size())
            CalculationRow(db).write(calculationNodeFields(), fields);
        transaction.commit();
    }
    writeSelection(data, forward ? step.selectionAfter : step.selectionBefore);
    data.noteInputChanged(source);
}

} // namespace zurm
