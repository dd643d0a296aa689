#include "gui/output/ReportCommands.h"

#include "base/Failure.h"
#include "base/Guarded.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/entry/CommandHost.h"
#include "output/CalculationReport.h"
#include "render/ReportPages.h"
#include "session/DocumentSession.h"

#include <QApplication>
#include <QMainWindow>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>

namespace zurm::gui {

namespace {
const QString kSaveContext = QStringLiteral("Ошибка при сохранении данных.");
} // namespace

ReportCommands::ReportCommands(CommandHost& host) : QObject(&host.window()), host_(host) {}

void ReportCommands::formReport()
{
    DocumentSession& session = host_.session();
    UserDialogs& dialogs = host_.dialogs();
    if (!session.data().calculationOpen())
        return;
    CalculationGrids& grids = host_.grids();
    if (!guardedStep(dialogs, kSaveContext, [&] {
            grids.finishEditing();
            grids.postPendingEdits();
        }))
        return;
    if (!session.data().calculationDone()) {
        dialogs.showMessage(kReportNeedsCalculation, MessageKind::Warning);
        return;
    }
    ReportDocument report;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        report = buildCalculationReport(session.data());
    } catch (const Failure& failure) {
        QApplication::restoreOverrideCursor();
        // The failure's own text: a missing definition file says which.
        dialogs.showMessage(failure.text(), MessageKind::Error);
        return;
    } catch (const QuietAbort&) {
        QApplication::restoreOverrideCursor();
        return;
    }
    QApplication::restoreOverrideCursor();

    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report.title);
    printer.setPageLayout(render::reportPageLayout(report));
    QPrintPreviewDialog preview(&printer, &host_.window());
    preview.setObjectName(QStringLiteral("ReportPreview"));
    preview.setWindowTitle(report.title);
    if (auto* view = preview.findChild<QPrintPreviewWidget*>()) {
        view->setZoomMode(QPrintPreviewWidget::CustomZoom);
        view->setZoomFactor(1.0);
    }
    Progress& progress = host_.progress();
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, [&](QPrinter* target) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        render::printReport(report, *target, &progress);
        QApplication::restoreOverrideCursor();
    });
    preview.resize(1000, 760);
    preview.exec();
}

} // namespace zurm::gui
