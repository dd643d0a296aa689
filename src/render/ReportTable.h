#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>
#include <optional>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace zurm::render {

// A piece of a report that is at most a heading and one table of plain-text
// cells: the segment tables of a large network. Such a piece is painted
// straight, row by row, which is many times faster than laying out the same
// HTML as a text document; any other piece goes through the text document.
struct ReportTable {
    struct Cell {
        QString text;
        bool number = false; // class="n": right-aligned
    };
    using Row = std::vector<Cell>;
    QString heading;
    std::vector<Row> header; // <thead> rows, repeated on every page
    std::vector<Row> rows;
};

// The piece as a table, or nothing when it holds anything else.
std::optional<ReportTable> parseReportTable(const QString& piece);

// Paints the table from the top of a new page (a page is begun first unless
// `firstPage`), header rows again on every page. `page` is the size of a page
// in the painter's coordinates; the fonts are measured on `device` as they
// are (see printReport for the fonts and the coordinates it passes). Returns
// the pages used.
int paintReportTable(const ReportTable& table, QPainter& painter, QPagedPaintDevice& device, const QSizeF& page,
                     const QFont& font, const QFont& headingFont, bool firstPage);

} // namespace zurm::render
