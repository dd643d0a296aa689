#pragma once

#include "document/DataModule.h"

#include <QString>
#include <functional>

namespace zurm {

// Said when a report is asked for before the calculation has been run.
inline const QString kReportNeedsCalculation =
    QStringLiteral("Перед формированием отчета необходимо выполнить расчет (Команда: Данные / Выполнить расчет).");

// The report definition of a calculation: "n.rav" in the program folder, with
// n = 2 × network type + 1 when diameters are determined.
QString reportDefinitionName(int networkType, bool designMode);

// The filled report: HTML, pieces of it separated by kReportPieceBreak (each
// piece starts on a new page and is laid out on its own, so that a network of
// any size is printed piece by piece), its title and page orientation.
struct ReportDocument {
    QString html;
    QString title;
    bool landscape = false;
    // The date at the foot of every page, with "стр. N из M"; pages without a
    // footer when empty.
    QString footerDate;
    // A piece of `html` as it is printed: the segment rows are read and filled
    // in only then (the calculation must stay open until the report is printed).
    std::function<QString(const QString& piece)> expandPiece;
};
inline const QString kReportPieceBreak = QStringLiteral("<!--piece-->");

// Segment rows per piece of the segments table.
inline constexpr int kReportRowsPerPiece = 1000;

// Fills the calculation's report definition (a Mustache template) with the
// data of the named connections:
//   rcNazvRas  the calculation's row, field by field;
//   rcZag      the header row, field by field, and `items` (caption, value) of
//              the indicators shown in reports;
//   rcTabl     `columns` (caption, name) of the segment indicators shown in
//              reports, `landscape` when they are many, and `groups` of at
//              most 12 of them (`columns`, `first`, `last`), each with its
//              `pieces` of `rows` (id, НачУзел, КонУзел, Примечание and the
//              group's `cells`), the segments in the grid's order;
//   rcKonMag   `rows` of the mains (every field by name), sorted by id_m;
//   rcNastr    the settings row; rcRashPod, rcRashObr the full names of the
//              two flow indicators; rcDate today's date (dd.MM.yyyy), also
//              the report's footerDate.
// Numbers carry the report precision (ТочностьЧиселВОтч, or `digits` when it is
// 0 or more) and the program's own format: decimal point ".", no thousands
// separator, whatever the user's locale; a nominal diameter column (Ду...)
// whose every value is whole has no decimals. Text is escaped by the template.
// Throws Failure (the definition missing or unreadable, a table unreadable).
ReportDocument buildCalculationReport(DataModule& data, int digits = -1);

} // namespace zurm
