#include "render/SchemaPainter.h"

#include "platform/NumberText.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QHash>
#include <QLineF>
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

bool placed(const SchemaNode& node)
{
    return node.x > 0 && node.y > 0;
}

// A picture drawn once with the painter and then only copied: node positions
// are whole points, so a copy at (x - origin, y - origin) has exactly the
// pixels that drawing the same figure at (x, y) gives, at a fraction of the
// cost of stroking it again for each of thousands of nodes.
struct Sprite {
    QImage image;
    int origin = 0;
};

template <typename Draw>
Sprite makeSprite(int origin, Draw draw)
{
    Sprite sprite{QImage(2 * origin + 1, 2 * origin + 1, QImage::Format_ARGB32_Premultiplied), origin};
    sprite.image.fill(Qt::transparent);
    QPainter painter(&sprite.image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    draw(painter, origin);
    return sprite;
}

// The node labels: " " + number + " " black on white, one character picture
// after the other at whole-point advances.
class LabelWriter {
public:
    explicit LabelWriter(const QFont& font)
    {
        const QFontMetrics metrics_(font);
        const QString characters = QStringLiteral(" -0123456789");
        for (QChar c : characters) {
            const int advance = metrics_.horizontalAdvance(c);
            QImage glyph(std::max(1, advance), metrics_.height(), QImage::Format_RGB32);
            glyph.fill(Qt::white);
            QPainter painter(&glyph);
            painter.setRenderHint(QPainter::TextAntialiasing, false);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(0, metrics_.ascent(), QString(c));
            glyphs_[c.unicode()] = glyph;
        }
    }
    int width(const QString& text) const
    {
        int width = 0;
        for (QChar c : text)
            width += glyphs_.value(c.unicode()).width();
        return width;
    }
    void write(QPainter& painter, int left, int top, const QString& text) const
    {
        for (QChar c : text) {
            const QImage& glyph = glyphs_[c.unicode()];
            painter.drawImage(left, top, glyph);
            left += glyph.width();
        }
    }

private:
    QHash<ushort, QImage> glyphs_;
};

// A wide straight line as the filled band the pen would stroke with flat
// ends; the ends lie under the node figures drawn afterwards.
void drawBand(QPainter& painter, QPointF a, QPointF b, double width)
{
    const QLineF line(a, b);
    if (line.length() == 0)
        return;
    const QPointF n = QPointF(-line.dy(), line.dx()) * (width / 2 / line.length());
    const QPointF band[4] = {a + n, b + n, b - n, a - n};
    painter.drawPolygon(band, 4);
}

} // namespace

void paintScaleBar(QPainter& painter, const QVariant& mapScale)
{
    painter.setPen(pen(Qt::white, 5));
    painter.setBrush(Qt::white);
    painter.drawRect(QRect(0, 0, 119, 45));
    painter.setBrush(Qt::NoBrush);
    const QString value = mapScale.isNull() ? QString() : formatGeneral15(mapScale.toDouble());
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

QImage mapScalePreview(const QVariant& mapScale)
{
    QImage picture(489, 233, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing, false);
    paintScaleBar(painter, mapScale);
    QFont font;
    font.setPixelSize(67); // 50 points at 96 points per inch
    font.setBold(true);
    font.setItalic(true);
    painter.setFont(font);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.setPen(QColor(192, 192, 192));
    // (90, 60) is the top-left corner of the word's line.
    painter.drawText(90, 60 + QFontMetrics(font).ascent(), QStringLiteral("К А Р Т А"));
    return picture;
}

void paintSchemaOverlay(QPainter& painter, const SchemaData& schema, const SchemaPaintOptions& options,
                        const QRect& region)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, false);
    painter.translate(-region.topLeft());

    if (region.intersects(QRect(-3, -3, 126, 52)))
        paintScaleBar(painter, schema.mapScale);

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
    painter.setPen(Qt::NoPen);
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
        painter.setBrush(Qt::black);
        drawBand(painter, QPointF(a->x, a->y), QPointF(b->x, b->y), twoPipe ? 13 : 5);
        if (twoPipe) {
            painter.setBrush(Qt::white);
            drawBand(painter, QPointF(a->x, a->y), QPointF(b->x, b->y), 5);
        }
    }

    painter.setBrush(Qt::NoBrush);

    // Nodes with their labels.
    static const LabelWriter writer(schemaFont(true));
    static const Sprite dot = makeSprite(10, [](QPainter& p, int o) {
        // Filled as well as outlined: a solid dot without a white centre.
        p.setPen(pen(Qt::black, 8));
        p.setBrush(Qt::black);
        p.drawEllipse(QRect(o - 4, o - 4, 8, 8));
    });
    static const Sprite square = makeSprite(12, [](QPainter& p, int o) {
        p.setPen(pen(kBlue, 5));
        p.drawPolygon(QPolygon({QPoint(o - 8, o - 8), QPoint(o + 8, o - 8), QPoint(o + 8, o + 8), QPoint(o - 8, o + 8)}));
    });
    const int labelHalf = writer.width(QStringLiteral(" 88888 ")) / 2 + 8;
    const QRect nodeReach = region.adjusted(-labelHalf, -20, labelHalf, 50);
    const std::optional<int> start = schema.startNode;
    auto label = [&](const SchemaNode& node, bool isStart) {
        const QString text = QLatin1Char(' ') + QString::number(node.number) + QLatin1Char(' ');
        writer.write(painter, node.x - writer.width(text) / 2, node.y - (isStart ? 46 : 38), text);
    };
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
            painter.drawImage(node.x - dot.origin, node.y - dot.origin, dot.image);
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
        if (isStart) {
            const int h = 14;
            painter.setPen(pen(kBlue, 5));
            painter.drawPolygon(QPolygon({QPoint(node->x - h, node->y - h), QPoint(node->x + h, node->y - h),
                                          QPoint(node->x + h, node->y + h), QPoint(node->x - h, node->y + h)}));
        } else {
            painter.drawImage(node->x - square.origin, node->y - square.origin, square.image);
        }
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
