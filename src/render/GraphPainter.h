#pragma once

#include "output/GraphSeries.h"

#include <QFont>
#include <QImage>
#include <QRectF>

class QPainter;

namespace zurm::render {

struct GraphPaintOptions {
    bool blackAndWhite = false; // cbBW: both head lines black
    int fontSize = 10;          // РШрифтаГр: the value marks and the labels of the bottom axis
    QFont font;                 // the family; its size is fontSize
    bool antialiasing = true;   // off for pictures compared pixel by pixel
};

// Where a painted graph put its plot, for finding a value's pixel.
struct GraphPlot {
    QRectF rect;                 // empty when the area was too small to draw in
    double xFrom = 0, xTo = 1;   // the axis ranges drawn
    double yFrom = 0, yTo = 1;
    double xPixel(double x) const;
    double yPixel(double y) const;
};

// Draws a graph of the graph window (and of zurm-calc): white background with
// a border, the title, the left axis with its fixed range and numbers, the
// bottom axis with the point labels as text (one label where several points
// share a position), both axis titles, the area series hatched diagonally,
// the two lines (red supply, blue return; black in black and white, the
// return dashed), broken at gaps, and the value marks of every point in the
// format "#,##0.##" of the report precision. A mark that would cover another
// is moved up or down beside its point, tied to it by a leader, as far as the
// picture reaches; where it is full the mark covers another rather than
// being left out. Point labels that would
// cover the one before them are left out, so a long main stays readable.
// The piezometric graph also gets the lines of its pressure regime (cut to
// the series' range) and a legend naming every line drawn.
class GraphPainter {
public:
    GraphPainter(const Graph& graph, GraphPaintOptions options);

    GraphPlot paint(QPainter& painter, const QRectF& area) const;
    // The graph on a white picture of the given size.
    QImage picture(const QSize& size) const;

private:
    const Graph& graph_;
    GraphPaintOptions options_;
};

// The size of a graph picture when none is asked for.
inline constexpr int kGraphPictureWidth = 1200;
inline constexpr int kGraphPictureHeight = 800;

} // namespace zurm::render
