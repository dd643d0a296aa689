// zurm-calc on a one-pipe tree of 32 000 segments (about 11 400 end nodes and
// 195 000 rows of МагистралиТС; flows entered on every segment): the whole
// program end to end, run as a child process on a file it has calculated
// before (goal: at most 0.5 s), and the topology check alone on that file
// (goal: at most 0.3 s).
//
// Counters: the child's CPU time (user + system, s) and peak resident memory
// (MB); the first run on the fresh file (which also sets up the table
// structure) as firstRunMs. With ZURM_BENCH_TREE_FILE set, the fresh file is
// copied there too (for comparing the stored results of two builds with
// bench/dump_calculation.py).
#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "hydraulics/TopologyCheck.h"
#include "support/BenchSupport.h"
#include "support/NetworkGenerator.h"
#include "support/PeakMemory.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kSegments = 32000;

struct TreeFile {
    QTemporaryDir folder;
    QString path;
    double firstRunMs = 0;
};

struct ChildRun {
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double peakMB = 0;
    bool ok = false;
};

// zurm-calc FILE, its output thrown away.
ChildRun runZurmCalc(const QString& file)
{
    const QByteArray program = QByteArrayLiteral(ZURM_BIN_DIR "/zurm-calc");
    const QByteArray argument = QFile::encodeName(file);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::execl(program.constData(), "zurm-calc", argument.constData(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ChildRun result;
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return result;
    result.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    result.peakMB = double(usage.ru_maxrss) / 1024.0;
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return result;
}

// Generated once per process and calculated once by zurm-calc.
TreeFile& treeCalculation()
{
    static TreeFile* tree = [] {
        auto* t = new TreeFile;
        t->path = t->folder.filePath(QStringLiteral("tree.mdb"));
        zurm::bench::NetworkShape shape;
        shape.chainPerMille = 450;
        zurm::bench::generateCalculation(t->path, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"), kSegments, shape);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tree-bench"));
            db.setDatabaseName(t->path);
            if (!db.open())
                throw zurm::Failure(QStringLiteral("BenchError"), QStringLiteral("cannot open ") + t->path);
            // One pipe (without the return-pipe indicators of the catalogue),
            // the generated flows as entered.
            zurm::execSql(db, QStringLiteral("UPDATE НазвРасч SET ТипСети = 0, РасчРасх = 0, ОпрД = 0"));
            zurm::execSql(db, QStringLiteral("DELETE FROM Формулы WHERE ТипПок = 'О'"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("tree-bench"));
        const QByteArray keep = qgetenv("ZURM_BENCH_TREE_FILE");
        if (!keep.isEmpty()) {
            QFile::remove(QFile::decodeName(keep));
            QFile::copy(t->path, QFile::decodeName(keep));
        }
        t->firstRunMs = runZurmCalc(t->path).wallSeconds * 1000;
        return t;
    }();
    return *tree;
}

void ZurmCalcTree(benchmark::State& state)
{
    TreeFile& tree = treeCalculation();
    ChildRun worst;
    double cpu = 0;
    for (auto _ : state) {
        const ChildRun run = runZurmCalc(tree.path);
        if (!run.ok) {
            state.SkipWithError("zurm-calc failed");
            return;
        }
        state.SetIterationTime(run.wallSeconds);
        cpu += run.cpuSeconds;
        worst.peakMB = std::max(worst.peakMB, run.peakMB);
    }
    state.counters["cpuSeconds"] = cpu / double(state.iterations());
    state.counters["peakMB"] = worst.peakMB;
    state.counters["firstRunMs"] = tree.firstRunMs;
}
BENCHMARK(ZurmCalcTree)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void TopologyCheckTree(benchmark::State& state)
{
    TreeFile& tree = treeCalculation();
    zurm::bench::QuietDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data(QFileInfo(tree.path).absolutePath());
    data.createWorkDatabase(QString(), dialogs);
    data.openCalculation(tree.path);
    data.loadCalculationDoneFlag();
    zurm::bench::resetPeakResident();
    for (auto _ : state) {
        const zurm::TopologyResult result = zurm::ParTSCorrF(data, progress, QStringLiteral("0"));
        if (result.status != zurm::kNetworkCorrect) {
            state.SkipWithError(qPrintable(result.message));
            return;
        }
    }
    state.counters["peakMB"] = zurm::bench::peakResidentMegabytes();
    state.counters["mains"] = zurm::selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM КонМаг")).toDouble();
    state.counters["mainRows"] =
        zurm::selectValue(data.calculation(), QStringLiteral("SELECT count(*) FROM МагистралиТС")).toDouble();
}
BENCHMARK(TopologyCheckTree)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace
