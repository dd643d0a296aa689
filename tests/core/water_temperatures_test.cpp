// Water temperatures along the mains: the straight line of a one-pipe network,
// the per-branch gradients of a two-pipe network, the order of the mains, the
// read-back of stored temperatures at a branch start, and the text section.

#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "hydraulics/CalculationText.h"
#include "hydraulics/WaterTemperatures.h"
#include "indicators/IndicatorEvaluation.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <map>

using namespace zurm;

namespace {

struct SegmentCase {
    qint16 from;
    qint16 to;
    double length; // supply and return alike
};

struct MainCase {
    int id;
    std::vector<int> segments; // indices, walk order
    std::optional<double> drop;
};

// Lengths along the mains as the run computes them before this phase.
WaterTemperatureInput network(bool twoPipe, qint16 start, double minT, double maxT,
                              const std::vector<SegmentCase>& segments, const std::vector<MainCase>& mains)
{
    WaterTemperatureInput input;
    input.twoPipe = twoPipe;
    input.startNode = start;
    input.minTemperature = minT;
    input.maxTemperature = maxT;
    std::map<qint16, double> lengthAt{{start, 0.0}};
    for (const SegmentCase& s : segments) {
        const double begin = lengthAt.at(s.from);
        lengthAt[s.to] = begin + s.length;
        input.segments.push_back({s.from, s.to, begin, begin + s.length, begin, begin + s.length});
    }
    for (const MainCase& m : mains) {
        MainWalk walk{m.id, {}};
        for (int i : m.segments)
            walk.rows.push_back({segments[std::size_t(i)].from, segments[std::size_t(i)].to, i});
        const double length = lengthAt.at(walk.rows.back().endNode);
        input.walks.push_back(walk);
        input.mains.push_back({length, length, 2 * length, m.drop, walk.rows.back().endNode});
        input.maxSupplyLength = std::max(input.maxSupplyLength, length);
    }
    return input;
}

QStringList linesOf(const CalculationText& text) { return text.text().split(QStringLiteral("\r\n")); }

struct Expected {
    int segment;
    double supplyStart, supplyEnd, returnStart, returnEnd;
};

void expectTemperatures(const std::vector<SegmentTemperatures>& results, const std::vector<Expected>& expected,
                        bool twoPipe)
{
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.segment);
        const SegmentTemperatures& r = results.at(std::size_t(e.segment));
        ASSERT_TRUE(r.supplyStart && r.supplyEnd);
        EXPECT_NEAR(*r.supplyStart, e.supplyStart, 1e-12);
        EXPECT_NEAR(*r.supplyEnd, e.supplyEnd, 1e-12);
        if (twoPipe) {
            ASSERT_TRUE(r.returnStart && r.returnEnd);
            EXPECT_NEAR(*r.returnStart, e.returnStart, 1e-12);
            EXPECT_NEAR(*r.returnEnd, e.returnEnd, 1e-12);
        } else {
            EXPECT_FALSE(r.returnStart || r.returnEnd);
        }
    }
}

