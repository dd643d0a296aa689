// The adjustment of the consumers' inputs: the worked values of the formulas,
// what a missing or unsound input says, the constants stored in the settings
// file, random calculated networks checked row by row by a second
// implementation written here, and the sheet and report section it adds.
#include "base/Failure.h"
#include "base/Sql.h"
#include "document/Consumers.h"
#include "document/DataModule.h"
#include "hydraulics/InputAdjustment.h"
#include "output/CalculationReport.h"
#include "output/ReportWorkbook.h"
#include "platform/XlsxReader.h"
#include "settings/AdjustmentSettings.h"
#include "support/FakeDialogs.h"
#include "support/ProgramFolder.h"
#include "support/StreetNetwork.h"

#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <random>

namespace {

using zurm::AdjustmentSettings;
using zurm::ConnectionScheme;
using zurm::Consumer;
using zurm::InputAdjustment;
using zurm::InputConditions;

double two(double value)
{
    return std::round(value * 100) / 100;
}

Consumer consumer(std::optional<ConnectionScheme> scheme, std::optional<double> h, std::optional<double> t3,
                  std::optional<double> required)
{
    Consumer c;
    c.node = 7;
    c.name = QStringLiteral("Дом");
    c.scheme = scheme;
    c.systemLoss = h;
    c.mixedTemperature = t3;
    c.requiredHead = required;
    return c;
}

// Runs zurm-calc on the file (the program's own calculation) and says what went wrong.
QString calculate(const QString& file)
{
    QProcess process;
    process.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {file});
    process.waitForFinished(120000);
    return process.exitCode() == 0 ? QString() : QString::fromUtf8(process.readAllStandardError());
}

} // namespace

