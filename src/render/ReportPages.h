#pragma once

#include <QString>

class QPagedPaintDevice;

namespace zurm {
class Progress;
struct ReportDocument;
} // namespace zurm

namespace zurm::render {

// Prints a filled report on the device's pages (a printer, the print
// preview, a PDF writer): each piece of the report is laid out on its own on
// the device's page size and begins on a new page, so that a report of any
// length is held in memory one piece at a time. Header rows of tables
// (<thead>) repeat on every page. The device must be open for painting (this
// paints from its first page on). Returns the number of pages printed.
int printReport(const ReportDocument& report, QPagedPaintDevice& device, Progress* progress = nullptr);

// Writes the report as a PDF file through a temporary file beside it, so that
// a failed write leaves no half file. Returns an empty text, or why the file
// could not be written.
QString writeReportPdf(const ReportDocument& report, const QString& file, Progress* progress = nullptr);

} // namespace zurm::render
