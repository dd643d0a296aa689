#pragma once

#include <QString>

namespace zurm {

class DataModule;
class Progress;

// Said when the report is asked for before the calculation has been run (or
// after its input data changed).
inline const QString kExportNeedsCalculation =
    QStringLiteral("Перед выгрузкой отчета в Microsoft Excel необходимо выполнить расчет (Команда: Данные / Выполнить расчет).");

// The number format of the report's values for `digits` decimal places, in
// the workbook's own syntax: thousands grouped, one decimal always shown and
// further ones up to `digits` when not zero ("#,##0.0##" for 3, "#,##0" for 0).
// Every spreadsheet program shows it with the user's own separators.
QString reportValueFormat(int digits);

// The report precision: `digits` when not negative, else ТочностьЧиселВОтч of
// the settings (3 when no settings file is open or nothing is stored there).
int reportDigits(DataModule& data, int digits = -1);

// ".xlsx" appended unless the name already ends in it (any case).
QString withXlsxSuffix(const QString& fileName);

// Writes the results of the open, finished calculation as a workbook with one
// sheet "ЗУРМ": the title and the calculation name, the exported header
// indicators, the segments in the main window's current order with the
// exported segment indicators and the comments, and the mains. Which
// indicators appear and under what captions follows the two catalogues
// (ВывВОтчТабл). Values use the report precision of the settings (3 when no
// settings file is open, or when `digits` overrides it).
//
// The workbook is written through an OutputFile: a place that may not be
// replaced (a folder, a link, an open document) is refused before anything is
// written, and a failure never leaves part of a file there. Shows its
// progress in the status line. Throws Failure (the text names the file).
void writeReportWorkbook(DataModule& data, const QString& path, Progress& progress, int digits = -1);

} // namespace zurm
