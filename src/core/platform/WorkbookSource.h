#pragma once

#include "platform/XlsxReader.h"

#include <QList>
#include <QStringList>
#include <memory>

namespace zurm {

// The rows and columns of a sheet a caller needs; cells outside are skipped while reading
// (a load reads two node columns and up to eight value columns of a row range).
struct SheetWindow {
    int firstRow = 1;
    int lastRow = 1048576;
    QList<int> columns; // 1-based; empty: every column
};

// A workbook opened for reading cell values: .xlsx or .xls, told apart by the file's content.
class WorkbookSource {
public:
    virtual ~WorkbookSource() = default;
    virtual const QStringList& sheetNames() const = 0;
    virtual XlsxSheet sheetCells(int index, const SheetWindow& window) const = 0;
};

std::unique_ptr<WorkbookSource> openWorkbook(const QString& path);

} // namespace zurm
