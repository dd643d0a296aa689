#include "render/ReportTable.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>

namespace zurm::render {

namespace {

bool isHeading(QStringView name)
{
    return name.size() == 2 && name[0] == QLatin1Char('h') && name[1] >= QLatin1Char('1') && name[1] <= QLatin1Char('6');
}

// The smallest caption font, as a share of the bold body font, before a
// table too wide has its captions broken inside words.
constexpr double kSmallestCaption = 0.7;
constexpr double kCaptionStep = 0.05;

class Layout {
public:
    Layout(const ReportTable& table, QPagedPaintDevice& device, const QSizeF& page, const QFont& font,
           const QFont& headingFont)
        : table_(table), device_(device), font_(font), bold_(font), captionFont_(font), headingFont_(headingFont),
          metrics_(font, &device), captionMetrics_(font, &device), width_(page.width()), height_(page.height())
    {
        bold_.setBold(true);
        pad_ = metrics_.height() * 0.2;
        measureColumns();
        paginate();
    }

    int pages() const { return int(breaks_.size()) + 1; }

    int paint(QPainter& painter, bool firstPage, const std::function<void()>& pageBegun)
    {
        if (!firstPage)
            device_.newPage();
        if (pageBegun)
            pageBegun();
        double y = 0;
        if (!table_.heading.isEmpty()) {
            painter.setFont(headingFont_);
            painter.setPen(Qt::black);
            const QRectF box(0, 0, width_, headingHeight_);
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, table_.heading);
            y = box.bottom();
        }
        y = paintHeader(painter, y);
        painter.setFont(font_);
        size_t next = 0;
        for (size_t r = 0; r < table_.rows.size(); ++r) {
            if (next < breaks_.size() && breaks_[next] == r) {
                ++next;
                device_.newPage();
                if (pageBegun)
                    pageBegun();
                y = paintHeader(painter, 0);
                painter.setFont(font_);
            }
            paintRow(painter, table_.rows[r], y, rowHeights_[r], false);
            y += rowHeights_[r];
        }
        return pages();
    }

private:
    void measureColumns()
    {
        size_t count = 0;
        for (const auto* rows : {&table_.header, &table_.rows})
            for (const ReportTable::Row& row : *rows)
                count = std::max(count, row.size());
        // Cell values are kept whole.
        std::vector<double> values(count, 0.0);
        for (const ReportTable::Row& row : table_.rows)
            for (size_t c = 0; c < row.size(); ++c)
                values[c] = std::max(values[c], metrics_.horizontalAdvance(row[c].text));
        std::vector<double> natural;
        double total = 0;
        for (double scale = 1.0;; scale -= kCaptionStep) {
            captionFont_ = bold_;
            if (scale < 1.0)
                captionFont_.setPointSizeF(bold_.pointSizeF() * scale);
            captionMetrics_ = QFontMetricsF(captionFont_, &device_);
            natural = values;
            for (const ReportTable::Row& row : table_.header)
                for (size_t c = 0; c < row.size(); ++c)
                    for (const QString& word : row[c].text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                        natural[c] = std::max(natural[c], captionMetrics_.horizontalAdvance(word));
            total = 0;
            // The rounding of the text layout must not find a word a hair
            // wider than its column.
            for (double& w : natural) {
                w += 2 * pad_ + 1;
                total += w;
            }
            if (total <= width_ || scale - kCaptionStep < kSmallestCaption - 1e-9)
                break;
        }
        captionWordsWhole_ = total <= width_;
        // The table spans the page: room left over is shared out, a table too
        // wide is narrowed evenly (its cells then wrap).
        const double factor = total > 0 ? width_ / total : 1.0;
        columns_.clear();
        double x = 0;
        for (double w : natural) {
            columns_.push_back({x, w * factor});
            x += w * factor;
        }
        // The captions are broken into lines here, at spaces only: the text
        // layout would also break after a hyphen ("т-" / "провода").
        header_ = table_.header;
        if (captionWordsWhole_)
            for (ReportTable::Row& row : header_)
                for (size_t c = 0; c < row.size() && c < columns_.size(); ++c)
                    row[c].text = wordLines(row[c].text, columns_[c].width - 2 * pad_);
    }

    QString wordLines(const QString& text, double width) const
    {
        QString lines;
        QString line;
        for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (!line.isEmpty() && captionMetrics_.horizontalAdvance(longer) > width) {
                lines += line + QLatin1Char('\n');
                line = word;
            } else {
                line = longer;
            }
        }
        return lines + line;
    }

    void paginate()
    {
        headingHeight_ = table_.heading.isEmpty() ? 0 : QFontMetricsF(headingFont_, &device_).height() * 1.6;
        for (const ReportTable::Row& row : header_)
            headerHeights_.push_back(rowHeight(row, captionMetrics_, captionFlags()));
        double headerHeight = 0;
        for (double h : headerHeights_)
            headerHeight += h;
        double y = headingHeight_ + headerHeight;
        rowHeights_.reserve(table_.rows.size());
        for (size_t r = 0; r < table_.rows.size(); ++r) {
            const double h = rowHeight(table_.rows[r], metrics_, kValueFlags);
            if (y + h > height_ && y > headerHeight + 1) {
                breaks_.push_back(r);
                y = headerHeight;
            }
            rowHeights_.push_back(h);
            y += h;
        }
    }

    static constexpr int kValueFlags = Qt::TextWordWrap | Qt::TextWrapAnywhere;
    int captionFlags() const { return captionWordsWhole_ ? 0 : kValueFlags; }

