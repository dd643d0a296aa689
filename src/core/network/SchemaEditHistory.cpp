#include "network/SchemaEditHistory.h"

#include "base/NativeSql.h"
#include "base/Sql.h"
#include "document/CalculationRow.h"
#include "document/DataModule.h"

#include <climits>
#include <cstring>
#include <sqlite3.h>

namespace zurm {

namespace {

// A statement over n of a table's rows searches each when n is less than a
// fourth of the rows, else it goes over the whole table once.
constexpr qint64 kScanShare = 4;

// Whether n rows are many for the table: a fourth of its rows or more (a
// few rows never are; counting would cost more than searching them).
bool manyRows(const QSqlDatabase& db, const QString& table, qint64 n)
{
    constexpr qint64 kFew = 8;
    return n >= kFew
        && n * kScanShare >= selectValue(db, QStringLiteral("SELECT count(*) FROM ") + quoteName(table)).toLongLong();
}

const QStringList& calculationNodeFields()
{
    static const QStringList fields{CalculationRow::kStartNode, CalculationRow::kSupplyHeadNode,
                                    CalculationRow::kAvailableHeadNode};
    return fields;
}

// Appends the values of the row's columns first .. first + count − 1 to the
// table's store; returns where they begin.
qint64 storeRow(sqlite3_stmt* row, int first, int count, SchemaEditStep::Table& table)
{
    const qint64 at = qint64(table.values.size());
    for (int column = first; column < first + count; ++column) {
        // The value as the row holds it: one call into the connection per
        // column (the connection is used from this thread only).
        sqlite3_value* stored = sqlite3_column_value(row, column);
        SchemaEditStep::Value value;
        value.type = sqlite3_value_type(stored);
        switch (value.type) {
        case SQLITE_INTEGER:
            value.bits = sqlite3_value_int64(stored);
            break;
        case SQLITE_FLOAT: {
            const double real = sqlite3_value_double(stored);
            std::memcpy(&value.bits, &real, sizeof real);
            break;
        }
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            const void* data = value.type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_value_text(stored))
                                                         : sqlite3_value_blob(stored);
            value.size = quint32(sqlite3_value_bytes(stored));
            value.bits = qint64(table.bytes.size());
            if (value.size > 0)
                table.bytes.append(static_cast<const char*>(data), value.size);
            break;
        }
        default:
            value.type = SQLITE_NULL;
        }
        table.values.push_back(value);
    }
    return at;
}

// Whether two stored images (−1: no row) are the same row.
bool sameRow(const SchemaEditStep::Table& table, qint64 a, qint64 b, int columns)
{
    if (a < 0 || b < 0)
        return a == b;
    for (int i = 0; i < columns; ++i) {
        const SchemaEditStep::Value& x = table.values[size_t(a + i)];
        const SchemaEditStep::Value& y = table.values[size_t(b + i)];
        if (x.type != y.type || x.size != y.size)
            return false;
        if (x.type == SQLITE_TEXT || x.type == SQLITE_BLOB) {
            if (x.size > 0 && std::memcmp(table.bytes.data() + x.bits, table.bytes.data() + y.bits, x.size) != 0)
                return false;
        } else if (x.bits != y.bits) {
            return false;
        }
    }
    return true;
}

// Binds a stored value to the 1-based parameter (texts and blobs stay in the
// table's store while the statement runs).
void bindStored(NativeStatement& statement, int index, const SchemaEditStep::Value& value,
                const SchemaEditStep::Table& table)
{
    sqlite3_stmt* s = statement.get();
    int code = SQLITE_OK;
    switch (value.type) {
    case SQLITE_INTEGER:
        code = sqlite3_bind_int64(s, index, value.bits);
        break;
    case SQLITE_FLOAT: {
        double real = 0;
        std::memcpy(&real, &value.bits, sizeof real);
        code = sqlite3_bind_double(s, index, real);
        break;
    }
    case SQLITE_TEXT:
        code = sqlite3_bind_text(s, index, table.bytes.data() + value.bits, int(value.size), SQLITE_STATIC);
        break;
    case SQLITE_BLOB:
        code = sqlite3_bind_blob(s, index, table.bytes.data() + value.bits, int(value.size), SQLITE_STATIC);
        break;
    default:
        code = sqlite3_bind_null(s, index);
    }
    if (code != SQLITE_OK)
        statement.fail(code);
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
    // Mostly the selection is what it was (a group move): left as it is.
    const SchemaSelection now = readSchemaSelection(work);
    if (now.nodes == selection.nodes && now.rect == selection.rect)
        return;
    Transaction transaction(work);
    clearSchemaSelection(work);
    if (!selection.nodes.empty())
        execSql(work, QStringLiteral("INSERT INTO [ВыделУзлыТС] ([Nуз]) SELECT value FROM json_each(?)"),
                {jsonNumbers(selection.nodes)});
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
        if (!table.rowids.empty())
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
    for (Log& entry : logs_)
        if (entry.table.name == table)
            return entry;
    Log fresh;
    fresh.table.name = table;
    for (const ColumnInfo& column : tableColumns(data_.calculation(), table))
        fresh.table.columns.append(column.name);
    logs_.push_back(std::move(fresh));
    return logs_.back();
}

