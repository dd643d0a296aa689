#include "network/SchemaGeometry.h"

#include <algorithm>
#include <cmath>

namespace zurm {

int roundEven(double value)
{
    return int(std::nearbyint(value));
}

std::optional<int> HitTestNode(const SchemaData& schema, int px, int py)
{
    // One pass over plain positions: the first hit in table order is the answer,
    // as a click on overlapping nodes has always picked it.
    for (const SchemaNode& node : schema.nodes) {
        const int h = schema.startNode && node.number == *schema.startNode ? 14 : 8;
        if (node.x - h <= px && px <= node.x + h && node.y - h <= py && py <= node.y + h)
            return node.number;
    }
    return std::nullopt;
}

double displayFactor(QSize picture, QSize image)
{
    if (image.width() <= 0 || image.height() <= 0)
        return 1;
    const double k = std::max(double(picture.width()) / image.width(), double(picture.height()) / image.height());
    return std::max(k, 1.0);
}

QPoint toPicturePoint(QPoint onImage, double factor)
{
    return {roundEven(onImage.x() * factor), roundEven(onImage.y() * factor)};
}

ScrollTarget scrollToSelectionTarget(const SchemaData& schema, QSize picture, QSize image, QSize box)
{
    ScrollTarget target;
    if (schema.selection.nodes.empty() || (box.width() >= image.width() && box.height() >= image.height()))
        return target;
    if (picture.width() <= 0 || picture.height() <= 0)
        return target;
    const double s = std::min({double(image.width()) / picture.width(), double(image.height()) / picture.height(), 1.0});
    double tx = 0, ty = 0;
    if (const auto& rect = schema.selection.rect) {
        tx = (rect->x1 + rect->x2) / 2.0;
        ty = (rect->y1 + rect->y2) / 2.0;
    } else if (const SchemaNode* node = schema.node(schema.selection.nodes.front())) {
        tx = node->x;
        ty = node->y;
    } else {
        return target;
    }
    if (box.width() < image.width())
        target.horizontal = std::max(0, roundEven(tx * s - box.width() / 2.0 + 10));
    if (box.height() < image.height())
        target.vertical = std::max(0, roundEven(ty * s - box.height() / 2.0 + 10));
    return target;
}

std::optional<int> parseZoomText(const QString& text)
{
    QString digits = text;
    if (digits.endsWith(QLatin1Char('%')))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 3)
        return std::nullopt;
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n < 10 || n > 100)
        return std::nullopt;
    return n;
}

} // namespace zurm
