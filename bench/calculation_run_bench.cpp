// The whole calculation run (runCalculation) on generated street networks of
// 1 000, 10 000 and 32 700 nodes (two-pipe, flows on the end segments and
// distributed by the run, the template's indicators), every result written
// back, with the calculation text (3 digits, streamed to its file) and
// without it. The catalogue check, the table structure and the topology
// check run once before timing. Goals at 32 700 nodes: at most 3 s with the
// text, at most 500 MB peak memory.
//
// Counters: segments, mains (КонМаг rows), mainRows (МагистралиТС rows), the
// text size in bytes and the peak resident memory of the timed runs (MB).
//
// The text holds, at every choice of the next main, one line per main not yet
// calculated, in the supply and the return pass: it grows with the square of
// the number of mains (a network of 13 000 mains writes about 85 million such
// lines per pass), so the run with the text cannot meet the time goal on the
// largest network; the run without it shows the cost of the calculation.
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/TableStructure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/TopologyCheck.h"
#include "indicators/IndicatorCheck.h"
#include "support/BenchSupport.h"
#include "support/PeakMemory.h"
#include "support/StreetNetwork.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void CalculationRun(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    const bool writeText = state.range(1) != 0;
    const QString& path = zurm::bench::streetCalculation(nodes);
    // ZURM_BENCH_STREET_FILE: a copy of the largest network before its first
    // run, for comparing the stored results of two builds
    // (bench/dump_calculation.py).
    if (const QByteArray keep = qgetenv("ZURM_BENCH_STREET_FILE"); !keep.isEmpty() && nodes == 32700
        && !QFile::exists(QFile::decodeName(keep)))
        QFile::copy(path, QFile::decodeName(keep));
    zurm::bench::QuietDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data(QFileInfo(path).absolutePath());
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
    if (topology.status != zurm::kNetworkCorrect) {
        state.SkipWithError(qPrintable(topology.message));
        return;
    }
    zurm::RunOptions options;
    options.indicatorsValid = true;
    options.networkStatus = topology.status;
    options.supplyHeadNodeText = options.availableHeadNodeText = QStringLiteral("0");
    options.writeText = writeText;
    options.digits = 3;
    options.askConfirmation = false;
    options.offerTextSave = false;
    options.keepTextInOutcome = false;
    options.showCompletion = [](const QString&) {};
    QTemporaryDir textFolder;
    options.temporaryTextFile = textFolder.filePath(QStringLiteral("text.tx_"));
    qint64 textBytes = 0;
    zurm::bench::resetPeakResident();
    for (auto _ : state) {
        const zurm::RunOutcome outcome = zurm::runCalculation(data, dialogs, progress, options);
        if (!outcome.succeeded) {
            state.SkipWithError(qPrintable(outcome.error));
            return;
        }
        textBytes = outcome.textSize;
    }
    const QSqlDatabase db = data.calculation();
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
    state.counters["segments"] = nodes - 1;
    state.counters["mains"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM КонМаг")).toDouble();
    state.counters["mainRows"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM МагистралиТС")).toDouble();
    state.counters["textBytes"] = double(textBytes);
}
BENCHMARK(CalculationRun)
    ->ArgNames({"nodes", "text"})
    ->Args({1000, 0})
    ->Args({1000, 1})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({32700, 0})
    ->Args({32700, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

} // namespace
