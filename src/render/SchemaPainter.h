#pragma once

#include "network/SchemaData.h"
#include "render/MapPicture.h"

#include <QImage>
#include <QRect>
#include <QVariant>

class QPainter;

namespace zurm::render {

// What the painting depends on besides the tables.
struct SchemaPaintOptions {
    SchemaWindowKind window = SchemaWindowKind::Drawing;
    // The editor paints with its own network type and status; the drawing
    // window with the type read from the calculation and always the network.
    int editorNetworkType = 0;
    int editorNetworkStatus = 0;
    int labelMode = 0; // 0 every node, 1 the start and the end nodes, 2 none
};

// The scale bar in the top-left corner (120 × 46 points): the scale in
// metres ("" when null) followed by " м." above a bar of 100 points.
void paintScaleBar(QPainter& painter, const QVariant& mapScale);

// The map scale dialog's preview: a white 489 × 233 picture with the scale
// bar for the given scale (blank when null) and the word "К А Р Т А" in silver, 50 points bold
// italic, from (90, 60).
QImage mapScalePreview(const QVariant& mapScale);

// PaintTS over a picture that already holds the map: the scale bar, the
// segments, the nodes with their labels, the selected nodes and the selection
// rectangle, without antialiasing. `region` is the part of the picture the
// painter's device holds, with the region's top-left corner at the device's
// origin; only what reaches into it is painted, so painting a part of a huge
// picture costs only that part.
void paintSchemaOverlay(QPainter& painter, const SchemaData& schema, const SchemaPaintOptions& options,
                        const QRect& region);

// The whole schema picture: the schema painted onto the map picture itself
// (pass a copy to keep the map).
QImage schemaPicture(QImage map, const SchemaData& schema, const SchemaPaintOptions& options);

// One part of the schema picture, as a picture of the region's size: only that
// part of the map is copied.
QImage schemaRegion(const QImage& map, const SchemaData& schema, const SchemaPaintOptions& options,
                    const QRect& region);

} // namespace zurm::render
