// The calculation run on real calculation files: the first error of each phase
// with its exact text, the values the phases compute, the heads, the end of the
// run (messages, flag, text file) and the protocol of the delivered sample.
#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "base/Failure.h"
#include "base/Sql.h"
#include "document/DataModule.h"
#include "document/TableStructure.h"
#include "hydraulics/CalculationRun.h"
#include "hydraulics/TopologyCheck.h"
#include "indicators/IndicatorCheck.h"
#include "platform/Cp1251.h"
#include "support/FakeDialogs.h"
#include "support/FullDisk.h"
#include "support/ProgramFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <cmath>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

using namespace zurm;
using zurm::test::FakeDialogs;
using zurm::test::FakeProgress;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

class CalculationRunTest : public ::testing::Test {
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
    QVariant value(const QString& sql, const QVariantList& bindings = {}) const
    {
        return selectValue(calc(), sql, bindings);
    }

    // A new calculation from the template whose segment indicators are reduced
    // to the predefined ones, with losses of 1 m per 100 m of supply pipe and
    // 1 m per 200 m of return pipe.
    void openTemplate(int networkType)
    {
        data->openCalculation(folder.newCalculation());
        data->loadCalculationDoneFlag();
        exec(QStringLiteral("UPDATE НазвРасч SET ТипСети = ?, РасчРасх = 0, ОпрД = 0, NНачУз = 0"), {networkType});
        exec(QStringLiteral("DELETE FROM Формулы WHERE ТипПок <> 'З'"));
        exec(QStringLiteral("UPDATE ФлыПредопрПок SET Формула = '<ПотНОтИНачПод>+<ДлНаУчПод>/100' "
                            "WHERE НаимПокСокр = 'ПотНОтИКонПод'"));
        exec(QStringLiteral("UPDATE ФлыПредопрПок SET Формула = '<ПотНОтИНачОбр>+<ДлНаУчОбр>/200' "
                            "WHERE НаимПокСокр = 'ПотНОтИКонОбр'"));
        exec(QStringLiteral("UPDATE Заг SET ПНапНаУзПод = 60, РНапНаУз = 30, МинТВоды = 70, МаксТВоды = 130"));
    }

    void openSample()
    {
        const QString path = folder.docs(QStringLiteral("sample.mdb"));
        test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), path);
        data->openCalculation(path);
        data->loadCalculationDoneFlag();
    }

    // Nodes "n:height …"; segments "a-b:length …" in key order, flow 10 each.
    void network(const QString& nodes, const QString& segments) const
    {
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
            const QStringList nodesOf = parts[0].split(QLatin1Char('-'));
            exec(QStringLiteral("INSERT INTO Табл (id, НачУзел, КонУзел, ДлНаУчПод, РасхПод) VALUES (?, ?, ?, ?, 10)"),
                 {++id, nodesOf[0].toInt(), nodesOf[1].toInt(), parts[1].toDouble()});
        }
    }

    // The catalogue check, the table structure and the topology check, as the
    // program does them before a run.
    void prepare()
    {
        ASSERT_TRUE(CheckIndicators(*data, dialogs, progress)) << dialogs.messages.join(QStringLiteral("|")).toStdString();
        GridLayout layout;
        ASSERT_TRUE(SetUpTableStructure(*data, dialogs, progress, layout));
        TopologyResult topology = ParTSCorrF(*data, progress, QStringLiteral("0"));
        applyHeadChangeRule(*data, topology);
        storeNetworkStatus(*data, topology.status, topology.message);
        ASSERT_EQ(topology.status, 0) << topology.message.toStdString();
    }

    RunOptions options()
    {
        RunOptions o;
        o.indicatorsValid = true;
        o.networkStatus = 0;
        o.calculationName = QStringLiteral("Проверка");
        o.supplyHeadNodeText = QStringLiteral("0");
        o.availableHeadNodeText = QStringLiteral("0");
        o.writeText = true;
        o.digits = 3;
        o.decimalPoint = QLatin1Char('.');
        o.askConfirmation = false;
        o.offerTextSave = false;
        o.showCompletion = [this](const QString& message) { completions.append(message); };
        return o;
    }

    RunOutcome run(const RunOptions& o) { return runCalculation(*data, dialogs, progress, o); }
    RunOutcome run() { return run(options()); }

    QVariant segment(const QString& nodes, const QString& column) const
    {
        const QStringList n = nodes.split(QLatin1Char('-'));
        return value(QStringLiteral("SELECT [%1] FROM Табл WHERE НачУзел = ? AND КонУзел = ?").arg(column),
                     {n[0].toInt(), n[1].toInt()});
    }
    QVariant header(const QString& column) const { return value(QStringLiteral("SELECT [%1] FROM Заг").arg(column)); }
    QVariant endNode(int node, const QString& column) const
    {
        return value(QStringLiteral("SELECT [%1] FROM КонМаг WHERE КонУзел = ?").arg(column), {node});
    }
    bool textFileLeft() const { return QFileInfo::exists(folder.program(QStringLiteral("~$.tx_"))); }

    test::ProgramFolderFixture folder;
    FakeDialogs dialogs;
    FakeProgress progress;
    QStringList completions;
    std::unique_ptr<DataModule> data;
};

// ------------------------------------------------------------------ errors

