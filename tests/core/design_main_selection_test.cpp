// The design main selection of the supply and return passes: the branch start
// of every main not yet calculated, the allowed specific loss in design mode,
// the order of the choice (empty first, ties by id_m), the text lines, and the
// branch specific loss of a segment.

#include <QString>
#include <ostream>

static void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

#include "hydraulics/CalculationText.h"
#include "hydraulics/DesignMainSelection.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <set>

using namespace zurm;

namespace {

QStringList linesOf(const CalculationText& text) { return text.text().split(QStringLiteral("\r\n")); }

// A network given as segments (index = table order) and mains as lists of
// segment indices; the run's visited set and segment values are plain maps.
struct Network {
    std::vector<std::pair<qint16, qint16>> segments;
    std::vector<MainWalk> walks;
    std::vector<MainSelectionState> mains;
    std::set<int> visited;
    std::map<qint16, SegmentAtBranchStart> endingAt; // values of the running pass

    void addMain(int id, std::vector<int> rows, double supplyLength, double returnLength, double givenSupply,
                 double givenReturn)
    {
        MainWalk walk{id, {}};
        for (int i : rows)
            walk.rows.push_back({segments[std::size_t(i)].first, segments[std::size_t(i)].second, i});
        MainSelectionState state;
        state.endNode = walk.rows.back().endNode;
        state.supplyLength = supplyLength;
        state.returnLength = returnLength;
        state.supplyGivenHead = givenSupply;
        state.returnGivenHead = givenReturn;
        walks.push_back(walk);
        mains.push_back(state);
    }
    VisitedSegment isVisited() const
    {
        return [this](const MainWalkRow& row) { return visited.contains(row.segment); };
    }
    SegmentEndingAt lookup() const
    {
        return [this](qint16 node) -> std::optional<SegmentAtBranchStart> {
            const auto found = endingAt.find(node);
            if (found == endingAt.end())
                return std::nullopt;
            return found->second;
        };
    }
};

DesignMainSelectionSetup setup(PipePass pass, bool designMode, double supplyHead = 60, double availableHead = 20,
                               std::vector<HeadChangeRow> headChanges = {})
{
    return {pass, designMode, 1, supplyHead, availableHead, std::move(headChanges)};
}

TEST(DesignMainSelection, DesignModePicksTheSmallestAllowedLoss)
{
    // Two mains from the start node, ПНапНаУзПод 60: (60 - 30) / 1000 = 0.03
    // and (60 - 40) / 400 = 0.05; the first is the design main.
    Network net;
    net.segments = {{1, 2}, {1, 3}};
    net.addMain(1, {0}, 1000, 1000, 30, 0);
    net.addMain(2, {1}, 400, 400, 40, 0);
    DesignMainSelection select(setup(PipePass::Supply, true), net.walks);
    CalculationText text(true, 2, QLatin1Char(','));
    const auto chosen = select(net.mains, net.isVisited(), net.lookup(), text);

    ASSERT_EQ(chosen, std::optional<std::size_t>(0));
    EXPECT_DOUBLE_EQ(*net.mains[0].supplyAllowedLoss, 0.03);
    EXPECT_DOUBLE_EQ(*net.mains[1].supplyAllowedLoss, 0.05);
    EXPECT_EQ(net.mains[0].supplyBranchStart, std::optional<qint16>(1));
    EXPECT_EQ(net.mains[1].supplyBranchStart, std::optional<qint16>(1));
    EXPECT_FALSE(net.mains[0].returnBranchStart || net.mains[0].returnAllowedLoss);

    const QStringList expected = {
        QStringLiteral("Выбор расчетной магистрали (ветви) теплосети:"),
        QString(),
        QStringLiteral("Магистраль (ветвь) 1 - 2"),
        QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в начале магистрали (ветви), "
                       "м. (ПНапНачПод) = 60,00"),
        QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в конце магистрали (ветви), м. "
                       "(ПНапКонПод) = 30,00"),
        QStringLiteral("Длина под. трубопровода магистрали (ветви), м. (ДлПод) = 1000,00"),
        QStringLiteral("Удельные потери напора в под. трубопроводе магистрали (ветви), м./м. (УПНВМагПод) = "
                       "(<ПНапНачПод> - <ПНапКонПод>) / <ДлПод> = 0,03"),
        QString(),
        QStringLiteral("Магистраль (ветвь) 1 - 3"),
        QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в начале магистрали (ветви), "
                       "м. (ПНапНачПод) = 60,00"),
        QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в конце магистрали (ветви), м. "
                       "(ПНапКонПод) = 40,00"),
        QStringLiteral("Длина под. трубопровода магистрали (ветви), м. (ДлПод) = 400,00"),
        QStringLiteral("Удельные потери напора в под. трубопроводе магистрали (ветви), м./м. (УПНВМагПод) = "
                       "(<ПНапНачПод> - <ПНапКонПод>) / <ДлПод> = 0,05"),
        QString(),
        QStringLiteral("Магистраль (ветвь) с минимальными удельными потерями напора в трубопроводе (она и будет "
                       "расчетной): 1 - 2"),
    };
    EXPECT_EQ(linesOf(text), expected);
}

