// Opening the network parameters editor: from the "Параметры теплосети"
// command until the editor shows its node and segment grids with their first
// rows painted (the tables read, the modes and menus set). Street networks of
// 1 000, 10 000 and 32 700 nodes. Goal: at most 1 s for 32 700 nodes. The
// editor is closed by its Esc between the runs (the network is not checked
// again: it opens with manual fill off). Runs under the offscreen platform
// unless another one is chosen.
#include "gui/entry/MainWindow.h"
#include "gui/network/NetworkEditor.h"
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
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>

namespace {

using zurm::bench::OpeningDialogs;

void NetworkEditorOpen(benchmark::State& state)
{
    const int nodes = int(state.range(0));
    OpeningDialogs dialogs;
    dialogs.file = zurm::bench::streetCalculation(nodes);
    zurm::gui::MainWindow window(zurm::bench::desktopProgramFolder(), &dialogs);
    zurm::bench::showStartedUp(window);
    window.findChild<QAction*>(QStringLiteral("miFileOpenRas"))->trigger();
    QAction* command = window.findChild<QAction*>(QStringLiteral("miDataParTS"));
    if (!command || !command->isEnabled()) {
        state.SkipWithError("the network editor's command is not available");
        return;
    }
    zurm::bench::resetPeakResident();
    int shownRows = 0;
    qint64 openedMs = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        // The editor is modal: it is measured and closed from the event loop.
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* editor = qobject_cast<zurm::gui::NetworkEditor*>(QApplication::activeModalWidget());
            if (!editor)
                return;
            poll.stop();
            for (const char* name : {"DGUzTS", "DGGeodVis", "DGNU", "DGTabl"})
                editor->findChild<QTableView*>(QString::fromUtf8(name))->viewport()->repaint();
            openedMs = clock.elapsed();
            shownRows = editor->model(zurm::NetworkTable::Nodes)->rowCount();
            editor->reject();
        });
        poll.start();
        command->trigger();
        state.SetIterationTime(double(openedMs) / 1000.0);
    }
    state.counters["nodes"] = nodes;
    state.counters["rowsShown"] = shownRows;
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
    window.close();
}
BENCHMARK(NetworkEditorOpen)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(32700)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return zurm::bench::runBenchmarks(argc, argv);
}
