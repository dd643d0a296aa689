#include "gui/output/ReportExportCommand.h"

#include "base/Guarded.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/entry/CommandHost.h"
#include "output/ReportExport.h"
#include "session/DocumentSession.h"

namespace zurm::gui {

namespace {

const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
const QString kExportContext = QStringLiteral("Ошибка при выгрузке отчета в Microsoft Excel.");

} // namespace

void exportReportToSpreadsheet(CommandHost& host)
{
    CalculationGrids& grids = host.grids();
    DocumentSession& session = host.session();
    const CalculationGrids::SegmentPosition position = grids.segmentPosition();
    // An edit still in the grids clears the calculation-done flag when it is
    // posted, and then the export refuses.
    if (guardedStep(host.dialogs(), kSaveContext, [&] {
            grids.finishEditing();
            session.postPendingEdits();
        }))
        guardedStep(host.dialogs(), kExportContext,
                    [&] { exportReport(session.data(), host.dialogs(), host.progress()); });
    host.bindGridsIfReleased();
    grids.restoreSegmentPosition(position);
}

} // namespace zurm::gui
