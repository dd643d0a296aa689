#pragma once

// Files of the program's earlier versions are Microsoft Access (Jet)
// databases with the same tables. They are converted into new SQLite files;
// the old file is only ever read.

#include "document/DataModule.h"
#include "platform/JetDatabase.h"

#include <QString>
#include <functional>
#include <optional>

namespace zurm {

class Progress;

// What an old file turned out to be, by its tables.
struct OldFileFacts {
    std::optional<DatabaseKind> kind; // none: a Jet database that is no file of the program
    int version = 4;                  // Jet 3 or Jet 4
};
OldFileFacts examineOldFile(const JetSource& source);

// "файл расчета", "файл справочников", "файл настроек" or "база данных
// Microsoft Access, не являющаяся файлом ЗУРМ".
QString oldFileKindText(const std::optional<DatabaseKind>& kind);

// Said when an old file chosen as a document of `expected` is another kind of
// file; nothing is converted then.
QString kindMismatchMessage(const QString& oldFile, DatabaseKind expected, const std::optional<DatabaseKind>& actual);

struct ConversionSummary {
    OldFileFacts facts;
    int tables = 0;
    qint64 rows = 0;
};

// Writes every user table of `source` with its columns in their order and its
// rows in their stored order into the SQLite file `database` (empty or not yet
// there). A file of the program is built on its delivered file from
// `programFolder` (templateFileName): its tables keep their declared types,
// their delivered rows give way to the old file's, and columns the old file
// has beyond them are added. Throws Failure naming the table and row that
// cannot be written.
ConversionSummary writeConvertedDatabase(const JetSource& source, const QString& database,
                                         const QString& programFolder, Progress& progress);

// The SQL type a Jet column becomes: Text(n) text(n), Memo text, Byte and
// Integer smallint, Long int, Single, Double and Currency float, Yes/No bit,
// Date/Time datetime, OLE object and binary blob, GUID and Decimal text.
QString sqlTypeOf(const JetColumn& column);

// The name the converted file of `oldFile` takes beside it: the old name with
// " (преобразован)" (then " (преобразован 2)", …) before ".mdb", the first
// that names no file yet.
QString convertedFileName(const QString& oldFile);

// Converts `oldFile` into `newFile` through OutputFile: `newFile` must not
// exist (a refusal throws Failure of class OutputPlaceError before anything is
// written); the bytes go to a temporary file beside it, `prepare` (when given)
// runs on that file, and one rename puts it in place. Throws Failure.
ConversionSummary convertOldFile(const QString& oldFile, const QString& newFile, const QString& programFolder,
                                 const QByteArray& jet3Charset, Progress& progress,
                                 const std::function<void(const QString& temporaryFile, const ConversionSummary&)>&
                                     prepare = {});

} // namespace zurm