TEST_F(CalculationRunTest, EachPhaseStopsTheRunWithItsMessage)
{
    struct Case {
        const char* name;
        int networkType;
        std::function<void(CalculationRunTest&, RunOptions&)> change;
        QString error;
        QString textContains = {};
    };
    const QString prefix23 = QStringLiteral("Участок 1 - 2:") + kCrLf;
    const QList<Case> cases = {
        {"supply node field empty", 0, [](auto&, RunOptions& o) { o.supplyHeadNodeText.clear(); },
         QStringLiteral("Поле \"ПНапНаУзПод задан для узла:\" должно быть заполнено.")},
        {"available node field empty", 1, [](auto&, RunOptions& o) { o.availableHeadNodeText.clear(); },
         QStringLiteral("Поле \"РНапНаУз задан для узла:\" должно быть заполнено.")},
        {"one-pipe ignores the available node field", 0,
         [](auto& t, RunOptions& o) {
             o.availableHeadNodeText.clear();
             t.exec(QStringLiteral("UPDATE Заг SET МинТВоды = NULL"));
         },
         QStringLiteral("Показатели \"МинТВоды\", \"МаксТВоды\" должны быть заполнены.")},
        {"predefined row missing", 1,
         [](auto& t, RunOptions&) { t.exec(QStringLiteral("DELETE FROM ФлыПредопрПок WHERE НаимПокСокр = 'РасхОбр'")); },
         QStringLiteral("В таблице \"Предопределенные показатели расчета\" должны присутствовать показатели: "
                        "\"ДлНаУчОбр\", \"РасхОбр\".")},
        {"supply head node not found", 1, [](auto&, RunOptions& o) { o.supplyHeadNodeText = QStringLiteral("77"); },
         QStringLiteral("Показатель \"ПНапНаУзПод\" задан для узла 77. Узел 77 не найден в таблице \"Участки теплосети\".")},
        {"available head node not found", 1, [](auto&, RunOptions& o) { o.availableHeadNodeText = QStringLiteral("78"); },
         QStringLiteral("Показатель \"РНапНаУз\" задан для узла 78. Узел 78 не найден в таблице \"Участки теплосети\".")},
        {"zero supply length", 1,
         [](auto& t, RunOptions&) { t.exec(QStringLiteral("UPDATE Табл SET ДлНаУчПод = 0 WHERE id = 2")); },
         prefix23 + QStringLiteral("Показатель ДлНаУчПод должен быть больше нуля.")},
        {"empty supply length", 0,
         [](auto& t, RunOptions&) { t.exec(QStringLiteral("UPDATE Табл SET ДлНаУчПод = NULL WHERE id = 2")); },
         prefix23 + QStringLiteral("Показатель ДлНаУчПод должен быть больше нуля.")},
        {"negative entered return length", 1,
         [](auto& t, RunOptions&) {
             t.exec(QStringLiteral("UPDATE ФлыПредопрПок SET ВводПольз = 1 WHERE НаимПокСокр = 'ДлНаУчОбр'"));
             t.exec(QStringLiteral("UPDATE Табл SET ДлНаУчОбр = 5"));
             t.exec(QStringLiteral("UPDATE Табл SET ДлНаУчОбр = -1 WHERE id = 2"));
         },
         prefix23 + QStringLiteral("Показатель ДлНаУчОбр должен быть больше нуля.")},
        {"end flow missing with distribution", 1,
         [](auto& t, RunOptions&) {
             t.exec(QStringLiteral("UPDATE НазвРасч SET РасчРасх = 1"));
             t.exec(QStringLiteral("UPDATE Табл SET РасхПод = NULL WHERE id = 2"));
         },
         prefix23 + QStringLiteral("Показатель \"РасхПод\" должен быть заполнен.")},
        {"maximum temperature empty", 1,
         [](auto& t, RunOptions&) { t.exec(QStringLiteral("UPDATE Заг SET МаксТВоды = NULL")); },
         QStringLiteral("Показатели \"МинТВоды\", \"МаксТВоды\" должны быть заполнены.")},
        {"given supply head empty", 1,
         [](auto& t, RunOptions&) { t.exec(QStringLiteral("UPDATE Заг SET ПНапНаУзПод = NULL")); },
         QStringLiteral("Значение показателя \"ПНапНаУзПод\" должно быть заполнено.")},
        {"given available head empty", 1,
         [](auto& t, RunOptions&) { t.exec(QStringLiteral("UPDATE Заг SET РНапНаУз = NULL")); },
         QStringLiteral("Значение показателя \"РНапНаУз\" должно быть заполнено.")},
        {"loss formula fails on a segment", 0,
         [](auto& t, RunOptions&) {
             t.exec(QStringLiteral("UPDATE ФлыПредопрПок SET Формула = '<ПотНОтИНачПод>+1/(<ДлНаУчПод>-200)' "
                                   "WHERE НаимПокСокр = 'ПотНОтИКонПод'"));
         },
         QString()}, // the evaluator's own message; checked for its segment line only
        {"supply loss at the end not evaluated", 0,
         [](auto& t, RunOptions&) {
             t.exec(QStringLiteral("UPDATE ПриорП SET Nприоритета = 0 WHERE Показатель = 'ПотНОтИКонПод'"));
         },
         prefix23 + QStringLiteral("Ошибка при расчете показателя \"ПотНОтИНачПод\":") + kCrLf + kCrLf
             + QStringLiteral("Значение показателя \"ПотНОтИКонПод\" на участке 0 - 1 не заполнено."),
         // A row at position 0 is written without a formula and, being empty, without a value.
         QStringLiteral("от источника до конечного узла участка, м. (ПотНОтИКонПод) = ") + kCrLf},
        {"return loss at the end not evaluated", 1,
         [](auto& t, RunOptions&) {
             t.exec(QStringLiteral("UPDATE ПриорОИ SET Nприоритета = 0 WHERE Показатель = 'ПотНОтИКонОбр'"));
         },
         prefix23 + QStringLiteral("Ошибка при расчете показателя \"ПотНОтИНачОбр\":") + kCrLf + kCrLf
             + QStringLiteral("Значение показателя \"ПотНОтИКонОбр\" на участке 0 - 1 не заполнено."),
         QStringLiteral("Расчет обратного трубопровода:")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        data->closeCalculation();
        openTemplate(c.networkType);
        network(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:100 1-2:200"));
        RunOptions o = options();
        // Changes of the catalogue come after its check, as an edit the check has not seen.
        prepare();
        c.change(*this, o);
        const RunOutcome outcome = run(o);
        EXPECT_TRUE(outcome.started);
        EXPECT_FALSE(outcome.succeeded);
        if (c.error.isEmpty()) {
            EXPECT_TRUE(outcome.error.startsWith(prefix23 + QStringLiteral("Ошибка при расчете показателя \"ПотНОтИКонПод\":")))
                << outcome.error.toStdString();
        } else {
            EXPECT_EQ(outcome.error, c.error);
        }
        EXPECT_EQ(dialogs.messages, QStringList{outcome.error});
        if (!c.textContains.isEmpty()) {
            EXPECT_TRUE(outcome.text.contains(c.textContains));
        }
        EXPECT_TRUE(outcome.text.endsWith(kCrLf + kCrLf + outcome.error)) << outcome.text.right(200).toStdString();
        EXPECT_TRUE(completions.isEmpty());
        EXPECT_FALSE(data->calculationDone());
        EXPECT_EQ(value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
        EXPECT_FALSE(textFileLeft());
    }
}

// Every cell of the tables a run writes or reads, with its storage class.
QString tablesAsStored(const QSqlDatabase& db)
{
    QString out;
    for (const char* table : {"Заг", "Табл", "КонМаг", "УзлыТС", "ИзмПНапВУзлахТС", "МагистралиТС"}) {
        QSqlQuery q = selectSql(db, QStringLiteral("SELECT * FROM [%1] ORDER BY rowid").arg(QString::fromUtf8(table)));
        while (q.next())
            for (int c = 0; c < q.record().count(); ++c)
                out += QString::fromUtf8(q.value(c).typeName()) + QLatin1Char(':') + q.value(c).toString() + QLatin1Char(' ');
        out += QLatin1Char('\n');
    }
    return out;
}

int infinitiesStored(const QSqlDatabase& db)
{
    int count = 0;
    for (const char* table : {"Заг", "Табл", "КонМаг", "МагистралиТС"}) {
        QSqlQuery q = selectSql(db, QStringLiteral("SELECT * FROM [%1]").arg(QString::fromUtf8(table)));
        while (q.next())
            for (int c = 0; c < q.record().count(); ++c)
                count += q.value(c).typeId() == QMetaType::Double && !std::isfinite(q.value(c).toDouble());
    }
    return count;
}

TEST_F(CalculationRunTest, ValuesThatAreNoNumbersStopTheRun)
{
    struct Case {
        const char* name;
        int networkType;
        std::function<void(CalculationRunTest&, RunOptions&)> change;
        QString error;
        bool inputError = true; // refused before anything is changed
    };
    const QString prefix23 = QStringLiteral("Участок 1 - 2:") + kCrLf;
    auto notANumber = [](const char* name, const char* value) {
        return QStringLiteral("Значение показателя \"") + QString::fromUtf8(name)
            + QStringLiteral("\" не является допустимым числом: ") + QString::fromUtf8(value) + QStringLiteral(".");
    };
    auto form = [](const char* table, const char* node) {
        return QStringLiteral("Форма \"Параметры теплосети\", таблица \"") + QString::fromUtf8(table)
            + QStringLiteral("\", узел ") + QString::fromUtf8(node) + QStringLiteral(":") + kCrLf + kCrLf;
    };
    auto sql = [](const char* statement) {
        return [statement](CalculationRunTest& t, RunOptions&) { t.exec(QString::fromUtf8(statement)); };
    };
    const QString beyond = QStringLiteral(" выходит за пределы диапазона целых чисел от -32768 до 32767.");
    const QList<Case> cases = {
        {"header text NaN", 1, sql("UPDATE Заг SET ПНапНаУзПод = 'NaN'"), notANumber("ПНапНаУзПод", "nan")},
        {"header text inf", 1, sql("UPDATE Заг SET ПНапНаУзПод = 'inf'"), notANumber("ПНапНаУзПод", "inf")},
        {"header REAL infinity", 0, sql("UPDATE Заг SET ПНапНаУзПод = 9e999"), notANumber("ПНапНаУзПод", "inf")},
        {"user header indicator", 1, sql("UPDATE Заг SET КэШер = -9e999"), notANumber("КэШер", "-inf")},
        {"segment value", 0, sql("UPDATE Табл SET ДлНаУчПод = 'NaN' WHERE id = 2"),
         prefix23 + notANumber("ДлНаУчПод", "nan")},
        {"entered return flow", 1,
         [](CalculationRunTest& t, RunOptions&) {
             t.exec(QStringLiteral("UPDATE ФлыПредопрПок SET ВводПольз = 1 WHERE НаимПокСокр = 'РасхОбр'"));
             t.exec(QStringLiteral("UPDATE Табл SET РасхОбр = 10"));
             t.exec(QStringLiteral("UPDATE Табл SET РасхОбр = 9e999 WHERE id = 2"));
         },
         prefix23 + notANumber("РасхОбр", "inf")},
        {"segment text", 1, sql("UPDATE Табл SET ДлНаУчПод = 'abc' WHERE id = 2"),
         prefix23 + notANumber("ДлНаУчПод", "abc")},
        {"head change text", 0, sql("INSERT INTO ИзмПНапВУзлахТС VALUES (1, 0, '1,5')"),
         form("Изменение полного напора в узлах теплосети", "1") + notANumber("Изменение напора, м.", "1,5")},
        {"node height", 0, sql("UPDATE УзлыТС SET ГеодВыс = 'NaN' WHERE Nуз = 2"),
         form("Узлы теплосети", "2") + notANumber("Геодезическая высота узла, м.", "nan")},
        {"head change", 1, sql("INSERT INTO ИзмПНапВУзлахТС VALUES (1, 0, 'inf')"),
         form("Изменение полного напора в узлах теплосети", "1") + notANumber("Изменение напора, м.", "inf")},
        {"end-node temperature difference", 1, sql("UPDATE КонМаг SET ДельтаТ = 9e999"),
         form("Конечные узлы теплосети", "2") + notANumber("Т воды в под. т-п. минус Т воды в обр. т-п., град. С", "inf")},
        {"head change node beyond 16 bits", 1, sql("INSERT INTO ИзмПНапВУзлахТС VALUES (65538, 0, 1)"),
         form("Изменение полного напора в узлах теплосети", "65538") + QStringLiteral("\"65538\"") + beyond},
        {"fractional head change node", 0, sql("INSERT INTO ИзмПНапВУзлахТС VALUES (2.9, 0, 1)"),
         form("Изменение полного напора в узлах теплосети", "2.9") + QStringLiteral("\"2.9\" не является целым числом.")},
        {"supply node field beyond 16 bits", 0, [](auto&, RunOptions& o) { o.supplyHeadNodeText = QStringLiteral("65538"); },
         QStringLiteral("Ошибка в поле \"ПНапНаУзПод задан для узла:\":") + kCrLf + QStringLiteral("\"65538\"") + beyond},
        {"available node field fractional", 1, [](auto&, RunOptions& o) { o.availableHeadNodeText = QStringLiteral("2.9"); },
         QStringLiteral("Ошибка в поле \"РНапНаУз задан для узла:\":") + kCrLf
             + QStringLiteral("\"2.9\" не является целым числом.")},
        {"lengths beyond the range of numbers", 0, sql("UPDATE Табл SET ДлНаУчПод = 1e308"),
         prefix23 + QStringLiteral("Значение показателя \"ДлКонПод\" выходит за пределы допустимого диапазона чисел."),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        data->closeCalculation();
        openTemplate(c.networkType);
        network(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:100 1-2:200"));
        RunOptions o = options();
        prepare();
        c.change(*this, o);
        const QString before = tablesAsStored(calc());
        const int infinities = infinitiesStored(calc());
        const RunOutcome outcome = run(o);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(outcome.error, c.error);
        EXPECT_EQ(value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 0);
        // The run writes no number that is not finite; a refused input stays as entered.
        EXPECT_EQ(infinitiesStored(calc()), infinities);
        if (c.inputError) {
            EXPECT_EQ(tablesAsStored(calc()), before);
        }
    }
}

TEST_F(CalculationRunTest, ValuesWrittenBeforeAnErrorStayWritten)
{
    openTemplate(1);
    network(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:100 1-2:200"));
    prepare();
    exec(QStringLiteral("UPDATE Табл SET ПНапНачПод = 99, ТВодыНачПод = 99"));
    exec(QStringLiteral("UPDATE Заг SET МинТВоды = NULL"));
    const RunOutcome outcome = run();
    ASSERT_EQ(outcome.error, QStringLiteral("Показатели \"МинТВоды\", \"МаксТВоды\" должны быть заполнены."));
    // Cleared, and the lengths and maxima computed before the temperatures kept.
    EXPECT_TRUE(segment(QStringLiteral("1-2"), QStringLiteral("ПНапНачПод")).isNull());
    EXPECT_TRUE(segment(QStringLiteral("1-2"), QStringLiteral("ТВодыНачПод")).isNull());
    EXPECT_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ДлКонПод")).toDouble(), 300);
    EXPECT_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ДлНаУчОбр")).toDouble(), 200);
    EXPECT_EQ(header(QStringLiteral("МаксСумДлПодОбр")).toDouble(), 600);
    EXPECT_EQ(endNode(2, QStringLiteral("ДлМагСум")).toDouble(), 600);
    EXPECT_EQ(value(QStringLiteral("SELECT NузПНапПод FROM НазвРасч")).toInt(), 0);
    EXPECT_EQ(value(QStringLiteral("SELECT НазвРасч FROM НазвРасч")).toString(), QStringLiteral("Проверка"));

    // An error in the supply pass keeps the segments calculated before it and
    // the start loss of the failing segment; the main stays not done.
    exec(QStringLiteral("UPDATE Заг SET МинТВоды = 70"));
    exec(QStringLiteral("UPDATE ФлыПредопрПок SET Формула = '<ПотНОтИНачПод>+<ДлНаУчПод>/(<ДлНаУчПод>-200)' "
                        "WHERE НаимПокСокр = 'ПотНОтИКонПод'"));
    ASSERT_FALSE(run().error.isEmpty());
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("0-1"), QStringLiteral("ПотНОтИКонПод")).toDouble(), -1);
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ПотНОтИНачПод")).toDouble(), -1);
    EXPECT_TRUE(segment(QStringLiteral("1-2"), QStringLiteral("ПотНОтИКонПод")).isNull());
    // (130 - 70) / (300 + 300) per metre: supply and return meet at 100 at the end node.
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ТВодыКонПод")).toDouble(), 100);
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ТВодыКонОбр")).toDouble(), 100);
    EXPECT_EQ(endNode(2, QStringLiteral("РВПод")).toInt(), 0);
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM СписокРасчУчастков")).toInt(), 1);
}

TEST_F(CalculationRunTest, EntryAndGateChangeNothing)
{
    openTemplate(1);
    network(QStringLiteral("0:0 1:0"), QStringLiteral("0-1:100"));
    prepare();
    data->SetCalculationDoneFlag(true);
    exec(QStringLiteral("UPDATE Табл SET ПНапНачПод = 99"));

    RunOptions asked = options();
    asked.askConfirmation = true;
    dialogs.answers = {false};
    EXPECT_FALSE(run(asked).started);
    EXPECT_EQ(dialogs.questions,
              QStringList{QStringLiteral("Выполнить расчет|Данная операция может занять некоторое время. Выполнить расчет?")});
    EXPECT_TRUE(data->calculationDone());

    for (auto change : {std::function<void(RunOptions&)>([](RunOptions& o) { o.indicatorsValid = false; }),
                        std::function<void(RunOptions&)>([](RunOptions& o) { o.networkStatus = 3; })}) {
        dialogs.messages.clear();
        RunOptions o = options();
        change(o);
        const RunOutcome outcome = run(o);
        EXPECT_FALSE(outcome.started);
        EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Расчет невозможен.")});
        EXPECT_FALSE(data->calculationDone());
        EXPECT_EQ(segment(QStringLiteral("0-1"), QStringLiteral("ПНапНачПод")).toDouble(), 99);
        EXPECT_FALSE(textFileLeft());
    }

    dialogs.messages.clear();
    data->closeCalculation();
    EXPECT_FALSE(run().started);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Расчет невозможен.")});
    EXPECT_EQ(progress.locks, progress.unlocks);
}

TEST_F(CalculationRunTest, UnexpectedFailuresKeepEarlierValuesAndStillFinish)
{
    openTemplate(1);
    network(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:100 1-2:200"));
    prepare();

    // A node field that is no integer is an input error: nothing but the name is stored.
    RunOptions bad = options();
    bad.supplyHeadNodeText = QStringLiteral("1а");
    EXPECT_EQ(run(bad).error, QStringLiteral("Ошибка в поле \"ПНапНаУзПод задан для узла:\":") + kCrLf
                                  + QStringLiteral("\"1а\" не является целым числом."));
    EXPECT_FALSE(textFileLeft());
    EXPECT_EQ(progress.locks, progress.unlocks);
    EXPECT_TRUE(segment(QStringLiteral("0-1"), QStringLiteral("ДлКонПод")).isNull());

    // An order row naming a column the segment table does not have fails in
    // the supply pass, after the lengths and the header were written.
    exec(QStringLiteral("INSERT INTO ПриорП (Nприоритета, Показатель) VALUES (0, 'НетТакого')"));
    int posted = 0;
    RunOptions o = options();
    o.postPendingEdits = [&posted] { ++posted; };
    EXPECT_THROW(run(o), Failure);
    EXPECT_EQ(posted, 1);
    EXPECT_FALSE(textFileLeft());
    EXPECT_EQ(progress.locks, progress.unlocks);
    EXPECT_FALSE(progress.busy);
    EXPECT_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ДлКонПод")).toDouble(), 300);
    EXPECT_EQ(header(QStringLiteral("МаксДлПод")).toDouble(), 300);
    EXPECT_FALSE(data->calculationDone());
}

// ------------------------------------------------------------------ stopping, text size

namespace {

// Asks to stop once the run has passed the given number of check points.
class StoppingProgress : public FakeProgress {
public:
    explicit StoppingProgress(int checkPoints) : left_(checkPoints) {}
    bool stopRequested() override { return --left_ <= 0; }

private:
    int left_;
};

// Every row of the tables a run writes, as text.
QStringList contents(const QSqlDatabase& db)
{
    QStringList rows;
    for (const char* table : {"НазвРасч", "Заг", "Табл", "КонМаг", "МагистралиТС", "СписокРасчУчастков"}) {
        QSqlQuery q = selectSql(db, QStringLiteral("SELECT * FROM [%1] ORDER BY rowid").arg(QString::fromUtf8(table)));
        while (q.next()) {
            QString row = QString::fromUtf8(table);
            for (int c = 0; c < q.record().count(); ++c)
                row += QLatin1Char('|') + q.value(c).toString();
            rows.append(row);
        }
    }
    return rows;
}

} // namespace

// A run stopped at any of its check points leaves the file as it was before it.
TEST_F(CalculationRunTest, StoppedRunLeavesTheFileAsItWas)
{
    openTemplate(1);
    network(QStringLiteral("0:0 1:0 2:0 3:0"), QStringLiteral("0-1:100 1-2:200 1-3:50"));
    prepare();
    ASSERT_TRUE(run().succeeded);
    exec(QStringLiteral("UPDATE Заг SET ПНапНаУзПод = 70, МаксТВоды = 120"));
    const QStringList before = contents(calc());
    for (const int checkPoints : {1, 4, 12, 30}) {
        SCOPED_TRACE(checkPoints);
        dialogs.messages.clear();
        StoppingProgress stopping(checkPoints);
        const RunOutcome outcome = runCalculation(*data, dialogs, stopping, options());
        EXPECT_TRUE(outcome.stopped);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Расчет прерван. Файл гидравлического расчета остался "
                                                               "таким, каким был до начала расчета.")});
        EXPECT_EQ(contents(calc()), before);
        EXPECT_TRUE(data->calculationDone());
        EXPECT_EQ(stopping.locks, stopping.unlocks);
        EXPECT_FALSE(textFileLeft());
    }
    dialogs.messages.clear();
    ASSERT_TRUE(run().succeeded);
    EXPECT_NE(contents(calc()), before) << "the check points come before the run's last write";
}

// The run writes its results once, at its end or at its first error: no row
// changes more often than once, and the visited-segments list, empty when the
// run ends well, is not written at all (checked by the row changes SQLite
// counts on the connection).
TEST_F(CalculationRunTest, ResultsAreWrittenOncePerRun)
{
    openTemplate(1);
    QString nodes = QStringLiteral("0:0");
    QString segments;
    for (int n = 1; n <= 20; ++n) {
        nodes += QStringLiteral(" %1:0").arg(n);
        segments += QStringLiteral(" %1-%2:100").arg(n < 11 ? n - 1 : (n == 11 ? 5 : n - 1)).arg(n);
    }
    network(nodes, segments);
    prepare();
    const qint64 rows = value(QStringLiteral("SELECT count(*) FROM Табл")).toLongLong()
        + value(QStringLiteral("SELECT count(*) FROM КонМаг")).toLongLong()
        + value(QStringLiteral("SELECT count(*) FROM МагистралиТС")).toLongLong();
    struct Case {
        const char* name;
        const char* edit;
        bool succeeds;
    };
    const Case cases[] = {
        {"run to its end", "UPDATE Заг SET МаксТВоды = 130", true},
        {"stopped by an error", "UPDATE Заг SET ПНапНаУзПод = NULL", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        exec(QString::fromUtf8(c.edit));
        const qint64 before = value(QStringLiteral("SELECT total_changes()")).toLongLong();
        EXPECT_EQ(run().succeeded, c.succeeds);
        // Every row of Табл, КонМаг and МагистралиТС at most once, plus the
        // header row and the calculation's own row a few times.
        EXPECT_LE(value(QStringLiteral("SELECT total_changes()")).toLongLong() - before, rows + 10);
        if (c.succeeds) {
            EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM СписокРасчУчастков")).toInt(), 0);
        }
    }
}

// The text of a star network grows with the square of its mains. When it
// would not fit, the run asks first and may go on without it.
TEST_F(CalculationRunTest, TextThatWouldNotFitIsOfferedToBeLeftOut)
{
    openTemplate(0);
    constexpr int kMains = 1500;
    {
        Transaction transaction(calc());
        QString nodes = QStringLiteral("0:0");
        QString segments;
        for (int i = 1; i <= kMains; ++i) {
            nodes += QStringLiteral(" %1:0").arg(i);
            segments += QStringLiteral(" 0-%1:10").arg(i);
        }
        network(nodes, segments);
        transaction.commit();
    }
    prepare();
    RunOptions o = options();
    o.keepTextInOutcome = false;
    const RunOutcome full = run(o);
    ASSERT_TRUE(full.succeeded);
    const qint64 estimate = estimatedTextSize(kMains, kMains, false, false);
    EXPECT_GE(estimate, full.textSize);
    EXPECT_LE(estimate, full.textSize * 2);

    exec(QStringLiteral("UPDATE НазвРасч SET РВ = 0"));
    data->loadCalculationDoneFlag();
    const QStringList before = contents(calc());
    const QString question = QStringLiteral("Выполнить расчет|Текст расчета займет около ");
    for (const bool withoutText : {false, true}) {
        SCOPED_TRACE(withoutText);
        dialogs.questions.clear();
        dialogs.answers = {withoutText};
        RunOutcome outcome;
        {
            test::FullDisk disk(quint64(full.textSize / 4));
            outcome = run(o);
        }
        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_TRUE(dialogs.questions[0].startsWith(question)) << dialogs.questions[0].toStdString();
        EXPECT_TRUE(dialogs.questions[0].contains(folder.program(QStringLiteral("~$.tx_"))));
        EXPECT_EQ(outcome.started, withoutText);
        EXPECT_EQ(outcome.succeeded, withoutText);
        EXPECT_EQ(outcome.textSize, 0);
        EXPECT_FALSE(textFileLeft());
        if (!withoutText) {
            EXPECT_EQ(contents(calc()), before);
        }
    }

    // A caller that was asked for the text is not offered to leave it out: the
    // run tries, and the failed write names the file.
    dialogs.questions.clear();
    o.offerRunWithoutText = false;
    QString failure;
    {
        test::FullDisk disk(quint64(full.textSize / 4));
        try {
            run(o);
        } catch (const Failure& f) {
            failure = f.text();
        }
    }
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_TRUE(failure.contains(folder.program(QStringLiteral("~$.tx_")))) << failure.toStdString();
}

// ------------------------------------------------------------------ preparation

TEST_F(CalculationRunTest, LengthsFlowsAndHeightsAlongTheMains)
{
    openTemplate(1);
    // 0 - 1 - 2 and a branch 1 - 3 - 4; heights 5, 3 on the first segment, 2 and 9 later.
    network(QStringLiteral("0:5 1:3 2:2 3:9 4:4"), QStringLiteral("0-1:100 1-2:200 1-3:50 3-4:70"));
    exec(QStringLiteral("UPDATE НазвРасч SET РасчРасх = 1"));
    exec(QStringLiteral("UPDATE Табл SET РасхПод = 999"));
    exec(QStringLiteral("UPDATE Табл SET РасхПод = 10 WHERE id = 2"));
    exec(QStringLiteral("UPDATE Табл SET РасхПод = 7.5 WHERE id = 4"));
    prepare();
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.error.toStdString();

    struct Row {
        const char* segment;
        double lengthStart, lengthEnd, flow, heightStart, heightEnd;
    };
    for (const Row& r : {Row{"0-1", 0, 100, 17.5, 5, 3}, Row{"1-2", 100, 300, 10, 3, 2}, Row{"1-3", 100, 150, 7.5, 3, 9},
                         Row{"3-4", 150, 220, 7.5, 9, 4}}) {
        SCOPED_TRACE(r.segment);
        const QString s = QString::fromUtf8(r.segment);
        EXPECT_EQ(segment(s, QStringLiteral("ДлНачПод")).toDouble(), r.lengthStart);
        EXPECT_EQ(segment(s, QStringLiteral("ДлКонПод")).toDouble(), r.lengthEnd);
        EXPECT_EQ(segment(s, QStringLiteral("ДлНачОбр")).toDouble(), r.lengthStart);
        EXPECT_EQ(segment(s, QStringLiteral("ДлКонОбр")).toDouble(), r.lengthEnd);
        EXPECT_EQ(segment(s, QStringLiteral("РасхПод")).toDouble(), r.flow);
        EXPECT_EQ(segment(s, QStringLiteral("РасхОбр")).toDouble(), r.flow);
        EXPECT_EQ(segment(s, QStringLiteral("ГеодВысНач")).toDouble(), r.heightStart);
        EXPECT_EQ(segment(s, QStringLiteral("ГеодВысКон")).toDouble(), r.heightEnd);
    }
    EXPECT_EQ(endNode(2, QStringLiteral("ДлМагПод")).toDouble(), 300);
    EXPECT_EQ(endNode(4, QStringLiteral("ДлМагСум")).toDouble(), 440);
    EXPECT_EQ(header(QStringLiteral("МаксДлПод")).toDouble(), 300);
    EXPECT_EQ(header(QStringLiteral("МаксСумДлПодОбр")).toDouble(), 600);
    EXPECT_EQ(header(QStringLiteral("МинГеодВысТС")).toDouble(), 2);
    EXPECT_EQ(header(QStringLiteral("МаксГеодВысТС")).toDouble(), 9);
    // The end flows went into every row of their mains.
    EXPECT_EQ(value(QStringLiteral("SELECT group_concat(РасхПод, ' ') FROM (SELECT РасхПод FROM МагистралиТС "
                                   "ORDER BY id_m, NппУчВМ)")).toString(),
              QStringLiteral("10.0 10.0 7.5 7.5 7.5"));
    EXPECT_EQ(value(QStringLiteral("SELECT count(*) FROM СписокРасчУчастков")).toInt(), 0);
}

TEST_F(CalculationRunTest, SegmentValuesAreStoredWithFifteenDigitsHeaderValuesInFull)
{
    openTemplate(1);
    network(QStringLiteral("0:1 1:2"), QStringLiteral("0-1:100"));
    const double third = 1.0 / 3.0;
    exec(QStringLiteral("UPDATE УзлыТС SET ГеодВыс = ? WHERE Nуз = 0"), {third});
    exec(QStringLiteral("UPDATE Табл SET ДлНаУчПод = ?, РасхПод = ?"), {100 + third, third});
    prepare();
    ASSERT_TRUE(run().succeeded);
    const double stored15 = QStringLiteral("0.333333333333333").toDouble();
    EXPECT_EQ(segment(QStringLiteral("0-1"), QStringLiteral("ГеодВысНач")).toDouble(), stored15);
    EXPECT_EQ(segment(QStringLiteral("0-1"), QStringLiteral("РасхПод")).toDouble(), stored15); // entered, saved with the row
    EXPECT_EQ(segment(QStringLiteral("0-1"), QStringLiteral("ДлНаУчПод")).toDouble(),
              QStringLiteral("100.333333333333").toDouble());
    EXPECT_EQ(header(QStringLiteral("МинГеодВысТС")).toDouble(), third); // posted as the full number
    EXPECT_EQ(endNode(1, QStringLiteral("ДлМагСум")).toDouble(), 2 * QStringLiteral("100.333333333333").toDouble());
}

TEST_F(CalculationRunTest, DesignModeGivenHeadsWithoutHeadChanges)
{
    openTemplate(1);
    network(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:100 1-2:200"));
    exec(QStringLiteral("UPDATE НазвРасч SET ОпрД = 1"));
    exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС (Nуз, ТрПр, ИзмПНап) VALUES (1, 0, 1), (2, 0, 2), (2, 1, 2)"));
    prepare();
    exec(QStringLiteral("UPDATE КонМаг SET ПНапЗПод = 50, РНапЗ = 20"));
    try {
        run();
    } catch (const Failure& failure) {
        ADD_FAILURE() << failure.text().toStdString();
    }
    EXPECT_EQ(endNode(2, QStringLiteral("ПНапЗБИПод")).toDouble(), 47);
    EXPECT_EQ(endNode(2, QStringLiteral("ПНапЗОбр")).toDouble(), 30);
    EXPECT_EQ(endNode(2, QStringLiteral("ПНапЗБИОбр")).toDouble(), 32);
    // Design-mode inputs are kept by the clearing.
    EXPECT_EQ(endNode(2, QStringLiteral("ПНапЗПод")).toDouble(), 50);

    exec(QStringLiteral("UPDATE КонМаг SET РНапЗ = NULL"));
    EXPECT_EQ(run().error, QStringLiteral("Форма \"Параметры теплосети\", таблица \"Конечные узлы теплосети\", узел 2:")
                               + kCrLf + kCrLf + QStringLiteral("Показатель \"Располагаемый напор, м.\" должен быть заполнен."));
}

TEST_F(CalculationRunTest, DesignModeSizesTheMainWithTheSmallestAllowedLossFirst)
{
    openTemplate(1);
    network(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:1000 0-2:400"));
    exec(QStringLiteral("UPDATE НазвРасч SET ОпрД = 1"));
    prepare();
    exec(QStringLiteral("UPDATE КонМаг SET ПНапЗПод = 30, РНапЗ = 10 WHERE КонУзел = 1"));
    exec(QStringLiteral("UPDATE КонМаг SET ПНапЗПод = 40, РНапЗ = 10 WHERE КонУзел = 2"));
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.error.toStdString();
    EXPECT_DOUBLE_EQ(endNode(1, QStringLiteral("УПНВМагПод")).toDouble(), 0.03);
    EXPECT_DOUBLE_EQ(endNode(2, QStringLiteral("УПНВМагПод")).toDouble(), 0.05);
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("0-1"), QStringLiteral("УПНВВПод")).toDouble(), 0.03);
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("0-2"), QStringLiteral("УПНВВПод")).toDouble(), 0.05);
    // Return: head 60 - 30 at the source, 30 - 10 = 20 required at the end nodes.
    EXPECT_DOUBLE_EQ(endNode(1, QStringLiteral("УПНВМагОбр")).toDouble(), -0.01);
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("0-2"), QStringLiteral("УПНВВОбр")).toDouble(), (30.0 - 30.0) / 400);
    const QString chosen = QStringLiteral("Магистраль (ветвь) с минимальными удельными потерями напора в трубопроводе "
                                          "(она и будет расчетной): ");
    const qsizetype first = outcome.text.indexOf(chosen + QStringLiteral("0 - 1"));
    const qsizetype second = outcome.text.indexOf(chosen + QStringLiteral("0 - 2"));
    EXPECT_GE(first, 0);
    EXPECT_GT(second, first);
}

