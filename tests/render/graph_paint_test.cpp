// The lines of the pressure regime on the piezometric graph at the pixel rows
// of their values, painted without antialiasing, and the return head dashed
// in black and white.
#include "render/GraphPainter.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

using namespace zurm;
using namespace zurm::render;

namespace {

// Flat heads along 100 m: ground 10, supply 90, return 45; none of them on a
// grid line of the axis (0, 20, … 100).
Graph flatGraph()
{
    Graph graph;
    graph.twoPipe = true;
    for (double x : {0.0, 100.0}) {
        GraphStep step{x, x == 0 ? QStringLiteral("1") : QStringLiteral("2"), {}};
        step.values[kGroundSeries] = {GraphValue::Point, 10};
        step.values[kReturnSeries] = {GraphValue::Point, 45};
        step.values[kSupplySeries] = {GraphValue::Point, 90};
        graph.steps.push_back(step);
    }
    graph.xFrom = 0;
    graph.xTo = 100;
    graph.yFrom = 0;
    graph.yTo = 100;
    GraphPressureLines& lines = graph.pressure;
    lines.shown = true;
    lines.staticHead = 55;
    lines.allowedPressure = 65;
    lines.allowed = {{0, 75}, {100, 75}};
    lines.boiling = {{{0, 30}, {100, 30}}};
    lines.buildings = {{2, 100, 10, 14}};
    return graph;
}

struct Painted {
    QImage image;
    GraphPlot plot;
};

Painted paint(const Graph& graph, bool blackAndWhite)
{
    Painted painted{QImage(900, 600, QImage::Format_RGB32), {}};
    painted.image.fill(Qt::white);
    QPainter painter(&painted.image);
    GraphPaintOptions options;
    options.blackAndWhite = blackAndWhite;
    options.antialiasing = false;
    painted.plot = GraphPainter(graph, options).paint(painter, QRectF(painted.image.rect()));
    return painted;
}

// The pixels of `colour` on the middle half of the plot within `band` rows
// of value y.
int pixelsNear(const Painted& p, double y, QRgb colour, int band = 1)
{
    const int row = int(std::lround(p.plot.yPixel(y)));
    int count = 0;
    for (int x = int(p.plot.xPixel(25)); x < int(p.plot.xPixel(75)); ++x)
        for (int r = row - band; r <= row + band; ++r)
            count += p.image.pixel(x, r) == colour;
    return count;
}

TEST(GraphPainter, PressureRegimeLinesStandAtTheirValues)
{
    const Painted colour = paint(flatGraph(), false);
    ASSERT_FALSE(colour.plot.rect.isEmpty());
    const struct {
        const char* line;
        double value;
        QRgb colour;
    } lines[] = {
        {"static head", 55, qRgb(0, 128, 0)},
        {"allowed pressure", 75, qRgb(170, 0, 170)},
        {"boiling", 30, qRgb(230, 120, 0)},
        {"supply", 90, qRgb(255, 0, 0)},
        {"return", 45, qRgb(0, 0, 255)},
    };
    for (const auto& line : lines) {
        SCOPED_TRACE(line.line);
        EXPECT_GT(pixelsNear(colour, line.value, line.colour), 40);
        // Not a row off: nothing of it 4 rows above or below.
        const double pixelsPerMetre = colour.plot.rect.height() / 100;
        EXPECT_EQ(pixelsNear(colour, line.value + 4 / pixelsPerMetre, line.colour, 0), 0);
        EXPECT_EQ(pixelsNear(colour, line.value - 4 / pixelsPerMetre, line.colour, 0), 0);
    }
    // The building at the end node: a bar from the ground (10) to 24.
    const QRgb fill = qRgb(215, 185, 140);
    const int barX = int(colour.plot.rect.right()) - 3;
    EXPECT_EQ(colour.image.pixel(barX, int(colour.plot.yPixel(17))), fill);
    EXPECT_NE(colour.image.pixel(barX, int(colour.plot.yPixel(27))), fill);

    // Black and white: the supply line solid, the return line dashed.
    const Painted grey = paint(flatGraph(), true);
    EXPECT_EQ(pixelsNear(grey, 90, qRgb(0, 0, 0), 0), int(grey.plot.xPixel(75)) - int(grey.plot.xPixel(25)));
    const int returnBlack = pixelsNear(grey, 45, qRgb(0, 0, 0), 0);
    EXPECT_GT(returnBlack, 20);
    EXPECT_LT(returnBlack, int(grey.plot.xPixel(75)) - int(grey.plot.xPixel(25)) - 20);
}

} // namespace