TEST(InputAdjustment, WorkedValuesShortfallsAndMissingInputs)
{
    AdjustmentSettings settings;
    settings.mixingReserve = 1; // the worked values take k = 1
    const auto direct = ConnectionScheme::Direct;
    const auto elevator = ConnectionScheme::Elevator;
    const struct {
        double flow, head;
        std::optional<Consumer> consumer;
        double t1, t2;
        std::optional<double> orifice; // mm, rounded to 0.01
        int orifices;
        std::optional<int> number;
        std::optional<double> throat, minimumHead, nozzle, ratio;
        QString remark;
    } cases[] = {
        // The orifices: ΔH = H − Hтреб.
        {5, 30, consumer(direct, {}, {}, 20), 150, 70, 12.57, 1, {}, {}, {}, {}, {}, {}},
        {2, 50, consumer(ConnectionScheme::Independent, {}, {}, 20), 150, 70, 6.04, 1, {}, {}, {}, {}, {}, {}},
        {20, 25, consumer(ConnectionScheme::PumpMixing, {}, {}, 20), 150, 70, 29.91, 1, {}, {}, {}, {}, {}, {}},
        {0.5, 60, consumer(direct, {}, {}, 20), 150, 70, 3.34, 2, {}, {}, {}, {}, {},
         QStringLiteral("Диафрагма d = 2,81 мм меньше наименьшей (3 мм): напор 40 м делится поровну между 2 "
                        "диафрагмами по 3,34 мм, установленными последовательно.")},
        {5, 12, consumer(direct, {}, {}, 15), 150, 70, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Недостаточно напора: H = 12 м меньше требуемого Hтреб = 15 м на 3 м; диафрагма не ставится.")},
        {5, 15, consumer(direct, {}, {}, 15), 150, 70, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Располагаемый напор равен требуемому: диафрагма не нужна.")},
        // The elevator: u = 2,2, dг = 34,00 → № 5, Hmin = 14,34, dс = 9,17 at 30 m.
        {5, 30, consumer(elevator, 1, 95, {}), 150, 70, {}, 0, 5, 34.00, 14.34, 9.17, 2.2, {}},
        {5, 10, consumer(elevator, 1, 95, {}), 150, 70, {}, 0, 5, 34.00, 14.34, {}, 2.2,
         QStringLiteral("Недостаточно напора для элеватора: H = 10 м меньше Hmin = 14,34 м на 4,34 м.")},
        // The nozzle below 3 mm: 3 mm, and 25,81 m left for 6 orifices before the elevator.
        {0.2, 30, consumer(elevator, 0.01, 95, {}), 150, 70, 3.11, 6, 3, 21.50, 0.14, 3, 2.2,
         QStringLiteral("Сопло dс = 1,83 мм меньше наименьшего: принято 3 мм, напор 25,81 м сверх нужного соплу "
                        "гасит диафрагма перед элеватором. Диафрагма d = 1,98 мм меньше наименьшей (3 мм): напор "
                        "25,81 м делится поровну между 6 диафрагмами по 3,11 мм, установленными последовательно.")},
        {50, 200, consumer(elevator, 1, 95, {}), 150, 70, {}, 0, {}, 107.52, 14.34, 18.05, 2.2,
         QStringLiteral("Нет элеватора с горловиной не меньше dг = 107,52 мм: наибольшая горловина 59 мм (№ 7).")},
        // Missing or unsound input.
        {5, 30, std::nullopt, 150, 70, {}, 0, {}, {}, {}, {}, {}, QStringLiteral("Нет данных о потребителе.")},
        {5, 30, consumer({}, 1, 95, 20), 150, 70, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Не задана схема присоединения.")},
        {0, 30, consumer(direct, {}, {}, 20), 150, 70, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Расход на вводе G должен быть больше нуля.")},
        {5, 30, consumer(direct, {}, {}, {}), 150, 70, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Не задан требуемый напор на вводе Hтреб.")},
        {5, 30, consumer(elevator, {}, 95, {}), 150, 70, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Потери напора в системе здания h должны быть заданы и больше нуля.")},
        {5, 30, consumer(elevator, 1, {}, {}), 150, 70, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Не задана температура воды после смешения t3.")},
        {5, 30, consumer(elevator, 1, 160, {}), 150, 70.5, {}, 0, {}, {}, {}, {}, {},
         QStringLiteral("Температура воды после смешения t3 = 160 °C должна быть ниже τ1 = 150 °C и выше τ2 = 70,5 °C.")},
    };
    for (const auto& c : cases) {
        const InputConditions at{7, c.flow, c.head, c.t1, c.t2};
        const InputAdjustment r = zurm::adjustInput(at, c.consumer ? &*c.consumer : nullptr, settings);
        SCOPED_TRACE(r.remark.toStdString() + " G=" + std::to_string(c.flow) + " H=" + std::to_string(c.head));
        EXPECT_EQ(r.remark, c.remark);
        EXPECT_EQ(r.orifices.has_value(), c.orifice.has_value());
        if (r.orifices && c.orifice) {
            EXPECT_DOUBLE_EQ(two(r.orifices->diameter), *c.orifice);
            EXPECT_EQ(r.orifices->count, c.orifices);
        }
        EXPECT_EQ(r.elevatorNumber, c.number);
        EXPECT_EQ(r.throat.has_value(), c.throat.has_value());
        if (r.throat && c.throat) {
            EXPECT_DOUBLE_EQ(two(*r.throat), *c.throat);
        }
        if (r.minimumHead && c.minimumHead) {
            EXPECT_DOUBLE_EQ(two(*r.minimumHead), *c.minimumHead);
        }
        EXPECT_EQ(r.nozzle.has_value(), c.nozzle.has_value());
        if (r.nozzle && c.nozzle) {
            EXPECT_DOUBLE_EQ(two(*r.nozzle), *c.nozzle);
        }
        if (c.ratio) {
            ASSERT_TRUE(r.mixingRatio);
            EXPECT_DOUBLE_EQ(two(*r.mixingRatio), *c.ratio);
        }
    }
}

TEST(AdjustmentSettings, StoredReadBackAndRefused)
{
    zurm::test::ProgramFolderFixture folder;
    const QString file = folder.program(QStringLiteral("Nastr.mdb"));
    const QString problem = zurm::onOwnConnection(file, false, [&](QSqlDatabase& db) {
        // A settings file of before: the defaults, and the tables once asked for.
        EXPECT_FALSE(zurm::tableExists(db, zurm::kElevatorsTable));
        EXPECT_EQ(zurm::readAdjustmentSettings(db), AdjustmentSettings{});
        zurm::ensureAdjustmentSettingsTables(db);
        EXPECT_EQ(zurm::selectValue(db, QStringLiteral("SELECT group_concat(Номер || ':' || ДиамГорл) FROM Элеваторы"))
                      .toString(),
                  QStringLiteral("1:15.0,2:20.0,3:25.0,4:30.0,5:35.0,6:47.0,7:59.0"));
        EXPECT_EQ(zurm::readAdjustmentSettings(db), AdjustmentSettings{});

        AdjustmentSettings own;
        own.mixingReserve = 1.2;
        own.minOrifice = 4;
        own.elevators = {{1, 15}, {2, 20}, {8, 70}};
        zurm::writeAdjustmentSettings(db, own);
        EXPECT_EQ(zurm::readAdjustmentSettings(db), own);

        const struct {
            std::function<void(AdjustmentSettings&)> change;
            QString message;
        } refused[] = {
            {[](AdjustmentSettings& s) { s.nozzleFactor = 0; },
             QStringLiteral("Параметр \"Коэффициент сопла\" должен быть числом больше нуля.")},
            {[](AdjustmentSettings& s) { s.minNozzle = std::nan(""); },
             QStringLiteral("Параметр \"Наименьший диаметр сопла, мм\" должен быть числом больше нуля.")},
            {[](AdjustmentSettings& s) { s.elevators.clear(); },
             QStringLiteral("В таблице элеваторов должен быть хотя бы один элеватор.")},
            {[](AdjustmentSettings& s) { s.elevators.push_back({2, 90}); },
             QStringLiteral("Элеватор № 2 указан в таблице дважды.")},
            {[](AdjustmentSettings& s) { s.elevators[1].throat = 15; },
             QStringLiteral("Диаметр горловины элеватора № 2 должен быть больше, чем у элеватора № 1.")},
        };
        for (const auto& r : refused) {
            AdjustmentSettings bad = own;
            r.change(bad);
            EXPECT_EQ(zurm::adjustmentSettingsProblem(bad), r.message);
            try {
                zurm::writeAdjustmentSettings(db, bad);
                ADD_FAILURE() << "stored: " << r.message.toStdString();
            } catch (const zurm::Failure& failure) {
                EXPECT_EQ(failure.text(), r.message);
            }
            EXPECT_EQ(zurm::readAdjustmentSettings(db), own) << "nothing of a refused write is stored";
        }

        // A file edited by hand: unsound values keep their defaults, unsound
        // and repeated elevators are dropped, the rest come by number.
        zurm::execSql(db, QStringLiteral("UPDATE НастрНаладки SET КДиафр = NULL, КСопла = -1, КГорл = 'x'"));
        zurm::execSql(db, QStringLiteral("DELETE FROM Элеваторы"));
        zurm::execSql(db, QStringLiteral("INSERT INTO Элеваторы VALUES (3, 25), (1, 15), (2, NULL), (4, 0), (5.5, 40)"));
        const AdjustmentSettings read = zurm::readAdjustmentSettings(db);
        EXPECT_EQ(read.orificeFactor, 10);
        EXPECT_EQ(read.nozzleFactor, 9.6);
        EXPECT_EQ(read.throatFactor, 8.5);
        EXPECT_EQ(read.mixingReserve, 1.2);
        EXPECT_EQ(read.elevators, (std::vector<zurm::Elevator>{{1, 15}, {3, 25}}));
    });
    EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
}

// Every end node of street networks calculated by the program, with random
// consumers and constants, against the formulas computed here on their own.
TEST(InputAdjustment, RandomNetworksAgreeWithASecondImplementation)
{
    zurm::test::ProgramFolderFixture folder;
    std::mt19937 random(20240611);
    auto uniform = [&](double low, double high) { return std::uniform_real_distribution<double>(low, high)(random); };
    auto chance = [&](double p) { return std::bernoulli_distribution(p)(random); };
    // The two implementations may round their last digit apart.
    auto closeTo = [](double v) { return 1e-12 * std::max(1.0, std::abs(v)); };
    int elevators = 0, orificeRows = 0, split = 0, shortfalls = 0, refusals = 0;
    for (const int nodes : {40, 120, 300, 700}) {
        zurm::bench::StreetNetworkOptions options;
        options.nodes = nodes;
        options.seed = std::uint32_t(nodes);
        const QString file = folder.docs(QStringLiteral("street%1.mdb").arg(nodes));
        zurm::bench::generateStreetCalculation(file, folder.program(QStringLiteral("GidrRas.mdb")),
                                               QStringLiteral(ZURM_BIN_DIR), options);
        // The supply and return differ at the consumers by 40 to 70 °C.
        const QString given = zurm::onOwnConnection(file, false, [&](QSqlDatabase& db) {
            zurm::execSql(db, QStringLiteral("UPDATE КонМаг SET ДельтаТ = 40 + abs(random() % 31)"));
        });
        ASSERT_TRUE(given.isEmpty()) << given.toStdString();
        const QString failed = calculate(file);
        ASSERT_TRUE(failed.isEmpty()) << failed.toStdString();

        AdjustmentSettings settings;
        settings.orificeFactor = uniform(8, 12);
        settings.nozzleFactor = uniform(8, 11);
        settings.throatFactor = uniform(7, 10);
        settings.elevatorHeadFactor = uniform(1, 2);
        settings.mixingReserve = uniform(1, 1.3);
        settings.minOrifice = uniform(2, 8);
        settings.minNozzle = uniform(2, 8);
        std::vector<std::optional<Consumer>> consumers;
        const QString problem = zurm::onOwnConnection(file, false, [&](QSqlDatabase& db) {
            zurm::ensureConsumerTables(db);
            QSqlQuery ends = zurm::selectSql(db, QStringLiteral("SELECT КонУзел, РНап FROM КонМаг ORDER BY id_m"));
            std::vector<std::pair<int, double>> heads;
            while (ends.next())
                heads.emplace_back(ends.value(0).toInt(), ends.value(1).toDouble());
            for (const auto& [node, head] : heads) {
                if (chance(0.1)) {
                    consumers.emplace_back();
                    continue;
                }
                Consumer c;
                c.node = node;
                c.name = QStringLiteral("Здание %1").arg(node);
                c.scheme = chance(0.05) ? std::nullopt
                                        : std::optional(ConnectionScheme(std::uniform_int_distribution<int>(0, 3)(random)));
                c.systemLoss = chance(0.05) ? std::nullopt : std::optional(uniform(0.01, 3));
                c.mixedTemperature = chance(0.05) ? std::nullopt : std::optional(uniform(65, 135));
                c.requiredHead = chance(0.05) ? std::nullopt : std::optional(uniform(0, 1.2 * head));
                zurm::execSql(db, QStringLiteral("INSERT INTO Потребители (КонУзел, НаимПотр, СхемаПрис, ПотНСист, "
                                                 "ТСмеш, НапТреб) VALUES (?, ?, ?, ?, ?, ?)"),
                              {c.node, c.name, c.scheme ? QVariant(int(*c.scheme)) : QVariant(),
                               c.systemLoss ? QVariant(*c.systemLoss) : QVariant(),
                               c.mixedTemperature ? QVariant(*c.mixedTemperature) : QVariant(),
                               c.requiredHead ? QVariant(*c.requiredHead) : QVariant()});
                consumers.push_back(c);
            }

            const zurm::AdjustmentTable table = zurm::adjustInputs(db, true, settings);
            ASSERT_TRUE(table.refusal.isEmpty());
            ASSERT_EQ(table.rows.size(), heads.size());
            for (size_t i = 0; i < heads.size(); ++i) {
                const InputAdjustment& row = table.rows[i];
                const auto& [node, head] = heads[i];
                SCOPED_TRACE(QStringLiteral("узел %1: %2").arg(node).arg(row.remark).toStdString());
                QSqlQuery end = zurm::selectSql(
                    db, QStringLiteral("SELECT РасхПод, ТВодыКонПод, ТВодыКонОбр FROM Табл WHERE КонУзел = ?"), {node});
                ASSERT_TRUE(end.next());
                const double G = end.value(0).toDouble(), t1 = end.value(1).toDouble(), t2 = end.value(2).toDouble();
                EXPECT_EQ(row.conditions.node, node);
                EXPECT_EQ(row.conditions.flow, G);
                EXPECT_EQ(row.conditions.head, head);

                // The second implementation: the formulas as written, the
                // number of orifices counted up from one.
                auto orifices = [&](double dH) {
                    int n = 1;
                    while (settings.orificeFactor * std::pow(G * G * n / dH, 0.25) < settings.minOrifice && n <= 1000)
                        ++n;
                    return std::pair(n, settings.orificeFactor * std::pow(G * G * n / dH, 0.25));
                };
                auto expectOrifices = [&](double dH) {
                    const auto [n, d] = orifices(dH);
                    ASSERT_TRUE(row.orifices);
                    EXPECT_EQ(row.orifices->count, n);
                    EXPECT_NEAR(row.orifices->diameter, d, closeTo(d));
                    EXPECT_NEAR(row.orifices->head, dH, closeTo(dH));
                    split += n > 1 ? 1 : 0;
                };
                const std::optional<Consumer>& c = consumers[i];
                if (!c || !c->scheme || !(G > 0)) {
                    EXPECT_FALSE(row.orifices || row.nozzle || row.throat);
                    EXPECT_FALSE(row.remark.isEmpty());
                    ++refusals;
                    continue;
                }
                if (*c->scheme != ConnectionScheme::Elevator) {
                    if (!c->requiredHead) {
                        EXPECT_FALSE(row.orifices);
                        ++refusals;
                    } else if (head - *c->requiredHead <= 0) {
                        EXPECT_FALSE(row.orifices);
                        EXPECT_TRUE(row.remark.startsWith(QStringLiteral("Недостаточно напора:"))
                                    || row.remark.startsWith(QStringLiteral("Располагаемый напор равен")));
                        ++shortfalls;
                    } else {
                        expectOrifices(head - *c->requiredHead);
                        ++orificeRows;
                    }
                    continue;
                }
                const std::optional<double> t3 = c->mixedTemperature;
                if (!c->systemLoss || !t3 || !(t2 < *t3 && *t3 < t1)) {
                    EXPECT_FALSE(row.throat || row.nozzle || row.orifices);
                    ++refusals;
                    continue;
                }
                ++elevators;
                const double h = *c->systemLoss;
                const double up = settings.mixingReserve * (t1 - *t3) / (*t3 - t2);
                const double dg = settings.throatFactor * std::pow(G * G * (1 + up) * (1 + up) / h, 0.25);
                ASSERT_TRUE(row.throat);
                EXPECT_NEAR(*row.throat, dg, closeTo(dg));
                std::optional<int> number;
                for (const zurm::Elevator& e : settings.elevators)
                    if (!number && e.throat >= dg)
                        number = e.number;
                EXPECT_EQ(row.elevatorNumber, number);
                const double hmin = settings.elevatorHeadFactor * h * (1 + up) * (1 + up);
                EXPECT_NEAR(*row.minimumHead, hmin, closeTo(hmin));
                if (head < hmin) {
                    EXPECT_FALSE(row.nozzle);
                    EXPECT_TRUE(row.remark.contains(QStringLiteral("Недостаточно напора для элеватора")));
                    ++shortfalls;
                    continue;
                }
                const double dc = settings.nozzleFactor * std::pow(G * G / head, 0.25);
                ASSERT_TRUE(row.nozzle);
                if (dc >= settings.minNozzle) {
                    EXPECT_NEAR(*row.nozzle, dc, closeTo(dc));
                    EXPECT_FALSE(row.orifices);
                } else {
                    EXPECT_EQ(*row.nozzle, settings.minNozzle);
                    expectOrifices(head - G * G * std::pow(settings.nozzleFactor / settings.minNozzle, 4));
                }
            }
        });
        ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    }
    // The table of networks reaches every branch of the formulas.
    EXPECT_GT(elevators, 20);
    EXPECT_GT(orificeRows, 20);
    EXPECT_GT(split, 3);
    EXPECT_GT(shortfalls, 5);
    EXPECT_GT(refusals, 5);
}

// The sheet "Наладка" after the unchanged sheet "ЗУРМ", and the section of the
// printed report: only for a calculated two-pipe network with consumers.
TEST(AdjustmentOutputs, SheetAndReportSectionOnlyWithConsumers)
{
    for (const char* example : {"district_two_pipe", "one_pipe"}) {
        SCOPED_TRACE(example);
        zurm::test::ProgramFolderFixture folder;
        for (const char* report : {"0.rav", "2.rav"})
            zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/") + QString::fromUtf8(report),
                                                   folder.program(QString::fromUtf8(report)));
        const QString file = folder.docs(QStringLiteral("calc.mdb"));
        zurm::test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/") + QString::fromUtf8(example)
                                                   + QStringLiteral(".mdb"),
                                               file);
        ASSERT_TRUE(calculate(file).isEmpty());
        const bool twoPipe = QByteArray(example) == "district_two_pipe";

        zurm::test::FakeDialogs dialogs;
        zurm::SilentProgress progress;
        zurm::DataModule data(folder.programFolder());
        data.createWorkDatabase(QString(), dialogs);
        data.openCalculation(file);
        data.loadCalculationDoneFlag();
        ASSERT_TRUE(data.calculationDone());
        auto outputs = [&](const QString& name) {
            const QString book = folder.docs(name);
            zurm::writeReportWorkbook(data, book, progress, 3);
            const zurm::XlsxReader reader(book);
            return std::pair(reader.sheetNames(), reader.sheet(0).cells);
        };
        const auto [sheetsBefore, cellsBefore] = outputs(QStringLiteral("before.xlsx"));
        EXPECT_EQ(sheetsBefore, QStringList{QStringLiteral("ЗУРМ")});
        EXPECT_FALSE(zurm::buildCalculationReport(data, 3).html.contains(QStringLiteral("Наладка")));

        zurm::ensureConsumerTables(data.calculation());
        zurm::execSql(data.calculation(),
                      QStringLiteral("INSERT INTO Потребители (КонУзел, НаимПотр, СхемаПрис, НапТреб) "
                                     "SELECT КонУзел, 'Дом ' || КонУзел, 1, 20 FROM КонМаг"));
        const auto [sheets, cells] = outputs(QStringLiteral("after.xlsx"));
        const QString html = zurm::buildCalculationReport(data, 3).html;
        if (!twoPipe) {
            EXPECT_EQ(sheets, QStringList{QStringLiteral("ЗУРМ")});
            EXPECT_FALSE(html.contains(QStringLiteral("Наладка")));
            continue;
        }
        EXPECT_EQ(sheets, (QStringList{QStringLiteral("ЗУРМ"), QStringLiteral("Наладка")}));
        EXPECT_EQ(cells.size(), cellsBefore.size());
        for (auto it = cellsBefore.begin(); it != cellsBefore.end(); ++it) {
            EXPECT_EQ(cells.value(it.key()).text, it.value().text);
            EXPECT_EQ(cells.value(it.key()).number, it.value().number);
        }
        const zurm::XlsxSheet adjustment = zurm::XlsxReader(folder.docs(QStringLiteral("after.xlsx"))).sheet(1);
        EXPECT_EQ(adjustment.cell(1, 1).text, QStringLiteral("НАЛАДКА ВВОДОВ ПОТРЕБИТЕЛЕЙ"));
        EXPECT_EQ(adjustment.cell(4, 1).text, QStringLiteral("Узел"));
        // Node 10 of the district: G = 18 t/h, H = 38,83 m, ΔH = 18,83 m.
        EXPECT_EQ(adjustment.cell(5, 1).number, 10);
        EXPECT_EQ(adjustment.cell(5, 2).text, QStringLiteral("Дом 10"));
        EXPECT_DOUBLE_EQ(adjustment.cell(5, 15).number, two(10 * std::pow(18.0 * 18.0 / (38.828868776576 - 20), 0.25)));
        EXPECT_EQ(adjustment.rowCount, 4 + 23);
        EXPECT_TRUE(html.contains(QStringLiteral("<h2>Наладка вводов потребителей</h2>")));
        EXPECT_TRUE(html.contains(QStringLiteral("<td>Дом 10</td>")));
    }
}