// ------------------------------------------------------------------ heads

TEST_F(CalculationRunTest, HeadsFollowFromTheGivenNode)
{
    struct Case {
        const char* name;
        const char* givenNode;
        const char* headChanges; // SQL values of ИзмПНапВУзлахТС, empty for none
        double lossStart12, supplySource, headEnd12, endLoss, endHead;
    };
    // 0 - 1 - 2 with 400 m and 600 m: losses 4 and 10 at the ends; ПНапНаУзПод = 60.
    const Case cases[] = {
        {"given at a node where segments start", "1", "", 4, 64, 54, 10, 54},
        {"given at the start node", "0", "", 4, 60, 50, 10, 50},
        {"head change +5 at the inner node", "0", "(1, 0, 5)", -1, 60, 55, 5, 55},
        {"head change +5 at the end node", "0", "(2, 0, 5)", 4, 60, 50, 5, 55},
        {"given at an end node with its head change", "2", "(2, 0, 5)", 4, 65, 55, 5, 60},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        data->closeCalculation();
        openTemplate(0);
        network(QStringLiteral("0:0 1:0 2:0"), QStringLiteral("0-1:400 1-2:600"));
        if (*c.headChanges)
            exec(QStringLiteral("INSERT INTO ИзмПНапВУзлахТС (Nуз, ТрПр, ИзмПНап) VALUES ") + QString::fromUtf8(c.headChanges));
        prepare();
        RunOptions o = options();
        o.supplyHeadNodeText = QString::fromUtf8(c.givenNode);
        const RunOutcome outcome = run(o);
        ASSERT_TRUE(outcome.succeeded) << outcome.error.toStdString();
        EXPECT_EQ(segment(QStringLiteral("0-1"), QStringLiteral("ПотНОтИНачПод")).toDouble(), 0);
        EXPECT_DOUBLE_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ПотНОтИНачПод")).toDouble(), c.lossStart12);
        EXPECT_DOUBLE_EQ(segment(QStringLiteral("0-1"), QStringLiteral("ПНапНачПод")).toDouble(), c.supplySource);
        EXPECT_DOUBLE_EQ(segment(QStringLiteral("1-2"), QStringLiteral("ПНапКонПод")).toDouble(), c.headEnd12);
        EXPECT_DOUBLE_EQ(endNode(2, QStringLiteral("ПотНОтИПод")).toDouble(), c.endLoss);
        EXPECT_DOUBLE_EQ(endNode(2, QStringLiteral("ПНапПод")).toDouble(), c.endHead);
        // One-pipe: no return or available heads.
        EXPECT_FALSE(outcome.text.contains(QStringLiteral("РНапНач = ")));
        EXPECT_FALSE(outcome.text.contains(QStringLiteral("РНап = ")));
        EXPECT_FALSE(outcome.text.contains(QStringLiteral("Расчет обратного трубопровода:")));
        EXPECT_EQ(outcome.successMessage, QStringLiteral("Расчет выполнен успешно."));
    }
}

