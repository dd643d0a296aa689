// The pressure regime check after a run (checkPressureRegime) on the generated
// street network of 32 700 nodes: every segment's two head pairs, every end
// node's heads, a building at every end node, the boiling head of every supply
// temperature. The calculation runs once before timing. Goal, together with
// the adjustment of the inputs: at most 0.2 s beyond the run.
#include "base/Sql.h"
#include "document/Consumers.h"
#include "document/DataModule.h"
#include "hydraulics/PressureRegime.h"
#include "support/CalculatedNetwork.h"
#include "support/StreetNetwork.h"

#include <QFileInfo>
#include <benchmark/benchmark.h>

namespace {

void PressureRegimeCheck(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    zurm::bench::CalculatedNetwork network(nodes, QFileInfo(zurm::bench::streetCalculation(nodes)).absolutePath());
    if (!network.problem.isEmpty()) {
        state.SkipWithError(qPrintable(network.problem));
        return;
    }
    const QSqlDatabase db = network.data.calculation();
    {
        zurm::Transaction transaction(db);
        zurm::ensureConsumerTables(db);
        zurm::execSql(db, QStringLiteral("INSERT OR REPLACE INTO Потребители (КонУзел, ВысЗд) "
                                         "SELECT КонУзел, 9 + (КонУзел % 7) * 3 FROM КонМаг"));
        transaction.commit();
    }
    size_t faulty = 0;
    for (auto _ : state) {
        const zurm::PressureRegimeCheck check = zurm::checkPressureRegime(db);
        faulty = 0;
        for (const std::vector<int>& list : check.nodes)
            faulty += list.size();
        benchmark::DoNotOptimize(check);
    }
    state.counters["segments"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM Табл")).toDouble();
    state.counters["faults"] = double(faulty);
}
BENCHMARK(PressureRegimeCheck)
    ->ArgNames({"nodes"})
    ->Arg(32700)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

} // namespace
