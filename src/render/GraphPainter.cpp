#include "render/GraphPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <optional>
#include <algorithm>
#include <cmath>

namespace zurm::render {

namespace {

constexpr double kAxisFontSize = 10; // points

// A round step that cuts `span` into about `wanted` parts: 1, 2 or 5 times a
// power of ten.
double tickStep(double span, int wanted)
{
    if (!(span > 0) || !std::isfinite(span))
        return 1;
    const double raw = span / std::max(1, wanted);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (raw <= factor * power)
            return factor * power;
    return 10 * power;
}

// Decimals a tick step needs to be written exactly.
int stepDecimals(double step)
{
    int decimals = 0;
    while (decimals < 12 && std::fabs(step * std::pow(10.0, decimals) - std::round(step * std::pow(10.0, decimals))) > 1e-6)
        ++decimals;
    return decimals;
}

struct Axis {
    double from, to;
    double pixelFrom, pixelTo;
    double map(double value) const
    {
        return to == from ? (pixelFrom + pixelTo) / 2 : pixelFrom + (value - from) * (pixelTo - pixelFrom) / (to - from);
    }
};

// How each line of the graph is drawn, in colour or in black and white.
struct Pens {
    QPen supply, back, staticHead, allowed, boiling, building;
    QBrush buildingFill;
    QColor hatch;
};

Pens pensFor(bool blackAndWhite)
{
    Pens pens;
    if (blackAndWhite) {
        pens.supply = QPen(Qt::black, 2);
        // Dashed, so that the two heads stay apart without colour.
        pens.back = QPen(Qt::black, 2, Qt::DashLine);
        pens.staticHead = QPen(Qt::black, 1);
        pens.allowed = QPen(Qt::black, 1, Qt::DashDotDotLine);
        pens.boiling = QPen(Qt::black, 2, Qt::DotLine);
        pens.building = QPen(Qt::black, 1);
        pens.buildingFill = QBrush(Qt::black, Qt::Dense6Pattern);
        pens.hatch = Qt::black;
    } else {
        pens.supply = QPen(Qt::red, 2);
        pens.back = QPen(Qt::blue, 2);
        pens.staticHead = QPen(QColor(0, 128, 0), 2, Qt::DashDotLine);
        pens.allowed = QPen(QColor(170, 0, 170), 2, Qt::DashLine);
        pens.boiling = QPen(QColor(230, 120, 0), 2, Qt::DashDotDotLine);
        pens.building = QPen(QColor(110, 80, 40), 1);
        pens.buildingFill = QBrush(QColor(215, 185, 140));
        pens.hatch = QColor(128, 128, 128);
    }
    for (QPen* pen : {&pens.supply, &pens.back, &pens.staticHead, &pens.allowed, &pens.boiling})
        pen->setCapStyle(Qt::FlatCap);
    return pens;
}

// Whether a polyline crosses the band of the left axis: what lies wholly
// above or below it is cut off and not named in the legend.
bool crossesBand(const std::vector<GraphPoint>& points, double from, double to)
{
    for (size_t i = 0; i < points.size(); ++i) {
        const double a = points[i].y;
        const double b = i + 1 < points.size() ? points[i + 1].y : a;
        if (std::max(a, b) >= from && std::min(a, b) <= to)
            return true;
    }
    return false;
}

struct LegendEntry {
    enum Glyph { Area, Line, Bar };
    Glyph glyph;
    QString text;
    QPen pen;
};

} // namespace

double GraphPlot::xPixel(double x) const
{
    return xTo == xFrom ? rect.center().x() : rect.left() + (x - xFrom) * rect.width() / (xTo - xFrom);
}

double GraphPlot::yPixel(double y) const
{
    return yTo == yFrom ? rect.center().y() : rect.bottom() - (y - yFrom) * rect.height() / (yTo - yFrom);
}

GraphPainter::GraphPainter(const Graph& graph, GraphPaintOptions options) : graph_(graph), options_(std::move(options))
{
}

QImage GraphPainter::picture(const QSize& size) const
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

GraphPlot GraphPainter::paint(QPainter& painter, const QRectF& area) const
{
    GraphPlot drawn;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, options_.antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing, options_.antialiasing);
    painter.fillRect(area, Qt::white);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(0.5, 0.5, -0.5, -0.5)); // the chart's border

    // The marks and the point labels take the graphs' font size; the titles
    // and the left axis keep the usual one.
    QFont font = options_.font;
    font.setPointSizeF(kAxisFontSize);
    QFont labelFont = font;
    labelFont.setPointSizeF(std::max(1, options_.fontSize));
    QFont titleFont = font;
    titleFont.setPointSizeF(font.pointSizeF() + 2);
    titleFont.setBold(true);
    const QFontMetricsF metrics(font, painter.device());
    const QFontMetricsF labelMetrics(labelFont, painter.device());
    const QFontMetricsF titleMetrics(titleFont, painter.device());
    const double gap = metrics.height() / 2;

    // Left axis: its numbers at round steps across the fixed range.
    double yFrom = graph_.yFrom, yTo = graph_.yTo;
    if (!(yTo > yFrom)) {
        yFrom -= 1;
        yTo += 1;
    }
    double xFrom = graph_.xFrom, xTo = graph_.xTo;
    if (!(xTo > xFrom)) {
        xFrom -= 1;
        xTo += 1;
    }
    const double yStep = tickStep(yTo - yFrom, 8);
    const int yDecimals = stepDecimals(yStep);
    std::vector<std::pair<double, QString>> yTicks;
    double widestTick = 0;
    for (double v = std::ceil(yFrom / yStep) * yStep; v <= yTo + yStep * 1e-9; v += yStep) {
        const QString text = graphNumberText(std::fabs(v) < yStep * 1e-9 ? 0.0 : v, yDecimals);
        yTicks.emplace_back(v, text);
        widestTick = std::max(widestTick, metrics.horizontalAdvance(text));
    }

    // Bottom axis: one label a position, written upwards.
    struct Label {
        double x;
        QString text;
    };
    std::vector<Label> labels;
    double longestLabel = 0;
    for (const GraphStep& step : graph_.steps) {
        if (step.label.isEmpty())
            continue;
        if (!labels.empty() && labels.back().x == step.x) {
            if (!labels.back().text.split(QStringLiteral(" | ")).contains(step.label))
                labels.back().text += QStringLiteral(" | ") + step.label;
        } else {
            labels.push_back({step.x, step.label});
        }
        longestLabel = std::max(longestLabel, labelMetrics.horizontalAdvance(labels.back().text));
    }
    longestLabel = std::min(longestLabel, area.height() / 3);

    // The legend of the piezometric graph: a row (or more) under the title.
    const Pens pens = pensFor(options_.blackAndWhite);
    const GraphPressureLines& regime = graph_.pressure;
    std::vector<LegendEntry> legend;
    if (regime.shown) {
        legend.push_back({LegendEntry::Area, QStringLiteral("Отметка земли"), QPen(Qt::black, 1)});
        legend.push_back({LegendEntry::Line, QStringLiteral("Подающий"), pens.supply});
        if (graph_.twoPipe)
            legend.push_back({LegendEntry::Line, QStringLiteral("Обратный"), pens.back});
        if (regime.staticHead && *regime.staticHead >= yFrom && *regime.staticHead <= yTo)
            legend.push_back({LegendEntry::Line,
                              QStringLiteral("Статический напор ") + graphNumberText(*regime.staticHead, 2)
                                  + QStringLiteral(" м"),
                              pens.staticHead});
        if (crossesBand(regime.allowed, yFrom, yTo))
            legend.push_back({LegendEntry::Line,
                              QStringLiteral("Допустимый напор (земля + ") + graphNumberText(regime.allowedPressure, 2)
                                  + QStringLiteral(" м)"),
                              pens.allowed});
        if (std::any_of(regime.boiling.begin(), regime.boiling.end(),
                        [&](const std::vector<GraphPoint>& run) { return crossesBand(run, yFrom, yTo); }))
            legend.push_back({LegendEntry::Line, QStringLiteral("Линия вскипания"), pens.boiling});
        if (std::any_of(regime.buildings.begin(), regime.buildings.end(), [&](const GraphBuilding& b) {
                return b.ground <= yTo && b.ground + b.height >= yFrom;
            }))
            legend.push_back({LegendEntry::Bar, QStringLiteral("Высота зданий"), pens.building});
    }
    const double glyphWidth = metrics.height() * 2.5;
    const double entryGap = metrics.height();
    std::vector<QPointF> legendAt; // the top left of each entry
    double legendHeight = 0;
    {
        const double width = area.width() - 2 * gap;
        double x = 0, row = 0;
        for (const LegendEntry& entry : legend) {
            const double w = glyphWidth + gap / 2 + metrics.horizontalAdvance(entry.text);
            if (x > 0 && x + w > width) {
                x = 0;
                row += 1;
            }
            legendAt.emplace_back(x, row * metrics.height());
            x += w + entryGap;
        }
        if (!legend.empty())
            legendHeight = (row + 1) * metrics.height() + gap / 2;
        // Each row centred across the picture.
        size_t first = 0;
        while (first < legendAt.size()) {
            size_t last = first;
            while (last + 1 < legendAt.size() && legendAt[last + 1].y() == legendAt[first].y())
                ++last;
            const double rowWidth = legendAt[last].x() + glyphWidth + gap / 2
                + metrics.horizontalAdvance(legend[last].text);
            const double shift = area.left() + gap + std::max(0.0, (width - rowWidth) / 2);
            for (size_t i = first; i <= last; ++i)
                legendAt[i].rx() += shift;
            first = last + 1;
        }
    }

    const QStringList leftTitleLines = graph_.leftTitle.split(QLatin1Char('\n'));
    const double leftTitleWidth = graph_.leftTitle.isEmpty() ? 0 : metrics.height() * leftTitleLines.size();
    const double titleHeight = graph_.title.isEmpty() ? gap : titleMetrics.height() + gap;
    const double bottomTitleHeight = graph_.bottomTitle.isEmpty() ? 0 : metrics.height() + gap / 2;
    QRectF plot = area.adjusted(gap + leftTitleWidth + gap + widestTick + gap,
                                gap + titleHeight + legendHeight + labelMetrics.height(),
                                -(gap + labelMetrics.height() * 2), -(gap + bottomTitleHeight + longestLabel + gap));
    if (plot.width() < 10 || plot.height() < 10) {
        painter.restore();
        return drawn;
    }
    drawn = {plot, xFrom, xTo, yFrom, yTo};
    const Axis xAxis{xFrom, xTo, plot.left(), plot.right()};
    const Axis yAxis{yFrom, yTo, plot.bottom(), plot.top()};

    // Titles.
    painter.setFont(titleFont);
    painter.drawText(QRectF(area.left(), area.top() + gap, area.width(), titleMetrics.height()), Qt::AlignCenter,
                     graph_.title);
    painter.setFont(font);
    if (!graph_.bottomTitle.isEmpty())
        painter.drawText(QRectF(area.left(), area.bottom() - gap - metrics.height(), area.width(), metrics.height()),
                         Qt::AlignCenter, graph_.bottomTitle);
    if (!graph_.leftTitle.isEmpty()) {
        painter.save();
        painter.translate(area.left() + gap, plot.center().y());
        painter.rotate(-90);
        painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), leftTitleWidth), Qt::AlignCenter,
                         graph_.leftTitle);
        painter.restore();
    }

    const double legendTop = area.top() + gap + titleHeight;
    for (size_t i = 0; i < legend.size(); ++i) {
        const LegendEntry& entry = legend[i];
        const QPointF at(legendAt[i].x(), legendTop + legendAt[i].y());
        const double middle = at.y() + metrics.height() / 2;
        const QRectF glyph(at.x(), at.y() + metrics.height() * 0.2, glyphWidth, metrics.height() * 0.6);
        painter.setBrush(Qt::NoBrush);
        switch (entry.glyph) {
        case LegendEntry::Area:
            painter.setPen(Qt::NoPen);
            painter.setBrush(QBrush(pens.hatch, Qt::BDiagPattern));
            painter.drawRect(glyph);
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(glyph.topLeft(), glyph.topRight());
            break;
        case LegendEntry::Line:
            painter.setPen(entry.pen);
            painter.drawLine(QPointF(glyph.left(), middle), QPointF(glyph.right(), middle));
            break;
        case LegendEntry::Bar:
            painter.setPen(pens.building);
            painter.setBrush(pens.buildingFill);
            painter.drawRect(QRectF(glyph.center().x() - glyph.height() / 2, glyph.top(), glyph.height(), glyph.height()));
            break;
        }
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawText(QRectF(glyph.right() + gap / 2, at.y(), area.width(), metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, entry.text);
    }

    // Grid and axis numbers.
    const QPen gridPen(QColor(200, 200, 200), 1, Qt::DotLine);
    for (const auto& [value, text] : yTicks) {
        const double y = yAxis.map(value);
        painter.setPen(gridPen);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(plot.left() - gap / 2, y), QPointF(plot.left(), y));
        painter.drawText(QRectF(plot.left() - gap - widestTick, y - metrics.height() / 2, widestTick, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, text);
    }
    painter.setFont(labelFont);
    double lastLabelX = -1e300;
    for (const Label& label : labels) {
        const double x = xAxis.map(label.x);
        if (x - lastLabelX < labelMetrics.height())
            continue; // would cover the label before it
        lastLabelX = x;
        painter.setPen(gridPen);
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(Qt::black);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + gap / 2));
        painter.save();
        painter.translate(x, plot.bottom() + gap / 2 + 2);
        painter.rotate(-90);
        const QString text = labelMetrics.elidedText(label.text, Qt::ElideRight, longestLabel);
        painter.drawText(QRectF(-longestLabel, -labelMetrics.height() / 2, longestLabel, labelMetrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, text);
        painter.restore();
    }

    // Series: the area first, the lines over it, each broken at a gap.
    painter.save();
    painter.setClipRect(plot.adjusted(-1, -1, 1, 1));
    auto runs = [&](int series) {
        std::vector<std::vector<QPointF>> parts(1);
        for (const GraphStep& step : graph_.steps) {
            const GraphValue& value = step.values[series];
            if (value.kind == GraphValue::Gap) {
                if (!parts.back().empty())
                    parts.emplace_back();
            } else if (value.kind == GraphValue::Point) {
                parts.back().emplace_back(xAxis.map(step.x), yAxis.map(value.value));
            }
        }
        return parts;
    };
    const QColor hatch = pens.hatch;
    for (const std::vector<QPointF>& part : runs(kGroundSeries)) {
        if (part.empty())
            continue;
        QPolygonF polygon;
        polygon << QPointF(part.front().x(), plot.bottom());
        for (const QPointF& p : part)
            polygon << p;
        polygon << QPointF(part.back().x(), plot.bottom());
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::white);
        painter.drawPolygon(polygon);
        painter.setBrush(QBrush(hatch, Qt::BDiagPattern));
        painter.drawPolygon(polygon);
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(Qt::NoBrush);
        if (part.size() == 1)
            painter.drawEllipse(part.front(), 2, 2);
        else
            painter.drawPolyline(part.data(), int(part.size()));
    }
    // The pressure regime under the head lines: buildings standing on the
    // ground, then the static, allowed and boiling lines.
    if (regime.shown) {
        const double barWidth = std::max(8.0, metrics.height());
        painter.setPen(pens.building);
        painter.setBrush(pens.buildingFill);
        for (const GraphBuilding& building : regime.buildings) {
            const double x = xAxis.map(building.x);
            const double bottom = yAxis.map(building.ground), top = yAxis.map(building.ground + building.height);
            // At the end of the stretch the bar stands just inside the plot.
            const double left = std::min(x - barWidth / 2, plot.right() - barWidth);
            painter.drawRect(QRectF(left, top, barWidth, bottom - top));
        }
        painter.setBrush(Qt::NoBrush);
        auto polyline = [&](const std::vector<GraphPoint>& points) {
            std::vector<QPointF> pixels;
            pixels.reserve(points.size());
            for (const GraphPoint& p : points)
                pixels.emplace_back(xAxis.map(p.x), yAxis.map(p.y));
            if (pixels.size() == 1)
                painter.drawEllipse(pixels.front(), 2, 2);
            else if (!pixels.empty())
                painter.drawPolyline(pixels.data(), int(pixels.size()));
        };
        if (regime.staticHead) {
            painter.setPen(pens.staticHead);
            const double y = yAxis.map(*regime.staticHead);
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        }
        painter.setPen(pens.allowed);
        polyline(regime.allowed);
        painter.setPen(pens.boiling);
        for (const std::vector<GraphPoint>& run : regime.boiling)
            polyline(run);
    }
    for (const auto& [series, pen] : {std::pair{int(kReturnSeries), pens.back}, std::pair{int(kSupplySeries), pens.supply}}) {
        painter.setPen(pen);
        painter.setBrush(pen.color());
        for (const std::vector<QPointF>& part : runs(series)) {
            if (part.size() == 1)
                painter.drawEllipse(part.front(), 2, 2);
            else if (!part.empty())
                painter.drawPolyline(part.data(), int(part.size()));
        }
    }
    painter.restore();

    // Value marks: a framed box above each point, tied to it by a leader. A
    // box that would cover one placed before it goes a row higher, or lower,
    // as far as the picture reaches.
    const QColor markFill = options_.blackAndWhite ? QColor(Qt::white) : QColor(255, 255, 225);
    const double boxHeight = labelMetrics.height() + 2;
    std::vector<QRectF> placed;
    double widestHalf = 0;
    const double topLimit = area.top() + gap + titleHeight + legendHeight;
    auto freeAt = [&](const QRectF& box) {
        if (box.top() < topLimit || box.bottom() > plot.bottom())
            return false;
        // Marks are placed from left to right: once the centres lie further
        // back than the widest box, none of the rest can reach this one.
        for (auto it = placed.rbegin(); it != placed.rend(); ++it) {
            if (it->center().x() + widestHalf < box.left())
                break;
            if (box.intersects(*it))
                return false;
        }
        return true;
    };
    struct Mark {
        QPointF at;
        QString text;
    };
    std::vector<Mark> marks;
    for (const GraphStep& step : graph_.steps)
        for (int series = 0; series < kGraphSeriesCount; ++series) {
            const GraphValue& value = step.values[series];
            if (value.kind == GraphValue::Point)
                marks.push_back({QPointF(xAxis.map(step.x), yAxis.map(value.value)),
                                 graphNumberText(value.value, graph_.precision)});
        }
    std::stable_sort(marks.begin(), marks.end(), [](const Mark& a, const Mark& b) {
        return a.at.x() != b.at.x() ? a.at.x() < b.at.x() : a.at.y() < b.at.y();
    });
    std::vector<QLineF> leaders;
    std::vector<QString> texts;
    for (size_t m = 0; m < marks.size(); ++m) {
        const Mark& mark = marks[m];
        // The same value at the same point (a segment's end and the next
        // one's start) is one mark.
        if (m > 0 && marks[m - 1].at == mark.at && marks[m - 1].text == mark.text)
            continue;
        const double width = labelMetrics.horizontalAdvance(mark.text) + 4;
        // Kept off the left axis's numbers and inside the picture, still over its point.
        const double left = std::clamp(mark.at.x() - width / 2, plot.left() - 2, area.right() - gap / 2 - width);
        const QRectF above(std::min(left, mark.at.x() - 2), mark.at.y() - boxHeight - 4, width, boxHeight);
        std::optional<QRectF> box;
        for (int row = 0; !box; ++row) {
            const QRectF up = above.translated(0, -row * (boxHeight + 1));
            const QRectF down = above.translated(0, boxHeight + 8 + (row - 1) * (boxHeight + 1));
            if (row > 0 && up.top() < topLimit && down.bottom() > plot.bottom())
                break; // every row of the picture is taken around this point
            if (freeAt(up))
                box = up;
            else if (row > 0 && freeAt(down))
                box = down;
        }
        // With the picture full the mark still stands over its point, over
        // another one, rather than the value disappearing.
        if (!box)
            box = above.translated(0, std::max(0.0, topLimit - above.top()));
        placed.push_back(*box);
        texts.push_back(mark.text);
        widestHalf = std::max(widestHalf, box->width() / 2);
        const double edge = box->bottom() <= mark.at.y() ? box->bottom() : box->top();
        leaders.emplace_back(mark.at, QPointF(mark.at.x(), edge));
    }
    // The leaders first, so that no leader runs over another mark's text.
    painter.setPen(QPen(Qt::black, 1));
    for (const QLineF& leader : leaders)
        painter.drawLine(leader);
    painter.setBrush(markFill);
    for (size_t i = 0; i < placed.size(); ++i) {
        painter.drawRect(placed[i]);
        painter.drawText(placed[i], Qt::AlignCenter, texts[i]);
    }

    // Axis lines over everything.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.restore();
    return drawn;
}

} // namespace zurm::render