TEST_F(CalculationRunTest, TwoPipeHeadsAndNodesShortOfAvailableHead)
{
    openTemplate(1);
    // Supply losses 1 and 2, return losses 0.5 and 1 at the ends of 0 - 7 - 12.
    network(QStringLiteral("0:0 7:0 12:0"), QStringLiteral("0-7:100 7-12:100"));
    exec(QStringLiteral("UPDATE Заг SET ПНапНаУзПод = 60, РНапНаУз = 3.05"));
    prepare();
    const RunOutcome outcome = run();
    ASSERT_TRUE(outcome.succeeded) << outcome.error.toStdString();
    EXPECT_DOUBLE_EQ(segment(QStringLiteral("7-12"), QStringLiteral("ПНапКонПод")).toDouble(), 58);
    EXPECT_NEAR(segment(QStringLiteral("7-12"), QStringLiteral("РНапКон")).toDouble(), 0.05, 1e-12);
    EXPECT_NEAR(segment(QStringLiteral("7-12"), QStringLiteral("ПНапКонОбр")).toDouble(), 57.95, 1e-12);
    EXPECT_NEAR(segment(QStringLiteral("0-7"), QStringLiteral("РНапКон")).toDouble(), 1.55, 1e-12);
    EXPECT_NEAR(endNode(12, QStringLiteral("РНап")).toDouble(), 0.05, 1e-12);
    EXPECT_DOUBLE_EQ(endNode(12, QStringLiteral("ПотНОтИОбр")).toDouble(), 1);
    const QString expected = QStringLiteral("Расчет выполнен успешно.\r\n\r\nУзлы теплосети, в которых\r\n"
                                            "располагаемый напор меньше 0,1 м.:\r\n12.");
    EXPECT_EQ(outcome.successMessage, expected);
    EXPECT_EQ(completions, QStringList{expected});
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(data->calculationDone());
    EXPECT_EQ(value(QStringLiteral("SELECT РВ FROM НазвРасч")).toInt(), 1);
    EXPECT_EQ(value(QStringLiteral("SELECT sum(РВПод) + sum(РВОбр) FROM КонМаг")).toInt(), 2);

    // Every phase shows its line in the status bar, in the order of the phases;
    // of the lines of its rows at least the first.
    const QStringList phases = {
        QStringLiteral("Проверка полей \"ПНапНаУзПод задан для узла:\", \"РНапНаУз задан для узла:\"."),
        QStringLiteral("Подготовка к расчету."),
        QStringLiteral("Проверка показателей ДлНаУчПод, ДлНаУчОбр."),
        QStringLiteral("Расчет показателей ДлНачПод, ДлКонПод, ДлНачОбр, ДлКонОбр."),
        QStringLiteral("Расчет показателей МаксДлПод, МаксДлОбр, МаксСумДлПодОбр."),
        QStringLiteral("Расчет показателей ТВодыНачПод, ТВодыКонПод, ТВодыНачОбр, ТВодыКонОбр."),
        QStringLiteral("РасхОбр по участкам теплосети."),
        QStringLiteral("Определение показателей ГеодВысНач, ГеодВысКон. id = 1"),
        QStringLiteral("Расчет показателей заголовочной части."),
        QStringLiteral("Расчет подающего трубопровода. Участок 0 - 7."),
        QStringLiteral("Расчет обратного трубопровода. Участок 0 - 7."),
        QStringLiteral("Расчет напоров в узлах теплосети."),
    };
    qsizetype at = 0;
    for (const QString& phase : phases) {
        const qsizetype found = progress.statuses.indexOf(phase, at);
        EXPECT_GE(found, at) << phase.toStdString();
        at = std::max(at, found + 1);
    }
    EXPECT_EQ(progress.statuses.last(), QStringLiteral("Расчет выполнен."));
    EXPECT_EQ(progress.locks, progress.unlocks);
    EXPECT_FALSE(progress.busy);
}

