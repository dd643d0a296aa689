#include "render/MapPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>

namespace zurm::render {

QImage whiteCanvas()
{
    QImage canvas(2000, 2000, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

MapPicture loadMapPicture(const QString& mapFile, const QString& programFolder)
{
    MapPicture map;
    map.image = whiteCanvas();
    if (mapFile.size() < 4)
        return map;
    const QString ending = mapFile.right(4).toUpper();
    const char* format = ending == QLatin1String(".BMP") ? "bmp" : ending == QLatin1String(".JPG") ? "jpeg" : nullptr;
    if (!format)
        return map;
    const QString path = QDir(programFolder).absoluteFilePath(mapFile);
    if (!QFileInfo(path).isFile())
        return map;
    QImageReader reader(path, format);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.width() > kMaxMapSide || size.height() > kMaxMapSide) {
        map.problem = QStringLiteral("Карта \"") + mapFile + QStringLiteral("\" не загружена: ее размер ")
            + QString::number(size.width()) + QStringLiteral(" × ") + QString::number(size.height())
            + QStringLiteral(" точек больше допустимого (") + QString::number(kMaxMapSide) + QStringLiteral(" × ")
            + QString::number(kMaxMapSide) + QStringLiteral(" точек). Схема теплосети будет нарисована без карты.");
        return map;
    }
    // Qt refuses pictures over 256 MB by default; a map may use every
    // position a node can have.
    const int neededMegabytes = int((qint64(kMaxMapSide) * kMaxMapSide * 4) >> 20) + 1;
    if (QImageReader::allocationLimit() < neededMegabytes)
        QImageReader::setAllocationLimit(neededMegabytes);
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return map;
    // Painting in blue needs colour pixels whatever the file stored.
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image = std::move(image).convertToFormat(QImage::Format_RGB32);
    map.image = std::move(image);
    return map;
}

QString schemaCaption(const QString& mapFile, SchemaWindowKind window)
{
    const QString title = window == SchemaWindowKind::Editor ? QStringLiteral("Параметры теплосети")
                                                             : QStringLiteral("Рисование схемы теплосети");
    return mapFile.isEmpty() ? title : mapFile + QStringLiteral(" - ") + title;
}

} // namespace zurm::render
