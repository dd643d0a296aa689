// The adjustment of the consumers' inputs on the calculated street network of
// 32 700 nodes (about 13 000 end nodes), every end node with a consumer of
// one of the four schemes: the stored results read in one pass and every input
// sized (what the window, the sheet and the report section each do), and the
// same with the CSV of zurm-calc --adjustment written. Goal: together with
// the check of the pressure regime, at most 0.2 s beyond the run.
//
// Counters: endNodes, the rows of the table.
#include "base/Sql.h"
#include "document/Consumers.h"
#include "hydraulics/InputAdjustment.h"
#include "output/AdjustmentOutput.h"
#include "support/CalculatedNetwork.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void InputAdjustment(benchmark::State& state)
{
    const bool writeCsv = state.range(1) != 0;
    zurm::bench::CalculatedNetwork network(int(state.range(0)));
    if (!network.problem.isEmpty()) {
        state.SkipWithError(qPrintable(network.problem));
        return;
    }
    const QSqlDatabase db = network.data.calculation();
    zurm::ensureConsumerTables(db);
    zurm::execSql(db, QStringLiteral("INSERT OR REPLACE INTO Потребители (КонУзел, НаимПотр, СхемаПрис, ПотНСист, "
                                     "ТСмеш, НапТреб) SELECT КонУзел, 'Здание ' || КонУзел, КонУзел % 4, 1.2, 95, 15 "
                                     "FROM КонМаг"));
    // The street network has one temperature at both pipes of its ends;
    // the adjustment of its elevators needs a difference.
    zurm::execSql(db, QStringLiteral("UPDATE Табл SET ТВодыКонПод = 130, ТВодыКонОбр = 70"));
    const zurm::AdjustmentSettings settings;
    QTemporaryDir folder;
    size_t rows = 0;
    for (auto _ : state) {
        const zurm::AdjustmentTable table = zurm::adjustInputs(db, true, settings);
        if (!table.refusal.isEmpty()) {
            state.SkipWithError(qPrintable(table.refusal));
            return;
        }
        if (writeCsv)
            zurm::writeAdjustmentFile(table.rows, folder.filePath(QStringLiteral("adjustment.csv")));
        rows = table.rows.size();
        benchmark::DoNotOptimize(rows);
    }
    state.counters["endNodes"] = double(rows);
}
BENCHMARK(InputAdjustment)
    ->ArgNames({"nodes", "csv"})
    ->Args({32700, 0})
    ->Args({32700, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
