#include "document/OldFormatConversion.h"

#include "base/Failure.h"
#include "base/UserDialogs.h"
#include "platform/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <sqlite3.h>

namespace zurm {

namespace {

constexpr const char* kConversionErrorClass = "ConversionError";

QString quoted(const QString& name)
{
    QString text = name;
    text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// One connection of the conversion on the new file.
class Target {
public:
    explicit Target(const QString& path) : path_(path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            fail(QStringLiteral("файл не открывается"));
        sqlite3_extended_result_codes(db_, 1);
        // The file is a temporary one until it is complete: no journal is
        // needed, and a failure throws it away as a whole.
        exec(QStringLiteral("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA trusted_schema=OFF"));
    }
    ~Target() { sqlite3_close_v2(db_); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    sqlite3* db() const { return db_; }

    void exec(const QString& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
            const QString text = QString::fromUtf8(error ? error : sqlite3_errmsg(db_));
            sqlite3_free(error);
            fail(text);
        }
    }

    // The tables the file already has (a delivered file's), with their columns.
    QMap<QString, QStringList> tables()
    {
        QMap<QString, QStringList> result;
        sqlite3_stmt* names = nullptr;
        sqlite3_prepare_v2(db_, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%'",
                           -1, &names, nullptr);
        while (names && sqlite3_step(names) == SQLITE_ROW) {
            const QString table = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(names, 0)));
            QStringList columns;
            sqlite3_stmt* info = nullptr;
            sqlite3_prepare_v2(db_, ("SELECT name FROM pragma_table_info(" + quotedLiteral(table) + ")").constData(),
                               -1, &info, nullptr);
            while (info && sqlite3_step(info) == SQLITE_ROW)
                columns.append(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(info, 0))));
            sqlite3_finalize(info);
            result.insert(table, columns);
        }
        sqlite3_finalize(names);
        return result;
    }

    [[noreturn]] void fail(const QString& what) const
    {
        throw Failure(QString::fromLatin1(kConversionErrorClass),
                      QStringLiteral("Не удалось записать файл ") + QDir::toNativeSeparators(path_)
                          + QStringLiteral(": ") + what);
    }

private:
    static QByteArray quotedLiteral(const QString& text)
    {
        QString t = text;
        t.replace(QLatin1Char('\''), QStringLiteral("''"));
        return "'" + t.toUtf8() + "'";
    }

    QString path_;
    sqlite3* db_ = nullptr;
};

const QString* findName(const QStringList& names, const QString& name)
{
    for (const QString& n : names)
        if (n == name)
            return &n;
    for (const QString& n : names)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return &n;
    return nullptr;
}

QString valueText(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("Null");
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("%1 байт").arg(value.toByteArray().size());
    return value.toString();
}

void bind(sqlite3_stmt* statement, int index, const QVariant& value)
{
    if (!value.isValid()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::LongLong: sqlite3_bind_int64(statement, index, value.toLongLong()); break;
    case QMetaType::Double: sqlite3_bind_double(statement, index, value.toDouble()); break;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        sqlite3_bind_blob64(statement, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        sqlite3_bind_text64(statement, index, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
        break;
    }
    }
}

} // namespace

OldFileFacts examineOldFile(const JetSource& source)
{
    QMap<QString, QStringList> tables;
    for (const JetTable& table : source.tables()) {
        QStringList columns;
        for (const JetColumn& column : table.columns)
            columns.append(column.name);
        tables.insert(table.name, columns);
    }
    return {kindOfTables(tables), source.version()};
}

QString oldFileKindText(const std::optional<DatabaseKind>& kind)
{
    if (!kind)
        return QStringLiteral("база данных Microsoft Access, не являющаяся файлом ЗУРМ");
    switch (*kind) {
    case DatabaseKind::Calculation: return QStringLiteral("файл расчета");
    case DatabaseKind::Reference: return QStringLiteral("файл справочников");
    case DatabaseKind::Settings: return QStringLiteral("файл настроек");
    }
    return {};
}