    double cellHeight(const QString& text, double width, const QFontMetricsF& metrics, int flags) const
    {
        const double inner = std::max(1.0, width - 2 * pad_);
        if (!text.contains(QLatin1Char('\n')) && metrics.horizontalAdvance(text) <= inner)
            return metrics.height();
        return metrics.boundingRect(QRectF(0, 0, inner, 1e9), flags, text).height();
    }

    double rowHeight(const ReportTable::Row& row, const QFontMetricsF& metrics, int flags) const
    {
        double h = metrics.height();
        for (size_t c = 0; c < row.size() && c < columns_.size(); ++c)
            h = std::max(h, cellHeight(row[c].text, columns_[c].width, metrics, flags));
        return h + 2 * pad_;
    }

    double paintHeader(QPainter& painter, double y)
    {
        painter.setFont(captionFont_);
        for (size_t r = 0; r < header_.size(); ++r) {
            paintRow(painter, header_[r], y, headerHeights_[r], true);
            y += headerHeights_[r];
        }
        return y;
    }

    void paintRow(QPainter& painter, const ReportTable::Row& row, double y, double h, bool header)
    {
        painter.setPen(QPen(Qt::black, 0));
        for (size_t c = 0; c < columns_.size(); ++c) {
            const QRectF cell(columns_[c].x, y, columns_[c].width, h);
            if (header)
                painter.fillRect(cell, QColor(0xee, 0xee, 0xee));
            painter.drawRect(cell);
            if (c >= row.size())
                continue;
            const int align = header ? Qt::AlignCenter : (row[c].number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
            painter.drawText(cell.adjusted(pad_, pad_, -pad_, -pad_), align | (header ? captionFlags() : kValueFlags),
                             row[c].text);
        }
    }

    struct Column {
        double x;
        double width;
    };
    const ReportTable& table_;
    QPagedPaintDevice& device_;
    QFont font_;
    QFont bold_;
    QFont captionFont_;
    QFont headingFont_;
    QFontMetricsF metrics_;
    QFontMetricsF captionMetrics_;
    double width_;
    double height_;
    double pad_ = 0;
    bool captionWordsWhole_ = true;
    std::vector<Column> columns_;
    std::vector<ReportTable::Row> header_; // the captions in their lines
    double headingHeight_ = 0;
    std::vector<double> headerHeights_;
    std::vector<double> rowHeights_;
    std::vector<size_t> breaks_; // the rows that begin a page
};

} // namespace

std::optional<ReportTable> parseReportTable(const QString& piece)
{
    QXmlStreamReader xml(QStringLiteral("<piece>") + piece + QStringLiteral("</piece>"));
    ReportTable table;
    bool inTable = false;
    bool inHead = false;
    bool tableSeen = false;
    ReportTable::Row* row = nullptr;
    QString text;
    bool collecting = false;
    bool number = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            const QStringView name = xml.name();
            if (collecting)
                return std::nullopt; // markup inside a cell or heading
            if (name == QLatin1String("piece")) {
                continue;
            } else if (isHeading(name) && !inTable && !tableSeen && table.heading.isEmpty()) {
                collecting = true;
                text.clear();
            } else if (name == QLatin1String("table") && !tableSeen) {
                inTable = tableSeen = true;
            } else if (name == QLatin1String("thead") && inTable) {
                inHead = true;
            } else if (name == QLatin1String("tbody") && inTable) {
                inHead = false;
            } else if (name == QLatin1String("tr") && inTable) {
                auto& rows = inHead ? table.header : table.rows;
                rows.emplace_back();
                row = &rows.back();
            } else if ((name == QLatin1String("td") || name == QLatin1String("th")) && row) {
                collecting = true;
                text.clear();
                number = xml.attributes().value(QLatin1String("class")) == QLatin1String("n");
            } else {
                return std::nullopt;
            }
            break;
        }
        case QXmlStreamReader::EndElement: {
            const QStringView name = xml.name();
            if (collecting && isHeading(name)) {
                table.heading = text.simplified();
                collecting = false;
            } else if (collecting && (name == QLatin1String("td") || name == QLatin1String("th"))) {
                row->push_back({text.simplified(), number});
                collecting = false;
            } else if (name == QLatin1String("tr")) {
                row = nullptr;
            } else if (name == QLatin1String("thead")) {
                inHead = false;
            } else if (name == QLatin1String("table")) {
                inTable = false;
            }
            break;
        }
        case QXmlStreamReader::Characters:
            if (collecting)
                text += xml.text();
            else if (!xml.isWhitespace())
                return std::nullopt; // loose text
            break;
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::StartDocument:
        case QXmlStreamReader::EndDocument:
            break;
        default:
            return std::nullopt;
        }
    }
    if (xml.hasError() || !tableSeen)
        return std::nullopt;
    return table;
}

int paintReportTable(const ReportTable& table, QPainter& painter, QPagedPaintDevice& device, const QSizeF& page,
                     const QFont& font, const QFont& headingFont, bool firstPage,
                     const std::function<void()>& pageBegun)
{
    Layout layout(table, device, page, font, headingFont);
    return layout.paint(painter, firstPage, pageBegun);
}

int reportTablePages(const ReportTable& table, QPagedPaintDevice& device, const QSizeF& page, const QFont& font,
                     const QFont& headingFont)
{
    return Layout(table, device, page, font, headingFont).pages();
}

} // namespace zurm::render
