// The graphs along the longest main of the generated street network of
// 32 700 nodes, calculated once before timing: reading the lists the graph
// window opens with (every main with its segments), and one graph of the
// longest main, its series computed from the result tables and painted on a
// 1 200 × 800 picture (goal: at most 100 ms), for the piezometric graph, both
// flows and a user indicator of the segments.
#include "base/Sql.h"
#include "document/DataModule.h"
#include "output/GraphSeries.h"
#include "render/GraphPainter.h"
#include "support/CalculatedNetwork.h"
#include "support/RunBenchmarks.h"
#include "support/StreetNetwork.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

namespace {

constexpr int kNodes = 32700;

struct CalculatedNetwork : zurm::bench::CalculatedNetwork {
    zurm::GraphCatalogue catalogue;
    int longest = 0;

    CalculatedNetwork() : zurm::bench::CalculatedNetwork(kNodes, QFileInfo(zurm::bench::streetCalculation(kNodes)).absolutePath())
    {
        if (!problem.isEmpty())
            return;
        catalogue = zurm::readGraphCatalogue(data);
        for (size_t i = 0; i < catalogue.mains.size(); ++i)
            if (catalogue.mains[i].segments.size() > catalogue.mains[size_t(longest)].segments.size())
                longest = int(i);
    }
};

CalculatedNetwork& network()
{
    static CalculatedNetwork calculated;
    return calculated;
}

void ReadGraphLists(benchmark::State& state)
{
    CalculatedNetwork& net = network();
    if (!net.problem.isEmpty()) {
        state.SkipWithError(qPrintable(net.problem));
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(zurm::readGraphCatalogue(net.data));
    state.counters["mains"] = double(net.catalogue.mains.size());
}
BENCHMARK(ReadGraphLists)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Argument: the type index (0 heads, 4 both flows, 5 the first user indicator).
void GraphOfTheLongestMain(benchmark::State& state)
{
    CalculatedNetwork& net = network();
    if (!net.problem.isEmpty()) {
        state.SkipWithError(qPrintable(net.problem));
        return;
    }
    zurm::GraphRequest request;
    request.mainIndex = net.longest;
    request.typeIndex = int(state.range(0));
    QImage picture(zurm::render::kGraphPictureWidth, zurm::render::kGraphPictureHeight, QImage::Format_RGB32);
    size_t steps = 0;
    for (auto _ : state) {
        const zurm::GraphOutcome outcome = zurm::computeGraph(net.data, net.catalogue, request);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        zurm::render::GraphPainter(outcome.graph, {}).paint(painter, QRectF(picture.rect()));
        steps = outcome.graph.steps.size();
    }
    state.counters["segments"] = double(net.catalogue.mains[size_t(net.longest)].segments.size());
    state.counters["steps"] = double(steps);
}
BENCHMARK(GraphOfTheLongestMain)->Arg(0)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return zurm::bench::runBenchmarks(argc, argv);
}
