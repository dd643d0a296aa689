// Repeated data entry on a large calculation (32 700 segments, all marked):
//   EightLines  eight assignment lines, numbers and copies of what earlier
//               lines wrote, in one write (goal: 1 s)
#include "base/Sql.h"
#include "document/DataModule.h"
#include "entry/RepeatedEntry.h"
#include "support/BenchSupport.h"
#include "support/NetworkGenerator.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kSegments = 32700;

void EightLines(benchmark::State& state)
{
    zurm::bench::GeneratedCalculation generated(kSegments);
    zurm::DataModule& data = *generated.data;
    zurm::execSql(data.calculation(), QStringLiteral("UPDATE Табл SET Заполн_Уч = 'Д'"));
    const QList<zurm::AssignmentLine> lines{
        {QStringLiteral("РасхПод"), QStringLiteral("12,5"), {}},
        {QStringLiteral("РасхОбр"), {}, QStringLiteral("РасхПод")},
        {QStringLiteral("ДуПод"), QStringLiteral("150"), {}},
        {QStringLiteral("ДуОбр"), {}, QStringLiteral("ДуПод")},
        {QStringLiteral("ДлНаУчОбр"), {}, QStringLiteral("ДлНаУчПод")},
        {QStringLiteral("ГеодВысНач"), QStringLiteral("101,25"), {}},
        {QStringLiteral("ГеодВысКон"), {}, QStringLiteral("ГеодВысНач")},
        {QStringLiteral("ТВодыНачПод"), QStringLiteral("1 30"), {}},
    };
    int marked = 0;
    for (auto _ : state)
        marked = zurm::writeAssignments(data, lines);
    if (marked != kSegments)
        state.SkipWithError("not every segment was written");
    state.counters["segments"] = marked;
}
BENCHMARK(EightLines)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace
