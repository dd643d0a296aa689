#pragma once

// A generated street calculation opened with the delivered reference tables,
// its indicators checked, its table structure set up and calculated once
// (nothing is run again when it already holds a finished calculation): what
// the benches of the results start from.

#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "support/BenchSupport.h"

#include <QString>

namespace zurm::bench {

class CalculatedNetwork {
public:
    // The program folder is where the report definitions are looked for.
    explicit CalculatedNetwork(int nodes, const QString& programFolder = QStringLiteral(ZURM_BIN_DIR));

    QuietDialogs dialogs;
    SilentProgress progress;
    DataModule data;
    QString problem; // why the network could not be calculated, empty when it was
};

} // namespace zurm::bench
