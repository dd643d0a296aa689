// The network topology check (ParTSCorrF) on generated tree networks of 1 000,
// 10 000 and 32 700 nodes: every check passes, so each run reads the nodes and
// segments, rebuilds МагистралиТС and КонМаг in one transaction and runs the
// final checks. Goal: at most 0.5 s for 32 700 nodes.
// Counters: mains (rows of КонМаг) and mainRows (rows of МагистралиТС).
#include "document/DataModule.h"
#include "document/Sql.h"
#include "document/UserDialogs.h"
#include "hydraulics/TopologyCheck.h"
#include "support/BenchSupport.h"
#include "support/NetworkGenerator.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

// One generated calculation per size, made once per run of the program. Node 0
// is the start node; nodes 0 .. segments, so a network of n nodes has n - 1
// segments.
const QString& calculationWithNodes(int nodes)
{
    static QTemporaryDir folder;
    static QMap<int, QString> paths;
    if (!paths.contains(nodes)) {
        const QString file = folder.filePath(QStringLiteral("network-%1.mdb").arg(nodes));
        zurm::bench::generateCalculation(file, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"), nodes - 1);
        paths.insert(nodes, file);
    }
    return paths[nodes];
}

void TopologyCheck(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    const QString& path = calculationWithNodes(nodes);
    zurm::bench::QuietDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data(QFileInfo(path).absolutePath());
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(path);
    data.loadCalculationDoneFlag();
    for (auto _ : state) {
        const zurm::TopologyResult result = zurm::ParTSCorrF(data, progress, QStringLiteral("0"));
        if (result.status != zurm::kNetworkCorrect) {
            state.SkipWithError(qPrintable(QStringLiteral("status %1: %2").arg(result.status).arg(result.message)));
            return;
        }
    }
    const QSqlDatabase db = data.calculation();
    state.counters["nodes"] = nodes;
    state.counters["mains"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM КонМаг")).toDouble();
    state.counters["mainRows"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM МагистралиТС")).toDouble();
}
BENCHMARK(TopologyCheck)->Arg(1000)->Arg(10000)->Arg(32700)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

