#include "base/Sql.h"

#include "base/DocumentConnection.h"
#include "base/Failure.h"

#include <QAtomicInt>
#include <QHash>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlRecord>

namespace zurm {

namespace {
StatementObserver& observer()
{
    static StatementObserver instance;
    return instance;
}

[[noreturn]] void fail(const QSqlDriver* driver, const QSqlError& error)
{
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    bool numbered = false;
    const int code = error.nativeErrorCode().toInt(&numbered);
    throw Failure(QString::fromLatin1(kSqlErrorClass), numbered ? engineFailureText(driver, code, text) : text);
}

QSqlQuery run(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings, bool forwardOnly)
{
    if (!db.isOpen())
        throw Failure(QString::fromLatin1(kSqlErrorClass),
                      QStringLiteral("Соединение с базой данных не установлено."));
    QSqlQuery query(db);
    query.setForwardOnly(forwardOnly);
    EngineCall call;
    if (!query.prepare(sql))
        fail(db.driver(), query.lastError());
    for (const QVariant& value : bindings)
        query.addBindValue(value);
    if (!query.exec())
        fail(db.driver(), query.lastError());
    return query;
}
} // namespace

QSqlQuery prepareSql(const QSqlDatabase& db, const QString& sql)
{
    if (!db.isOpen())
        throw Failure(QString::fromLatin1(kSqlErrorClass),
                      QStringLiteral("Соединение с базой данных не установлено."));
    QSqlQuery query(db);
    if (!query.prepare(sql))
        failQuery(query);
    return query;
}

void execPrepared(QSqlQuery& query)
{
    EngineCall call;
    if (!query.exec())
        failQuery(query);
}

void failQuery(const QSqlQuery& query)
{
    fail(query.driver(), query.lastError());
}

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

QString onOwnConnection(const QString& path, bool readOnly, const std::function<void(QSqlDatabase&)>& work)
{
    static QAtomicInt counter;
    const QString name = QStringLiteral("own-%1").arg(counter.fetchAndAddRelaxed(1));
    QString problem;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (readOnly)
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open()) {
            problem = db.lastError().text();
        } else {
            try {
                guardDocumentConnection(db);
                work(db);
            } catch (const Failure& failure) {
                problem = failure.text();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return problem;
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

namespace {

// Transactions open on each connection: an inner one is a savepoint of the
// outer, so a whole operation (a calculation run) can still be undone as one.
QHash<QString, int>& transactionDepths()
{
    static QHash<QString, int> depths;
    return depths;
}

QString savepointName(int depth)
{
    return QStringLiteral("zurm_%1").arg(depth);
}

} // namespace

Transaction::Transaction(const QSqlDatabase& db) : db_(db)
{
    QSqlDatabase handle = db_;
    int& depth = transactionDepths()[handle.connectionName()];
    if (depth > 0) {
        execSql(handle, QStringLiteral("SAVEPOINT ") + savepointName(depth));
    } else if (!handle.transaction()) {
        fail(handle.driver(), handle.lastError());
    }
    depth_ = ++depth;
    active_ = true;
}

Transaction::~Transaction()
{
    if (!active_)
        return;
    QSqlDatabase handle = db_;
    if (depth_ > 1) {
        QSqlQuery query(handle);
        query.exec(QStringLiteral("ROLLBACK TO ") + savepointName(depth_ - 1));
        query.exec(QStringLiteral("RELEASE ") + savepointName(depth_ - 1));
    } else {
        handle.rollback();
    }
    leave();
}

void Transaction::commit()
{
    QSqlDatabase handle = db_;
    if (depth_ > 1)
        execSql(handle, QStringLiteral("RELEASE ") + savepointName(depth_ - 1));
    else if (!handle.commit())
        fail(handle.driver(), handle.lastError());
    active_ = false;
    leave();
}

void Transaction::leave()
{
    QHash<QString, int>& depths = transactionDepths();
    const QString name = db_.connectionName();
    if (depth_ <= 1)
        depths.remove(name);
    else
        depths[name] = depth_ - 1;
}

} // namespace zurm
