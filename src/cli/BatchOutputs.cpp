#include "BatchOutputs.h"

#include "base/Failure.h"
#include "document/DataModule.h"
#include "document/DocumentFiles.h"
#include "document/ProgramFolder.h"
#include "document/TableStructure.h"
#include "indicators/IndicatorCheck.h"
#include "network/SchemaData.h"
#include "network/SchemaGeometry.h"
#include "output/GraphSeries.h"
#include "platform/OutputFile.h"
#include "render/GraphPainter.h"
#include "render/MapPicture.h"
#include "render/SchemaPainter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>

namespace zurm::cli {

bool openAndPrepareCalculation(DataModule& data, const QString& file, const QString& reference,
                               UserDialogs& dialogs, Progress& progress, GridLayout& layout, QString& context)
{
    context = QStringLiteral("Ошибка при открытии базы данных гидравлического расчета и базы данных справочников.");
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(file);
    data.openReference(reference);
    data.loadCalculationDoneFlag();
    context = QStringLiteral("Ошибка при проверке параметров расчета.");
    if (!CheckIndicators(data, dialogs, progress))
        return false;
    context = QStringLiteral("Ошибка при настройке структуры таблиц гидравлического расчета.");
    return SetUpTableStructure(data, dialogs, progress, layout);
}

QList<KeptFile> userProgramFiles()
{
    const QString folder = userProgramFolder();
    return {{folder + QStringLiteral("/Spr.mdb"), QStringLiteral("файл справочников")},
            {folder + QStringLiteral("/Nastr.mdb"), QStringLiteral("файл настроек")}};
}

void printLine(FILE* stream, const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Written by length: a NUL inside a name does not end the message.
    const QByteArray bytes = out.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int writeGraph(const zurm::DataModule& data, const GraphRequest& request)
{
    const QString out = QFileInfo(request.out).absoluteFilePath();
    zurm::GraphCatalogue catalogue = zurm::readGraphCatalogue(data);
    catalogue.precision = request.digits.value_or(3);
    zurm::GraphRequest graph;
    const auto main = std::find_if(catalogue.mains.begin(), catalogue.mains.end(),
                                   [&](const zurm::GraphMain& m) { return m.id == request.main; });
    if (main == catalogue.mains.end()) {
        printLine(stderr, QStringLiteral("Магистраль %1 не найдена.").arg(request.main));
        return 1;
    }
    graph.mainIndex = int(main - catalogue.mains.begin());
    if (request.type >= catalogue.types.size()) {
        printLine(stderr, QStringLiteral("Тип графика %1 не найден: типов графика %2 (0 - %3).")
                              .arg(request.type)
                              .arg(catalogue.types.size())
                              .arg(catalogue.types.size() - 1));
        return 1;
    }
    graph.typeIndex = request.type;
    if (request.from) {
        const std::vector<int> starts = catalogue.startNodes(graph.mainIndex);
        if (std::find(starts.begin(), starts.end(), *request.from) == starts.end()) {
            printLine(stderr, QStringLiteral("Узел %1 не является начальным узлом участка магистрали %2.")
                                  .arg(*request.from)
                                  .arg(request.main));
            return 1;
        }
        graph.startNode = request.from;
    }
    if (request.to) {
        const std::vector<int> ends =
            catalogue.endNodes(graph.mainIndex, graph.startNode.value_or(main->segments.front().start));
        if (std::find(ends.begin(), ends.end(), *request.to) == ends.end()) {
            printLine(stderr, QStringLiteral("Узел %1 не является конечным узлом участка магистрали %2 после узла %3.")
                                  .arg(*request.to)
                                  .arg(request.main)
                                  .arg(graph.startNode.value_or(main->segments.front().start)));
            return 1;
        }
        graph.endNode = request.to;
    }
    const zurm::GraphOutcome outcome = zurm::computeGraph(data, catalogue, graph);
    if (!outcome.refusal.isEmpty()) {
        printLine(stderr, outcome.refusal);
        return 1;
    }
    QByteArray bytes;
    const QString suffix = QFileInfo(out).suffix().toLower();
    if (suffix == QLatin1String("csv")) {
        bytes = zurm::graphCsv(outcome.graph).toUtf8();
    } else {
        const zurm::render::GraphPainter painter(outcome.graph, {});
        const QSize size(zurm::render::kGraphPictureWidth, zurm::render::kGraphPictureHeight);
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (suffix == QLatin1String("svg")) {
            QSvgGenerator svg;
            svg.setOutputDevice(&buffer);
            svg.setSize(size);
            svg.setViewBox(QRect(QPoint(0, 0), size));
            svg.setTitle(outcome.graph.title);
            QPainter canvas(&svg);
            painter.paint(canvas, QRectF(QPointF(0, 0), QSizeF(size)));
        } else {
            QImageWriter writer(&buffer, "png");
            writer.write(painter.picture(size));
        }
    }
    try {
        zurm::writeOutputFile(out, bytes, QStringLiteral("График"), zurm::documentFiles(data));
    } catch (const zurm::Failure& failure) {
        printLine(stderr, failure.text());
        return 1;
    }
    return 0;
}

int drawSchema(const QString& givenFile, const QString& givenReference, const SchemaRequest& request)
{
    const QString file = QFileInfo(givenFile).absoluteFilePath();
    const QString out = QFileInfo(request.out).absoluteFilePath();
    if (!QFileInfo::exists(file)) {
        printLine(stderr, QStringLiteral("Файл ") + file + QStringLiteral(" не найден."));
        return 1;
    }
    BatchDialogs dialogs;
    zurm::DataModule data(QCoreApplication::applicationDirPath());
    const QList<zurm::KeptFile> kept =
        QList<zurm::KeptFile>{
            {file, QStringLiteral("файл расчета")},
            {givenReference.isEmpty() ? data.resolve(QStringLiteral("Spr.mdb"))
                                      : QFileInfo(givenReference).absoluteFilePath(),
             QStringLiteral("файл справочников")},
            {data.resolve(QStringLiteral("Nastr.mdb")), QStringLiteral("файл настроек")}}
        + userProgramFiles();
    if (const QString problem = zurm::outputPlaceProblem(QStringLiteral("Рисунок"), out, kept); !problem.isEmpty()) {
        printLine(stderr, problem);
        return 2;
    }
    const QString context = QStringLiteral("Ошибка при рисовании схемы теплосети.");
    try {
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(file, true);
        zurm::SchemaData schema = zurm::readSchemaData(data);
        if (!request.select.isEmpty()) {
            // The selection dialog passes over numbers it does not know; a
            // script that names one has made a mistake it should hear of.
            for (const QString& number : request.select) {
                if (!number.isEmpty() && !schema.node(number.toInt())) {
                    printLine(stderr, QStringLiteral("Узла ") + number + QStringLiteral(" нет в схеме теплосети (--select)."));
                    return 2;
                }
            }
            const zurm::SelectByNumbersResult selected = zurm::selectNodesByNumbers(data.work(), schema, request.select);
            if (!selected.done) {
                printLine(stderr, selected.message);
                return 2;
            }
            schema.selection = zurm::readSchemaSelection(data.work());
        }
        zurm::render::MapPicture map = zurm::render::loadMapPicture(schema.mapFile, data.programFolder());
        if (!map.problem.isEmpty())
            printLine(stderr, map.problem); // the schema is drawn on the white canvas all the same
        zurm::render::SchemaPaintOptions options;
        options.window = zurm::render::SchemaWindowKind::Drawing;
        options.labelMode = request.labels;
        QImage picture = zurm::render::schemaPicture(std::move(map.image), schema, options);
        if (request.zoom != 100)
            picture = picture.scaled(zurm::roundEven(picture.width() * request.zoom / 100.0),
                                     zurm::roundEven(picture.height() * request.zoom / 100.0), Qt::IgnoreAspectRatio,
                                     Qt::FastTransformation);
        // Encoded in memory first: the image libraries report a failing file
        // only with English lines of their own.
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, request.format);
        if (!writer.write(picture)) {
            printLine(stderr, QStringLiteral("Не удалось записать файл ") + out + QStringLiteral(": ") + writer.errorString());
            return 1;
        }
        zurm::writeOutputFile(out, bytes, QStringLiteral("Рисунок"), kept);
    } catch (const zurm::Failure& failure) {
        printLine(stderr, failure.className() == QLatin1String(zurm::kOutputPlaceErrorClass)
                              || failure.className() == QLatin1String("FileError")
                              ? failure.text()
                              : zurm::errorReport(context, failure));
        return 1;
    }
    return 0;
}

} // namespace zurm::cli
