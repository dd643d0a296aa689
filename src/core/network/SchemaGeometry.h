#pragma once

#include "network/SchemaData.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <optional>

namespace zurm {

// The node under a picture point: the first node in УзлыТС order whose square
// of half-width 14 (the start node) or 8 (any other node) around its position
// holds the point.
std::optional<int> HitTestNode(const SchemaData& schema, int px, int py);

// The factor from a position on the image control to the picture:
// max(picture width / image width, picture height / image height), at least 1.
double displayFactor(QSize picture, QSize image);
QPoint toPicturePoint(QPoint onImage, double factor);

// Where ScrollToSelection scrolls: per direction the new scroll position, or
// none where the box is not smaller than the image (or nothing is selected).
struct ScrollTarget {
    std::optional<int> horizontal;
    std::optional<int> vertical;
};
ScrollTarget scrollToSelectionTarget(const SchemaData& schema, QSize picture, QSize image, QSize box);

// The scale box's text: n or n followed by "%", 1 to 3 characters of an
// integer from 10 to 100; nullopt for anything else (kZoomRefusal is shown).
std::optional<int> parseZoomText(const QString& text);
inline const QString kZoomRefusal = QStringLiteral("Введите целое число от 10 до 100.");

// Round half to even, as the picture sizes and scroll positions are rounded.
int roundEven(double value);

} // namespace zurm
