#include "base/NativeSql.h"

#include "base/DocumentConnection.h"
#include "base/Failure.h"
#include "base/Sql.h"

#include <QSqlDriver>
#include <QVariant>
#include <sqlite3.h>

namespace zurm {

namespace {

[[noreturn]] void failWith(sqlite3* connection, int code)
{
    const QString text = QString::fromUtf8(connection ? sqlite3_errmsg(connection) : sqlite3_errstr(code));
    const char* file = connection ? sqlite3_db_filename(connection, "main") : nullptr;
    throw Failure(QString::fromLatin1(kSqlErrorClass),
                  file && *file ? engineFailureText(QString::fromUtf8(file), code, text) : text);
}

sqlite3* connectionOf(const QSqlDatabase& db)
{
    if (!db.isOpen() || !db.driver())
        throw Failure(QString::fromLatin1(kSqlErrorClass), QStringLiteral("Соединение с базой данных не установлено."));
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw Failure(QString::fromLatin1(kSqlErrorClass), QStringLiteral("Соединение с базой данных не установлено."));
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection)
        throw Failure(QString::fromLatin1(kSqlErrorClass), QStringLiteral("Соединение с базой данных не установлено."));
    return connection;
}

} // namespace

NativeStatement::NativeStatement(const QSqlDatabase& db, const QString& sql) : connection_(connectionOf(db))
{
    const QByteArray text = sql.toUtf8();
    const int code = sqlite3_prepare_v2(connection_, text.constData(), int(text.size()), &statement_, nullptr);
    if (code != SQLITE_OK)
        fail(code);
}

NativeStatement::~NativeStatement() { sqlite3_finalize(statement_); }

void NativeStatement::bindText(int index, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const int code = sqlite3_bind_text(statement_, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    if (code != SQLITE_OK)
        fail(code);
}

void NativeStatement::bindReal(int index, double value)
{
    const int code = sqlite3_bind_double(statement_, index, value);
    if (code != SQLITE_OK)
        fail(code);
}

void NativeStatement::bindInteger(int index, qint64 value)
{
    const int code = sqlite3_bind_int64(statement_, index, value);
    if (code != SQLITE_OK)
        fail(code);
}

void NativeStatement::bindNull(int index)
{
    const int code = sqlite3_bind_null(statement_, index);
    if (code != SQLITE_OK)
        fail(code);
}

void NativeStatement::bindValue(int index, const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return bindNull(index);
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return bindInteger(index, value.toLongLong());
    case QMetaType::Double:
        return bindReal(index, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        const int code = sqlite3_bind_blob(statement_, index, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        if (code != SQLITE_OK)
            fail(code);
        return;
    }
    default:
        return bindText(index, value.toString());
    }
}

NativeStatement::Kind NativeStatement::kind(int column) const
{
    switch (sqlite3_column_type(statement_, column)) {
    case SQLITE_INTEGER:
        return Kind::Integer;
    case SQLITE_FLOAT:
        return Kind::Real;
    case SQLITE_TEXT:
        return Kind::Text;
    case SQLITE_BLOB:
        return Kind::Blob;
    default:
        return Kind::Null;
    }
}

qint64 NativeStatement::integer(int column) const { return sqlite3_column_int64(statement_, column); }

double NativeStatement::real(int column) const { return sqlite3_column_double(statement_, column); }

bool NativeStatement::step()
{
    int code = SQLITE_OK;
    {
        EngineCall call;
        code = sqlite3_step(statement_);
    }
    if (code == SQLITE_ROW)
        return true;
    const int reset = sqlite3_reset(statement_);
    if (code != SQLITE_DONE)
        fail(code);
    if (reset != SQLITE_OK)
        fail(reset);
    return false;
}

QVariant NativeStatement::value(int column) const
{
    switch (sqlite3_column_type(statement_, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(statement_, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement_, column));
    case SQLITE_TEXT: {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return QVariant(QString::fromUtf8(text, sqlite3_column_bytes(statement_, column)));
    }
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(statement_, column));
        return QVariant(QByteArray(data, sqlite3_column_bytes(statement_, column)));
    }
    default:
        return QVariant();
    }
}

qint64 NativeStatement::lastInsertRowid() const { return sqlite3_last_insert_rowid(connection_); }

void NativeStatement::run()
{
    while (step()) {
    }
}

void NativeStatement::run(std::initializer_list<qint64> values)
{
    int index = 0;
    for (const qint64 value : values) {
        const int code = sqlite3_bind_int64(statement_, ++index, value);
        if (code != SQLITE_OK)
            fail(code);
    }
    run();
}

void NativeStatement::fail(int code) const
{
    // The statement keeps no half-done state behind a failure.
    if (statement_)
        sqlite3_reset(statement_);
    failWith(connection_, code);
}

} // namespace zurm
