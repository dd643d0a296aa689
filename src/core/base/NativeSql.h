#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <initializer_list>

struct sqlite3;
struct sqlite3_stmt;

namespace zurm {

// A statement run directly on the SQLite connection of a QSqlDatabase (the
// QSQLITE driver over the system's libsqlite3), for reads and writes of many
// rows, where moving every value through QVariant and QSqlQuery costs more than
// the database's own work. It takes part in the connection's transactions like
// any other statement. Every failure throws Failure with the database's text.
class NativeStatement {
public:
    NativeStatement(const QSqlDatabase& db, const QString& sql);
    ~NativeStatement();
    NativeStatement(const NativeStatement&) = delete;
    NativeStatement& operator=(const NativeStatement&) = delete;

    sqlite3_stmt* get() const { return statement_; }
    sqlite3* connection() const { return connection_; }
    // Binds whole numbers to the parameters 1, 2, … and runs the statement
    // (one without rows).
    void run(std::initializer_list<qint64> values);
    // Binds a text (by copy) to the 1-based parameter.
    void bindText(int index, const QString& text);
    // Binds a real or a whole number to the 1-based parameter.
    void bindReal(int index, double value);
    void bindInteger(int index, qint64 value);
    void bindNull(int index);
    // Binds a value as the QSQLITE driver binds it: Null, a whole number, a
    // real, a blob (QByteArray) or else its text.
    void bindValue(int index, const QVariant& value);
    // Runs to the next row: true while there is one. After the last row (or a
    // statement without rows) the statement is reset for new bindings.
    bool step();
    // A column of the current row (0-based) as the QSQLITE driver gives it:
    // qlonglong, double, QString, QByteArray or a null QVariant.
    QVariant value(int column) const;
    // Typed reads of a column of the current row, without a QVariant: its
    // storage class, and its value as an integer or a real (as SQLite converts
    // it; meant for columns whose class was checked).
    enum class Kind { Integer, Real, Text, Blob, Null };
    Kind kind(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    // Runs a statement without rows and resets it for new bindings.
    void run();
    // The rowid of the last row inserted on the connection.
    qint64 lastInsertRowid() const;
    // Throws the failure of a call on the statement that returned `code`
    // (sqlite3_bind_*), after resetting it.
    [[noreturn]] void fail(int code) const;

private:

    sqlite3* connection_ = nullptr;
    sqlite3_stmt* statement_ = nullptr;
};

} // namespace zurm
