#include "render/GraphPainter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
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

} // namespace

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

void GraphPainter::paint(QPainter& painter, const QRectF& area) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
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

    const QStringList leftTitleLines = graph_.leftTitle.split(QLatin1Char('\n'));
    const double leftTitleWidth = graph_.leftTitle.isEmpty() ? 0 : metrics.height() * leftTitleLines.size();
    const double titleHeight = graph_.title.isEmpty() ? gap : titleMetrics.height() + gap;
    const double bottomTitleHeight = graph_.bottomTitle.isEmpty() ? 0 : metrics.height() + gap / 2;
    QRectF plot = area.adjusted(gap + leftTitleWidth + gap + widestTick + gap, gap + titleHeight + labelMetrics.height(),
                                -(gap + labelMetrics.height() * 2), -(gap + bottomTitleHeight + longestLabel + gap));
    if (plot.width() < 10 || plot.height() < 10) {
        painter.restore();
        return;
    }
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
    const QColor hatch = options_.blackAndWhite ? QColor(Qt::black) : QColor(128, 128, 128);
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
    const QColor returnColour = options_.blackAndWhite ? QColor(Qt::black) : QColor(Qt::blue);
    const QColor supplyColour = options_.blackAndWhite ? QColor(Qt::black) : QColor(Qt::red);
    for (const auto& [series, colour] : {std::pair{int(kReturnSeries), returnColour}, std::pair{int(kSupplySeries), supplyColour}}) {
        painter.setPen(QPen(colour, 2));
        painter.setBrush(colour);
        for (const std::vector<QPointF>& part : runs(series)) {
            if (part.size() == 1)
                painter.drawEllipse(part.front(), 2, 2);
            else if (!part.empty())
                painter.drawPolyline(part.data(), int(part.size()));
        }
    }
    painter.restore();

    // Value marks: a framed box above each point.
    const QColor markFill = options_.blackAndWhite ? QColor(Qt::white) : QColor(255, 255, 225);
    for (int series = 0; series < kGraphSeriesCount; ++series) {
        QRectF previous;
        for (const GraphStep& step : graph_.steps) {
            const GraphValue& value = step.values[series];
            if (value.kind != GraphValue::Point)
                continue;
            const QString text = graphNumberText(value.value, graph_.precision);
            const double width = labelMetrics.horizontalAdvance(text) + 4;
            const QPointF at(xAxis.map(step.x), yAxis.map(value.value));
            QRectF box(at.x() - width / 2, at.y() - labelMetrics.height() - 6, width, labelMetrics.height() + 2);
            if (!previous.isNull() && box.intersects(previous))
                continue;
            previous = box;
            painter.setPen(QPen(Qt::black, 1));
            painter.drawLine(at, QPointF(at.x(), box.bottom()));
            painter.setBrush(markFill);
            painter.drawRect(box);
            painter.drawText(box, Qt::AlignCenter, text);
        }
    }

    // Axis lines over everything.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawLine(plot.bottomLeft(), plot.topLeft());
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.restore();
}

} // namespace zurm::render
