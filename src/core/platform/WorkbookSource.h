#pragma once

#include "platform/XlsxReader.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace zurm {

// A workbook opened for reading cell values: .xlsx or .xls, told apart by the file's content
// (zip signature "PK\3\4" or the OLE2 compound-file signature), not by its extension.
// Cells come as XlsxCell: numbers, texts, booleans (0 or 1), errors with their
// text ("#DIV/0!"), and formula cells with the result their writer stored (Empty
// when none is stored). Dates are their serial numbers in both formats.
// Limits against hostile files are in workbookLimits (XlsxReader.h): each read
// of a sheet unpacks its part again, and one workbook unpacks at most
// kMaxTotalBytes in all.
class WorkbookSource {
public:
    virtual ~WorkbookSource() = default;
    virtual const QStringList& sheetNames() const = 0;     // in the workbook's order
    // The cells of sheet `index` (0-based) inside the window; merges/widths may stay empty.
    virtual XlsxSheet sheetCells(int index, const SheetWindow& window) const = 0;
};

// Throws Failure (class "WorkbookError") with a Russian message naming the file, like
// XlsxReader's "Не удалось прочитать книгу <path>: <reason>.", when the file is missing,
// is neither format, or is damaged.
std::unique_ptr<WorkbookSource> openWorkbook(const QString& path);

} // namespace zurm
