// The graphs along the mains: every series of every graph type of every main
// of the three example calculations against the values read from the result
// tables, and the stretch, gap, label and axis rules on one main.
#include "base/Sql.h"
#include "document/DataModule.h"
#include "output/GraphSeries.h"
#include "support/FakeDialogs.h"

#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

using zurm::GraphValue;

// A calculated copy of an example, open as the program opens it.
class CalculatedExample {
public:
    explicit CalculatedExample(const QString& name, const QStringList& editsAfterRun = {})
        : path_(folder_.filePath(name + QStringLiteral(".mdb"))), data_(QStringLiteral(ZURM_BIN_DIR))
    {
        QFile::copy(QStringLiteral(ZURM_BIN_DIR "/../examples/") + name + QStringLiteral(".mdb"), path_);
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
        QProcess run;
        run.start(QStringLiteral(ZURM_BIN_DIR "/zurm-calc"), {path_});
        run.waitForFinished(120000);
        EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
        data_.createWorkDatabase(QString(), dialogs_);
        data_.openCalculation(path_);
        for (const QString& sql : editsAfterRun)
            zurm::execSql(data_.calculation(), sql);
        data_.loadCalculationDoneFlag();
        catalogue_ = zurm::readGraphCatalogue(data_);
    }
    zurm::DataModule& data() { return data_; }
    const zurm::GraphCatalogue& catalogue() const { return catalogue_; }
    zurm::Graph graph(const zurm::GraphRequest& request)
    {
        const zurm::GraphOutcome outcome = zurm::computeGraph(data_, catalogue_, request);
        EXPECT_TRUE(outcome.refusal.isEmpty());
        return outcome.graph;
    }

private:
    QTemporaryDir folder_;
    QString path_;
    zurm::test::FakeDialogs dialogs_;
    zurm::DataModule data_;
    zurm::GraphCatalogue catalogue_;
};

// "a; 1 234": the node and the supply-pipe length, whole, thousands apart.
QString label(const QVariant& node, const QVariant& length)
{
    QString digits = QString::number(std::llround(length.toDouble()));
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(' '));
    return node.toString() + QStringLiteral("; ") + digits;
}

// What one step holds for each series: a column of the segment row ("" none),
// or "КонМаг.x" for a column of the main's КонМаг row.
struct StepColumns {
    const char* series[zurm::kGraphSeriesCount];
};
struct Expectation {
    bool labelled;
    StepColumns columns;
};

// The steps one segment adds (at its start, at its end) and the final step,
// by graph kind, as the tables are read.
struct KindExpectation {
    const char* name;
    std::function<bool(int type, bool twoPipe)> applies;
    bool gaps; // a Null is a gap (else it reads 0)
    std::vector<Expectation> start, end, final;
};

const std::vector<KindExpectation>& kinds()
{
    static const std::vector<KindExpectation> table = {
        {"heads", [](int t, bool) { return t == 0; }, false,
         {{true, {{"ГеодВысНач", "ПНапНачОбр", "ПНапНачПод"}}}},
         {{false, {{"", "ПНапКонОбр", "ПНапКонПод"}}}},
         {{true, {{"ГеодВысКон", "КонМаг.ПНапОбр", "КонМаг.ПНапПод"}}}}},
        {"temperatures", [](int t, bool) { return t == 1; }, false,
         {{true, {{"", "ТВодыНачОбр", "ТВодыНачПод"}}}},
         {},
         {{true, {{"", "ТВодыКонОбр", "ТВодыКонПод"}}}}},
        {"both flows", [](int t, bool two) { return t == 4 && two; }, true,
         {{true, {{"", "РасхОбр", "РасхПод"}}}},
         {{true, {{"", "РасхОбр", "РасхПод"}}}},
         {}},
        {"one column", [](int t, bool two) { return t >= 2 && !(t == 4 && two); }, true,
         {{true, {{"*", "", ""}}}},
         {{true, {{"*", "", ""}}}},
         {}},
    };
    return table;
}

