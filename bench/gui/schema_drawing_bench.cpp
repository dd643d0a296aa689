// The drawing window on street networks of 1 000, 10 000 and 32 700 nodes:
// a click that draws a segment from the selected node, and its undo, each
// measured from the mouse press until the schema is painted again. Goal: at
// most 0.2 s each for 32 700 nodes. Runs under the offscreen platform unless
// another one is chosen.
#include "gui/entry/MainWindow.h"
#include "gui/network/SchemaDrawingWindow.h"
#include "gui/network/SchemaView.h"
#include "network/NetworkEditorRules.h"
#include "session/DocumentSession.h"
#include "support/DesktopBench.h"
#include "support/RunBenchmarks.h"
#include "support/StreetNetwork.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>

namespace {

using zurm::bench::OpeningDialogs;

void SchemaDrawing(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    OpeningDialogs dialogs;
    dialogs.file = zurm::bench::streetCalculation(nodes);
    zurm::gui::MainWindow window(zurm::bench::desktopProgramFolder(), &dialogs);
    zurm::bench::showStartedUp(window);
    window.findChild<QAction*>(QStringLiteral("miFileOpenRas"))->trigger();
    zurm::gui::SchemaDrawingWindow drawing(window.session(), dialogs, &window);
    drawing.resize(1100, 760);
    drawing.prepare();
    drawing.show();
    QApplication::processEvents();
    zurm::gui::SchemaView* view = drawing.schema();
    drawing.chooseItem(zurm::kModeDrawSegment);
    const QPoint empty(view->pictureSize().width() - 20, view->pictureSize().height() - 20);
    double clickSeconds = 0;
    double undoSeconds = 0;
    for (auto _ : state) {
        zurm::selectSchemaNodes(window.session().data(), {0}, true, false);
        QElapsedTimer clock;
        clock.start();
        emit view->picturePressed(empty, Qt::LeftButton);
        emit view->pictureReleased(empty, Qt::LeftButton);
        view->canvas()->repaint();
        const double click = clock.nsecsElapsed() / 1e9;
        clock.restart();
        drawing.action(QStringLiteral("miUndo"))->trigger();
        view->canvas()->repaint();
        const double undo = clock.nsecsElapsed() / 1e9;
        // Queued repaints of the input change are part of the work too.
        clock.restart();
        QApplication::processEvents();
        const double queued = clock.nsecsElapsed() / 1e9;
        clickSeconds += click;
        undoSeconds += undo + queued;
        state.SetIterationTime(click + undo + queued);
    }
    state.counters["nodes"] = nodes;
    state.counters["clickMs"] = 1000 * clickSeconds / double(state.iterations());
    state.counters["undoMs"] = 1000 * undoSeconds / double(state.iterations());
    drawing.reject();
    window.close();
}
BENCHMARK(SchemaDrawing)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32700)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return zurm::bench::runBenchmarks(argc, argv);
}
