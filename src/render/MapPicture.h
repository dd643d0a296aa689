#pragma once

#include <QImage>
#include <QString>

namespace zurm::render {

// Which window shows the schema: the network parameters editor or the schema
// drawing window. They differ in caption and in what is painted.
enum class SchemaWindowKind { Editor, Drawing };

// Node positions are small integers: a map picture wider or higher than this
// could not be addressed by them.
inline constexpr int kMaxMapSide = 32767;

// The map picture under the schema and why the named file was refused, if it
// was for its size (a missing or unreadable file is no problem to report: the
// white canvas stands in for it).
struct MapPicture {
    QImage image;
    QString problem;
};

// NastrKarta's picture: the file named in Карта (relative names are taken
// from the program folder) when its last four characters are ".BMP" or ".JPG"
// in any case and it loads; otherwise the white 2000 × 2000 canvas. Pictures
// up to kMaxMapSide in both directions load; a larger one is refused with a
// message naming the file and its size.
MapPicture loadMapPicture(const QString& mapFile, const QString& programFolder);
QImage whiteCanvas();

// "name - Параметры теплосети" / "name - Рисование схемы теплосети" when a
// map is named (also when the file is missing), else the window's own title.
QString schemaCaption(const QString& mapFile, SchemaWindowKind window);

} // namespace zurm::render
