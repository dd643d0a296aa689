// The pressure regime after a run: the saturation line against the published
// verification values, each fault at its threshold on a small network, the
// text, and random networks against a second reading of the result tables.
#include "base/Sql.h"
#include "document/Consumers.h"
#include "document/DataModule.h"
#include "document/TableStructure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/PressureRegime.h"
#include "hydraulics/TopologyCheck.h"
#include "hydraulics/WaterSaturation.h"
#include "indicators/IndicatorCheck.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"

#include <QSqlQuery>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <set>

using namespace zurm;

namespace {

TEST(WaterSaturation, AgreesWithThePublishedValues)
{
    struct Row {
        double kelvin, pressureMPa;
    };
    // The verification values of the saturation-pressure equation.
    for (const Row& row : {Row{300, 3.53658941e-3}, Row{500, 2.63889776}, Row{600, 12.3443146}}) {
        const std::optional<double> pressure = saturationPressure(row.kelvin);
        ASSERT_TRUE(pressure);
        EXPECT_NEAR(*pressure / 1e6, row.pressureMPa, row.pressureMPa * 1e-8) << row.kelvin;
    }
    EXPECT_NEAR(*saturatedLiquidDensity(373.15), 958.35, 0.01);
    // 100 °C boils at about the standard atmosphere: a head near 0.
    EXPECT_NEAR(*boilingHead(100), 0, 0.01);
    EXPECT_LT(*boilingHead(70), -7);
    EXPECT_FALSE(saturationPressure(273.14));
    EXPECT_FALSE(boilingHead(374));
    EXPECT_TRUE(boilingHead(0));
}

// The nodes of every fault as "kind:a,b;…", for comparing whole results.
std::string faults(const PressureRegimeCheck& check)
{
    std::string text;
    for (int kind = 0; kind < kPressureFaultCount; ++kind) {
        if (check.nodes[size_t(kind)].empty())
            continue;
        text += std::to_string(kind) + ':';
        for (size_t i = 0; i < check.nodes[size_t(kind)].size(); ++i)
            text += (i ? "," : "") + std::to_string(check.nodes[size_t(kind)][i]);
        text += ';';
    }
    return text;
}

class PressureRegimeTest : public ::testing::Test {
public:
    void SetUp() override
    {
        data = std::make_unique<DataModule>(folder.programFolder());
        data->createWorkDatabase(QString(), dialogs);
        data->openSettings(folder.program(QStringLiteral("Nastr.mdb")));
        data->openReference(folder.program(QStringLiteral("Spr.mdb")));
    }
    QSqlDatabase calc() const { return data->calculation(); }
    void exec(const QString& sql, const QVariantList& bindings = {}) const { execSql(calc(), sql, bindings); }

    // A two-pipe calculation of `segments` ("a-b:length …") over nodes
    // ("n:height …"), losses of 1 m per 100 m of supply and 1 m per 200 m of
    // return pipe, calculated. Returns the run's success.
    bool calculate(const QString& nodes, const QString& segments, const QString& headChanges = QString(),
                   double supplyHead = 60, double availableHead = 30, double coldest = 70, double hottest = 130)
    {
        if (data->calculationOpen())
            data->closeCalculation();
        data->openCalculation(folder.newCalculation());
        data->loadCalculationDoneFlag();
        exec(QStringLiteral("UPDATE НазвРасч SET ТипСети = 1, РасчРасх = 0, ОпрД = 0, NНачУз = 0"));
        exec(QStringLiteral("DELETE FROM Формулы WHERE ТипПок <> 'З'"));
        exec(QStringLiteral("UPDATE ФлыПредопрПок SET Формула = '<ПотНОтИНачПод>+<ДлНаУчПод>/100' "
                            "WHERE НаимПокСокр = 'ПотНОтИКонПод'"));
        exec(QStringLiteral("UPDATE ФлыПредопрПок SET Формула = '<ПотНОтИНачОбр>+<ДлНаУчОбр>/200' "
                            "WHERE НаимПокСокр = 'ПотНОтИКонОбр'"));
        exec(QStringLiteral("UPDATE Заг SET ПНапНаУзПод = ?, РНапНаУз = ?, МинТВоды = ?, МаксТВоды = ?"),
             {supplyHead, availableHead, coldest, hottest});
        exec(QStringLiteral("DELETE FROM УзлыТС"));
        exec(QStringLiteral("DELETE FROM Табл"));
        for (const QString& node : nodes.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList parts = node.split(QLatin1Char(':'));
            exec(QStringLiteral("INSERT INTO УзлыТС (Nуз, x, y, ГеодВыс) VALUES (?, 0, 0, ?)"),
                 {parts[0].toInt(), parts[1].toDouble()});
        }
        int id = 0;
        for (const QString& segment : segments.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const QStringList parts = segment.split(QLatin1Char(':'));
            const QStringList ends = parts[0].split(QLatin1Char('-'));
            exec(QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел, ДлНаУчПод, РасхПод) VALUES (?, ?, ?, ?, 10)"),
                 {++id, ends[0].toInt(), ends[1].toInt(), parts[1].toDouble()});
        }
        if (!headChanges.isEmpty())
            exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС (Nуз, ТрПр, ИзмПНап) VALUES ") + headChanges);
        EXPECT_TRUE(CheckIndicators(*data, dialogs, progress));
        GridLayout layout;
        EXPECT_TRUE(SetUpTableStructure(*data, dialogs, progress, layout));
        TopologyResult topology = ParTSCorrF(*data, progress, QStringLiteral("0"));
        applyHeadChangeRule(*data, topology);
        storeNetworkStatus(*data, topology.status, topology.message);
        EXPECT_EQ(topology.status, 0) << topology.message.toStdString();
        RunOptions o;
        o.indicatorsValid = true;
        o.supplyHeadNodeText = QStringLiteral("0");
        o.availableHeadNodeText = QStringLiteral("0");
        o.writeText = false;
        o.askConfirmation = false;
        o.offerTextSave = false;
        o.showCompletion = [](const QString&) {};
        const RunOutcome outcome = runCalculation(*data, dialogs, progress, o);
        EXPECT_TRUE(outcome.succeeded) << outcome.error.toStdString();
        ensureConsumerTables(calc());
        return outcome.succeeded;
    }