TEST(WaterTemperatures, OnePipeFollowsOneLineLongestMainFirst)
{
    // Main 1 (1-2-3, 500 m) is shorter than main 2 (1-2-4-5, 1000 m), so
    // main 2 sets the gradient and main 1 only adds its own segment 2 - 3.
    const auto input = network(false, 1, 70, 90, {{1, 2, 200}, {2, 3, 300}, {2, 4, 100}, {4, 5, 700}},
                               {{1, {0, 1}, {}}, {2, {0, 2, 3}, {}}});
    CalculationText text(true, 2, QLatin1Char(','));
    const auto results = computeWaterTemperatures(input, text);

    expectTemperatures(results, {{0, 90, 86, 0, 0}, {1, 86, 80, 0, 0}, {2, 86, 84, 0, 0}, {3, 84, 70, 0, 0}},
                       false);

    const QStringList expected = {
        QString(),
        QStringLiteral("Расчет показателей:"),
        QStringLiteral("Температура воды в подающем трубопроводе на начальном узле участка, град. С (ТВодыНачПод)"),
        QStringLiteral("Температура воды в подающем трубопроводе на конечном узле участка, град. С (ТВодыКонПод)"),
        QStringLiteral("Показатели, используемые в расчете:"),
        QStringLiteral("Изменение температуры воды на один метр трубопровода, град. С / м. (ИзмТНаМ)"),
        QStringLiteral("Минимальная температура воды в теплосети, град. С (МинТВоды) = 70,00"),
        QStringLiteral("Максимальная температура воды в теплосети, град. С (МаксТВоды) = 90,00"),
        QStringLiteral("Максимальная длина подающего трубопровода от начального до конечного узла теплосети, м. "
                       "(МаксДлПод) = 1000,00"),
        QStringLiteral("Длина подающего трубопровода на начальном узле участка, м. (ДлНачПод)"),
        QStringLiteral("Длина подающего трубопровода на конечном узле участка, м. (ДлКонПод)"),
        QString(),
        QStringLiteral("Магистраль 2: 1 - 2 - 4 - 5"),
        QStringLiteral("ИзмТНаМ = (<МаксТВоды> - <МинТВоды>) / <МаксДлПод> = 0,02"),
        QString(),
        QStringLiteral("Участок 1 - 2:"),
        QStringLiteral("ТВодыНачПод = <МаксТВоды> - <ДлНачПод> * <ИзмТНаМ> = 90,00"),
        QStringLiteral("ТВодыКонПод = <МаксТВоды> - <ДлКонПод> * <ИзмТНаМ> = 86,00"),
        QString(),
        QStringLiteral("Участок 2 - 4:"),
        QStringLiteral("ТВодыНачПод = <МаксТВоды> - <ДлНачПод> * <ИзмТНаМ> = 86,00"),
        QStringLiteral("ТВодыКонПод = <МаксТВоды> - <ДлКонПод> * <ИзмТНаМ> = 84,00"),
        QString(),
        QStringLiteral("Участок 4 - 5:"),
        QStringLiteral("ТВодыНачПод = <МаксТВоды> - <ДлНачПод> * <ИзмТНаМ> = 84,00"),
        QStringLiteral("ТВодыКонПод = <МаксТВоды> - <ДлКонПод> * <ИзмТНаМ> = 70,00"),
        QString(),
        QStringLiteral("Магистраль 1: 1 - 2 - 3"),
        QString(),
        QStringLiteral("Участок 2 - 3:"),
        QStringLiteral("ТВодыНачПод = <МаксТВоды> - <ДлНачПод> * <ИзмТНаМ> = 86,00"),
        QStringLiteral("ТВодыКонПод = <МаксТВоды> - <ДлКонПод> * <ИзмТНаМ> = 80,00"),
        QString(),
    };
    EXPECT_EQ(linesOf(text), expected);
}

