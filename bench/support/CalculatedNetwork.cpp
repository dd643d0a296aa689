#include "support/CalculatedNetwork.h"

#include "document/TableStructure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/TopologyCheck.h"
#include "indicators/IndicatorCheck.h"
#include "support/StreetNetwork.h"

#include <QDir>
#include <QTemporaryDir>

namespace zurm::bench {

CalculatedNetwork::CalculatedNetwork(int nodes, const QString& programFolder) : data(programFolder)
{
    const QString& path = streetCalculation(nodes);
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(path);
    data.openReference(QStringLiteral(ZURM_BIN_DIR "/Spr.mdb"));
    data.loadCalculationDoneFlag();
    if (data.calculationDone())
        return;
    GridLayout layout;
    if (!CheckIndicators(data, dialogs, progress) || !SetUpTableStructure(data, dialogs, progress, layout)) {
        problem = QStringLiteral("the indicator definitions do not pass their check");
        return;
    }
    const TopologyResult topology = ParTSCorrF(data, progress, QStringLiteral("0"));
    RunOptions options;
    options.indicatorsValid = true;
    options.networkStatus = topology.status;
    options.supplyHeadNodeText = options.availableHeadNodeText = QStringLiteral("0");
    options.writeText = false;
    options.askConfirmation = false;
    options.offerTextSave = false;
    options.keepTextInOutcome = false;
    options.showCompletion = [](const QString&) {};
    QTemporaryDir text;
    options.temporaryTextFile = text.filePath(QStringLiteral("text.tx_"));
    const RunOutcome outcome = runCalculation(data, dialogs, progress, options);
    if (!outcome.succeeded)
        problem = outcome.error;
}

} // namespace zurm::bench
