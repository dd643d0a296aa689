// The printed report of a finished calculation written as PDF: the report
// definition filled with the results (Mustache) and printed piece by piece,
// on street networks of 1 000, 10 000 and 32 700 nodes (two-pipe, the
// template's indicators, calculated once before timing). Goals at 32 700
// nodes: at most 30 s and at most 500 MB peak memory.
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/TableStructure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/TopologyCheck.h"
#include "indicators/IndicatorCheck.h"
#include "output/CalculationReport.h"
#include "render/ReportPages.h"
#include "support/BenchSupport.h"
#include "support/PeakMemory.h"
#include "support/RunBenchmarks.h"
#include "support/StreetNetwork.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void ReportPdf(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    const QString& path = zurm::bench::streetCalculation(nodes);
    zurm::bench::QuietDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data(QStringLiteral(ZURM_BIN_DIR));
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(path);
    data.openReference(QStringLiteral(ZURM_BIN_DIR "/Spr.mdb"));
    data.loadCalculationDoneFlag();
    zurm::GridLayout layout;
    if (!zurm::CheckIndicators(data, dialogs, progress) || !zurm::SetUpTableStructure(data, dialogs, progress, layout)) {
        state.SkipWithError("the indicator definitions do not pass their check");
        return;
    }
    const zurm::TopologyResult topology = zurm::ParTSCorrF(data, progress, QStringLiteral("0"));
    zurm::RunOptions options;
    options.indicatorsValid = true;
    options.networkStatus = topology.status;
    options.supplyHeadNodeText = options.availableHeadNodeText = QStringLiteral("0");
    options.writeText = false;
    options.askConfirmation = false;
    options.offerTextSave = false;
    options.keepTextInOutcome = false;
    options.showCompletion = [](const QString&) {};
    QTemporaryDir folder;
    options.temporaryTextFile = folder.filePath(QStringLiteral("text.tx_"));
    if (!zurm::runCalculation(data, dialogs, progress, options).succeeded) {
        state.SkipWithError("the calculation did not run");
        return;
    }
    const QString pdf = folder.filePath(QStringLiteral("report.pdf"));
    zurm::bench::resetPeakResident();
    for (auto _ : state) {
        const zurm::ReportDocument report = zurm::buildCalculationReport(data, QLatin1Char(','));
        const QString problem = zurm::render::writeReportPdf(report, pdf);
        if (!problem.isEmpty()) {
            state.SkipWithError(qPrintable(problem));
            return;
        }
    }
    state.counters["segments"] = nodes - 1;
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
