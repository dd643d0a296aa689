// Opening a calculation in the main window: from the "Открыть расчет" command
// until the window shows the header grid, the segment grid and the number
// list with their first rows painted. Street networks of 1 000, 10 000 and
// 32 700 nodes (the calculation files of the run benchmarks). Goal: at most
// 1 s for 32 700 segments. Runs under the offscreen platform unless another
// one is chosen.
#include "document/DataModule.h"
#include "entry/SegmentTableModel.h"
#include "gui/entry/MainWindow.h"
#include "session/DocumentSession.h"
#include "support/DesktopBench.h"
#include "support/PeakMemory.h"
#include "support/RunBenchmarks.h"
#include "support/StreetNetwork.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

using zurm::bench::OpeningDialogs;

void MainWindowOpen(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    OpeningDialogs dialogs;
    dialogs.file = zurm::bench::streetCalculation(nodes);
    zurm::gui::MainWindow window(zurm::bench::desktopProgramFolder(), &dialogs);
    zurm::bench::showStartedUp(window);
    QAction* open = window.findChild<QAction*>(QStringLiteral("miFileOpenRas"));
    auto* segments = window.findChild<QTableView*>(QStringLiteral("DGGlavn"));
    if (!open || !segments) {
        state.SkipWithError("the window has no open command or no segment grid");
        return;
    }
    zurm::bench::resetPeakResident();
    int rows = 0;
    for (auto _ : state) {
        open->trigger();
        segments->viewport()->repaint();
        QApplication::processEvents();
        if (!segments->isVisible() || !window.segmentModel()) {
            state.SkipWithError("the grids are not shown after opening");
            return;
        }
        rows = window.segmentModel()->rowCount();
    }
    state.counters["segments"] = nodes - 1;
    state.counters["rowsKnown"] = rows;
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
    window.close();
}
BENCHMARK(MainWindowOpen)->Arg(1000)->Arg(10000)->Arg(32700)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return zurm::bench::runBenchmarks(argc, argv);
}
