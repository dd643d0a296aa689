#include "render/SchemaPainter.h"

#include "platform/NumberText.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <algorithm>

namespace zurm::render {

namespace {

const QColor kBlue(0, 0, 255);

QPen pen(const QColor& color, int width)
{
    // Round ends and joins: a wide line ends as the pens of the schema always did.
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QFont schemaFont(bool bold)
{
    QFont font;
    font.setPixelSize(24); // 18 points at 96 points per inch
    font.setBold(bold);
    return font;
}

// Text black on white with its top-left corner at (left, top).
void drawLabel(QPainter& painter, const QFontMetrics& metrics, int left, int top, const QString& text, int width)
{
    painter.fillRect(QRect(left, top, width, metrics.height()), Qt::white);
    painter.setPen(Qt::black);
    painter.drawText(left, top + metrics.ascent(), text);
}

void paintScaleBar(QPainter& painter, const SchemaData& schema)
{
    painter.setPen(pen(Qt::white, 5));
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(0, 0, 119, 45));
    painter.setBrush(Qt::NoBrush);
    const QString value = schema.mapScale.isNull() ? QString() : formatGeneral15(schema.mapScale.toDouble());
    const QString text = value + QStringLiteral(" м.");
    painter.setFont(schemaFont(false));
    const QFontMetrics metrics(painter.font());
    const int width = metrics.horizontalAdvance(text);
    drawLabel(painter, metrics, 60 - width / 2, 0, text, width);
    painter.setPen(pen(Qt::black, 5));
    painter.drawLine(10, 35, 109, 35);
    painter.drawLine(10, 31, 10, 39);
    painter.drawLine(109, 31, 109, 39);
}

bool placed(const SchemaNode& node)
{
    return node.x > 0 && node.y > 0;
}

} // namespace

void paintSchemaOverlay(QPainter& painter, const SchemaData& schema, const SchemaPaintOptions& options,
                        const QRect& region)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.translate(-region.topLeft());

    if (region.intersects(QRect(-3, -3, 126, 52)))
        paintScaleBar(painter, schema);

    const bool editor = options.window == SchemaWindowKind::Editor;
    if (editor && options.editorNetworkStatus != 0 && options.editorNetworkStatus != 2) {
        painter.restore();
        return;
    }
    const bool twoPipe = (editor ? options.editorNetworkType : schema.networkType) == 1;
    auto drawn = [editor](const SchemaNode* node) { return node && (!editor || placed(*node)); };

    // Segments: what reaches into the region, in table order.
    const int lineMargin = 8;
    const QRect wide = region.adjusted(-lineMargin, -lineMargin, lineMargin, lineMargin);
    const QPen outer = pen(Qt::black, twoPipe ? 13 : 5);
    const QPen inner = pen(Qt::white, 5);
    for (const SchemaSegment& segment : schema.segments) {
        if (!segment.from || !segment.to)
            continue;
        const SchemaNode* a = schema.node(*segment.from);
        const SchemaNode* b = schema.node(*segment.to);
        if (!drawn(a) || !drawn(b))
            continue;
        if (std::max(a->x, b->x) < wide.left() || std::min(a->x, b->x) > wide.right()
            || std::max(a->y, b->y) < wide.top() || std::min(a->y, b->y) > wide.bottom())
            continue;
        painter.setPen(outer);
        painter.drawLine(a->x, a->y, b->x, b->y);
        if (twoPipe) {
            painter.setPen(inner);
            painter.drawLine(a->x, a->y, b->x, b->y);
        }
    }

    // Nodes with their labels.
    painter.setFont(schemaFont(true));
    const QFontMetrics metrics(painter.font());
    const int labelHalf = metrics.horizontalAdvance(QStringLiteral(" 88888 ")) / 2 + 8;
    const QRect nodeReach = region.adjusted(-labelHalf, -20, labelHalf, 50);
    const std::optional<int> start = schema.startNode;
    auto label = [&](const SchemaNode& node, bool isStart) {
        const QString text = QLatin1Char(' ') + QString::number(node.number) + QLatin1Char(' ');
        const int width = metrics.horizontalAdvance(text);
        drawLabel(painter, metrics, node.x - width / 2, node.y - (isStart ? 46 : 38), text, width);
    };
    const QPen dotPen = pen(Qt::black, 8);
    for (const SchemaNode& node : schema.nodes) {
        if (!drawn(&node) || !nodeReach.contains(node.x, node.y))
            continue;
        const bool isStart = start && node.number == *start;
        if (isStart) {
            painter.setPen(pen(Qt::black, 3));
            painter.setBrush(Qt::white);
            painter.drawEllipse(QRect(node.x - 12, node.y - 12, 24, 24));
            painter.setBrush(Qt::NoBrush);
            painter.setPen(pen(Qt::black, 2));
            for (int i = 0; i < 5; ++i) {
                const int x = node.x - 3 + 2 * i;
                const int half = 5 - i;
                painter.drawLine(x, node.y - half, x, node.y + half);
            }
        } else {
            // Filled as well as outlined: a solid dot without a white centre.
            painter.setPen(dotPen);
            painter.setBrush(Qt::black);
            painter.drawEllipse(QRect(node.x - 4, node.y - 4, 8, 8));
            painter.setBrush(Qt::NoBrush);
        }
        const bool labelled = options.labelMode == 0
            || (options.labelMode == 1 && (isStart || !schema.startsSegment(node.number)));
        if (labelled)
            label(node, isStart);
    }

    // Selected nodes: their labels whatever the mode, and blue squares.
    for (int number : schema.selection.nodes) {
        const SchemaNode* node = schema.node(number);
        if (!drawn(node) || !nodeReach.contains(node->x, node->y))
            continue;
        const bool isStart = start && number == *start;
        label(*node, isStart);
        const int h = isStart ? 14 : 8;
        painter.setPen(pen(kBlue, 5));
        painter.drawPolygon(QPolygon({QPoint(node->x - h, node->y - h), QPoint(node->x + h, node->y - h),
                                      QPoint(node->x + h, node->y + h), QPoint(node->x - h, node->y + h)}));
    }

    // The selection rectangle.
    if (const auto& rect = schema.selection.rect) {
        const bool shown = !editor || (rect->x1 > 0 && rect->y1 > 0 && rect->x2 > 0 && rect->y2 > 0);
        if (shown) {
            painter.setPen(pen(kBlue, !editor && rect->isPoint() ? 10 : 5));
            // A closed line through four equal points is the first corner: a round dot.
            if (rect->isPoint())
                painter.drawPoint(rect->x1, rect->y1);
            else
                painter.drawPolygon(QPolygon({QPoint(rect->x1, rect->y1), QPoint(rect->x2, rect->y1),
                                              QPoint(rect->x2, rect->y2), QPoint(rect->x1, rect->y2)}));
        }
    }
    painter.restore();
}

QImage schemaPicture(QImage map, const SchemaData& schema, const SchemaPaintOptions& options)
{
    {
        QPainter painter(&map);
        paintSchemaOverlay(painter, schema, options, map.rect());
    }
    return map;
}

QImage schemaRegion(const QImage& map, const SchemaData& schema, const SchemaPaintOptions& options,
                    const QRect& region)
{
    QImage part = map.copy(region);
    {
        QPainter painter(&part);
        paintSchemaOverlay(painter, schema, options, region);
    }
    return part;
}

} // namespace zurm::render
