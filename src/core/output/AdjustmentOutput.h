#pragma once

// The table of the adjustment of the consumers' inputs as the outputs give it:
// the columns, the values of a row, and the file of zurm-calc --adjustment
// and of the window's "Сохранить" (CSV or workbook).

#include "hydraulics/InputAdjustment.h"
#include "platform/OutputFile.h"

#include <QString>
#include <QVariant>
#include <vector>

namespace zurm {

class DataModule;
class UserDialogs;

struct AdjustmentColumn {
    QString caption;
    // -1 text, 0 a whole number, otherwise the decimals the value is given with.
    int decimals = -1;
};

// Узел, Потребитель, Схема присоединения, G, H, τ1, τ2, u, uр, № элеватора,
// dг, Hmin, dс, ΔH диафрагм, d диафрагмы, Число диафрагм, Примечание.
const std::vector<AdjustmentColumn>& adjustmentColumns();

// The value of a column: a number rounded to the column's decimals, an int,
// a text, or Null when the row has none.
QVariant adjustmentValue(const InputAdjustment& row, int column);

// The value as a text with the given decimal separator ("" for Null).
QString adjustmentText(const InputAdjustment& row, int column, QChar decimalPoint);

// The adjustment of the open calculation with the constants of the program
// settings (the defaults when no settings file is open). Throws Failure.
AdjustmentTable adjustmentOfCalculation(DataModule& data);

// Whether `path` names a workbook (.xlsx, any case) rather than a CSV file.
bool isWorkbookName(const QString& path);

// Writes the rows through an OutputFile ("Результат наладочного расчета"):
// a workbook with one sheet "Наладка" when the name ends in .xlsx, otherwise
// CSV as a spreadsheet program under a Russian locale opens it by a double
// click: UTF-8 with a byte-order mark, ";" between the fields, a decimal
// comma, CR LF line ends, fields with ";", quotes or line breaks in quotes.
// Throws Failure naming the file.
void writeAdjustmentFile(const std::vector<InputAdjustment>& rows, const QString& path,
                         const QList<KeptFile>& kept = {});

inline const QString kAdjustmentOutputNoun = QStringLiteral("Результат наладочного расчета");

// The window's save commands: the file is chosen (".csv" or ".xlsx" added
// when the name has neither ending), a place that may not be replaced is
// refused, an existing file is replaced only after a Yes, and the written
// file is shown. Returns whether it was written; a failure is shown as its
// message.
bool saveAdjustmentTable(const DataModule& data, UserDialogs& dialogs, const std::vector<InputAdjustment>& rows,
                         bool workbook);

} // namespace zurm
