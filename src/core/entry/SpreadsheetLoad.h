#pragma once

#include "document/DataModule.h"
#include "platform/XlsxReader.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace zurm {

class Progress;

// Loading segment values from a worksheet: each segment of Табл takes up to
// eight indicators from the first row of a row range whose two node columns
// hold its start and end node numbers.

inline constexpr int kLoadLines = 8;

// The dialog's fields as typed (the numbers as text), and the remembered
// settings of the last load.
struct LoadSettings {
    QString workbook;
    QString sheet;
    QString firstRow, lastRow;
    QString startColumn, endColumn;
    std::array<QString, kLoadLines> names;
    std::array<QString, kLoadLines> columns;
};

// The one row of НастрЗагрИзExcel in the settings file; Null fields are empty.
LoadSettings readLoadSettings(const QSqlDatabase& settings);
// Stores the fields: whole numbers as integers, anything else in a numeric
// field (empty, text, fractions) as Null; empty texts as Null.
void storeLoadSettings(const QSqlDatabase& settings, const LoadSettings& fields);

// The indicators a load can fill, the same list for all eight lines: the
// segment indicators the user enters whose columns Табл holds.
QStringList loadableIndicators(const DataModule& data);

// Which field a check failed on, to give it the focus.
enum class LoadField { Sheet, FirstRow, LastRow, StartColumn, EndColumn, Column, Name };

// A checked request: columns are 1-based; the sheet is named, since the
// workbook may have changed since its sheets were listed.
struct LoadPlan {
    QString sheet;
    int firstRow = 1, lastRow = 1;
    int startColumn = 1, endColumn = 1;
    struct Line {
        QString name;
        int column = 1;
    };
    QList<Line> lines; // only the lines with a name, in their order
};

struct LoadCheck {
    std::optional<LoadPlan> plan;
    LoadField field = LoadField::Sheet;
    int line = -1; // the line of a Column or Name failure (0-based)
    QString message;
};

// The name boxes as the dialog leaves them: the sheet and each indicator name
// matched without regard to case with its list and written as the list
// writes it; a name not in its list becomes empty.
LoadSettings normaliseLoadSettings(const LoadSettings& fields, const QStringList& sheets,
                                   const QStringList& indicators);

// The checks before a load, in order, on normalised fields; the first failure
// is the message. A load by one node column (the consumers at the end nodes)
// does not look at the end-node column; its plan names the start column twice.
LoadCheck checkLoadSettings(const LoadSettings& fields, const QStringList& sheets, bool twoNodeColumns = true);

struct LoadResult {
    bool ok = false;
    QString message;
    // The cell that did not convert to a number (1-based); the workbook is
    // then shown to the user.
    std::optional<int> failedRow, failedColumn;
    int loadedSegments = 0;
    int loadedConsumers = 0;
};

// Loads the planned values into Табл, in the grid's order, in one
// transaction. Values written before an error stay written; the segment
// whose cell failed takes none of its values. A workbook that cannot be
// read or no longer has the sheet, a segment without its node numbers and a
// cell that is no number (a formula without a stored result included) end
// the load with their message. Input changed on `source`'s behalf when a
// segment was written.
LoadResult loadFromWorkbook(DataModule& data, const QString& workbook, const LoadPlan& plan,
                            Progress& progress, const QObject* source = nullptr);

// The message of a cell that is no number, "why" being the conversion's text.
QString cellConversionMessage(int row, int column, const QString& why);

// A cell's value as a number: an empty cell is 0, a boolean 1 or 0, a text
// that reads as a typed number that number; anything else has its reason.
struct CellNumber {
    bool ok = false;
    double value = 0;
    QString why;
};
CellNumber cellNumber(const XlsxCell& cell);

// The cells a plan reads: its rows of the node columns and of the lines'
// columns, from the sheet of that name (letter case ignored). Throws Failure
// when the workbook cannot be read or no longer has the sheet.
XlsxSheet readPlannedCells(const QString& workbook, const LoadPlan& plan);

} // namespace zurm
