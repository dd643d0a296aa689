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

class Layout {
public:
    Layout(const ReportTable& table, QPainter& painter, QPagedPaintDevice& device, const QSizeF& page,
           const QFont& font, const QFont& headingFont)
        : table_(table), painter_(painter), device_(device), font_(font), bold_(font), headingFont_(headingFont),
          metrics_(font, &device), boldMetrics_((bold_.setBold(true), bold_), &device),
          width_(page.width()), height_(page.height())
    {
        pad_ = metrics_.height() * 0.2;
        measureColumns();
    }

    int paint(bool firstPage)
    {
        int pages = 1;
        if (!firstPage)
            device_.newPage();
        double y = 0;
        if (!table_.heading.isEmpty()) {
            const QFontMetricsF heading(headingFont_, &device_);
            painter_.setFont(headingFont_);
            painter_.setPen(Qt::black);
            const QRectF box(0, 0, width_, heading.height() * 1.6);
            painter_.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, table_.heading);
            y = box.bottom();
        }
        const std::vector<double> headerHeights = heights(table_.header, boldMetrics_);
        double headerHeight = 0;
        for (double h : headerHeights)
            headerHeight += h;
        y = paintHeader(y, headerHeights);
        painter_.setFont(font_);
        for (const ReportTable::Row& row : table_.rows) {
            const double h = rowHeight(row, metrics_);
            if (y + h > height_ && y > headerHeight + 1) {
                device_.newPage();
                ++pages;
                y = paintHeader(0, headerHeights);
                painter_.setFont(font_);
            }
            paintRow(row, y, h, false);
            y += h;
        }
        return pages;
    }

private:
    void measureColumns()
    {
        size_t count = 0;
        for (const auto* rows : {&table_.header, &table_.rows})
            for (const ReportTable::Row& row : *rows)
                count = std::max(count, row.size());
        std::vector<double> natural(count, 0.0);
        // Header captions may wrap between words; cell values are kept whole.
        for (const ReportTable::Row& row : table_.header)
            for (size_t c = 0; c < row.size(); ++c)
                for (const QString& word : row[c].text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
                    natural[c] = std::max(natural[c], boldMetrics_.horizontalAdvance(word));
        for (const ReportTable::Row& row : table_.rows)
            for (size_t c = 0; c < row.size(); ++c)
                natural[c] = std::max(natural[c], metrics_.horizontalAdvance(row[c].text));
        double total = 0;
        for (double& w : natural) {
            w += 2 * pad_;
            total += w;
        }
        // The table spans the page: room left over is shared out, a table too
        // wide is narrowed evenly (its cells then wrap).
        const double factor = total > 0 ? width_ / total : 1.0;
        columns_.clear();
        double x = 0;
        for (double w : natural) {
            columns_.push_back({x, w * factor});
            x += w * factor;
        }
    }

    double cellHeight(const QString& text, double width, const QFontMetricsF& metrics) const
    {
        const double inner = std::max(1.0, width - 2 * pad_);
        if (metrics.horizontalAdvance(text) <= inner)
            return metrics.height();
        return metrics.boundingRect(QRectF(0, 0, inner, 1e9), Qt::TextWordWrap | Qt::TextWrapAnywhere, text).height();
    }

    double rowHeight(const ReportTable::Row& row, const QFontMetricsF& metrics) const
    {
        double h = metrics.height();
        for (size_t c = 0; c < row.size() && c < columns_.size(); ++c)
            h = std::max(h, cellHeight(row[c].text, columns_[c].width, metrics));
        return h + 2 * pad_;
    }

    std::vector<double> heights(const std::vector<ReportTable::Row>& rows, const QFontMetricsF& metrics) const
    {
        std::vector<double> result;
        for (const ReportTable::Row& row : rows)
            result.push_back(rowHeight(row, metrics));
        return result;
    }

    double paintHeader(double y, const std::vector<double>& heights)
    {
        painter_.setFont(bold_);
        for (size_t r = 0; r < table_.header.size(); ++r) {
            paintRow(table_.header[r], y, heights[r], true);
            y += heights[r];
        }
        return y;
    }

    void paintRow(const ReportTable::Row& row, double y, double h, bool header)
    {
        painter_.setPen(QPen(Qt::black, 0));
        for (size_t c = 0; c < columns_.size(); ++c) {
            const QRectF cell(columns_[c].x, y, columns_[c].width, h);
            if (header)
                painter_.fillRect(cell, QColor(0xee, 0xee, 0xee));
            painter_.drawRect(cell);
            if (c >= row.size())
                continue;
            const int align = header ? Qt::AlignCenter : (row[c].number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
            painter_.drawText(cell.adjusted(pad_, pad_, -pad_, -pad_), align | Qt::TextWordWrap | Qt::TextWrapAnywhere,
                              row[c].text);
        }
    }

    struct Column {
        double x;
        double width;
    };
    const ReportTable& table_;
    QPainter& painter_;
    QPagedPaintDevice& device_;
    QFont font_;
    QFont bold_;
    QFont headingFont_;
    QFontMetricsF metrics_;
    QFontMetricsF boldMetrics_;
    double width_;
    double height_;
    double pad_ = 0;
    std::vector<Column> columns_;
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
                     const QFont& font, const QFont& headingFont, bool firstPage)
{
    Layout layout(table, painter, device, page, font, headingFont);
    return layout.paint(firstPage);
}

} // namespace zurm::render
