#pragma once

#include "platform/XlsxReader.h"

#include <QString>
#include <QStringList>

namespace zurm {

// Reads the cell values of .xls workbooks (the binary format of Excel 97-2003,
// BIFF5 and BIFF8 in an OLE2 compound file) through FreeXL. Numbers come as
// Number; texts as Text; dates as FreeXL gives them, as text ("2024-03-01",
// "2024-03-01 12:30:00", "12:30:00"); booleans and error cells as Boolean and
// Error, and formula cells with their stored result, read by the check that
// runs before FreeXL (FreeXL itself gives booleans and error codes as numbers
// and formula cells as empty). Throws Failure (class "XlsError") naming the
// file when it is no such workbook or is damaged.
class XlsReader {
public:
    explicit XlsReader(const QString& path);
    ~XlsReader();
    XlsReader(const XlsReader&) = delete;
    XlsReader& operator=(const XlsReader&) = delete;

    const QStringList& sheetNames() const { return sheetNames_; }
    XlsxSheet sheet(int index, const SheetWindow& window) const;

private:
    [[noreturn]] void fail(const QString& why) const;
    [[noreturn]] void failFreeXl(int code) const;

    QString path_;
    const void* handle_ = nullptr;
    QStringList sheetNames_;
    QList<QHash<qint64, XlsxCell>> recordCells_;
};

} // namespace zurm