TEST(WaterTemperatures, TwoPipeBranchStartsFromTheTemperaturesAtItsNode)
{
    // Main 1: 90/50 °C, ДельтаТ 30, 500 m each way, so 0.01 °C/m; node 2 lies
    // 200 m out with 88 and 52 °C. Main 2 leaves there for 100 m each way with
    // ДельтаТ empty: (88 - 52 - 0) / 200 = 0.18, both pipes meet at 70 °C.
    const auto input = network(true, 1, 50, 90, {{1, 2, 200}, {2, 3, 300}, {2, 4, 100}},
                               {{1, {0, 1}, 30.0}, {2, {0, 2}, {}}});
    CalculationText text(true, 2, QLatin1Char('.'));
    const auto results = computeWaterTemperatures(input, text);

    expectTemperatures(results, {{0, 90, 88, 50, 52}, {1, 88, 85, 52, 55}, {2, 88, 70, 52, 70}}, true);
    EXPECT_NEAR(*results[1].supplyEnd - *results[1].returnEnd, 30, 1e-12);

    const QStringList lines = linesOf(text);
    const QStringList legendTail = {
        QStringLiteral("Длина подающего трубопровода на конечном узле участка, м. (ДлКонПод)"),
        QStringLiteral("Разность между температурой воды в подающем трубопроводе и температурой воды в обратном "
                       "трубопроводе на узле Х, град. С (ТподМинусТобрХ)"),
        QStringLiteral("Расчетная минимальная температура воды, град. С (РасМинТВоды)"),
        QStringLiteral("Расчетная максимальная температура воды, град. С (РасМаксТВоды)"),
        QStringLiteral("Расчетная длина подающего трубопровода, м. (РасДлТрПод)"),
        QStringLiteral("Расчетная длина обратного трубопровода, м. (РасДлТрОбр)"),
        QStringLiteral("Длина подающего трубопровода магистрали, м. (ДлМагПод)"),
        QStringLiteral("Длина обратного трубопровода магистрали, м. (ДлМагОбр)"),
        QStringLiteral("Температура воды в подающем трубопроводе на узле Х, град. С (ТВодыПодХ)"),
        QStringLiteral("Температура воды в обратном трубопроводе на узле Х, град. С (ТВодыОбрХ)"),
        QStringLiteral("Длина подающего трубопровода на узле Х, м. (ДлПодХ)"),
        QStringLiteral("Длина обратного трубопровода на узле Х, м. (ДлОбрХ)"),
        QStringLiteral("Длина обратного трубопровода на начальном узле участка, м. (ДлНачОбр)"),
        QStringLiteral("Длина обратного трубопровода на конечном узле участка, м. (ДлКонОбр)"),
        QString(),
        QStringLiteral("Магистраль 1: 1 - 2 - 3"),
        QStringLiteral("РасМинТВоды = <МинТВоды> = 50.00"),
        QStringLiteral("РасМаксТВоды = <МаксТВоды> = 90.00"),
        QStringLiteral("РасДлТрПод = <ДлМагПод> = 500.00"),
        QStringLiteral("РасДлТрОбр = <ДлМагОбр> = 500.00"),
        QStringLiteral("ТподМинусТобр3 = 30.00"),
        QStringLiteral("ИзмТНаМ = (<РасМаксТВоды> - <РасМинТВоды> - <ТподМинусТобр3>) / (<РасДлТрПод> + "
                       "<РасДлТрОбр>) = 0.01"),
        QString(),
        QStringLiteral("Участок 1 - 2:"),
        QStringLiteral("ТВодыНачПод = <РасМаксТВоды> - <ДлНачПод> * <ИзмТНаМ> = 90.00"),
        QStringLiteral("ТВодыКонПод = <РасМаксТВоды> - <ДлКонПод> * <ИзмТНаМ> = 88.00"),
        QStringLiteral("ТВодыНачОбр = <РасМинТВоды> + <ДлНачОбр> * <ИзмТНаМ> = 50.00"),
        QStringLiteral("ТВодыКонОбр = <РасМинТВоды> + <ДлКонОбр> * <ИзмТНаМ> = 52.00"),
        QString(),
        QStringLiteral("Участок 2 - 3:"),
        QStringLiteral("ТВодыНачПод = <РасМаксТВоды> - <ДлНачПод> * <ИзмТНаМ> = 88.00"),
        QStringLiteral("ТВодыКонПод = <РасМаксТВоды> - <ДлКонПод> * <ИзмТНаМ> = 85.00"),
        QStringLiteral("ТВодыНачОбр = <РасМинТВоды> + <ДлНачОбр> * <ИзмТНаМ> = 52.00"),
        QStringLiteral("ТВодыКонОбр = <РасМинТВоды> + <ДлКонОбр> * <ИзмТНаМ> = 55.00"),
        QString(),
        QStringLiteral("Магистраль 2: 1 - 2 - 4"),
        QStringLiteral("РасМинТВоды = <ТВодыОбр2> = 52.00"),
        QStringLiteral("РасМаксТВоды = <ТВодыПод2> = 88.00"),
        QStringLiteral("РасДлТрПод = <ДлМагПод> - <ДлПод2> = 100.00"),
        QStringLiteral("РасДлТрОбр = <ДлМагОбр> - <ДлОбр2> = 100.00"),
        QStringLiteral("ТподМинусТобр4 = 0.00"),
        QStringLiteral("ИзмТНаМ = (<РасМаксТВоды> - <РасМинТВоды> - <ТподМинусТобр4>) / (<РасДлТрПод> + "
                       "<РасДлТрОбр>) = 0.18"),
        QString(),
        QStringLiteral("Участок 2 - 4:"),
        QStringLiteral("ТВодыНачПод = <РасМаксТВоды> - (<ДлНачПод> - <ДлПод2>) * <ИзмТНаМ> = 88.00"),
        QStringLiteral("ТВодыКонПод = <РасМаксТВоды> - (<ДлКонПод> - <ДлПод2>) * <ИзмТНаМ> = 70.00"),
        QStringLiteral("ТВодыНачОбр = <РасМинТВоды> + (<ДлНачОбр> - <ДлОбр2>) * <ИзмТНаМ> = 52.00"),
        QStringLiteral("ТВодыКонОбр = <РасМинТВоды> + (<ДлКонОбр> - <ДлОбр2>) * <ИзмТНаМ> = 70.00"),
        QString(),
    };
    const qsizetype at = lines.indexOf(legendTail.first());
    ASSERT_GE(at, 0);
    EXPECT_EQ(lines.mid(at), legendTail);
    // The two-pipe legend has the return lines and no МаксДлПод line.
    EXPECT_EQ(lines.mid(0, 9),
              (QStringList{
                  QString(), QStringLiteral("Расчет показателей:"),
                  QStringLiteral("Температура воды в подающем трубопроводе на начальном узле участка, град. С (ТВодыНачПод)"),
                  QStringLiteral("Температура воды в подающем трубопроводе на конечном узле участка, град. С (ТВодыКонПод)"),
                  QStringLiteral("Температура воды в обратном трубопроводе на начальном узле участка, град. С (ТВодыНачОбр)"),
                  QStringLiteral("Температура воды в обратном трубопроводе на конечном узле участка, град. С (ТВодыКонОбр)"),
                  QStringLiteral("Показатели, используемые в расчете:"),
                  QStringLiteral("Изменение температуры воды на один метр трубопровода, град. С / м. (ИзмТНаМ)"),
                  QStringLiteral("Минимальная температура воды в теплосети, град. С (МинТВоды) = 50.00")}));
    EXPECT_FALSE(text.text().contains(QStringLiteral("МаксДлПод")));
}