TEST(CalculationRunMessages, SuccessMessageListsNodesInOrder)
{
    EXPECT_EQ(successMessage({}), QStringLiteral("Расчет выполнен успешно."));
    EXPECT_EQ(successMessage({12, 7, 3}),
              QStringLiteral("Расчет выполнен успешно.\r\n\r\nУзлы теплосети, в которых\r\n"
                             "располагаемый напор меньше 0,1 м.:\r\n12, 7, 3."));
    const std::pair<const char*, const char*> names[] = {
        {"отчет", "отчет.txt"}, {"a.TxT", "a.TxT"}, {"txt", "txt.txt"}, {".txt", ".txt"}, {"a.tx", "a.tx.txt"}};
    for (const auto& [chosen, saved] : names)
        EXPECT_EQ(calculationTextFileName(QString::fromUtf8(chosen)), QString::fromUtf8(saved));
}

// ------------------------------------------------------------------ text

TEST_F(CalculationRunTest, SampleProtocolHasItsSectionsInOrder)
{
    openSample();
    prepare();
    RunOptions o = options();
    o.calculationName = QStringLiteral("Пример: квартальная тепловая сеть");
    const RunOutcome outcome = run(o);
    ASSERT_TRUE(outcome.succeeded) << outcome.error.toStdString();
    const QString& text = outcome.text;
    const QStringList lines = text.split(kCrLf);
    EXPECT_FALSE(text.endsWith(kCrLf));
    EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("[^\r]\n|\r[^\n]"))));
    EXPECT_EQ(outcome.textBytes, toCp1251(text));
    EXPECT_EQ(lines.mid(0, 4), (QStringList{QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ"), QString(),
                                            QStringLiteral("Название расчета: Пример: квартальная тепловая сеть"),
                                            QStringLiteral("Тип сети: Двухтрубная")}));
    const QStringList sections = {
        QStringLiteral("Длина подающего трубопровода на начальном узле участка, м. (ДлНачПод)"),
        QStringLiteral("Магистрали теплосети"),
        QStringLiteral("Магистраль 3: 0 - 1 - 5 - 6"),
        QStringLiteral("Изменение температуры воды на один метр трубопровода, град. С / м. (ИзмТНаМ)"),
        QStringLiteral("Расчет заголовочных показателей:"),
        QStringLiteral("Полный напор на узле 0 в подающем трубопроводе, м. (ПНапНаУзПод) = 90.000"),
        QStringLiteral("Расчет подающего трубопровода:"),
        QStringLiteral("Выбор расчетной магистрали (ветви) теплосети:"),
        QStringLiteral("Расчетная магистраль (ветвь): 0 - 3"),
        QStringLiteral("Расчетная магистраль (ветвь): 2 - 4"),
        QStringLiteral("Расчетная магистраль (ветвь): 1 - 6"),
        QStringLiteral("Расчет обратного трубопровода:"),
        QStringLiteral("Полный напор на начальном узле участка под. трубопровода, м. (ПНапНачПод)"),
        QStringLiteral("Расчет напоров в конечных узлах теплосети:"),
        QStringLiteral("Располагаемый напор, м. (РНап)"),
    };
    qsizetype at = 0;
    for (const QString& section : sections) {
        const qsizetype found = lines.indexOf(section, at);
        EXPECT_GE(found, at) << section.toStdString();
        if (found >= 0)
            at = found + 1;
    }
    // Two passes over six segments, the heads of six segments, three mains at the end.
    EXPECT_EQ(lines.count(QStringLiteral("Участок 5 - 6:")), 5); // lengths, temperatures, two passes, heads
    EXPECT_TRUE(lines.last().startsWith(QStringLiteral("ПотНОтИОбр = ")));
    EXPECT_EQ(lines.at(lines.size() - 3), QStringLiteral("Магистраль 3: 0 - 1 - 5 - 6"));
    const qsizetype supplyLine = lines.indexOf(QStringLiteral("Расчет подающего трубопровода:"));
    EXPECT_EQ(lines.mid(supplyLine - 2, 4),
              (QStringList{QString(), QString(), QStringLiteral("Расчет подающего трубопровода:"), QString()}));
}