QString kindMismatchMessage(const QString& oldFile, DatabaseKind expected, const std::optional<DatabaseKind>& actual)
{
    return QStringLiteral("Файл ") + QDir::toNativeSeparators(oldFile)
        + QStringLiteral(" сохранен в формате прежних версий программы, но не является ") + kindName(expected)
        + QStringLiteral(" ЗУРМ: это ") + oldFileKindText(actual) + QLatin1Char('.');
}

QString sqlTypeOf(const JetColumn& column)
{
    switch (column.type) {
    case JetType::Text: return QStringLiteral("text(%1)").arg(column.size);
    case JetType::Memo: return QStringLiteral("text");
    case JetType::Byte:
    case JetType::Integer: return QStringLiteral("smallint");
    case JetType::Long: return QStringLiteral("int");
    case JetType::Single:
    case JetType::Double:
    case JetType::Currency: return QStringLiteral("float");
    case JetType::Boolean: return QStringLiteral("bit");
    case JetType::DateTime: return QStringLiteral("datetime");
    // Text keeps a Decimal's every digit, where a numeric type would round it.
    case JetType::Guid:
    case JetType::Decimal: return QStringLiteral("text");
    case JetType::Binary:
    case JetType::Ole:
    case JetType::Other: return QStringLiteral("blob");
    }
    return QStringLiteral("blob");
}

ConversionSummary writeConvertedDatabase(const JetSource& source, const QString& database,
                                         const QString& programFolder, Progress& progress)
{
    ConversionSummary summary;
    summary.facts = examineOldFile(source);
    if (summary.facts.kind) {
        const QString delivered = QDir(programFolder).filePath(templateFileName(*summary.facts.kind));
        QFile from(delivered);
        QFile to(database);
        if (!from.open(QIODevice::ReadOnly))
            throw Failure(QString::fromLatin1(kConversionErrorClass),
                          QStringLiteral("Файл ") + QDir::toNativeSeparators(delivered)
                              + QStringLiteral(" не может быть открыт: ") + from.errorString()
                              + QStringLiteral(". Для исправления данной ошибки требуется переустановка программы."));
        if (!to.open(QIODevice::WriteOnly | QIODevice::Truncate) || to.write(from.readAll()) < 0 || !to.flush())
            throw Failure(QString::fromLatin1(kConversionErrorClass),
                          outputWriteFailure(database, 0, to.errorString()));
    }

    Target target(database);
    QMap<QString, QStringList> existing = target.tables();
    target.exec(QStringLiteral("BEGIN"));
    for (int index = 0; index < source.tables().size(); ++index) {
        const JetTable& table = source.tables().at(index);
        progress.setStatus(QStringLiteral("Преобразование таблицы ") + table.name + QStringLiteral("..."));
        progress.processEvents();
        const QString where = QStringLiteral("таблица \"") + table.name + QStringLiteral("\"");
        const QString* known = findName(existing.keys(), table.name);
        const QString name = known ? *known : table.name;
        QStringList targetColumns;
        try {
            if (!known) {
                QStringList definitions;
                for (const JetColumn& column : table.columns)
                    definitions.append(quoted(column.name) + QLatin1Char(' ') + sqlTypeOf(column));
                target.exec(QStringLiteral("CREATE TABLE ") + quoted(name) + QStringLiteral(" (")
                            + definitions.join(QStringLiteral(", ")) + QLatin1Char(')'));
                for (const JetColumn& column : table.columns)
                    targetColumns.append(column.name);
            } else {
                // The old file's rows replace the delivered ones; its columns
                // keep the delivered types, and those the delivery lacks (the
                // indicators' own columns) come along with their Jet types.
                QStringList columns = existing.value(name);
                target.exec(QStringLiteral("DELETE FROM ") + quoted(name));
                for (const JetColumn& column : table.columns) {
                    const QString* present = findName(columns, column.name);
                    if (present) {
                        targetColumns.append(*present);
                        continue;
                    }
                    target.exec(QStringLiteral("ALTER TABLE ") + quoted(name) + QStringLiteral(" ADD COLUMN ")
                                + quoted(column.name) + QLatin1Char(' ') + sqlTypeOf(column));
                    columns.append(column.name);
                    targetColumns.append(column.name);
                }
                existing.insert(name, columns);
            }
        } catch (const Failure& failure) {
            throw Failure(failure.className(), failure.text() + QStringLiteral(" (") + where + QLatin1Char(')'));
        }
        if (table.columns.isEmpty()) {
            ++summary.tables;
            continue;
        }
        QStringList names, marks;
        for (const QString& column : targetColumns) {
            names.append(quoted(column));
            marks.append(QStringLiteral("?"));
        }
        const QByteArray insert = (QStringLiteral("INSERT INTO ") + quoted(name) + QStringLiteral(" (")
                                   + names.join(QStringLiteral(", ")) + QStringLiteral(") VALUES (")
                                   + marks.join(QStringLiteral(", ")) + QLatin1Char(')'))
                                      .toUtf8();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(target.db(), insert.constData(), -1, &statement, nullptr) != SQLITE_OK)
            target.fail(QString::fromUtf8(sqlite3_errmsg(target.db())) + QStringLiteral(" (") + where
                        + QLatin1Char(')'));
        qint64 rowNumber = 0;
        try {
            source.readRows(index, [&](const JetRow& row) {
                ++rowNumber;
                for (int c = 0; c < row.size() && c < targetColumns.size(); ++c)
                    bind(statement, c + 1, row.at(c));
                if (sqlite3_step(statement) != SQLITE_DONE) {
                    QStringList values;
                    for (const QVariant& value : row)
                        values.append(valueText(value));
                    const QString text = QString::fromUtf8(sqlite3_errmsg(target.db()));
                    sqlite3_reset(statement);
                    target.fail(text + QStringLiteral(" (") + where + QStringLiteral(", строка %1: ").arg(rowNumber)
                                + values.join(QStringLiteral(", ")) + QLatin1Char(')'));
                }
                sqlite3_reset(statement);
                sqlite3_clear_bindings(statement);
                if (rowNumber % 4096 == 0)
                    progress.processEvents();
            });
        } catch (...) {
            sqlite3_finalize(statement);
            throw;
        }
        sqlite3_finalize(statement);
        ++summary.tables;
        summary.rows += rowNumber;
    }
    target.exec(QStringLiteral("COMMIT"));
    progress.setStatus(QString());
    return summary;
}