TEST(GraphSeries, EverySeriesOfEveryMainAgreesWithTheTables)
{
    for (const char* name : {"district_two_pipe", "one_pipe", "design_two_pipe"}) {
        SCOPED_TRACE(name);
        CalculatedExample example(QString::fromLatin1(name));
        const zurm::GraphCatalogue& catalogue = example.catalogue();
        const QSqlDatabase db = example.data().calculation();
        const bool two = catalogue.twoPipe;
        ASSERT_EQ(catalogue.types.size(), (two ? 5 : 3) + catalogue.userShortNames.size());
        ASSERT_EQ(qsizetype(catalogue.mains.size()),
                  zurm::selectValue(db, QStringLiteral("SELECT count(*) FROM КонМаг")).toLongLong());
        for (size_t m = 0; m < catalogue.mains.size(); ++m) {
            const int id = int(m) + 1;
            QSqlQuery q = zurm::selectSql(db, QStringLiteral("SELECT t.* FROM МагистралиТС m JOIN Табл t ON "
                                                             "t.НачУзел = m.НачУзел AND t.КонУзел = m.КонУзел "
                                                             "WHERE m.id_m = ? ORDER BY m.NппУчВМ DESC"),
                                          {id});
            std::vector<QSqlRecord> rows;
            while (q.next())
                rows.push_back(q.record());
            ASSERT_FALSE(rows.empty());
            const QVariant endNode = rows.back().value(QStringLiteral("КонУзел"));
            EXPECT_EQ(catalogue.mains[m].text, QStringLiteral("%1.   %2 - %3")
                                                   .arg(id)
                                                   .arg(rows.front().value(QStringLiteral("НачУзел")).toInt())
                                                   .arg(endNode.toInt()));
            QSqlQuery end = zurm::selectSql(db, QStringLiteral("SELECT * FROM КонМаг WHERE id_m = ?"), {id});
            ASSERT_TRUE(end.next());
            const QSqlRecord mainEnd = end.record();
            for (int t = 0; t < catalogue.types.size(); ++t) {
                SCOPED_TRACE(QStringLiteral("main %1, type %2").arg(id).arg(catalogue.types[t]).toStdString());
                const KindExpectation& kind =
                    *std::find_if(kinds().begin(), kinds().end(), [&](const KindExpectation& k) { return k.applies(t, two); });
                zurm::GraphRequest request;
                request.mainIndex = int(m);
                request.typeIndex = t;
                const zurm::Graph graph = example.graph(request);
                EXPECT_EQ(graph.title, catalogue.mains[m].text);

                // The expected steps, straight from the rows.
                struct Expected {
                    double x;
                    QString label;
                    std::array<GraphValue, 3> values;
                };
                std::vector<Expected> expected;
                double low = INFINITY, high = -INFINITY;
                auto add = [&](const Expectation& e, const QSqlRecord& row, double x, const QString& text) {
                    Expected step{x, e.labelled ? text : QString(), {}};
                    for (int s = 0; s < zurm::kGraphSeriesCount; ++s) {
                        QString column = QString::fromUtf8(e.columns.series[s]);
                        if (column.isEmpty() || (s == zurm::kReturnSeries && !two))
                            continue;
                        if (column == QLatin1String("*"))
                            column = catalogue.types[t];
                        const QVariant value = column.startsWith(QStringLiteral("КонМаг."))
                            ? mainEnd.value(column.mid(7))
                            : row.value(column);
                        if (value.isNull() && kind.gaps) {
                            step.values[s] = {GraphValue::Gap, 0};
                        } else {
                            step.values[s] = {GraphValue::Point, value.toDouble()};
                            low = std::min(low, value.toDouble());
                            high = std::max(high, value.toDouble());
                        }
                    }
                    expected.push_back(step);
                };
                for (const QSqlRecord& row : rows) {
                    const QString startLabel = label(row.value(QStringLiteral("НачУзел")), row.value(QStringLiteral("ДлНачПод")));
                    const QString endLabel = label(row.value(QStringLiteral("КонУзел")), row.value(QStringLiteral("ДлКонПод")));
                    for (const Expectation& e : kind.start)
                        add(e, row, row.value(QStringLiteral("ДлНачПод")).toDouble(), startLabel);
                    for (const Expectation& e : kind.end)
                        add(e, row, row.value(QStringLiteral("ДлКонПод")).toDouble(), endLabel);
                }
                for (const Expectation& e : kind.final)
                    add(e, rows.back(), rows.back().value(QStringLiteral("ДлКонПод")).toDouble(),
                        label(endNode, rows.back().value(QStringLiteral("ДлКонПод"))));

                ASSERT_EQ(graph.steps.size(), expected.size());
                for (size_t i = 0; i < expected.size(); ++i) {
                    SCOPED_TRACE(i);
                    EXPECT_NEAR(graph.steps[i].x, expected[i].x, 1e-6);
                    EXPECT_EQ(graph.steps[i].label, expected[i].label);
                    for (int s = 0; s < zurm::kGraphSeriesCount; ++s) {
                        EXPECT_EQ(graph.steps[i].values[s].kind, expected[i].values[s].kind) << "series " << s;
                        EXPECT_DOUBLE_EQ(graph.steps[i].values[s].value, expected[i].values[s].value) << "series " << s;
                    }
                }
                const double x0 = rows.front().value(QStringLiteral("ДлНачПод")).toDouble();
                const double x1 = rows.back().value(QStringLiteral("ДлКонПод")).toDouble();
                EXPECT_NEAR(graph.xFrom, x0 - (x1 - x0) / 200, 1e-6);
                EXPECT_NEAR(graph.xTo, x1 + (x1 - x0) / 200, 1e-6);
                if (low <= high) { // the first value opens the range even when it is a gap
                    const double h = high == low ? 5 : (high - low) / 10;
                    EXPECT_LE(graph.yFrom, low - h + 1e-9);
                    EXPECT_GE(graph.yTo, high + h - 1e-9);
                }
            }
        }
    }
}

