// Table structure setup on a large calculation (32 700 segments):
//   OpenAndSetUpUnchanged   opening the file and the setup when nothing changed (goal: 0.3 s)
//   AddIndicatorAndSetUp    one new user indicator: the setup rebuilds Табл (goal: 2 s)
//   OpenDocumentsUnchanged  the whole OpenDocuments of the program (both files, the
//                           indicator check with the calculation order, the setup)
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "document/TableStructure.h"
#include "session/DocumentSession.h"
#include "settings/SettingsRow.h"
#include "support/BenchSupport.h"
#include "support/NetworkGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

namespace {

constexpr int kSegments = 32700;

// The generated calculation, made once per run of the program.
const QString& largeCalculation()
{
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString file = folder.filePath(QStringLiteral("large.mdb"));
        zurm::bench::generateCalculation(file, QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"), kSegments);
        return file;
    }();
    return path;
}

struct OpenDocument {
    OpenDocument() : data(QFileInfo(largeCalculation()).absolutePath())
    {
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(largeCalculation());
        data.loadCalculationDoneFlag();
    }
    bool setUp()
    {
        zurm::GridLayout layout;
        return zurm::SetUpTableStructure(data, dialogs, progress, layout);
    }
    zurm::bench::QuietDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DataModule data;
};

void OpenAndSetUpUnchanged(benchmark::State& state)
{
    largeCalculation();
    OpenDocument{}.setUp(); // bring the file's shape in line once, outside the measure
    for (auto _ : state) {
        OpenDocument document;
        if (!document.setUp())
            state.SkipWithError("setup refused");
    }
    state.counters["segments"] = kSegments;
}
BENCHMARK(OpenAndSetUpUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void AddIndicatorAndSetUp(benchmark::State& state)
{
    OpenDocument document;
    document.setUp();
    int added = 0;
    for (auto _ : state) {
        ++added;
        zurm::execSql(document.data.calculation(),
                      QStringLiteral("INSERT INTO Формулы (Nпп, НаимПок, НаимПокСокр, ТипПок, ВводПольз, ВывВОтчТабл) "
                                     "VALUES (?, 'Добавленный показатель', ?, 'П', 1, 1)"),
                      {100 + added, QStringLiteral("Доб%1").arg(added)});
        QElapsedTimer timer;
        timer.start();
        if (!document.setUp())
            state.SkipWithError("setup refused");
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    state.counters["segments"] = kSegments;
}
BENCHMARK(AddIndicatorAndSetUp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

void OpenDocumentsUnchanged(benchmark::State& state)
{
    largeCalculation();
    QTemporaryDir programFolder;
    for (const char* name : {"GidrRas.mdb", "Spr.mdb", "Nastr.mdb"})
        QFile::copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(name),
                    programFolder.filePath(QString::fromUtf8(name)));
    zurm::bench::QuietDialogs dialogs;
    zurm::SilentProgress progress;
    zurm::DocumentSession session(programFolder.path(), dialogs, progress);
    {
        zurm::DataModule settings(programFolder.path());
        settings.openSettings(QStringLiteral("Nastr.mdb"));
        zurm::SettingsRow::setValue(settings.settings(), zurm::SettingsRow::kCalculationFile, largeCalculation());
    }
    if (!session.startUp(QString()) || !session.data().calculationOpen()) {
        state.SkipWithError("start-up failed");
        return;
    }
    for (auto _ : state)
        session.OpenDocuments(false);
    state.counters["segments"] = kSegments;
}
BENCHMARK(OpenDocumentsUnchanged)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

} // namespace

