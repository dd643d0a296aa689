// The spreadsheet export of a finished calculation (writeReportWorkbook) on
// generated street networks of 1 000, 10 000 and 32 700 nodes: the template's
// indicators (about 40 columns a segment), every segment and main, the workbook
// written and moved into place. The calculation runs once before timing,
// without its text. Goal at 32 700 nodes: at most 2 s.
//
// Counters: segments, mains, the workbook size in bytes and the peak resident
// memory of the timed exports (MB).
#include "base/Sql.h"
#include "document/DataModule.h"
#include "output/ReportWorkbook.h"
#include "support/CalculatedNetwork.h"
#include "support/PeakMemory.h"
#include "support/StreetNetwork.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void ReportWorkbook(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    zurm::bench::CalculatedNetwork network(nodes, QFileInfo(zurm::bench::streetCalculation(nodes)).absolutePath());
    if (!network.problem.isEmpty()) {
        state.SkipWithError(qPrintable(network.problem));
        return;
    }
    zurm::DataModule& data = network.data;
    zurm::Progress& progress = network.progress;
    QTemporaryDir folder;
    const QString workbook = folder.filePath(QStringLiteral("report.xlsx"));
    zurm::bench::resetPeakResident();
    for (auto _ : state)
        zurm::writeReportWorkbook(data, workbook, progress, 3);
    const QSqlDatabase db = data.calculation();
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
    state.counters["segments"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM Табл")).toDouble();
    state.counters["mains"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM КонМаг")).toDouble();
    state.counters["bytes"] = double(QFileInfo(workbook).size());
}
BENCHMARK(ReportWorkbook)
    ->ArgNames({"nodes"})
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32700)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

} // namespace
