// The network topology check (ParTSCorrF) on generated street networks of
// 1 000, 10 000 and 32 700 nodes (about 40 % end nodes, mains up to about 200
// segments): every check passes, so each run reads the nodes and segments,
// rebuilds МагистралиТС and КонМаг in one transaction and runs the final
// checks. Goal: at most 0.5 s for 32 700 nodes.
// Counters: mains (rows of КонМаг), mainRows (rows of МагистралиТС), the
// longest main in segments and the peak resident memory (MB).
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "hydraulics/TopologyCheck.h"
#include "support/BenchSupport.h"
#include "support/PeakMemory.h"
#include "support/StreetNetwork.h"

#include <QFileInfo>
#include <benchmark/benchmark.h>

namespace {

void TopologyCheck(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    const QString& path = zurm::bench::streetCalculation(nodes);
    zurm::bench::QuietDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data(QFileInfo(path).absolutePath());
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(path);
    data.loadCalculationDoneFlag();
    zurm::bench::resetPeakResident();
    for (auto _ : state) {
        const zurm::TopologyResult result = zurm::ParTSCorrF(data, progress, QStringLiteral("0"));
        if (result.status != zurm::kNetworkCorrect) {
            state.SkipWithError(qPrintable(QStringLiteral("status %1: %2").arg(result.status).arg(result.message)));
            return;
        }
    }
    const QSqlDatabase db = data.calculation();
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
    state.counters["nodes"] = nodes;
    state.counters["mains"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM КонМаг")).toDouble();
    state.counters["mainRows"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM МагистралиТС")).toDouble();
    state.counters["longestMain"] = zurm::bench::streetCalculationSummary(nodes).longestMain;
}
BENCHMARK(TopologyCheck)->Arg(1000)->Arg(10000)->Arg(32700)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace
