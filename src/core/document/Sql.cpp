#include "document/Sql.h"

#include "document/Failure.h"

#include <QSqlError>
#include <QSqlRecord>

namespace zurm {

namespace {
StatementObserver& observer()
{
    static StatementObserver instance;
    return instance;
}

[[noreturn]] void fail(const QSqlError& error, const QString& sql)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    Q_UNUSED(sql);
    throw Failure(QString::fromLatin1(kSqlErrorClass), text);
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings, bool forwardOnly)
{
    if (!db.isOpen())
        throw Failure(QString::fromLatin1(kSqlErrorClass),
                      QStringLiteral("Соединение с базой данных не установлено."));
    QSqlQuery query(db);
    query.setForwardOnly(forwardOnly);
    if (!query.prepare(sql))
        fail(query.lastError(), sql);
    for (const QVariant& value : bindings)
        query.addBindValue(value);
    if (!query.exec())
        fail(query.lastError(), sql);
    return query;
}
} // namespace

void setStatementObserver(StatementObserver o) { observer() = std::move(o); }

void execSql(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings)
{
    if (observer())
        observer()(db.connectionName(), sql);
    run(db, sql, bindings, true);
}

QSqlQuery selectSql(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings)
{
    return run(db, sql, bindings, true);
}

QVariant selectValue(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings)
{
    QSqlQuery query = run(db, sql, bindings, true);
    if (!query.next())
        return {};
    return query.value(0);
}

QString quoteName(const QString& name)
{
    // SQLite ends a bracketed name at the first "]" and knows no escape for it;
    // a double-quoted name carries any character, its own quote doubled.
    if (!name.contains(QLatin1Char(']')))
        return QLatin1Char('[') + name + QLatin1Char(']');
    QString quoted = name;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QList<ColumnInfo> tableColumns(const QSqlDatabase& db, const QString& table)
{
    QList<ColumnInfo> columns;
    QSqlQuery query = run(db, QStringLiteral("PRAGMA table_info(") + quoteName(table) + QLatin1Char(')'), {}, true);
    while (query.next()) {
        ColumnInfo info;
        info.name = query.value(1).toString();
        info.declaredType = query.value(2).toString();
        info.notNull = query.value(3).toInt() != 0;
        info.primaryKey = query.value(5).toInt() != 0;
        columns.append(info);
    }
    return columns;
}

bool tableExists(const QSqlDatabase& db, const QString& table)
{
    return selectValue(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?"),
                       {table}).toInt() > 0;
}

Transaction::Transaction(const QSqlDatabase& db) : db_(db)
{
    QSqlDatabase handle = db_;
    if (!handle.transaction())
        fail(handle.lastError(), QStringLiteral("BEGIN"));
    active_ = true;
}

Transaction::~Transaction()
{
    if (active_) {
        QSqlDatabase handle = db_;
        handle.rollback();
    }
}

void Transaction::commit()
{
    QSqlDatabase handle = db_;
    if (!handle.commit())
        fail(handle.lastError(), QStringLiteral("COMMIT"));
    active_ = false;
}

} // namespace zurm
