#pragma once

#include "platform/OutputFile.h"

#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;

namespace zurm {
class Progress;
struct ReportDocument;
} // namespace zurm

namespace zurm::render {

// The page of every printed report, on the desktop's printer and in a PDF
// alike: A4 in the report's orientation, with the program's margins, the
// footer of a report with one in the bottom margin.
QPageLayout reportPageLayout(const ReportDocument& report);

// The resolution the report is laid out in, whatever the device's.
inline constexpr double kLayoutDpi = 1200;

// Prints a filled report on the device's pages (a printer, the print
// preview, a PDF writer): each piece of the report is laid out on its own on
// the device's page size and begins on a new page, so that a report of any
// length is held in memory one piece at a time. Header rows of tables
// (<thead>) repeat on every page. A report with a footerDate has the date and
// "стр. N из M" at the foot of every page, M the pages of the whole report.
// The layout depends only on the device's page layout (give it
// reportPageLayout), never on its resolution, so every device breaks the
// pages alike. The device must be open for painting (this paints
// from its first page on). Returns the number of pages printed.
int printReport(const ReportDocument& report, QPagedPaintDevice& device, Progress* progress = nullptr);

// Writes the report as a PDF file through an OutputFile (never onto one of
// `kept`), so that a failed write leaves the old file as it was. Returns an
// empty text, or why the file could not be written.
QString writeReportPdf(const ReportDocument& report, const QString& file, Progress* progress = nullptr,
                       const QList<KeptFile>& kept = {});

} // namespace zurm::render