// Main 3 of the district example runs 0 - 1 - 101 - 103 (220, 90 and 60 m).
TEST(GraphSeries, StretchGapsLabelsAndRangesOnOneMain)
{
    const QStringList edits = {
        // A head change at node 101 as the next segment's start heads show it.
        QStringLiteral("UPDATE Табл SET ПНапНачПод = 230, ПНапНачОбр = 160 WHERE НачУзел = 101 AND КонУзел = 103"),
        // No velocity on the middle segment: a gap.
        QStringLiteral("UPDATE Табл SET СкорПод = NULL WHERE НачУзел = 1 AND КонУзел = 101"),
        // One diameter everywhere: a flat graph.
        QStringLiteral("UPDATE Табл SET ДвнПод = 80"),
    };
    CalculatedExample example(QStringLiteral("district_two_pipe"), edits);
    const zurm::GraphCatalogue& catalogue = example.catalogue();
    ASSERT_EQ(catalogue.mains[2].text, QStringLiteral("3.   0 - 103"));
    EXPECT_EQ(catalogue.startNodes(2), (std::vector<int>{0, 1, 101}));
    EXPECT_EQ(catalogue.endNodes(2, 1), (std::vector<int>{101, 103}));
    const int velocity = int(catalogue.types.indexOf(QStringLiteral("СкорПод")));
    const int diameter = int(catalogue.types.indexOf(QStringLiteral("ДвнПод")));
    ASSERT_GE(velocity, 5);

    const GraphValue::Kind P = GraphValue::Point, G = GraphValue::Gap, N = GraphValue::None;
    struct Case {
        const char* what;
        int type;
        std::optional<int> from, to;
        bool useLength, showLength;
        std::vector<double> xs;
        QStringList labels;
        int series;
        std::vector<GraphValue::Kind> kinds;
        std::optional<double> lastValue; // of `series` at the last step
        std::optional<std::pair<double, double>> yRange;
        std::optional<std::pair<double, double>> xRange;
    };
    const std::vector<Case> cases = {
        {"a stretch that ends short of the main's end shows the head change there", 0, 1, 101, true, true,
         {220, 310, 310}, {QStringLiteral("1; 220"), QString(), QStringLiteral("101; 310")},
         zurm::kSupplySeries, {P, P, P}, 230.0, {}, std::pair{220 - 90 / 200.0, 310 + 90 / 200.0}},
        {"the whole main ends with the heads of its КонМаг row", 0, {}, {}, true, true,
         {0, 220, 220, 310, 310, 370, 370}, {}, zurm::kReturnSeries, {P, P, P, P, P, P, P}, std::nullopt, {}, {}},
        {"without lengths the nodes stand at 0, 1, 2, ... and the labels are the nodes", 1, {}, {}, false, false,
         {0, 1, 2, 3}, {QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("101"), QStringLiteral("103")},
         zurm::kSupplySeries, {P, P, P, P}, {}, {}, std::pair{-3 / 200.0, 3 + 3 / 200.0}},
        {"a Null value is a gap at both ends of its segment; labels repeat at segment ends", velocity, {}, {}, true,
         true, {0, 220, 220, 310, 310, 370},
         {QStringLiteral("0; 0"), QStringLiteral("1; 220"), QStringLiteral("1; 220"), QStringLiteral("101; 310"),
          QStringLiteral("101; 310"), QStringLiteral("103; 370")},
         zurm::kGroundSeries, {P, P, G, G, P, P}, {}, {}, {}},
        {"a flat graph gets five either side", diameter, {}, {}, true, true, {0, 220, 220, 310, 310, 370}, {},
         zurm::kGroundSeries, {P, P, P, P, P, P}, 80.0, std::pair{75.0, 85.0}, {}},
        {"the line series have no points in a one-column graph", diameter, {}, {}, true, true, {}, {},
         zurm::kSupplySeries, {N, N, N, N, N, N}, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        zurm::GraphRequest request;
        request.mainIndex = 2;
        request.typeIndex = c.type;
        request.startNode = c.from;
        request.endNode = c.to;
        request.useSupplyLength = c.useLength;
        request.showSupplyLength = c.showLength;
        const zurm::Graph graph = example.graph(request);
        ASSERT_EQ(graph.steps.size(), c.kinds.size());
        for (size_t i = 0; i < graph.steps.size(); ++i) {
            if (!c.xs.empty()) {
                EXPECT_DOUBLE_EQ(graph.steps[i].x, c.xs[i]) << i;
            }
            if (!c.labels.isEmpty()) {
                EXPECT_EQ(graph.steps[i].label, c.labels[qsizetype(i)]) << i;
            }
            EXPECT_EQ(graph.steps[i].values[c.series].kind, c.kinds[i]) << i;
        }
        if (c.lastValue) {
            EXPECT_DOUBLE_EQ(graph.steps.back().values[c.series].value, *c.lastValue);
        }
        if (c.yRange) {
            EXPECT_DOUBLE_EQ(graph.yFrom, c.yRange->first);
            EXPECT_DOUBLE_EQ(graph.yTo, c.yRange->second);
        }
        if (c.xRange) {
            EXPECT_DOUBLE_EQ(graph.xFrom, c.xRange->first);
            EXPECT_DOUBLE_EQ(graph.xTo, c.xRange->second);
        }
    }

    // Axis titles, and the refusal once an edit has cleared the flag.
    zurm::GraphRequest both;
    both.mainIndex = 2;
    both.typeIndex = 4;
    EXPECT_EQ(example.graph(both).leftTitle, catalogue.supplyFlowName + QStringLiteral(";\n") + catalogue.returnFlowName);
    example.data().SetCalculationDoneFlag(false);
    EXPECT_EQ(zurm::computeGraph(example.data(), catalogue, both).refusal,
              QStringLiteral("Перед формированием графика необходимо выполнить расчет (Команда: Данные / Выполнить "
                             "расчет)."));
}

TEST(GraphSeries, ValueMarksAndTypeLists)
{
    const struct {
        double value;
        int precision;
        const char* text;
    } marks[] = {
        {1234.5678, 2, "1 234.57"}, {1234.5, 0, "1 235"},  {0.5, 0, "1"},          {-0.5, 0, "-1"},
        {2.1, 3, "2.1"},            {-0.001, 2, "0"},      {1234567.0, 1, "1 234 567"},
        {-1234.25, 1, "-1 234.3"},  {0.0049, 3, "0.005"}, {999.9996, 3, "1 000"},
    };
    for (const auto& m : marks)
        EXPECT_EQ(zurm::graphNumberText(m.value, m.precision), QString::fromUtf8(m.text)) << m.value;
    EXPECT_EQ(zurm::fixedGraphTypes(false),
              (QStringList{QStringLiteral("Пьезометрический"), QStringLiteral("Температура воды в теплосети"),
                           QStringLiteral("РасхПод")}));
    EXPECT_EQ(zurm::fixedGraphTypes(true).mid(3),
              (QStringList{QStringLiteral("РасхОбр"), QStringLiteral("РасхПод, РасхОбр на одном графике")}));
}

} // namespace
