#pragma once

#include "platform/XlsxReader.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace zurm {

// Reads the cell values of .xls workbooks (the binary format of Excel 97-2003,
// BIFF5 and BIFF8 in an OLE2 compound file). Numbers come as Number (a date
// as its serial number, as in .xlsx); texts as Text; booleans and error cells
// as Boolean and Error; formula cells with the result their writer stored.
// The sheets are the worksheets of the workbook. Throws Failure (class
// "XlsError") naming the file when it is no such workbook or is damaged.
class XlsReader {
public:
    explicit XlsReader(const QString& path);

    const QStringList& sheetNames() const { return sheetNames_; }
    XlsxSheet sheet(int index, const SheetWindow& window) const;

private:
    [[noreturn]] void fail(const QString& why) const;
    void readGlobals();

    QString path_;
    QByteArray stream_; // the Workbook (BIFF8) or Book (BIFF5) stream
    int version_ = 8;
    int codePage_ = 1252;
    QStringList sheetNames_;
    std::vector<qsizetype> sheetOffsets_;
    // The shared strings end to end; string i is [starts[i], starts[i + 1]).
    QString stringPool_;
    std::vector<qsizetype> stringStarts_{0};
};

} // namespace zurm