TEST(WaterTemperatures, TwoPipeOrderAndEdgeCases)
{
    struct Case {
        const char* name;
        std::vector<SegmentCase> segments;
        std::vector<MainCase> mains; // in the order given to the phase
        std::vector<Expected> expected;
    };
    const Case cases[] = {
        // 90/50, ДельтаТ 30, 500 m each way: 85/55 at the end, 50 back at the source.
        {"single main", {{1, 2, 500}}, {{1, {0}, 30.0}}, {{0, 90, 85, 50, 55}}},
        // ДельтаТ empty on the longest main: supply and return meet at 70.
        {"empty drop", {{1, 2, 250}, {2, 3, 250}}, {{1, {0, 1}, {}}}, {{0, 90, 80, 50, 60}, {1, 80, 70, 60, 70}}},
        // Equal ДлМагСум: the lower id_m sets the gradient of the shared segment
        // whatever order the mains come in. Main 1 (ДельтаТ 20): 0.05 °C/m;
        // main 2 leaves node 2 at 85/55 and has (85 - 55 - 0) / 200 = 0.15.
        {"equal lengths",
         {{1, 2, 100}, {2, 3, 100}, {2, 4, 100}},
         {{2, {0, 2}, 0.0}, {1, {0, 1}, 20.0}},
         {{0, 90, 85, 50, 55}, {1, 85, 80, 55, 60}, {2, 85, 70, 55, 70}}},
        // Two mains leaving the start node each start from МаксТВоды/МинТВоды
        // with their own lengths.
        {"two mains at the source",
         {{1, 2, 400}, {1, 3, 100}},
         {{1, {0}, 40.0}, {2, {1}, 20.0}},
         {{0, 90, 90, 50, 50}, {1, 90, 80, 50, 60}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CalculationText text(false, 2, QLatin1Char('.'));
        const auto results = computeWaterTemperatures(network(true, 1, 50, 90, c.segments, c.mains), text);
        expectTemperatures(results, c.expected, true);
    }
}

TEST(WaterTemperatures, BranchReadsTheStoredTemperaturesOfItsNode)
{
    // 40 °C over 6 m gives 6.666… °C/m: the temperatures at node 2 have more
    // than 15 significant digits, and the branch 2 - 4 starts from them as
    // the table holds them.
    const auto input = network(true, 1, 50, 90, {{1, 2, 1}, {2, 3, 2}, {2, 4, 1}}, {{1, {0, 1}, {}}, {2, {0, 2}, {}}});
    CalculationText text(false, 2, QLatin1Char('.'));
    const auto results = computeWaterTemperatures(input, text);
    const double supplyAtX = *results[0].supplyEnd;
    const double returnAtX = *results[0].returnEnd;
    ASSERT_NE(valueAsStoredInSegment(supplyAtX), supplyAtX);
    EXPECT_EQ(*results[2].supplyStart, valueAsStoredInSegment(supplyAtX));
    EXPECT_EQ(*results[2].returnStart, valueAsStoredInSegment(returnAtX));
    const double change = (valueAsStoredInSegment(supplyAtX) - valueAsStoredInSegment(returnAtX)) / 2;
    EXPECT_EQ(*results[2].supplyEnd, valueAsStoredInSegment(supplyAtX) - 1 * change);
}

TEST(WaterTemperatures, OnePipeKeepsTheFirstGradientAndLeavesOtherSegmentsEmpty)
{
    // The 1000 m main sets 0.02 °C/m; the later main branching at node 2 keeps
    // it. Segment 9 - 10 lies on no main and stays empty.
    auto input = network(false, 1, 70, 90, {{1, 2, 600}, {2, 3, 400}, {2, 4, 50}}, {{1, {0, 1}, {}}, {2, {0, 2}, {}}});
    input.segments.push_back({9, 10, 0, 5, 0, 5});
    CalculationText text(false, 2, QLatin1Char('.'));
    const auto results = computeWaterTemperatures(input, text);
    expectTemperatures(results, {{0, 90, 78, 0, 0}, {1, 78, 70, 0, 0}, {2, 78, 77, 0, 0}}, false);
    EXPECT_FALSE(results[3].supplyStart || results[3].supplyEnd);
}

} // namespace