TEST_F(CalculationRunTest, NumbersUseTheDigitsAndTheDecimalSeparator)
{
    struct Case {
        int digits;
        char point;
        const char* expected;
    };
    for (const Case& c : {Case{2, ',', "3,14"}, Case{2, '.', "3.14"}, Case{0, ',', "3"}, Case{4, ',', "3,1416"}}) {
        SCOPED_TRACE(c.expected);
        data->closeCalculation();
        openTemplate(0);
        network(QStringLiteral("0:0 1:0"), QStringLiteral("0-1:100"));
        exec(QStringLiteral("UPDATE Заг SET ПНапНаУзПод = 3.14159"));
        prepare();
        RunOptions o = options();
        o.digits = c.digits;
        o.decimalPoint = QLatin1Char(c.point);
        const RunOutcome outcome = run(o);
        ASSERT_TRUE(outcome.succeeded) << outcome.error.toStdString();
        EXPECT_TRUE(outcome.text.contains(QStringLiteral("Полный напор на узле 0 в подающем трубопроводе, м. (ПНапНаУзПод) = ")
                                          + QString::fromUtf8(c.expected) + kCrLf));
    }
}

TEST_F(CalculationRunTest, TextFileIsRemovedAndSavedByTheDialogRules)
{
    openTemplate(0);
    network(QStringLiteral("0:0 1:0"), QStringLiteral("0-1:100"));
    prepare();
    const QString existing = folder.docs(QStringLiteral("старый.txt"));
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old");
    }
    struct Case {
        const char* name;
        std::optional<QString> chosen;
        std::deque<bool> answers;
        QString savedAs; // empty: nothing saved
        QStringList messages;
        QStringList questions;
    };
    const QString replace = QStringLiteral("ЗУРМ|Файл \"") + existing + QStringLiteral("\" уже существует. Заменить его?");
    const QList<Case> cases = {
        {"cancelled", std::nullopt, {}, QString(), {}, {}},
        {"name without extension", folder.docs(QStringLiteral("протокол")), {}, folder.docs(QStringLiteral("протокол.txt")), {}, {}},
        {"program folder refused", folder.program(QStringLiteral("p.txt")), {}, QString(),
         {QStringLiteral("Нельзя сохранить текст расчета в папку, в которую установлена программа.")}, {}},
        {"existing file kept on No", existing, {false}, QString(), {}, {replace}},
        {"existing file replaced on Yes", existing, {true}, existing, {}, {replace}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.messages.clear();
        dialogs.questions.clear();
        dialogs.fileRequests.clear();
        dialogs.files = {c.chosen};
        dialogs.answers = c.answers;
        QStringList viewed;
        RunOptions o = options();
        o.offerTextSave = true;
        o.showText = [&viewed](const QString& file) { viewed.append(file); };
        const RunOutcome outcome = run(o);
        ASSERT_TRUE(outcome.succeeded);
        ASSERT_EQ(dialogs.fileRequests.size(), 1);
        EXPECT_EQ(dialogs.fileRequests[0].title, QStringLiteral("Сохранить текст расчета как..."));
        EXPECT_EQ(dialogs.fileRequests[0].filter, QStringLiteral("Текстовый документ (*.txt)|*.txt"));
        EXPECT_EQ(dialogs.messages, c.messages);
        EXPECT_EQ(dialogs.questions, c.questions);
        EXPECT_EQ(outcome.savedTextFile, c.savedAs);
        if (!c.savedAs.isEmpty()) {
            QFile saved(c.savedAs);
            ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
            EXPECT_EQ(saved.readAll(), outcome.textBytes);
            EXPECT_EQ(viewed, QStringList{c.savedAs});
        } else {
            EXPECT_TRUE(viewed.isEmpty());
        }
        EXPECT_FALSE(QFileInfo::exists(folder.program(QStringLiteral("p.txt"))));
        EXPECT_FALSE(textFileLeft());
    }

    // With the text switched off in the settings: no file, no dialog, still the completion.
    dialogs.fileRequests.clear();
    execSql(data->settings(), QStringLiteral("UPDATE Настройки SET СохрТекстРас = 0"));
    RunOptions o = options();
    o.writeText.reset();
    o.offerTextSave = true;
    completions.clear();
    const RunOutcome outcome = run(o);
    EXPECT_TRUE(outcome.succeeded);
    EXPECT_TRUE(outcome.text.isEmpty());
    EXPECT_TRUE(dialogs.fileRequests.isEmpty());
    EXPECT_EQ(completions.size(), 1);
    EXPECT_FALSE(textFileLeft());
}

