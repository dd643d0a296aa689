// The printed report of a finished calculation written as PDF: the report
// definition filled with the results (Mustache) and printed piece by piece,
// on street networks of 1 000, 10 000 and 32 700 nodes (two-pipe, the
// template's indicators, calculated once before timing). Goals at 32 700
// nodes: at most 30 s and at most 500 MB peak memory.
#include "document/DataModule.h"
#include "output/CalculationReport.h"
#include "render/ReportPages.h"
#include "support/CalculatedNetwork.h"
#include "support/PeakMemory.h"
#include "support/RunBenchmarks.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void ReportPdf(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    zurm::bench::CalculatedNetwork network(nodes);
    if (!network.problem.isEmpty()) {
        state.SkipWithError(qPrintable(network.problem));
        return;
    }
    zurm::DataModule& data = network.data;
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("report.pdf"));
    zurm::bench::resetPeakResident();
    double buildSeconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const zurm::ReportDocument report = zurm::buildCalculationReport(data);
        buildSeconds += clock.nsecsElapsed() / 1e9;
        const QString problem = zurm::render::writeReportPdf(report, pdf);
        if (!problem.isEmpty()) {
            state.SkipWithError(qPrintable(problem));
            return;
        }
    }
    state.counters["segments"] = nodes - 1;
    state.counters["fillS"] = buildSeconds / double(state.iterations());
    state.counters["pdfMB"] = double(QFileInfo(pdf).size()) / (1024.0 * 1024.0);
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
}
BENCHMARK(ReportPdf)->Arg(1000)->Arg(10000)->Arg(32700)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    return zurm::bench::runBenchmarks(argc, argv);
}
