// CheckIndicators on a calculation with 200 user indicators of all four types,
// each referring to the one before it in its stage (plus a header value and a
// fixed value), written in reverse so that the resolution needs one pass per
// link. Includes reading the catalogue and writing the three order tables.
#include "base/Sql.h"
#include "base/UserDialogs.h"
#include "document/DataModule.h"
#include "indicators/CalculationOrder.h"
#include "indicators/IndicatorCheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include "support/BenchSupport.h"

#include <benchmark/benchmark.h>

#include <stdexcept>

using namespace zurm;

namespace {

void fillCatalogue(const QSqlDatabase& db, int count)
{
    Transaction transaction(db);
    execSql(db, QStringLiteral("DELETE FROM [Формулы]"));
    const QString types[] = {QStringLiteral("З"), QStringLiteral("П"), QStringLiteral("О"), QStringLiteral("И")};
    const QString fixed[] = {QStringLiteral("МаксДлПод"), QStringLiteral("РасхПод"), QStringLiteral("РасхОбр"),
                             QStringLiteral("ДлНаУчОбр")};
    const int perType = count / 4;
    int npp = 0;
    for (int t = 0; t < 4; ++t) {
        const QString prefix = QStringLiteral("Пок") + QString::number(t) + QLatin1Char('x');
        // Reverse order: the last of the chain is written first.
        for (int i = perType - 1; i >= 0; --i) {
            QString formula;
            if (i == 0)
                formula = QLatin1Char('<') + fixed[t] + QStringLiteral(">*2");
            else
                formula = QLatin1Char('<') + prefix + QString::number(i - 1) + QStringLiteral(">+<")
                    + fixed[t] + QStringLiteral(">[шаг цепочки]");
            if (t > 0)
                formula += QStringLiteral("+<Пок0x") + QString::number(perType - 1) + QLatin1Char('>');
            execSql(db,
                    QStringLiteral("INSERT INTO [Формулы] ([Nпп], [НаимПок], [НаимПокСокр], [ТипПок], [ВводПольз], "
                                   "[Формула], [ВывВОтчТабл]) VALUES (?, 'Показатель', ?, ?, 0, ?, 1)"),
                    {npp++, prefix + QString::number(i), types[t], formula});
        }
    }
    execSql(db, QStringLiteral("UPDATE [ФлыПредопрПок] SET [Формула]=? WHERE [НаимПокСокр]=?"),
            {QStringLiteral("<ПотНОтИНачПод>+<Пок1x%1>").arg(perType - 1), QStringLiteral("ПотНОтИКонПод")});
    execSql(db, QStringLiteral("UPDATE [ФлыПредопрПок] SET [Формула]=? WHERE [НаимПокСокр]=?"),
            {QStringLiteral("<ПотНОтИНачОбр>+<Пок2x%1>").arg(perType - 1), QStringLiteral("ПотНОтИКонОбр")});
    transaction.commit();
}

void BM_CheckIndicators200(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString calculation = dir.filePath(QStringLiteral("calc.mdb"));
    if (!QFile::copy(QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"), calculation)) {
        state.SkipWithError("cannot copy the template");
        return;
    }
    QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
    zurm::bench::QuietDialogs dialogs;
    SilentProgress progress;
    DataModule data(dir.path());
    data.openCalculation(calculation);
    data.createWorkDatabase(QString(), dialogs);
    fillCatalogue(data.calculation(), int(state.range(0)));

    for (auto _ : state) {
        if (!CheckIndicators(data, dialogs, progress)) {
            state.SkipWithError("the catalogue did not pass");
            break;
        }
    }
    state.counters["indicators"] = double(state.range(0));
}

// The same checks and order in memory only, without the file: shows how the
// work grows with the catalogue (the passes are event-driven, not rescans).
void BM_DefinitionsAndOrderInMemory(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString calculation = dir.filePath(QStringLiteral("calc.mdb"));
    if (!QFile::copy(QStringLiteral(ZURM_BIN_DIR "/GidrRas.mdb"), calculation)) {
        state.SkipWithError("cannot copy the template");
        return;
    }
    QFile::setPermissions(calculation, QFile::ReadOwner | QFile::WriteOwner);
    DataModule data(dir.path());
    data.openCalculation(calculation);
    fillCatalogue(data.calculation(), int(state.range(0)));
    const IndicatorCatalogue catalogue = IndicatorCatalogue::load(data.calculation());

    for (auto _ : state) {
        const IndicatorCheckResult result = CheckIndicatorDefinitions(catalogue);
        const CalculationOrder order = computeCalculationOrder(catalogue);
        if (!result.valid || !order.message.isEmpty()) {
            state.SkipWithError("the catalogue did not pass");
            break;
        }
        benchmark::DoNotOptimize(order.stages.size());
    }
    state.SetComplexityN(state.range(0));
}

} // namespace

BENCHMARK(BM_CheckIndicators200)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DefinitionsAndOrderInMemory)->Arg(200)->Arg(800)->Arg(3200)->Unit(benchmark::kMillisecond)->Complexity();