    test::ProgramFolderFixture folder;
    test::FakeDialogs dialogs;
    test::FakeProgress progress;
    std::unique_ptr<DataModule> data;
};

TEST_F(PressureRegimeTest, EachFaultAtItsThreshold)
{
    const double boilingAt150 = *boilingHead(150);
    const QString atBoiling = QString::number(boilingAt150 + 5, 'g', 17);
    struct Case {
        const char* name;
        QString change; // SQL run on the levelled results
        std::string expected;
    };
    const QString end12 = QStringLiteral(" WHERE НачУзел = 1 AND КонУзел = 2");
    const QString end01 = QStringLiteral(" WHERE НачУзел = 0 AND КонУзел = 1");
    const Case cases[] = {
        {"levelled results are clean", QString(), ""},
        {"supply head at the ground", "UPDATE Табл SET ПНапНачПод = 0" + end12, ""},
        {"supply head below the ground after a head change", "UPDATE Табл SET ПНапНачПод = -0.001" + end12, "0:1;"},
        {"return head at the ground", "UPDATE Табл SET ПНапНачОбр = 0" + end12, ""},
        {"return head below the ground", "UPDATE Табл SET ПНапНачОбр = -0.5" + end12, "1:1;"},
        {"end node's return head at building + 5 m", "UPDATE КонМаг SET ПНапОбр = 15", ""},
        {"end node's return head below building + 5 m", "UPDATE КонМаг SET ПНапОбр = 14.999", "2:2;"},
        {"a consumer at a node that ends no main has no building",
         "INSERT INTO Потребители (КонУзел, ВысЗд) VALUES (1, 30)", ""},
        {"supply head at ground + allowed pressure", "UPDATE Табл SET ПНапКонПод = 60" + end01, ""},
        {"supply head above ground + allowed pressure", "UPDATE Табл SET ПНапКонПод = 60.5" + end01, "3:1;"},
        {"stored allowed pressure", "UPDATE ПотребителиЗаг SET ДопДавлМС = 39.5", "3:0,1,2;"},
        // The end node's КонМаг heads stand on the water of its segment.
        {"supply head at ground + boiling head + reserve",
         "UPDATE Табл SET ТВодыКонПод = 150, ПНапКонПод = " + atBoiling + end12 + "; UPDATE КонМаг SET ПНапПод = "
             + atBoiling,
         ""},
        {"supply head below ground + boiling head + reserve",
         "UPDATE Табл SET ТВодыКонПод = 150, ПНапКонПод = " + atBoiling + end12 + "; UPDATE КонМаг SET ПНапПод = "
             + QString::number(std::nextafter(boilingAt150 + 5, 0.0), 'g', 17),
         "4:2;"},
        {"stored boiling reserve",
         "UPDATE Табл SET ТВодыКонПод = 150, ПНапКонПод = 43" + end12 + "; UPDATE КонМаг SET ПНапПод = 43", ""},
        {"no head, no check", "UPDATE КонМаг SET ПНапПод = NULL, ПНапОбр = NULL; "
                              "UPDATE Табл SET ПНапКонПод = NULL, ПНапКонОбр = NULL, ТВодыКонПод = 150" + end12,
         ""},
        {"a node once per fault, ascending",
         "UPDATE Табл SET ПНапНачПод = -1, ПНапКонПод = -1; UPDATE КонМаг SET ПНапПод = -1", "0:0,1,2;"},
        {"one-pipe: no return check", "UPDATE Табл SET ПНапНачОбр = -1, ПНапКонОбр = -1; UPDATE НазвРасч SET ТипСети = 0",
         ""},
    };
    ASSERT_TRUE(calculate(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:100 1-2:100")));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Level the results: safe heads everywhere, a 10 m building at end node 2.
        Transaction transaction(calc());
        exec(QStringLiteral("UPDATE Табл SET ГеодВысНач = 0, ГеодВысКон = 0, ПНапНачПод = 40, ПНапКонПод = 40, "
                            "ПНапНачОбр = 20, ПНапКонОбр = 20, ТВодыНачПод = 20, ТВодыКонПод = 20"));
        exec(QStringLiteral("UPDATE КонМаг SET ПНапПод = 40, ПНапОбр = 20"));
        exec(QStringLiteral("INSERT INTO Потребители (КонУзел, ВысЗд) VALUES (2, 10)"));
        if (c.name == std::string("stored boiling reserve"))
            exec(QStringLiteral("UPDATE ПотребителиЗаг SET ЗапасКип = 1"));
        for (const QString& sql : c.change.split(QStringLiteral("; "), Qt::SkipEmptyParts))
            exec(sql);
        EXPECT_EQ(faults(checkPressureRegime(calc())), c.expected);
        // Undone for the next case.
    }
}

TEST(PressureRegimeText, LinesPerFaultAndCappedLists)
{
    PressureRegimeCheck none;
    EXPECT_EQ(pressureRegimeText(none), QStringLiteral("Нарушений режима давления нет."));

    PressureRegimeCheck check;
    check.limits.allowedPressure = 62.5;
    check.limits.boilingReserve = 5;
    check.nodes[size_t(PressureFault::SupplyVacuum)] = {3, 7};
    check.nodes[size_t(PressureFault::SystemsEmpty)] = {12};
    for (int node = 1; node <= 25; ++node)
        check.nodes[size_t(PressureFault::SupplyTooHigh)].push_back(node);
    check.nodes[size_t(PressureFault::Boiling)] = {4, 5};
    EXPECT_EQ(pressureRegimeText(check),
              QStringLiteral("Вакуум в подающем трубопроводе (напор ниже отметки земли): узлы 3, 7.\r\n"
                             "Опорожнение систем потребителей (напор в обратном трубопроводе ниже отметки земли "
                             "+ высота здания + 5 м): узел 12.\r\n"
                             "Давление в подающем трубопроводе выше допустимого для систем потребителей (напор выше "
                             "отметки земли + 62,5 м): узлы 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, "
                             "17, 18, 19, 20 … и ещё 5.\r\n"
                             "Вскипание воды в подающем трубопроводе (напор ниже отметки земли + напор вскипания + "
                             "запас 5 м): узлы 4, 5."));
}

// A second reading of the results: every head pair the run stored, straight
// from SQL, judged node by node.
std::string independentCheck(const QSqlDatabase& db)
{
    const bool twoPipe = selectValue(db, QStringLiteral("SELECT ТипСети FROM НазвРасч")).toInt() == 1;
    const double allowed = selectValue(db, QStringLiteral("SELECT ДопДавлМС FROM ПотребителиЗаг")).toDouble();
    const double reserve = selectValue(db, QStringLiteral("SELECT ЗапасКип FROM ПотребителиЗаг")).toDouble();
    QSqlQuery q = selectSql(
        db, QStringLiteral(
                "WITH heads(n, g, s, r, t) AS ("
                " SELECT НачУзел, ГеодВысНач, ПНапНачПод, ПНапНачОбр, ТВодыНачПод FROM Табл"
                " UNION ALL SELECT КонУзел, ГеодВысКон, ПНапКонПод, ПНапКонОбр, ТВодыКонПод FROM Табл"
                " UNION ALL SELECT k.КонУзел,"
                "  (SELECT ГеодВысКон FROM Табл WHERE КонУзел = k.КонУзел ORDER BY id LIMIT 1), k.ПНапПод, k.ПНапОбр,"
                "  (SELECT ТВодыКонПод FROM Табл WHERE КонУзел = k.КонУзел ORDER BY id LIMIT 1) FROM КонМаг k)"
                " SELECT h.n, h.g, h.s, h.r, h.t,"
                "  (SELECT p.ВысЗд FROM Потребители p WHERE p.КонУзел = h.n"
                "   AND h.n IN (SELECT КонУзел FROM КонМаг)) FROM heads h"));
    std::set<int> found[kPressureFaultCount];
    while (q.next()) {
        if (q.value(1).isNull())
            continue;
        const int n = q.value(0).toInt();
        const double g = q.value(1).toDouble();
        if (!q.value(2).isNull()) {
            const double s = q.value(2).toDouble();
            if (s < g)
                found[0].insert(n);
            if (s > g + allowed)
                found[3].insert(n);
            if (!q.value(4).isNull()) {
                const double t = q.value(4).toDouble();
                const double p = *saturationPressure(t + 273.15);
                const double rho = *saturatedLiquidDensity(t + 273.15);
                if (s < g + (p - 101325) / (rho * 9.80665) + reserve)
                    found[4].insert(n);
            }
        }
        if (twoPipe && !q.value(3).isNull()) {
            const double r = q.value(3).toDouble();
            if (r < g)
                found[1].insert(n);
            if (!q.value(5).isNull() && r < g + q.value(5).toDouble() + 5)
                found[2].insert(n);
        }
    }
    std::string text;
    for (int kind = 0; kind < kPressureFaultCount; ++kind) {
        if (found[kind].empty())
            continue;
        text += std::to_string(kind) + ':';
        bool first = true;
        for (int n : found[kind]) {
            text += (first ? "" : ",") + std::to_string(n);
            first = false;
        }
        text += ';';
    }
    return text;
}

TEST_F(PressureRegimeTest, RandomNetworksAgreeWithASecondReading)
{
    std::mt19937 random(24);
    auto uniform = [&](double from, double to) { return std::uniform_real_distribution<double>(from, to)(random); };
    auto whole = [&](int from, int to) { return std::uniform_int_distribution<int>(from, to)(random); };
    int fired[kPressureFaultCount] = {};
    for (int network = 0; network < 8; ++network) {
        SCOPED_TRACE(network);
        const int nodes = whole(8, 40);
        QString nodeText = QStringLiteral("0:") + QString::number(uniform(0, 20));
        QString segments;
        for (int n = 1; n < nodes; ++n) {
            nodeText += QStringLiteral(" %1:%2").arg(n).arg(uniform(0, 45));
            segments += QStringLiteral(" %1-%2:%3").arg(whole(std::max(0, n - 4), n - 1)).arg(n).arg(whole(50, 900));
        }
        QStringList changes;
        for (int n = 1; n < nodes; n += whole(3, 9))
            changes.append(QStringLiteral("(%1, %2, %3)").arg(n).arg(whole(0, 1)).arg(uniform(-15, 15)));
        ASSERT_TRUE(calculate(nodeText, segments, changes.join(QLatin1Char(',')), uniform(30, 110), uniform(5, 40),
                              uniform(55, 75), uniform(90, 160)));
        exec(QStringLiteral("UPDATE ПотребителиЗаг SET ДопДавлМС = ?, ЗапасКип = ?"), {uniform(30, 70), uniform(0, 8)});
        QSqlQuery ends = selectSql(calc(), QStringLiteral("SELECT КонУзел FROM КонМаг"));
        QList<int> endNodes;
        while (ends.next())
            endNodes.append(ends.value(0).toInt());
        for (int node : endNodes)
            if (whole(0, 3) > 0)
                exec(QStringLiteral("INSERT INTO Потребители (КонУзел, ВысЗд) VALUES (?, ?)"),
                     {node, whole(0, 4) ? QVariant(uniform(3, 40)) : QVariant()});
        const PressureRegimeCheck check = checkPressureRegime(calc());
        EXPECT_EQ(faults(check), independentCheck(calc()));
        for (int kind = 0; kind < kPressureFaultCount; ++kind)
            fired[kind] += !check.nodes[size_t(kind)].empty();
    }
    // The random table is worth its time only if it exercises every fault.
    for (int kind = 0; kind < kPressureFaultCount; ++kind)
        EXPECT_GT(fired[kind], 0) << kind;
}

} // namespace