void SchemaEditRecorder::touch(const QString& table, const QString& column, const QSet<int>& values)
{
    if (values.isEmpty())
        return;
    Log& entry = log(table);
    const QSqlDatabase db = data_.calculation();
    const int columns = int(entry.table.columns.size());
    // Many values: one pass over the table costs less than a search for each.
    const int at = int(entry.table.columns.indexOf(column));
    const bool scan = at >= 0 && manyRows(db, table, values.size());
    NativeStatement select(db, QStringLiteral("SELECT rowid, * FROM ") + quoteName(table)
                                   + (scan ? QString()
                                           : QStringLiteral(" WHERE ") + quoteName(column) + QStringLiteral(" IN ")
                                               + kNumberList));
    if (!scan)
        select.bindText(1, jsonNumbers(values));
    entry.table.values.reserve(entry.table.values.size() + size_t(values.size()) * size_t(columns));
    while (select.step()) {
        if (scan) {
            // As "column IN (the values)": integers only.
            if (sqlite3_column_type(select.get(), at + 1) != SQLITE_INTEGER)
                continue;
            const qint64 value = sqlite3_column_int64(select.get(), at + 1);
            if (value < INT_MIN || value > INT_MAX || !values.contains(int(value)))
                continue;
        }
        const qint64 rowid = sqlite3_column_int64(select.get(), 0);
        if (entry.rows.contains(rowid))
            continue;
        entry.rows.insert(rowid);
        entry.table.rowids.push_back(rowid);
        entry.table.before.push_back(storeRow(select.get(), 1, columns, entry.table));
    }
}

void SchemaEditRecorder::inserted(const QString& table, qint64 rowid)
{
    Log& entry = log(table);
    if (entry.rows.contains(rowid))
        return;
    entry.rows.insert(rowid);
    entry.table.rowids.push_back(rowid);
    entry.table.before.push_back(-1);
}

SchemaEditStep SchemaEditRecorder::finish()
{
    const QSqlDatabase db = data_.calculation();
    for (Log& entry : logs_) {
        SchemaEditStep::Table& table = entry.table;
        const int columns = int(table.columns.size());
        QHash<qint64, size_t> index;
        index.reserve(qsizetype(table.rowids.size()));
        for (size_t i = 0; i < table.rowids.size(); ++i)
            index.insert(table.rowids[i], i);
        table.after.assign(table.rowids.size(), -1);
        // An emptied table has no after-images to look for; for many rows one
        // pass over the table costs less than a search for each.
        if (selectValue(db, QStringLiteral("SELECT 1 FROM ") + quoteName(table.name) + QStringLiteral(" LIMIT 1"))
                .isValid()) {
            const bool scan = manyRows(db, table.name, qint64(table.rowids.size()));
            NativeStatement select(db, QStringLiteral("SELECT rowid, * FROM ") + quoteName(table.name)
                                           + (scan ? QString() : QStringLiteral(" WHERE rowid IN ") + kNumberList));
            if (!scan)
                select.bindText(1, jsonNumbers(table.rowids));
            while (select.step()) {
                const auto found = index.constFind(sqlite3_column_int64(select.get(), 0));
                if (found != index.constEnd())
                    table.after[*found] = storeRow(select.get(), 1, columns, table);
            }
        }
        // Only the rows that changed stay in the step.
        size_t kept = 0;
        for (size_t i = 0; i < table.rowids.size(); ++i)
            if (!sameRow(table, table.before[i], table.after[i], columns)) {
                table.rowids[kept] = table.rowids[i];
                table.before[kept] = table.before[i];
                table.after[kept] = table.after[i];
                ++kept;
            }
        table.rowids.resize(kept);
        table.before.resize(kept);
        table.after.resize(kept);
        if (kept > 0)
            step_.tables.push_back(std::move(table));
    }
    logs_.clear();
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
            // When the step holds every row of the table, the table is emptied at once.
            bool every = manyRows(db, table.name, qint64(table.rowids.size()));
            if (every) {
                const QSet<qint64> rowids(table.rowids.begin(), table.rowids.end());
                NativeStatement all(db, QStringLiteral("SELECT rowid FROM ") + quoteName(table.name));
                while (every && all.step())
                    every = rowids.contains(sqlite3_column_int64(all.get(), 0));
                if (!every)
                    sqlite3_reset(all.get());
            }
            NativeStatement remove(db, QStringLiteral("DELETE FROM ") + quoteName(table.name)
                                           + (every ? QString() : QStringLiteral(" WHERE rowid IN ") + kNumberList));
            if (!every)
                remove.bindText(1, jsonNumbers(table.rowids));
            remove.run();
        }
        for (const SchemaEditStep::Table& table : step.tables) {
            QStringList names{QStringLiteral("rowid")};
            QStringList parameters{QStringLiteral("?")};
            for (const QString& column : table.columns) {
                names.append(quoteName(column));
                parameters.append(QStringLiteral("?"));
            }
            NativeStatement insert(db, QStringLiteral("INSERT INTO ") + quoteName(table.name) + QStringLiteral(" (")
                                           + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                                           + parameters.join(QStringLiteral(", ")) + QLatin1Char(')'));
            const int columns = int(table.columns.size());
            const std::vector<qint64>& images = forward ? table.after : table.before;
            for (size_t i = 0; i < table.rowids.size(); ++i) {
                if (images[i] < 0)
                    continue;
                const int code = sqlite3_bind_int64(insert.get(), 1, table.rowids[i]);
                if (code != SQLITE_OK)
                    insert.fail(code);
                for (int c = 0; c < columns; ++c)
                    bindStored(insert, c + 2, table.values[size_t(images[i] + c)], table);
                insert.run();
            }
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
