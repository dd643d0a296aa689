#include "session/DesktopRun.h"

#include "session/DocumentSession.h"

namespace zurm {

RunOptions desktopRunOptions(DocumentSession& session)
{
    RunOptions options;
    options.indicatorsValid = session.indicatorsValid();
    options.networkStatus = session.viewState().networkStatus;
    options.calculationName = session.viewState().calculationName;
    options.supplyHeadNodeText = session.viewState().supplyHeadNodeText;
    options.availableHeadNodeText = session.viewState().availableHeadNodeText;
    options.postPendingEdits = [&session] { if (session.postPendingEdits) session.postPendingEdits(); };
    // Each copy of the program writes its own text: copies may share the folder.
    options.temporaryTextFile = session.data().resolve(session.scratchFileName(QStringLiteral("tx_")));
    return options;
}

} // namespace zurm
