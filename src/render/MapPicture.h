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
// A decoded map takes four bytes a point and the schema is painted on a copy
// of it: this many points (400 MB decoded) keep a window or zurm-calc within
// about a gigabyte whatever the file's header claims.
inline constexpr qint64 kMaxMapPoints = 100'000'000;

// The map picture under the schema and, when a map is named but cannot be
// shown (no such file, not a picture, broken, too large), why: the white
// canvas then stands in for it.
struct MapPicture {
    QImage image;
    QString problem;
};

// NastrKarta's picture: the file named in Карта (relative names are taken
// from the program folder) when its last four characters are ".BMP" or ".JPG"
// in any case and it loads; otherwise the white 2000 × 2000 canvas. The size
// is read from the file's header before anything is decoded: a picture over
// kMaxMapSide in either direction or over kMaxMapPoints in all is refused
// with a message naming the file and its size.
MapPicture loadMapPicture(const QString& mapFile, const QString& programFolder);
QImage whiteCanvas();

// "name - Параметры теплосети" / "name - Рисование схемы теплосети" when a
// map is named (also when the file is missing), else the window's own title.
QString schemaCaption(const QString& mapFile, SchemaWindowKind window);

} // namespace zurm::render