TEST(DesignMainSelection, OrderOfTheChoice)
{
    struct Case {
        const char* name;
        bool designMode;
        std::vector<int> ids;                      // id_m per main, in the order given
        std::vector<std::optional<double>> losses; // preset УПНВМагПод (outside design mode)
        std::vector<double> given;                 // ПНапЗБИПод (design mode), 100 m each
        std::vector<bool> done;
        std::optional<int> chosenId;
    };
    const Case cases[] = {
        {"outside design mode the lowest id_m not done", false, {3, 1, 2}, {{}, {}, {}}, {0, 0, 0},
         {false, true, false}, 2},
        {"empty values first, ties by id_m", false, {4, 3, 2, 1}, {0.5, {}, {}, -1.0}, {0, 0, 0, 0},
         {false, false, false, false}, 2},
        {"equal allowed losses by id_m", true, {3, 1, 2}, {{}, {}, {}}, {50, 50, 45}, {false, false, false}, 1},
        {"more head required than available: negative, chosen first", true, {1, 2, 3}, {{}, {}, {}},
         {50, 65, 40}, {false, false, false}, 2},
        {"done mains are passed over even with the smallest key", true, {1, 2}, {{}, {}}, {70, 50},
         {true, false}, 2},
        {"all done: no main", false, {1, 2}, {{}, {}}, {0, 0}, {true, true}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Network net;
        for (std::size_t i = 0; i < c.ids.size(); ++i) {
            net.segments.push_back({1, qint16(10 + i)});
            net.addMain(c.ids[i], {int(i)}, 100, 100, c.given[i], 0);
            net.mains[i].supplyAllowedLoss = c.losses[i];
            net.mains[i].supplyDone = c.done[i];
        }
        DesignMainSelection select(setup(PipePass::Supply, c.designMode), net.walks);
        CalculationText text(true, 2, QLatin1Char('.'));
        const auto chosen = select(net.mains, net.isVisited(), net.lookup(), text);
        ASSERT_EQ(chosen.has_value(), c.chosenId.has_value());
        if (!chosen) {
            EXPECT_EQ(text.text(), QString()); // no heading without a main to choose
            continue;
        }
        EXPECT_EQ(net.walks[*chosen].id, *c.chosenId);
        const QString last = linesOf(text).last();
        const QString prefix = c.designMode
            ? QStringLiteral("Магистраль (ветвь) с минимальными удельными потерями напора в трубопроводе (она и будет "
                             "расчетной): ")
            : QStringLiteral("Расчетная магистраль (ветвь): ");
        EXPECT_EQ(last, prefix + QStringLiteral("1 - ") + QString::number(net.mains[*chosen].endNode));
        if (!c.designMode) {
            // Outside design mode the losses stay as they were, and each main
            // not done gets its line and an empty line, by ascending id_m.
            for (std::size_t i = 0; i < c.ids.size(); ++i)
                EXPECT_EQ(net.mains[i].supplyAllowedLoss, c.losses[i]);
            EXPECT_EQ(text.text().count(QStringLiteral("Выбор расчетной магистрали")), 1);
        }
    }
}

// Start 1; main 1: 1-2, 2-3, 3-4; main 2: 1-2, 2-3, 3-5, 5-6. Supply lengths
// 100, 200, 200, 200, 100 (ДлКонПод 100, 300, 500, 500, 600).
Network sharedNetwork()
{
    Network net;
    net.segments = {{1, 2}, {2, 3}, {3, 4}, {3, 5}, {5, 6}};
    net.addMain(1, {0, 1, 2}, 500, 500, 30, 45);
    net.addMain(2, {0, 1, 3, 4}, 600, 600, 40, 45);
    return net;
}

const std::vector<HeadChangeRow> kHeadChanges = {
    {2, false, 1.0}, {2, true, 7.0}, {3, false, 2.0}, {2, false, 0.5}, {6, false, 100.0},
};

TEST(DesignMainSelection, HeadChangeSumsAddEveryRowOfThePipe)
{
    const std::vector<MainWalk> noMains;
    const DesignMainSelection supply(setup(PipePass::Supply, true, 60, 20, kHeadChanges), noMains);
    const DesignMainSelection back(setup(PipePass::Return, true, 60, 20, kHeadChanges), noMains);
    const std::vector<std::tuple<qint16, double, double>> expected = {{2, 1.5, 7.0}, {3, 2.0, 0.0}, {4, 0.0, 0.0}};
    for (const auto& [node, s, r] : expected) {
        EXPECT_DOUBLE_EQ(supply.headChangeSum(node), s) << node;
        EXPECT_DOUBLE_EQ(back.headChangeSum(node), r) << node;
    }
}

TEST(DesignMainSelection, SupplyBranchAfterTheFirstMainAndBranchLoss)
{
    Network net = sharedNetwork();
    const std::vector<MainWalk> walks = net.walks;
    DesignMainSelection select(setup(PipePass::Supply, true, 60, 20, kHeadChanges), walks);
    CalculationText text(true, 4, QLatin1Char('.'));
    net.mains[0].supplyDone = true;
    net.visited = {0, 1, 2};
    net.endingAt[3] = {6.0, 300.0};

    // X = 3; S = Δ(1) + Δ(2) = 1.5 (node 3 itself is downstream of X);
    // H = 60 - 6 - 1.5 = 52.5; L = 600 - 300; (52.5 - 40) / 300.
    const auto chosen = select(net.mains, net.isVisited(), net.lookup(), text);
    ASSERT_EQ(chosen, std::optional<std::size_t>(1));
    EXPECT_EQ(net.mains[1].supplyBranchStart, std::optional<qint16>(3));
    EXPECT_DOUBLE_EQ(*net.mains[1].supplyAllowedLoss, 12.5 / 300);
    EXPECT_FALSE(net.mains[0].supplyAllowedLoss); // done mains are not rewritten
    EXPECT_EQ(linesOf(text).mid(2, 5),
              (QStringList{
                  QStringLiteral("Магистраль (ветвь) 3 - 6"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в начале магистрали "
                                 "(ветви), м. (ПНапНачПод) = 52.5000"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в конце магистрали "
                                 "(ветви), м. (ПНапКонПод) = 40.0000"),
                  QStringLiteral("Длина под. трубопровода магистрали (ветви), м. (ДлПод) = 300.0000"),
                  QStringLiteral("Удельные потери напора в под. трубопроводе магистрали (ветви), м./м. (УПНВМагПод) "
                                 "= (<ПНапНачПод> - <ПНапКонПод>) / <ДлПод> = 0.0417"),
              }));

    // The segment at the branch start takes the main's value.
    CalculationText branchText(true, 4, QLatin1Char('.'));
    const auto atStart = select.branchSpecificLoss(1, 2, net.mains, net.isVisited(), net.lookup(), branchText);
    EXPECT_EQ(atStart, net.mains[1].supplyAllowedLoss);
    EXPECT_EQ(linesOf(branchText),
              (QStringList{QStringLiteral("Удельные потери напора в подающем трубопроводе ветви 3 - 6, м./м. (УПНВВПод)"),
                           QStringLiteral("УПНВВПод = 0.0417"), QString()}));

    // After 3 - 5 is calculated with ПотНОтИКонПод 9: S = 0 + 1.5 + 2 = 3.5,
    // H = 60 - 9 - 3.5 = 47.5, L = 600 - 500 = 100, (47.5 - 40) / 100.
    net.visited.insert(3);
    net.endingAt[5] = {9.0, 500.0};
    CalculationText laterText(true, 4, QLatin1Char('.'));
    const auto later = select.branchSpecificLoss(1, 3, net.mains, net.isVisited(), net.lookup(), laterText);
    ASSERT_TRUE(later);
    EXPECT_DOUBLE_EQ(*later, 0.075);
    EXPECT_EQ(linesOf(laterText),
              (QStringList{
                  QStringLiteral("Удельные потери напора в подающем трубопроводе ветви 5 - 6, м./м. (УПНВВПод)"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в начале ветви, м. "
                                 "(ПНапНачПод) = 47.5000"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в под. трубопроводе в конце ветви, м. "
                                 "(ПНапКонПод) = 40.0000"),
                  QStringLiteral("Длина под. трубопровода ветви, м. (ДлПод) = 100.0000"),
                  QStringLiteral("УПНВВПод = (<ПНапНачПод> - <ПНапКонПод>) / <ДлПод> = 0.0750"),
                  QString(),
              }));
}

TEST(DesignMainSelection, ReturnPassAddsLossesAndHeadChanges)
{
    Network net = sharedNetwork();
    DesignMainSelection select(setup(PipePass::Return, true, 60, 20, kHeadChanges), net.walks);
    CalculationText text(true, 2, QLatin1Char('.'));

    // First call: both mains untouched, X = 1, H = 60 - 20 = 40; main 1:
    // (45 - 40) / 500 = 0.01, main 2: (45 - 40) / 600 → main 2 is smaller.
    auto chosen = select(net.mains, net.isVisited(), net.lookup(), text);
    ASSERT_EQ(chosen, std::optional<std::size_t>(1));
    EXPECT_DOUBLE_EQ(*net.mains[0].returnAllowedLoss, 0.01);
    EXPECT_DOUBLE_EQ(*net.mains[1].returnAllowedLoss, 5.0 / 600);
    EXPECT_FALSE(net.mains[0].supplyBranchStart || net.mains[0].supplyAllowedLoss);

    // Main 2 is calculated; main 1 now leaves it at node 3: S = 7 (return rows
    // of node 2), loss at 3 = 4: H = 40 + 4 + 7 = 51, L = 500 - 300,
    // (45 - 51) / 200 = -0.03.
    net.mains[1].returnDone = true;
    net.visited = {0, 1, 3, 4};
    net.endingAt[3] = {4.0, 300.0};
    CalculationText second(true, 2, QLatin1Char('.'));
    chosen = select(net.mains, net.isVisited(), net.lookup(), second);
    ASSERT_EQ(chosen, std::optional<std::size_t>(0));
    EXPECT_DOUBLE_EQ(*net.mains[0].returnAllowedLoss, -0.03);
    EXPECT_DOUBLE_EQ(*net.mains[1].returnAllowedLoss, 5.0 / 600); // kept from the call that chose it
    EXPECT_EQ(linesOf(second),
              (QStringList{
                  QStringLiteral("Выбор расчетной магистрали (ветви) теплосети:"),
                  QString(),
                  QStringLiteral("Магистраль (ветвь) 3 - 4"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в конце магистрали "
                                 "(ветви), м. (ПНапКонОбр) = 45.00"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в начале магистрали "
                                 "(ветви), м. (ПНапНачОбр) = 51.00"),
                  QStringLiteral("Длина обр. трубопровода магистрали (ветви), м. (ДлОбр) = 200.00"),
                  QStringLiteral("Удельные потери напора в обр. трубопроводе магистрали (ветви), м./м. (УПНВМагОбр) "
                                 "= (<ПНапКонОбр> - <ПНапНачОбр>) / <ДлОбр> = -0.03"),
                  QString(),
                  QStringLiteral("Магистраль (ветвь) с минимальными удельными потерями напора в трубопроводе (она и "
                                 "будет расчетной): 3 - 4"),
              }));

    // The branch loss of main 2's segment 5 - 6 in the return pass, ПотНОтИКонОбр 3
    // at node 5: S = 7 + 0 (node 3 has no return row), H = 40 + 3 + 7 = 50,
    // L = 600 - 500, (45 - 50) / 100 = -0.05; lines start with the head at the start.
    net.visited = {0, 1, 3};
    net.endingAt[5] = {3.0, 500.0};
    DesignMainSelection fresh(setup(PipePass::Return, true, 60, 20, kHeadChanges), net.walks);
    net.mains[1].returnBranchStart = 1;
    CalculationText branchText(true, 2, QLatin1Char('.'));
    const auto loss = fresh.branchSpecificLoss(1, 3, net.mains, net.isVisited(), net.lookup(), branchText);
    ASSERT_TRUE(loss);
    EXPECT_DOUBLE_EQ(*loss, -0.05);
    EXPECT_EQ(linesOf(branchText),
              (QStringList{
                  QStringLiteral("Удельные потери напора в обратном трубопроводе ветви 5 - 6, м./м. (УПНВВОбр)"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в начале ветви, м. "
                                 "(ПНапНачОбр) = 50.00"),
                  QStringLiteral("Полный напор (для расчета удельных потерь) в обр. трубопроводе в конце ветви, м. "
                                 "(ПНапКонОбр) = 45.00"),
                  QStringLiteral("Длина обр. трубопровода ветви, м. (ДлОбр) = 100.00"),
                  QStringLiteral("УПНВВОбр = (<ПНапКонОбр> - <ПНапНачОбр>) / <ДлОбр> = -0.05"),
                  QString(),
              }));
}

TEST(DesignMainSelection, OutsideDesignModeOneLinePerMainAndTheChosenLine)
{
    Network net = sharedNetwork();
    DesignMainSelection select(setup(PipePass::Supply, false), net.walks);
    CalculationText text(true, 2, QLatin1Char('.'));
    const auto chosen = select(net.mains, net.isVisited(), net.lookup(), text);
    ASSERT_EQ(chosen, std::optional<std::size_t>(0));
    EXPECT_EQ(linesOf(text),
              (QStringList{QStringLiteral("Выбор расчетной магистрали (ветви) теплосети:"), QString(),
                           QStringLiteral("Магистраль (ветвь) 1 - 4"), QString(),
                           QStringLiteral("Магистраль (ветвь) 1 - 6"), QString(),
                           QStringLiteral("Расчетная магистраль (ветвь): 1 - 4")}));
    EXPECT_FALSE(net.mains[0].supplyAllowedLoss || net.mains[1].supplyAllowedLoss);

    // Main 1 done: main 2 now starts at node 3, still without a loss.
    net.mains[0].supplyDone = true;
    net.visited = {0, 1, 2};
    CalculationText second(true, 2, QLatin1Char('.'));
    EXPECT_EQ(select(net.mains, net.isVisited(), net.lookup(), second), std::optional<std::size_t>(1));
    EXPECT_EQ(net.mains[1].supplyBranchStart, std::optional<qint16>(3));
    EXPECT_TRUE(second.text().endsWith(QStringLiteral("Расчетная магистраль (ветвь): 3 - 6")));
}

} // namespace
