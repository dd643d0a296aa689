// The whole calculation run (runCalculation) on generated tree networks of
// 1 000, 10 000 and 32 700 nodes with the template's indicators, the
// calculation text written (3 digits) and every result written back. The
// catalogue check, the table structure and the topology check run once before
// timing. Counters: segments, mains and the size of the text in bytes.
#include "document/DataModule.h"
#include "document/Sql.h"
#include "document/TableStructure.h"
#include "document/UserDialogs.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/TopologyCheck.h"
#include "indicators/IndicatorCheck.h"
#include "support/BenchSupport.h"
#include "support/NetworkGenerator.h"

#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const QString& calculationWithNodes(int nodes)
{
    static QTemporaryDir folder;
    static QMap<int, QString> paths;
    if (!paths.contains(nodes)) {
        const QString file = folder.filePath(QStringLiteral("run-%1.mdb").arg(nodes));
        zurm::bench::generateCalculation(file, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"), nodes - 1);
        paths.insert(nodes, file);
    }
    return paths[nodes];
}

void CalculationRun(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    const QString& path = calculationWithNodes(nodes);
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
    const QSqlDatabase db = data.calculation();
    auto node = [&db](const char* column) {
        return zurm::selectValue(db, QStringLiteral("SELECT [%1] FROM НазвРасч").arg(QString::fromUtf8(column))).toString();
    };
    zurm::RunOptions options;
    options.indicatorsValid = true;
    options.networkStatus = topology.status;
    options.supplyHeadNodeText = node("NузПНапПод");
    options.availableHeadNodeText = node("NузРНап");
    if (options.supplyHeadNodeText.isEmpty())
        options.supplyHeadNodeText = options.availableHeadNodeText = QStringLiteral("0");
    options.writeText = true;
    options.digits = 3;
    options.askConfirmation = false;
    options.offerTextSave = false;
    options.showCompletion = [](const QString&) {};
    QTemporaryDir textFolder;
    options.temporaryTextFile = textFolder.filePath(QStringLiteral("text.tx_"));
    qsizetype textBytes = 0;
    for (auto _ : state) {
        const zurm::RunOutcome outcome = zurm::runCalculation(data, dialogs, progress, options);
        if (!outcome.succeeded) {
            state.SkipWithError(qPrintable(outcome.error));
            return;
        }
        textBytes = outcome.textBytes.size();
    }
    state.counters["segments"] = nodes - 1;
    state.counters["mains"] = zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM КонМаг")).toDouble();
    state.counters["textBytes"] = double(textBytes);
}
BENCHMARK(CalculationRun)->Arg(1000)->Arg(10000)->Arg(32700)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