QString convertedFileName(const QString& oldFile)
{
    const QFileInfo info(oldFile);
    QString stem = info.fileName();
    QString extension = QStringLiteral(".mdb");
    if (stem.size() >= 4 && stem.right(4).compare(extension, Qt::CaseInsensitive) == 0) {
        extension = stem.right(4);
        stem.chop(4);
    }
    const QDir folder = info.absoluteDir();
    for (int n = 1;; ++n) {
        const QString suffix = n == 1 ? QStringLiteral(" (преобразован)") : QStringLiteral(" (преобразован %1)").arg(n);
        const QString candidate = folder.filePath(stem + suffix + extension);
        if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink())
            return candidate;
    }
}

ConversionSummary convertOldFile(const QString& oldFile, const QString& newFile, const QString& programFolder,
                                 const QByteArray& jet3Charset, Progress& progress,
                                 const std::function<void(const QString&, const ConversionSummary&)>& prepare)
{
    const QString target = QFileInfo(newFile).absoluteFilePath();
    const QString place = QStringLiteral("Преобразованный файл");
    if (QFileInfo::exists(target) || QFileInfo(target).isSymLink())
        throw Failure(QString::fromLatin1(kOutputPlaceErrorClass),
                      QStringLiteral("Файл ") + QDir::toNativeSeparators(target)
                          + QStringLiteral(" уже существует. Преобразованный файл записывается только в новый файл: "
                                           "укажите имя, которого еще нет."));
    const QList<KeptFile> kept = {{QFileInfo(oldFile).absoluteFilePath(), QStringLiteral("преобразуемый файл")}};
    const QString problem = outputPlaceProblem(place, target, kept);
    if (!problem.isEmpty())
        throw Failure(QString::fromLatin1(kOutputPlaceErrorClass), problem);

    const JetDatabase source(oldFile, jet3Charset);
    OutputFile output(target, place, kept);
    const ConversionSummary summary = writeConvertedDatabase(source, output.temporaryPath(), programFolder, progress);
    if (prepare)
        prepare(output.temporaryPath(), summary);
    output.commit();
    return summary;
}

} // namespace zurm
