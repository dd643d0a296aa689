#pragma once

#include "base/Failure.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <functional>

namespace zurm {

// Executes one statement; throws Failure with the database's own text.
void execSql(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings = {});
// Prepares and runs a SELECT; the returned query is positioned before the first row.
QSqlQuery selectSql(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings = {});
// First column of the first row, or an invalid QVariant when there is no row.
QVariant selectValue(const QSqlDatabase& db, const QString& sql, const QVariantList& bindings = {});

// A statement prepared once and run many times with new bindings
// (query.bindValue, then execPrepared). Both throw Failure with the database's
// own text; failQuery throws it for a query that went wrong.
QSqlQuery prepareSql(const QSqlDatabase& db, const QString& sql);
void execPrepared(QSqlQuery& query);
[[noreturn]] void failQuery(const QSqlQuery& query);

// An identifier as statements write it: "[name]", or the name in double quotes
// with its double quotes doubled when it holds a "]". No character of a name
// can end the quoted form; every name put into a statement goes through here.
QString quoteName(const QString& name);

// Runs `work` on a connection of its own to the file at `path` (read-only when
// asked), removed again afterwards. Returns what went wrong: the error of
// opening it or the text of a Failure thrown by `work`; empty when all went well.
QString onOwnConnection(const QString& path, bool readOnly, const std::function<void(QSqlDatabase&)>& work);

struct ColumnInfo {
    QString name;
    QString declaredType; // as declared, e.g. "float", "text(255)", "INTEGER"
    bool notNull = false;
    bool primaryKey = false;
};
// Columns of a table in column order (PRAGMA table_info); empty when the table does not exist.
QList<ColumnInfo> tableColumns(const QSqlDatabase& db, const QString& table);
bool tableExists(const QSqlDatabase& db, const QString& table);

// Transaction that rolls back unless committed. Inside another transaction of
// the same connection it is a savepoint: its commit keeps its changes for the
// outer one to commit or roll back. Transactions of one connection end in the
// reverse order of their start.
class Transaction {
public:
    explicit Transaction(const QSqlDatabase& db);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    void leave();

    QSqlDatabase db_;
    int depth_ = 0;
    bool active_ = false;
};

// Observer of every statement executed through execSql: (connection name, sql).
// Tests use it to see which statements reach a file.
using StatementObserver = std::function<void(const QString&, const QString&)>;
void setStatementObserver(StatementObserver observer);

} // namespace zurm
