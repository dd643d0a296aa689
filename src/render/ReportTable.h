#pragma once

#include <QFont>
#include <QSizeF>
#include <QString>
#include <functional>
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
// are (see printReport for the fonts and the coordinates it passes).
// `pageBegun` is called on every page the table is painted on, before the
// table, with the painter as the table leaves it. Returns the pages used.
//
// The columns share the page width in proportion to their widest value or
// caption word. Captions wrap between words only: when their words and the
// values do not fit side by side, the captions are set in a smaller font;
// only a table too wide even then has its captions broken inside words.
int paintReportTable(const ReportTable& table, QPainter& painter, QPagedPaintDevice& device, const QSizeF& page,
                     const QFont& font, const QFont& headingFont, bool firstPage,
                     const std::function<void()>& pageBegun = {});

// The pages paintReportTable would use, nothing painted.
int reportTablePages(const ReportTable& table, QPagedPaintDevice& device, const QSizeF& page, const QFont& font,
                     const QFont& headingFont);

} // namespace zurm::render
