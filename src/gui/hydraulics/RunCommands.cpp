#include "gui/hydraulics/RunCommands.h"

#include "base/Guarded.h"
#include "gui/entry/CalculationGrids.h"
#include "gui/entry/CommandHost.h"
#include "gui/entry/RunStop.h"
#include "gui/hydraulics/CompletionDialog.h"
#include "gui/hydraulics/TextViewer.h"
#include "base/Failure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/PressureRegime.h"
#include "session/DesktopRun.h"
#include "session/DocumentSession.h"
#include "settings/FontSizes.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>

namespace zurm::gui {

namespace {

const QString kRunContext = QStringLiteral("Ошибка при выполнении расчета.");
const QString kViewerContext = QStringLiteral("Ошибка при выводе текста расчета на экран.");

} // namespace

RunCommands::RunCommands(CommandHost& host) : QObject(&host.window()), host_(host) {}

RunCommands::~RunCommands()
{
    delete completionDialog_;
    delete textViewer_;
}

void RunCommands::setMemoFont(const QFont& font)
{
    memoFont_ = font;
    if (completionDialog_)
        completionDialog_->setMemoFont(font);
    if (textViewer_)
        textViewer_->setMemoFont(font);
}

CompletionDialog* RunCommands::completionDialog()
{
    if (!completionDialog_) {
        completionDialog_ = new CompletionDialog(&host_.window());
        completionDialog_->setMemoFont(sizedFont(host_.window().font(), host_.fontSizes().dataCells));
    }
    return completionDialog_;
}

TextViewer* RunCommands::textViewer()
{
    if (!textViewer_) {
        textViewer_ = new TextViewer(&host_.window());
        textViewer_->setMemoFont(sizedFont(host_.window().font(), host_.fontSizes().dataCells));
    }
    return textViewer_;
}

void RunCommands::showCalculationText(const QString& savedFile)
{
    // The run shows "Подготовка экранной формы с текстом расчета." meanwhile.
    TextViewer* viewer = textViewer();
    const bool loaded = guardedStep(host_.dialogs(), kViewerContext, [&] { viewer->load(savedFile); });
    host_.progress().setStatus(QString());
    if (!loaded)
        return; // the text stays saved; the run goes on to its completion
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    viewer->run();
    QApplication::restoreOverrideCursor();
}

QStringList RunCommands::showCompletion(const QString& message)
{
    // The check reads the results the run has just stored; a failure of it
    // takes nothing from the run, so it is told in its box.
    QString regime;
    try {
        regime = pressureRegimeText(checkPressureRegime(host_.session().data().calculation()));
    } catch (const Failure& failure) {
        regime = errorReport(QStringLiteral("Ошибка при проверке режима давления."), failure);
    }
    CompletionDialog* dialog = completionDialog();
    if (dialog->run(message, regime) != CompletionDialog::kOk)
        return {};
    QStringList commands;
    if (dialog->reportChosen())
        commands.append(QStringLiteral("miDataFormOtsh"));
    if (dialog->exportChosen())
        commands.append(QStringLiteral("miDataVigrV_ME"));
    if (dialog->graphsChosen())
        commands.append(QStringLiteral("miDataGr"));
    return commands;
}

void RunCommands::startFollowUps(const QStringList& commands)
{
    // Each output command does its own checks; one that has no window yet is
    // a disabled action and is passed over.
    for (const QString& name : commands) {
        QAction* command = host_.window().findChild<QAction*>(name);
        if (command && command->isEnabled())
            command->trigger();
    }
}

void RunCommands::askToCloseAfterRun()
{
    if (runStop_)
        closeAfterRun_ = runStop_->askToClose();
}

void RunCommands::run()
{
    // The run reads the three fields as they are typed, not as last stored.
    CalculationGrids& grids = host_.grids();
    grids.takeTypedFields();
    const CalculationGrids::SegmentPosition position = grids.segmentPosition();
    DocumentSession& session = host_.session();
    QStringList followUps;
    RunStop stop(host_.window(), host_.dialogs());
    runStop_ = &stop;
    guardedStep(host_.dialogs(), kRunContext, [&] {
        RunOptions options = desktopRunOptions(session);
        // The text lives in its file only: a large network's runs to gigabytes.
        options.keepTextInOutcome = false;
        options.showText = [this](const QString& file) { showCalculationText(file); };
        options.showCompletion = [this, &followUps](const QString& message) { followUps = showCompletion(message); };
        zurm::runCalculation(session.data(), host_.dialogs(), host_.progress(), options);
    });
    runStop_ = nullptr;
    host_.bindGridsIfReleased();
    if (closeAfterRun_) {
        host_.window().close();
        return;
    }
    grids.restoreSegmentPosition(position);
    // The chosen outputs start once the run has finished and the window is
    // unlocked, in the order report, spreadsheet, graphs.
    startFollowUps(followUps);
}

} // namespace zurm::gui