TEST_F(CalculationRunTest, ZurmCalcRunsTheWholeCalculation)
{
    const QString file = folder.docs(QStringLiteral("sample.mdb"));
    test::ProgramFolderFixture::copy(QStringLiteral(ZURM_BIN_DIR "/samples/sample.mdb"), file);
    const QString out = folder.docs(QStringLiteral("protocol.txt"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"),
                  {file, QStringLiteral("--text"), out, QStringLiteral("--digits"), QStringLiteral("2")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), QStringLiteral("Расчет выполнен успешно.\n"));
    QFile protocol(out);
    ASSERT_TRUE(protocol.open(QIODevice::ReadOnly));
    const QByteArray bytes = protocol.readAll();
    EXPECT_TRUE(bytes.startsWith(toCp1251(QStringLiteral("ГИДРАВЛИЧЕСКИЙ РАСЧЕТ ТЕПЛОСЕТИ\r\n"))));
    EXPECT_TRUE(bytes.contains(toCp1251(QStringLiteral("ДлМагПод = 550.00  ДлМагОбр = 550.00  ДлМагСум = 1100.00\r\n"))));

    // The same calculation in the core gives the same bytes.
    openSample();
    prepare();
    RunOptions o = options();
    o.calculationName = QStringLiteral("Пример: квартальная тепловая сеть");
    o.digits = 2;
    EXPECT_EQ(run(o).textBytes, bytes);

    // An error: exit 1, the message on stderr, the results before it in the file.
    execSql(data->calculation(), QStringLiteral("UPDATE Заг SET МинТВоды = NULL"));
    data->closeCalculation();
    process.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {file});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()),
              QStringLiteral("Показатели \"МинТВоды\", \"МаксТВоды\" должны быть заполнены.\n"));
}

} // namespace
