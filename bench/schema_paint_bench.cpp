// The network schema on a generated street network of 32 700 nodes: reading
// it from the file, painting the whole picture (goal: at most 100 ms), the
// node under a point and the selection by numbers (instant), and the peak
// memory with a 10 000 × 10 000 map (goal: at most 600 MB) while the view's
// way of showing it (the map loaded once, the shown part composed in parts)
// and zurm-calc's way of painting it (on the map itself) run.
#include "document/DataModule.h"
#include "network/SchemaData.h"
#include "network/SchemaGeometry.h"
#include "render/MapPicture.h"
#include "render/SchemaPainter.h"
#include "support/BenchSupport.h"
#include "support/PeakMemory.h"
#include "support/RunBenchmarks.h"
#include "support/StreetNetwork.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kNodes = 32700;

struct OpenSchema {
    zurm::bench::QuietDialogs dialogs;
    zurm::DataModule data;
    zurm::SchemaData schema;

    OpenSchema() : data(QFileInfo(zurm::bench::streetCalculation(kNodes)).absolutePath())
    {
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(zurm::bench::streetCalculation(kNodes), true);
        schema = zurm::readSchemaData(data);
    }
};

OpenSchema& openSchema()
{
    static OpenSchema open;
    return open;
}

// How many nodes lie on a picture of this size.
int nodesOn(const zurm::SchemaData& schema, QSize size)
{
    int n = 0;
    for (const zurm::SchemaNode& node : schema.nodes)
        n += QRect(QPoint(0, 0), size).contains(node.x, node.y);
    return n;
}

void ReadSchema(benchmark::State& state)
{
    OpenSchema& open = openSchema();
    for (auto _ : state)
        benchmark::DoNotOptimize(zurm::readSchemaData(open.data));
    state.counters["nodes"] = double(open.schema.nodes.size());
}
BENCHMARK(ReadSchema)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The whole picture with a third of the nodes selected, labels as the second
// argument says. The generated streets spread over 32 000 points; their
// positions are shrunk onto the picture (2 000 points: the white canvas;
// 10 000: a large map), so that every node and segment is painted.
void PaintWholeSchema(benchmark::State& state)
{
    OpenSchema& open = openSchema();
    zurm::SchemaData schema = open.schema;
    const int side = int(state.range(0));
    for (zurm::SchemaNode& node : schema.nodes) {
        node.x = 20 + int(qint64(node.x) * (side - 40) / 32001);
        node.y = 50 + int(qint64(node.y) * (side - 70) / 32001);
    }
    schema.index();
    for (size_t i = 0; i < schema.nodes.size(); i += 3)
        schema.selection.nodes.push_back(schema.nodes[i].number);
    QImage picture(side, side, QImage::Format_RGB32);
    picture.fill(Qt::white);
    zurm::render::SchemaPaintOptions options;
    options.labelMode = int(state.range(1));
    for (auto _ : state) {
        QPainter painter(&picture);
        zurm::render::paintSchemaOverlay(painter, schema, options, picture.rect());
    }
    state.counters["nodesOnPicture"] = nodesOn(schema, picture.size());
}
BENCHMARK(PaintWholeSchema)->Args({2000, 0})->Args({2000, 2})->Args({10000, 0})->Args({10000, 1})->Args({10000, 2})->Unit(benchmark::kMillisecond)
    ->UseRealTime()->Iterations(5);

void HitTest(benchmark::State& state)
{
    OpenSchema& open = openSchema();
    int i = 0;
    for (auto _ : state) {
        const zurm::SchemaNode& node = open.schema.nodes[size_t(i++ * 7919) % open.schema.nodes.size()];
        benchmark::DoNotOptimize(zurm::HitTestNode(open.schema, node.x + 3, node.y - 3));
    }
}
BENCHMARK(HitTest)->Unit(benchmark::kMicrosecond);

void SelectByNumbers(benchmark::State& state)
{
    OpenSchema& open = openSchema();
    const QStringList fields = {QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("20000"),
                                QStringLiteral("32000"), QStringLiteral("5"), QString(), QStringLiteral("77"),
                                QStringLiteral("12345"), QStringLiteral("32699")};
    for (auto _ : state) {
        zurm::selectNodesByNumbers(open.data.work(), open.schema, fields);
        benchmark::DoNotOptimize(zurm::readSchemaSelection(open.data.work()));
    }
}
BENCHMARK(SelectByNumbers)->Unit(benchmark::kMicrosecond);

// A 10 000 × 10 000 JPEG map: loading it, then showing it fitted into a
// 1 200 × 900 window (the view composes the shown picture from 1 000-point
// parts of the map) and at 100 % (the parts under a 1 200 × 900 window), and
// finally painting the whole schema on it as zurm-calc does. The peak counts
// from after the file was written.
void LargeMapMemory(benchmark::State& state)
{
    OpenSchema& open = openSchema();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("map.jpg"));
    {
        QImage map(10000, 10000, QImage::Format_RGB32);
        map.fill(QColor(230, 240, 220));
        QImageWriter writer(file, "jpeg");
        writer.setQuality(20);
        writer.write(map);
    }
    zurm::bench::resetPeakResident();
    const double before = zurm::bench::peakResidentMegabytes();
    zurm::render::SchemaPaintOptions options;
    for (auto _ : state) {
        zurm::render::MapPicture map = zurm::render::loadMapPicture(file, dir.path());
        if (map.image.size() != QSize(10000, 10000)) {
            state.SkipWithError("the map did not load");
            return;
        }
        QImage shown(900, 900, QImage::Format_RGB32);
        {
            QPainter painter(&shown);
            const double s = 900.0 / 10000;
            for (int y = 0; y < 10000; y += 1000)
                for (int x = 0; x < 10000; x += 1000) {
                    const QRect region(x, y, 1000, 1000);
                    painter.drawImage(QRectF(x * s, y * s, 1000 * s, 1000 * s),
                                      zurm::render::schemaRegion(map.image, open.schema, options, region));
                }
            for (int y = 4000; y < 5000; y += 1000)
                for (int x = 4000; x < 6000; x += 1000)
                    painter.drawImage(QPoint(0, 0), zurm::render::schemaRegion(map.image, open.schema, options,
                                                                              QRect(x, y, 1000, 1000)));
        }
        benchmark::DoNotOptimize(zurm::render::schemaPicture(std::move(map.image), open.schema, options));
    }
    state.counters["startMB"] = before;
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
}
BENCHMARK(LargeMapMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return zurm::bench::runBenchmarks(argc, argv);
}
