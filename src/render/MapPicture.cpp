#include "render/MapPicture.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <cstdio>

namespace zurm::render {

QImage whiteCanvas()
{
    QImage canvas(2000, 2000, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    return canvas;
}

namespace {

QString refusal(const QString& mapFile, const QString& why)
{
    return QStringLiteral("Карта \"") + mapFile + QStringLiteral("\" не загружена: ") + why
        + QStringLiteral(" Схема теплосети будет нарисована без карты.");
}

// The image decoders say in English on stderr that a file ended early or holds
// bad data, and then return the picture filled up with grey. While a map is
// decoded those remarks are taken in and turned into the program's own message.
class DecoderRemarks {
public:
    DecoderRemarks()
    {
        heard() = false;
        forward() = qInstallMessageHandler(&DecoderRemarks::take);
    }
    ~DecoderRemarks() { qInstallMessageHandler(forward()); }
    DecoderRemarks(const DecoderRemarks&) = delete;
    DecoderRemarks& operator=(const DecoderRemarks&) = delete;
    bool any() const { return heard(); }

private:
    static bool& heard()
    {
        static bool value = false;
        return value;
    }
    static QtMessageHandler& forward()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void take(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (context.category && QByteArrayView(context.category).startsWith("qt.gui.imageio")) {
            heard() = true;
            return;
        }
        if (forward())
            forward()(type, context, text);
        else
            std::fputs(qPrintable(qFormatLogMessage(type, context, text) + QLatin1Char('\n')), stderr);
    }
};

} // namespace

MapPicture loadMapPicture(const QString& mapFile, const QString& programFolder)
{
    MapPicture map;
    map.image = whiteCanvas();
    if (mapFile.isEmpty())
        return map;
    const QString ending = mapFile.right(4).toUpper();
    const char* format = ending == QLatin1String(".BMP") ? "bmp" : ending == QLatin1String(".JPG") ? "jpeg" : nullptr;
    if (mapFile.size() < 4 || !format) {
        map.problem = refusal(mapFile, QStringLiteral("картой может быть только рисунок JPEG (.jpg) или BMP (.bmp)."));
        return map;
    }
    const QString kind = format == QByteArrayView("bmp") ? QStringLiteral("BMP") : QStringLiteral("JPEG");
    const QFileInfo info(QDir(programFolder).absoluteFilePath(mapFile));
    if (!info.exists()) {
        map.problem = refusal(mapFile, QStringLiteral("файл не найден."));
        return map;
    }
    // A FIFO or a device would block or never end.
    if (!info.isFile()) {
        map.problem = refusal(mapFile, QStringLiteral("это не файл рисунка."));
        return map;
    }
    const DecoderRemarks remarks;
    QImageReader reader(info.absoluteFilePath(), format);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (!size.isValid()) {
        map.problem = refusal(mapFile, reader.error() == QImageReader::DeviceError
                                           ? QStringLiteral("файл не удалось прочитать.")
                                           : QStringLiteral("файл поврежден или не является рисунком ") + kind
                                                 + QLatin1Char('.'));
        return map;
    }
    if (size.width() > kMaxMapSide || size.height() > kMaxMapSide
        || qint64(size.width()) * size.height() > kMaxMapPoints) {
        map.problem = refusal(mapFile, QStringLiteral("ее размер ") + QString::number(size.width())
                                           + QStringLiteral(" × ") + QString::number(size.height())
                                           + QStringLiteral(" точек больше допустимого (не более ")
                                           + QString::number(kMaxMapSide)
                                           + QStringLiteral(" точек по каждой стороне и не более ")
                                           + QString::number(kMaxMapPoints / 1'000'000)
                                           + QStringLiteral(" млн точек всего)."));
        return map;
    }
    // Qt refuses pictures over 256 MB by default; a map may take its whole
    // budget.
    const int budgetMegabytes = int((kMaxMapPoints * 4) >> 20) + 1;
    if (QImageReader::allocationLimit() < budgetMegabytes)
        QImageReader::setAllocationLimit(budgetMegabytes);
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        map.problem = refusal(mapFile, QStringLiteral("файл поврежден или не является рисунком ") + kind + QLatin1Char('.'));
        return map;
    }
    // What could be read is shown: the rest of a cut-off picture is grey.
    if (remarks.any())
        map.problem = QStringLiteral("Карта \"") + mapFile
                      + QStringLiteral("\" повреждена: рисунок прочитан не полностью, недостающая часть показана "
                                       "серым. Сохраните карту заново в программе для рисунков.");
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
